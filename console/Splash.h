#pragma once

#include <QWidget>

class ConsoleHost;

// frmSplash: a picture of the product and the credits, shown while the console starts.
class Splash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMs = 4000;

    explicit Splash(QWidget* parent = nullptr);

    // Shows the splash, lets it paint, then holds the window thread for kShowMs and hides it.
    // Nothing else runs yet, so events are handled only until the splash is on the screen.
    void present(ConsoleHost& host);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A key press while it has the focus closes it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool painted_ = false;
};

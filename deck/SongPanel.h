#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// pctSongInfo: the strip that shows the loaded file's name (lblFileName), 382 pixels wide. A name
// too wide for the panel scrolls through it (tmrScroll, 150 ms). Something dragged over the panel
// from the desktop shows its name; loading stays the file list's job.
class SongPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 382;
    static constexpr int kTextLeft = 8;
    static constexpr int kScrollStart = 386;
    static constexpr int kScrollReenter = 384;
    static constexpr int kScrollStep = 8;

    explicit SongPanel(QWidget* parent = nullptr);

    QLabel* lblFileName() const { return label_; }
    QTimer& tmrScroll() { return tmrScroll_; }

    // The progress text of a load: fixed width 369 at left 8, drawn at once (the load holds the
    // window thread, so no event loop would draw it).
    void showProgress(const QString& text);
    // The final name: sized to its text; a name wider than the panel starts scrolling in from the
    // right, any other stays at left 8.
    void showName(const QString& name);
    void scrollTick();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showDragged(const class QMimeData* data);

    QLabel* label_;
    QTimer tmrScroll_;
};

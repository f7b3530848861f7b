#pragma once

#include <QWidget>

// frmMain of the deck program.
class DeckWindow : public QWidget {
    Q_OBJECT
public:
    explicit DeckWindow(const QString& deckArgument, QWidget* parent = nullptr);

private:
    QString deckArgument_;
};

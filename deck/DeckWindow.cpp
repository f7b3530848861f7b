#include "deck/DeckWindow.h"

DeckWindow::DeckWindow(const QString& deckArgument, QWidget* parent)
    : QWidget(parent), deckArgument_(deckArgument) {
    setWindowTitle(" Zentari DJ System");
}

#pragma once

#include <QPoint>
#include <QSize>

// Where the console window goes, so that START/STOP and Config stay in reach once the decks are
// shown (they open at the top of the screen, side by side): right of deck 2 on a screen wide
// enough, at the top as the console always was; otherwise below the decks at the right edge
// when the screen is tall enough; otherwise at the top right, kept above the decks.
struct ConsolePlace {
    QPoint topLeft;
    bool keepAbove = false;
};

ConsolePlace consolePlace(const QSize& screen);

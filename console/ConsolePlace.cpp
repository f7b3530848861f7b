#include "console/ConsolePlace.h"

#include "common/DeckPlaces.h"
#include "console/ConsoleUi.h"

#include <algorithm>

namespace {

// Room for a window manager's title bar above each deck.
constexpr int kDeckTitleBar = 32;

} // namespace

ConsolePlace consolePlace(const QSize& screen) {
    const int right = std::max(0, screen.width() - kConsoleWidth);
    if (screen.width() >= kDeck2Left + kDeckWidth + kConsoleWidth) return {{right, 0}};
    if (screen.height() >= kDeckHeight + kDeckTitleBar + kConsoleHeight)
        return {{right, screen.height() - kConsoleHeight}};
    return {{right, 0}, true};
}

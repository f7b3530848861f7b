#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <chrono>
#include <sys/types.h>
#include <vector>

// The real programs as the DJ meets them on the display: their windows, found and clicked through
// xdotool, and the deck processes that have come to this process as their subreaper (decks run
// detached from the console, so their parent is gone).
namespace zen::desktop {

// Runs xdotool with these arguments; true when it succeeded.
bool xdotool(const QStringList& args);
// The ids of the shown windows whose name matches the pattern.
QStringList visibleWindows(const QString& namePattern);
// The same once at least `count` of them show, or what shows when the time is up.
QStringList waitForWindows(const QString& namePattern, int count,
                           std::chrono::milliseconds timeout);
// The window's top-left corner on the screen; (-1, -1) when it cannot be read.
QPoint windowPlace(const QString& windowId);
// Moves the window's top-left corner there (there is no window manager to ask).
bool moveWindow(const QString& windowId, QPoint place);
// Raises the window and clicks the left button at the point inside it.
bool clickIn(const QString& windowId, QPoint point);
// The same with a double click, as a deck's browser loads a file.
bool doubleClickIn(const QString& windowId, QPoint point);
// Drags with the left button from one point to another inside the window, as a mouse selects.
bool dragIn(const QString& windowId, QPoint from, QPoint to);
// The text last selected on the display (its primary selection), read with xclip.
QString selectedText();
// The window that has the keyboard focus.
QString focusedWindow();
// The one window a process shows, once it shows (10 s at most); empty when none or several do.
QString windowOf(pid_t pid);
// Unmaps and maps the window again: a Wayland compositor, which takes no X11 request to raise
// or activate a window, brings a newly mapped one to the top and gives it the keyboard.
bool mapAgain(const QString& windowId);

// Where a deck window shows the first and the second file of its browser, and its play button.
inline constexpr QPoint kDeckFirstFile{280, 366};
inline constexpr QPoint kDeckSecondFile{280, 384};
inline constexpr QPoint kDeckPlay{324, 281};
// The deck window whose top-left corner is the screen's (deck 1), once both decks show; empty
// when they do not within 10 s.
QString deckOneWindow();
// True when the deck window shows its status line (yellow words over the device list), read
// from a screenshot.
bool deckShowsStatus(const QString& deckWindow);

// The process of the X server that DISPLAY names, when it runs on this machine as Xvfb; -1 when
// none is found.
qint64 displayServerPid();

// Makes this process the subreaper of its descendants.
bool becomeSubreaper();
// ZentariDeck processes whose parent is this process.
std::vector<pid_t> deckChildren();
// The one of them started as deck 1 or 2; -1 when there is none.
pid_t deckChild(int deck);
// How many of them still run; those that ended are reaped on the way.
int runningDecks();
// The exit status of one of them, as waitpid gives it, or -1 when it has not ended in time.
int waitForEnd(pid_t pid, std::chrono::milliseconds timeout);

} // namespace zen::desktop

#include "common/DesktopPlatform.h"

#include <gtest/gtest.h>

// In a Wayland session with XWayland the programs ask for X11 (Wayland after it, should XWayland
// not answer); a platform the user chose, by the environment or the command line, stands, and the
// decks are handed the one the console was given.
TEST(DesktopPlatformTest, AWaylandSessionWithXWaylandGivesX11UnlessTheUserChose) {
    const struct {
        const char* qpa;
        const char* wayland;
        const char* display;
        QStringList arguments;
        const char* chosen;
    } cases[] = {
        {"", "wayland-0", ":0", {}, "xcb;wayland"},
        {"", "wayland-0", "", {}, ""},          // no XWayland
        {"", "", ":0", {}, ""},                 // an X11 session
        {"wayland", "wayland-0", ":0", {}, ""}, // the user's choice
        {"", "wayland-0", ":0", {"-platform", "wayland"}, "wayland"},
        {"xcb", "", ":0", {"--platform=offscreen"}, "offscreen"},
        {"", "wayland-0", ":0", {"1"}, "xcb;wayland"}, // a deck's number is no choice
    };
    for (const auto& c : cases)
        EXPECT_EQ(zen::preferredPlatform(c.qpa, c.wayland, c.display, c.arguments), c.chosen)
            << c.qpa << " | " << c.wayland << " | " << c.display << " | "
            << c.arguments.join(' ').toStdString();
}

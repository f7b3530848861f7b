#include "console/KeyPressEvents.h"
#include "console/NewestKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

using zen::console::KeySet;
using zen::console::NewestKey;

TEST(NewestKeyTest, TheNewestKeyStillHeldCountsAndEachPressOnce) {
    // What the keyboard showed since the last poll, and what the poll gives. 30 stands for deck
    // 1's play key, 48 for deck 2's.
    const struct {
        std::vector<std::vector<int>> seen;
        int polled;
    } steps[] = {
        {{{30}}, 30}, {{{30}}, 30},     {{{30, 48}}, 48}, // the second key counts
        {{{30}}, 0},                    // its release gives 0 although 30 is still held
        {{{30}}, 0},                    // and 30 is not reported again
        {{{}}, 0},    {{{30}}, 30},     // until pressed anew
        {{{48}}, 48},                   // from key to key between two polls
        {{{}}, 0},    {{{48, 30}}, 30}, // pressed together: reported in turn
        {{}, 48},     {{}, 48},         {{{48, 31}, {48}}, 48}, // a tap between polls: never
    };
    NewestKey newest;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        for (const auto& codes : steps[i].seen) {
            KeySet held;
            for (int code : codes)
                held.set(code);
            newest.observe(held);
        }
        EXPECT_EQ(newest.poll(), steps[i].polled) << "step " << i;
    }
}

TEST(EventKeyPressTest, ReportsTheApplicationsKeysAsScanCodesIgnoringAutoRepeat) {
    QWidget window;
    zen::console::EventKeyPress keys;
    keys.start(window);
    // The native scan code of a key is its X keycode: A is 38, Right arrow 114.
    const auto send = [&](QEvent::Type type, quint32 nativeScanCode, bool autoRepeat = false) {
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, nativeScanCode, 0, 0, {},
                        autoRepeat);
        QApplication::sendEvent(&window, &event);
        keys.poll();
        return keys.keyCode();
    };
    EXPECT_EQ(send(QEvent::KeyPress, 38), 30);
    EXPECT_EQ(send(QEvent::KeyPress, 114), 77);
    EXPECT_EQ(send(QEvent::KeyRelease, 114, true), 77) << "an auto-repeat release is no release";
    EXPECT_EQ(send(QEvent::KeyPress, 114, true), 77);
    EXPECT_EQ(send(QEvent::KeyRelease, 114), 0);

    QEvent deactivate(QEvent::ApplicationDeactivate);
    QApplication::sendEvent(qApp, &deactivate);
    EXPECT_EQ(send(QEvent::KeyPress, 38), 30)
        << "A, held when another program took the focus, counts as released";

    keys.stop();
    EXPECT_EQ(send(QEvent::KeyPress, 39), 0) << "stopped";
}

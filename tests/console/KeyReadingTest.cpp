#include "console/KeyReading.h"
#include "KeyChanges.h"
#include "console/KeyPressEvents.h"
#include "console/NewestKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

using zen::console::KeyReading;
using zen::console::KeySet;
using zen::console::KeySource;
using zen::console::NewestKey;
using zen::test::KeyChanges;

TEST(NewestKeyTest, TheNewestKeyStillHeldCountsAndEachPressOnce) {
    // What the keyboard showed since the last poll, and what the poll gives. 30 stands for deck
    // 1's play key, 48 for deck 2's.
    const struct {
        std::vector<std::vector<int>> seen;
        int polled;
    } steps[] = {
        {{{30}}, 30},
        {{{30}}, 30},
        {{{30, 48}}, 48}, // the second key counts
        {{{30}}, 0},      // its release gives 0 although 30 is still held
        {{{30}}, 0},      // and 30 is not reported again
        {{{}}, 0},
        {{{30}}, 30}, // until pressed anew
        {{{48}}, 48}, // from key to key between two polls
        {{{}}, 0},
        {{{48, 30}}, 30}, // pressed together: reported in turn
        {{}, 48},
        {{}, 48},
        {{{48, 31}, {48}}, 31}, // a tap between two polls counts for one
        {{}, 0},                // and its release for the next
        {{{}, {48}}, 48},       // released and pressed again between two polls
        {{{}, {48}}, 0},        // the same, while it counted: its release first
        {{}, 48},
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

// The keys the console's own windows receive, as scan codes, auto-repeat ignored, read on the
// key thread.
TEST(KeyReadingTest, TheConsolesOwnKeysAreReadOnTheKeyThread) {
    QWidget window;
    std::vector<std::unique_ptr<KeySource>> sources;
    sources.push_back(std::make_unique<zen::console::EventKeySource>());
    KeyReading keys(std::move(sources));
    KeyChanges changes(keys);
    EXPECT_EQ(keys.reading(), "Keys: console windows only");
    // The native scan code of a key is its X keycode: A is 38, Right arrow 114.
    const auto send = [&](QEvent::Type type, quint32 nativeScanCode, bool autoRepeat = false) {
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, nativeScanCode, 0, 0, {},
                        autoRepeat);
        QApplication::sendEvent(&window, &event);
    };
    send(QEvent::KeyPress, 38);
    send(QEvent::KeyPress, 114);
    send(QEvent::KeyRelease, 114, true); // an auto-repeat release is no release
    send(QEvent::KeyPress, 114, true);
    send(QEvent::KeyRelease, 114);
    EXPECT_EQ(changes.after(3), (std::vector<int>{30, 77, 0}));

    QEvent deactivate(QEvent::ApplicationDeactivate);
    QApplication::sendEvent(qApp, &deactivate);
    send(QEvent::KeyPress, 38);
    EXPECT_EQ(changes.after(4), (std::vector<int>{30, 77, 0, 30}))
        << "A, held when another program took the focus, counts as released";

    keys.stop();
    send(QEvent::KeyRelease, 38);
    send(QEvent::KeyPress, 39);
    QTest::qWait(50);
    EXPECT_EQ(changes.after(5, 0).size(), 4u) << "stopped";
}

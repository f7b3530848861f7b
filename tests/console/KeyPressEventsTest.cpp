#include "console/KeyPressEvents.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

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

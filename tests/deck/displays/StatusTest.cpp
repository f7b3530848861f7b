#include "common/WindowDrag.h"
#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/FileNameScroller.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <limits>

namespace {

// A file-name label whose text is exactly as wide as the test says.
class SizedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override { return {textWidth, 13}; }
    int textWidth = 0;
};

} // namespace

TEST(CpuLoadDisplay, OneDecimalWithAPointAndASpaceBeforeThePercentSign) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(zen::deck::CpuLoadDisplay::format(5.04f), "5.0 %") << "on a German desktop too";
    EXPECT_EQ(zen::deck::CpuLoadDisplay::format(std::numeric_limits<float>::quiet_NaN()), "0.0 %");
    QLocale::setDefault(before);
}

TEST(FileNameScroller, AWiderNameScrollsInFromTheRightAndOneAsWideAsThePanelRests) {
    QWidget panel;
    panel.resize(382, 17);
    SizedLabel label(&panel);
    label.textWidth = 383;
    label.move(8, 2);
    zen::deck::FileNameScroller scroller(label);
    EXPECT_TRUE(scroller.placeName()) << "a name one pixel wider than the panel scrolls";
    // Once the whole name has left the panel on the left, it re-enters on the right.
    for (int i = 0; i < 97; ++i)
        scroller.step();
    EXPECT_EQ(label.x(), 384);

    label.textWidth = 382;
    EXPECT_FALSE(scroller.placeName());
    EXPECT_FALSE(scroller.scrolling());
    EXPECT_EQ(label.geometry(), QRect(8, 2, 382, label.height()));
}

TEST(WindowDrag, TheLeftButtonAloneDragsTheWindowByItsTitle) {
    QWidget window;
    window.move(100, 50);
    QLabel title("DECK 1", &window);
    title.setGeometry(0, 0, 200, 20);
    zen::WindowDrag::install(title);
    const auto mouse = [&title](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), title.mapToGlobal(QPointF(at)), button, buttons, {});
        QApplication::sendEvent(&title, &event);
    };
    mouse(QEvent::MouseButtonPress, {10, 5}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {30, 8}, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(120, 53));
    mouse(QEvent::MouseMove, {35, 8}, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(145, 56)) << "the window keeps following the pointer";
    mouse(QEvent::MouseMove, {40, 8}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(window.pos(), QPoint(145, 56)) << "not with another button held too";
}

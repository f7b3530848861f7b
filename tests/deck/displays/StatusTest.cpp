#include "FakeEngine.h"
#include "common/WindowDrag.h"
#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/FileNameScroller.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <limits>

using zen::WindowDrag;
using zen::deck::CpuLoadDisplay;
using zen::deck::FileNameScroller;

namespace {

// A file-name label whose text is exactly as wide as the test says.
class SizedLabel : public QLabel {
public:
    SizedLabel(int textWidth, QWidget* parent) : QLabel(parent), textWidth_(textWidth) {}
    QSize sizeHint() const override { return {textWidth_, 13}; }
    void setTextWidth(int width) { textWidth_ = width; }

private:
    int textWidth_;
};

void sendMouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

} // namespace

TEST(CpuLoadDisplay, OneDecimalWithAPointAndASpaceBeforeThePercentSign) {
    EXPECT_EQ(CpuLoadDisplay::format(12.3f), "12.3 %");
    EXPECT_EQ(CpuLoadDisplay::format(0.0f), "0.0 %");
    EXPECT_EQ(CpuLoadDisplay::format(5.04f), "5.0 %");
    EXPECT_EQ(CpuLoadDisplay::format(150.0f), "150.0 %");
    EXPECT_EQ(CpuLoadDisplay::format(std::numeric_limits<float>::quiet_NaN()), "0.0 %");

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CpuLoadDisplay::format(12.3f), "12.3 %") << "the same on a German desktop";
    QLocale::setDefault(before);

    FakeEngine engine;
    engine.cpu = 7.25f;
    QLabel label;
    CpuLoadDisplay display(engine, label);
    EXPECT_FALSE(display.timer().isActive()) << "start-up switches it on";
    display.start();
    EXPECT_TRUE(display.timer().isActive());
    EXPECT_EQ(display.timer().interval(), 200);
    display.refresh();
    EXPECT_EQ(label.text(), "7.3 %");
}

TEST(FileNameScroller, AWiderNameScrollsInFromTheRightAndReentersAt384) {
    QWidget panel;
    panel.resize(382, 17);
    SizedLabel label(383, &panel);
    label.move(8, 2);
    FileNameScroller scroller(label);
    EXPECT_TRUE(scroller.placeName());
    EXPECT_TRUE(scroller.scrolling());
    EXPECT_EQ(scroller.timer().interval(), 150);
    EXPECT_EQ(label.pos(), QPoint(386, 2));

    // 96 steps leave it at -382, one pixel of the name still on the panel's left edge.
    for (int i = 0; i < 96; ++i)
        scroller.step();
    EXPECT_EQ(label.pos(), QPoint(-382, 2));
    scroller.step();
    EXPECT_EQ(label.pos(), QPoint(384, 2));
    scroller.step();
    EXPECT_EQ(label.x(), 376);

    scroller.stop();
    EXPECT_FALSE(scroller.scrolling());
}

TEST(FileNameScroller, ANameAsWideAsThePanelRestsAtLeft8AndStopsAScroll) {
    QWidget panel;
    panel.resize(382, 17);
    SizedLabel label(500, &panel);
    label.move(8, 2);
    FileNameScroller scroller(label);
    ASSERT_TRUE(scroller.placeName());
    scroller.step();

    label.setTextWidth(382);
    EXPECT_FALSE(scroller.placeName());
    EXPECT_FALSE(scroller.scrolling());
    EXPECT_EQ(label.geometry(), QRect(8, 2, 382, label.height()));
}

TEST(WindowDrag, TheLeftButtonAloneDragsTheWindowByItsTitle) {
    QWidget window;
    window.move(100, 50);
    QLabel title("DECK 1", &window);
    title.setGeometry(0, 0, 200, 20);
    WindowDrag::install(title);

    sendMouse(title, QEvent::MouseButtonPress, {10, 5}, Qt::LeftButton);
    sendMouse(title, QEvent::MouseMove, {30, 8}, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(120, 53));
    sendMouse(title, QEvent::MouseMove, {35, 8}, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(145, 56)) << "the window keeps following the pointer";

    sendMouse(title, QEvent::MouseMove, {40, 8}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(window.pos(), QPoint(145, 56)) << "not with another button held too";
    sendMouse(title, QEvent::MouseMove, {40, 8}, Qt::NoButton);
    EXPECT_EQ(window.pos(), QPoint(145, 56));
}

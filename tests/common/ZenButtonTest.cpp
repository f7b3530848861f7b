#include "common/ZenButton.h"
#include "common/PropertyBag.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(2);
    }
    return true;
}

class ZenButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 200);
        button = new ZenButton(&window);
        button->setGeometry(20, 30, 120, 40);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        clip = button->findChild<QWidget*>(QStringLiteral("PClip"));
        caption = button->findChild<QLabel*>(QStringLiteral("lblCaption"));
        ASSERT_NE(clip, nullptr);
        ASSERT_NE(caption, nullptr);
    }

    double captionPoints() const { return caption->font().pointSizeF(); }

    void setPoints(double points) {
        QFont font;
        font.setPointSizeF(points);
        button->setFontType(font);
    }

    static void send(QWidget* part, QEvent::Type type, QPoint at, Qt::MouseButton button,
                     Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = {}) {
        QMouseEvent event(type, QPointF(at), QPointF(part->mapToGlobal(at)), button, held,
                          modifiers);
        QApplication::sendEvent(part, &event);
    }
    static void press(QWidget* part, QPoint at = {5, 5}, Qt::MouseButton button = Qt::LeftButton) {
        send(part, QEvent::MouseButtonPress, at, button, button);
    }
    static void release(QWidget* part, QPoint at = {5, 5},
                        Qt::MouseButton button = Qt::LeftButton) {
        send(part, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
    static void hover(QWidget* part, QPoint at) {
        QCursor::setPos(part->mapToGlobal(at));
        send(part, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    }
    void pointerAway() { QCursor::setPos(window.mapToGlobal(QPoint(290, 190))); }

    zen::Rgb pixel(QPoint at) const {
        return zen::fromQColor(clip->grab().toImage().pixelColor(at));
    }

    QWidget window;
    ZenButton* button = nullptr;
    QWidget* clip = nullptr;
    QLabel* caption = nullptr;
};

TEST_F(ZenButtonTest, PressAndReleaseRaiseDownUpClickWithThePartsOwnArguments) {
    QStringList order;
    QList<QList<float>> downs;
    QObject::connect(button, &ZenButton::MouseDown, [&](int b, int shift, float x, float y) {
        order << "MouseDown";
        downs.append({float(b), float(shift), x, y});
    });
    QObject::connect(button, &ZenButton::MouseUp, [&] { order << "MouseUp"; });
    QObject::connect(button, &ZenButton::Click, [&] { order << "Click"; });

    press(caption, {7, 3});
    release(caption, {7, 3});
    EXPECT_EQ(order, QStringList({"MouseDown", "MouseUp", "Click"}));

    send(clip, QEvent::MouseButtonPress, {4, 9}, Qt::RightButton, Qt::RightButton,
         Qt::ShiftModifier | Qt::ControlModifier);
    release(clip, {4, 9}, Qt::RightButton);
    ASSERT_EQ(downs.size(), 2);
    EXPECT_EQ(downs[0], QList<float>({1, 0, 7, 3}));
    EXPECT_EQ(downs[1], QList<float>({2, 3, 4, 9}));

    // Released away from the part it was pressed on: no click.
    order.clear();
    press(clip);
    release(clip, {500, 5});
    EXPECT_EQ(order, QStringList({"MouseDown", "MouseUp"}));
}

TEST_F(ZenButtonTest, PressShrinksTheCaptionByTwoPointsAndReleaseSetsTen) {
    EXPECT_DOUBLE_EQ(captionPoints(), 9.75);
    EXPECT_TRUE(caption->font().bold());
    setPoints(12);
    press(caption);
    EXPECT_DOUBLE_EQ(captionPoints(), 10);
    release(caption);
    EXPECT_DOUBLE_EQ(captionPoints(), 10);
    press(clip);
    EXPECT_DOUBLE_EQ(captionPoints(), 8);
    release(clip);
    EXPECT_DOUBLE_EQ(captionPoints(), 10);
}

TEST_F(ZenButtonTest, CaptionComesBackWhenTheReleaseNeverArrives) {
    setPoints(12);
    press(caption);
    button->hide();
    button->show();
    EXPECT_DOUBLE_EQ(captionPoints(), 12);

    // An owner that hides the button from its own press, as the deck's pause button does.
    auto hideOnPress = QObject::connect(button, &ZenButton::MouseDown, [&] { button->hide(); });
    press(caption);
    button->show();
    EXPECT_DOUBLE_EQ(captionPoints(), 12);
    QObject::disconnect(hideOnPress);

    // A press whose release was swallowed elsewhere: the next press or move notices.
    press(clip);
    press(clip);
    EXPECT_DOUBLE_EQ(captionPoints(), 10);
    send(clip, QEvent::MouseMove, {3, 3}, Qt::NoButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(captionPoints(), 12);

    setPoints(2.5);
    press(clip);
    EXPECT_DOUBLE_EQ(captionPoints(), 1);
    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(captionPoints(), 2.5);
}

TEST_F(ZenButtonTest, LeavingRaisesOneMouseLeftAndRestoresTheDot) {
    QSignalSpy left(button, &ZenButton::MouseLeft);
    const QPoint dot(20, 20);
    EXPECT_EQ(pixel(dot), button->DotColor());

    for (int round = 1; round <= 2; ++round) {
        hover(clip, {2, 2});
        ASSERT_TRUE(waitUntil([&] { return pixel(dot) == button->OverColor(); }));
        pointerAway();
        ASSERT_TRUE(waitUntil([&] { return left.count() == round; }));
        QTest::qWait(40);
        EXPECT_EQ(left.count(), round);
        EXPECT_EQ(pixel(dot), button->DotColor());
    }
}

TEST_F(ZenButtonTest, CaptionAloneDoesNotStartTrackingButCountsAsInsideOnceRunning) {
    QSignalSpy left(button, &ZenButton::MouseLeft);
    const QPoint dot(20, 20);
    const QPoint onCaption = caption->geometry().center();
    QCursor::setPos(clip->mapToGlobal(onCaption));
    send(caption, QEvent::MouseMove, caption->rect().center(), Qt::NoButton, Qt::NoButton);
    QTest::qWait(40);
    EXPECT_EQ(pixel(dot), button->DotColor());

    hover(clip, {2, 2});
    QCursor::setPos(clip->mapToGlobal(onCaption));
    ASSERT_TRUE(waitUntil([&] { return pixel(dot) == button->OverColor(); }));
    QTest::qWait(40);
    EXPECT_EQ(left.count(), 0);
    pointerAway();
    ASSERT_TRUE(waitUntil([&] { return left.count() == 1; }));
}

TEST_F(ZenButtonTest, OverColorChangeShowsAtTheNextTick) {
    const QPoint dot(20, 20);
    hover(clip, {2, 2});
    ASSERT_TRUE(waitUntil([&] { return pixel(dot) == button->OverColor(); }));
    button->setOverColor(zen::kLightOnOver);
    EXPECT_NE(pixel(dot), zen::kLightOnOver);
    EXPECT_TRUE(waitUntil([&] { return pixel(dot) == zen::kLightOnOver; }));
    pointerAway();
}

// Bounding box and count of the pixels of a colour in the picture area.
std::pair<QRect, int> pixelsOf(QWidget* clip, zen::Rgb color) {
    const QImage image = clip->grab().toImage();
    QRect box;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (zen::fromQColor(image.pixelColor(x, y)) == color) {
                box |= QRect(x, y, 1, 1);
                ++count;
            }
    return {box, count};
}

TEST_F(ZenButtonTest, StoredRectangleDotIsDrawnAtItsPlaceAndSize) {
    PropertyBag bag;
    bag.write("dotx", 6);
    bag.write("DOTY", 6);
    bag.write("DotWidth", 30);
    bag.write("dotHeight", 5);
    bag.write("DotShape", 0);
    button->readProperties(bag);
    EXPECT_EQ(pixelsOf(clip, button->DotColor()), std::make_pair(QRect(6, 6, 30, 5), 150));
}

TEST_F(ZenButtonTest, SquaresAndCirclesSitCentredInTheirBox) {
    button->setDotColor(zen::rgb(255, 0, 255));
    button->setDotX(6);
    button->setDotY(6);
    button->setDotHeight(10);
    button->setDotWidth(0);
    const QImage face = clip->grab().toImage();
    button->setDotWidth(30);
    for (int shape = ZenButton::Rectangle; shape <= ZenButton::RoundedSquare; ++shape) {
        button->setDotShape(shape);
        const QImage image = clip->grab().toImage();
        QRect changed;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != face.pixel(x, y) && QRect(0, 0, 40, 20).contains(x, y))
                    changed |= QRect(x, y, 1, 1);
        const bool square = shape == ZenButton::Square || shape == ZenButton::Circle ||
                            shape == ZenButton::RoundedSquare;
        EXPECT_EQ(changed, square ? QRect(16, 6, 10, 10) : QRect(6, 6, 30, 10)) << shape;
    }
}

TEST_F(ZenButtonTest, PropertiesRoundTripThroughTheStoredFormInOrder) {
    button->setDotShape(ZenButton::Oval);
    button->setButtonShape(ZenButton::Square);
    button->setDotHeight(7);
    button->setDotWidth(8);
    button->setDotY(3);
    button->setDotX(4);
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(20);
    button->setFontType(big);
    button->setOverColor(zen::rgb(1, 2, 3));
    button->setFillColor(zen::rgb(4, 5, 6));
    button->setDotColor(zen::rgb(7, 8, 9));
    button->setBorderColor(zen::rgb(10, 11, 12));
    button->setForeColor(zen::rgb(13, 14, 15));
    button->setBackColor(zen::rgb(16, 17, 18));
    button->setBorderSize(5);
    button->setCaption(QStringLiteral("CUE"));

    PropertyBag bag;
    button->writeProperties(bag);
    EXPECT_EQ(bag.keys(),
              QStringList({"FillColor", "BorderSize", "BackColor", "ForeColor", "BorderColor",
                           "DotColor", "OverColor", "FontType", "Caption", "Enabled", "DotX",
                           "DotY", "DotWidth", "DotHeight", "ButtonShape", "DotShape"}));

    ZenButton loaded(&window);
    loaded.readProperties(bag);
    EXPECT_EQ(loaded.DotShape(), ZenButton::Oval);
    EXPECT_EQ(loaded.ButtonShape(), ZenButton::Square);
    EXPECT_EQ(loaded.DotHeight(), 7);
    EXPECT_EQ(loaded.DotWidth(), 8);
    EXPECT_EQ(loaded.DotY(), 3);
    EXPECT_EQ(loaded.DotX(), 4);
    EXPECT_EQ(loaded.FontType(), big);
    EXPECT_EQ(loaded.OverColor(), zen::rgb(1, 2, 3));
    EXPECT_EQ(loaded.FillColor(), zen::rgb(4, 5, 6));
    EXPECT_EQ(loaded.DotColor(), zen::rgb(7, 8, 9));
    EXPECT_EQ(loaded.BorderColor(), zen::rgb(10, 11, 12));
    EXPECT_EQ(loaded.ForeColor(), zen::rgb(13, 14, 15));
    EXPECT_EQ(loaded.BackColor(), zen::rgb(16, 17, 18));
    EXPECT_EQ(loaded.BorderSize(), 5);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("CUE"));
    // A stored font is kept for writing back, not shown.
    auto* loadedCaption = loaded.findChild<QLabel*>(QStringLiteral("lblCaption"));
    EXPECT_DOUBLE_EQ(loadedCaption->font().pointSizeF(), 9.75);
    EXPECT_EQ(loadedCaption->text(), QStringLiteral("CUE"));

    PropertyBag again;
    loaded.writeProperties(again);
    for (const QString& key : bag.keys())
        EXPECT_EQ(again.read(key), bag.read(key)) << key.toStdString();
}

TEST_F(ZenButtonTest, MissingOrUnusableStoredValuesTakeTheDefaults) {
    PropertyBag bag;
    bag.write("DotX", 70000);
    bag.write("FillColor", -1);
    bag.write("OverColor", "yellow");
    bag.write("DotShape", 9);
    bag.write("FontType", 12);
    button->setDotX(1);
    button->setFillColor(zen::rgb(1, 1, 1));
    button->setCaption(QStringLiteral("x"));
    button->readProperties(bag);
    EXPECT_EQ(button->DotX(), 15);
    EXPECT_EQ(button->DotY(), 15);
    EXPECT_EQ(button->FillColor(), zen::rgb(0, 128, 128));
    EXPECT_EQ(button->OverColor(), zen::rgb(0, 255, 255));
    EXPECT_EQ(button->DotColor(), zen::rgb(0, 192, 192));
    EXPECT_EQ(button->BorderColor(), zen::rgb(0, 0, 0));
    EXPECT_EQ(button->ForeColor(), zen::rgb(255, 255, 255));
    EXPECT_EQ(button->BackColor(), zen::rgb(0, 128, 128));
    EXPECT_EQ(button->DotShape(), ZenButton::Circle);
    EXPECT_EQ(button->ButtonShape(), ZenButton::RoundedRectangle);
    EXPECT_EQ(button->DotWidth(), 10);
    EXPECT_EQ(button->DotHeight(), 10);
    EXPECT_EQ(button->BorderSize(), 2);
    EXPECT_EQ(button->FontType(), QFont());
    EXPECT_EQ(button->Caption(), QStringLiteral("Button"));

    button->setDotShape(6);
    button->setButtonShape(-1);
    EXPECT_EQ(button->DotShape(), ZenButton::Circle);
    EXPECT_EQ(button->ButtonShape(), ZenButton::RoundedRectangle);
}

TEST_F(ZenButtonTest, LayoutFollowsTheButtonsSize) {
    button->resize(200, 60);
    EXPECT_EQ(clip->geometry(), QRect(1, 1, 200, 60));
    const int h = caption->height();
    EXPECT_EQ(caption->geometry(), QRect(2, (58 - h) / 2, 194, h));
    EXPECT_EQ(pixel({100, 1}), button->BorderColor());
    EXPECT_EQ(pixel({5, 30}), button->FillColor());
    EXPECT_EQ(pixel({199, 30}), button->BackColor());
}

TEST_F(ZenButtonTest, AccessKeyRaisesClick) {
    QSignalSpy clicks(button, &ZenButton::Click);
    button->setCaption(QStringLiteral("&Cue && Play"));
    EXPECT_EQ(caption->textFormat(), Qt::RichText);
    EXPECT_TRUE(caption->text().contains(QStringLiteral("<u>C</u>ue &amp; Play")));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->setCaption(QStringLiteral("Cue"));
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs the program without the test environment; it never needs a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

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

TEST_F(ZenButtonTest, EveryTapOfAFastDoubleTapIsAPress) {
    QSignalSpy downs(button, &ZenButton::MouseDown);
    QSignalSpy ups(button, &ZenButton::MouseUp);
    QSignalSpy clicks(button, &ZenButton::Click);
    // Through the window, as the platform delivers it: the second press comes as a double click.
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                       clip->mapTo(&window, QPoint(3, 3)));
    EXPECT_EQ(downs.count(), 2);
    EXPECT_EQ(ups.count(), 2);
    EXPECT_EQ(clicks.count(), 2);
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

    // Hidden under the pointer: the light goes out and the timer stops.
    hover(clip, {2, 2});
    ASSERT_TRUE(waitUntil([&] { return pixel(dot) == button->OverColor(); }));
    button->hide();
    ASSERT_TRUE(waitUntil([&] { return left.count() == 3; }));
    button->show();
    EXPECT_EQ(pixel(dot), button->DotColor());
    pointerAway();
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

TEST_F(ZenButtonTest, StoredFormIsReadWhateverTheCaseAndWrittenBackInOrder) {
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(20);
    const QList<std::pair<QString, QVariant>> stored = {{"FillColor", zen::rgb(4, 5, 6)},
                                                        {"BorderSize", 5},
                                                        {"BackColor", zen::rgb(16, 17, 18)},
                                                        {"ForeColor", zen::rgb(13, 14, 15)},
                                                        {"BorderColor", zen::rgb(10, 11, 12)},
                                                        {"DotColor", zen::rgb(7, 8, 9)},
                                                        {"OverColor", zen::rgb(1, 2, 3)},
                                                        {"FontType", big},
                                                        {"Caption", "CUE"},
                                                        {"Enabled", false},
                                                        {"DotX", 4},
                                                        {"DotY", 3},
                                                        {"DotWidth", 8},
                                                        {"DotHeight", 7},
                                                        {"ButtonShape", 1},
                                                        {"DotShape", 2}};
    PropertyBag in;
    for (auto it = stored.rbegin(); it != stored.rend(); ++it)
        in.write(it->first.toUpper(), it->second);
    button->readProperties(in);

    PropertyBag out;
    button->writeProperties(out);
    QStringList keys;
    for (const auto& [key, value] : stored) {
        keys << key;
        EXPECT_EQ(out.read(key.toLower()), value) << key.toStdString();
    }
    EXPECT_EQ(out.keys(), keys);
    EXPECT_EQ(button->FontType(), big);
    EXPECT_EQ(caption->text(), QStringLiteral("CUE"));
    // The stored font and border width are kept for writing back, not shown.
    EXPECT_DOUBLE_EQ(captionPoints(), 9.75);
    EXPECT_EQ(pixel({button->width() / 2, 2}), zen::rgb(4, 5, 6));
}

TEST_F(ZenButtonTest, MissingOrUnusableStoredValuesTakeTheDefaults) {
    PropertyBag bag;
    bag.write("DotX", 70000);
    bag.write("FillColor", -1);
    bag.write("OverColor", "yellow");
    bag.write("DotShape", 9);
    bag.write("FontType", 12);
    button->setDotY(1);
    button->setCaption(QStringLiteral("x"));
    button->readProperties(bag);
    PropertyBag read;
    button->writeProperties(read);
    PropertyBag defaults;
    ZenButton().writeProperties(defaults);
    for (const QString& key : defaults.keys())
        EXPECT_EQ(read.read(key), defaults.read(key)) << key.toStdString();

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
    EXPECT_EQ(pixel({100, 2}), button->FillColor());
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

#include "common/ZenButton.h"
#include "common/PropertyBag.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

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
        ASSERT_TRUE(clip && caption);
    }

    double points() const { return caption->font().pointSizeF(); }
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
    static void press(QWidget* part, QPoint at = {5, 5}) {
        send(part, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    }
    static void release(QWidget* part, QPoint at = {5, 5}) {
        send(part, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    void hover() {
        QCursor::setPos(clip->mapToGlobal(QPoint(2, 2)));
        send(clip, QEvent::MouseMove, {2, 2}, Qt::NoButton, Qt::NoButton);
    }
    void pointerAway() { QCursor::setPos(window.mapToGlobal(QPoint(290, 190))); }
    zen::Rgb dot() const {
        return zen::fromQColor(clip->grab().toImage().pixelColor(QPoint(20, 20)));
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
    send(clip, QEvent::MouseButtonPress, {4, 9}, Qt::RightButton, Qt::RightButton,
         Qt::ShiftModifier | Qt::ControlModifier);
    send(clip, QEvent::MouseButtonRelease, {4, 9}, Qt::RightButton, Qt::NoButton);
    press(clip);
    release(clip, {500, 5}); // away from the part it was pressed on: no click
    EXPECT_EQ(order.join(' '), "MouseDown MouseUp Click MouseDown MouseUp Click MouseDown MouseUp");
    ASSERT_EQ(downs.size(), 3);
    EXPECT_EQ(downs[0], QList<float>({1, 0, 7, 3}));
    EXPECT_EQ(downs[1], QList<float>({2, 3, 4, 9}));

    // Through the window, as the platform delivers it: a fast second tap is a double click.
    order.clear();
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                       clip->mapTo(&window, QPoint(3, 3)));
    EXPECT_EQ(order.join(' '), "MouseDown MouseUp Click MouseDown MouseUp Click");
}

TEST_F(ZenButtonTest, PressShrinksTheCaptionAndItComesBackWhateverEndsThePress) {
    EXPECT_DOUBLE_EQ(points(), 9.75);
    setPoints(12);
    press(caption);
    EXPECT_DOUBLE_EQ(points(), 10) << "pressed on the caption: 10 points";
    release(caption);
    EXPECT_DOUBLE_EQ(points(), 10) << "a release sets 10 points";
    press(clip);
    EXPECT_DOUBLE_EQ(points(), 8) << "pressed on the face: two points less";
    release(clip);

    // The release never arrives: an owner hides the button from its own press, as the deck's
    // pause button does.
    setPoints(12);
    auto hideOnPress = QObject::connect(button, &ZenButton::MouseDown, [&] { button->hide(); });
    press(caption);
    button->show();
    EXPECT_DOUBLE_EQ(points(), 12);
    QObject::disconnect(hideOnPress);
    // A release swallowed elsewhere: the next press or move notices.
    press(clip);
    press(clip);
    EXPECT_DOUBLE_EQ(points(), 10);
    send(clip, QEvent::MouseMove, {3, 3}, Qt::NoButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(points(), 12);
    setPoints(2.5);
    press(clip);
    EXPECT_DOUBLE_EQ(points(), 1) << "never below one point";
    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(points(), 2.5);
}

TEST_F(ZenButtonTest, HoverLightsTheDotAndLeavingRaisesOneMouseLeft) {
    QSignalSpy left(button, &ZenButton::MouseLeft);
    EXPECT_EQ(dot(), button->DotColor());
    // The caption alone starts no tracking.
    QCursor::setPos(clip->mapToGlobal(caption->geometry().center()));
    send(caption, QEvent::MouseMove, caption->rect().center(), Qt::NoButton, Qt::NoButton);
    QTest::qWait(40);
    EXPECT_EQ(dot(), button->DotColor());

    for (int round = 1; round <= 2; ++round) {
        hover();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dot() == button->OverColor(); }));
        if (round == 1) {
            // Once tracking runs, the caption counts as inside.
            QCursor::setPos(clip->mapToGlobal(caption->geometry().center()));
            button->setOverColor(zen::kLightOnOver);
            EXPECT_TRUE(QTest::qWaitFor([&] { return dot() == zen::kLightOnOver; }))
                << "a new over colour shows at the next tick";
            EXPECT_EQ(left.count(), 0);
        }
        pointerAway();
        ASSERT_TRUE(QTest::qWaitFor([&] { return left.count() == round; }));
        QTest::qWait(40);
        EXPECT_EQ(left.count(), round) << "one MouseLeft per leaving";
        EXPECT_EQ(dot(), button->DotColor());
    }

    // Hidden under the pointer: the light goes out and the timer stops.
    hover();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot() == button->OverColor(); }));
    button->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return left.count() == 3; }));
    button->show();
    EXPECT_EQ(dot(), button->DotColor());
    pointerAway();
}

TEST_F(ZenButtonTest, DotsAreDrawnInTheirBoxSquaresAndCirclesCentred) {
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

TEST_F(ZenButtonTest, StoredFormIsReadWhateverTheCaseWrittenBackInOrderAndBadValuesDefault) {
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(20);
    const QStringList keys = QStringLiteral("FillColor BorderSize BackColor ForeColor BorderColor "
                                            "DotColor OverColor FontType Caption Enabled DotX "
                                            "DotY DotWidth DotHeight ButtonShape DotShape")
                                 .split(' ');
    const QVariantList values = {0x040506u, 5,   0x101112u, 0x0d0e0fu, 0x0a0b0cu, 0x070809u,
                                 0x010203u, big, "CUE",     false,     4,         3,
                                 8,         7,   1,         2};
    PropertyBag in;
    for (qsizetype i = keys.size() - 1; i >= 0; --i)
        in.write(keys[i].toUpper(), values[i]);
    button->readProperties(in);
    PropertyBag out;
    button->writeProperties(out);
    EXPECT_EQ(out.keys(), keys) << "written back in order";
    for (qsizetype i = 0; i < keys.size(); ++i)
        EXPECT_EQ(out.read(keys[i].toLower()), values[i]) << keys[i].toStdString();
    EXPECT_EQ(caption->text(), QStringLiteral("CUE"));
    EXPECT_DOUBLE_EQ(points(), 9.75) << "the stored font is kept for writing back, not shown";

    PropertyBag bad;
    bad.write("DotX", 70000);
    bad.write("FillColor", -1);
    bad.write("OverColor", "yellow");
    bad.write("DotShape", 9);
    bad.write("FontType", 12);
    button->readProperties(bad);
    PropertyBag read, defaults;
    button->writeProperties(read);
    ZenButton().writeProperties(defaults);
    for (const QString& key : defaults.keys())
        EXPECT_EQ(read.read(key), defaults.read(key)) << key.toStdString();
    button->setDotShape(6);
    button->setButtonShape(-1);
    EXPECT_EQ(button->DotShape(), ZenButton::Circle);
    EXPECT_EQ(button->ButtonShape(), ZenButton::RoundedRectangle);
}

TEST_F(ZenButtonTest, AccessKeyRaisesClick) {
    QSignalSpy clicks(button, &ZenButton::Click);
    button->setCaption(QStringLiteral("&Cue && Play"));
    EXPECT_TRUE(caption->text().contains(QStringLiteral("<u>C</u>ue &amp; Play")));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->setCaption(QStringLiteral("Cue"));
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1) << "no access key left";
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs the program without the test environment; it never needs a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

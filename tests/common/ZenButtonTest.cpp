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
    // A left press (or release, with `down` false) unless another button is given.
    static void mouse(QWidget* part, bool down, QPoint at = {5, 5},
                      Qt::MouseButton which = Qt::LeftButton, Qt::KeyboardModifiers keys = {}) {
        QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, QPointF(at),
                          QPointF(part->mapToGlobal(at)), which,
                          down ? Qt::MouseButtons(which) : Qt::NoButton, keys);
        QApplication::sendEvent(part, &event);
    }
    static void move(QWidget* part, QPoint at) {
        QCursor::setPos(part->mapToGlobal(at));
        QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(part->mapToGlobal(at)),
                          Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(part, &event);
    }
    zen::Rgb dot() const {
        return zen::fromQColor(clip->grab().toImage().pixelColor(QPoint(20, 20)));
    }

    QWidget window;
    ZenButton* button = nullptr;
    QWidget* clip = nullptr;
    QLabel* caption = nullptr;
};

// Down, up and click carry the button, the shift keys and the position on the part pressed; the
// caption shrinks while pressed and comes back however the press ends.
TEST_F(ZenButtonTest, PressAndReleaseRaiseDownUpClickAndShrinkTheCaptionMeanwhile) {
    QStringList order;
    QList<QList<float>> downs;
    QObject::connect(button, &ZenButton::MouseDown, [&](int b, int shift, float x, float y) {
        order << "MouseDown";
        downs.append({float(b), float(shift), x, y});
    });
    QObject::connect(button, &ZenButton::MouseUp, [&] { order << "MouseUp"; });
    QObject::connect(button, &ZenButton::Click, [&] { order << "Click"; });

    EXPECT_DOUBLE_EQ(points(), 9.75);
    setPoints(12);
    mouse(caption, true, {7, 3});
    EXPECT_DOUBLE_EQ(points(), 10) << "pressed on the caption: two points less";
    mouse(caption, false, {7, 3});
    mouse(clip, true, {4, 9}, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(points(), 8) << "a release sets 10 points, a press takes two off";
    mouse(clip, false, {4, 9}, Qt::RightButton);
    mouse(clip, true);
    mouse(clip, false, {500, 5}); // away from the part it was pressed on: no click
    EXPECT_EQ(order.join(' '), "MouseDown MouseUp Click MouseDown MouseUp Click MouseDown MouseUp");
    ASSERT_EQ(downs.size(), 3);
    EXPECT_EQ(downs[0], QList<float>({1, 0, 7, 3}));
    EXPECT_EQ(downs[1], QList<float>({2, 3, 4, 9}));

    // Through the window, as the platform delivers it: a fast second tap is a double click.
    order.clear();
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                       clip->mapTo(&window, QPoint(3, 3)));
    EXPECT_EQ(order.join(' '), "MouseDown MouseUp Click MouseDown MouseUp Click");

    // The release never arrives: the owner hides the button from its own press, as the deck's
    // pause button does; or a message box it shows takes the release; or it is swallowed
    // elsewhere, and the next press or move notices.
    setPoints(12);
    auto hideOnPress = QObject::connect(button, &ZenButton::MouseDown, [&] { button->hide(); });
    mouse(caption, true);
    button->show();
    EXPECT_DOUBLE_EQ(points(), 12);
    QObject::disconnect(hideOnPress);
    auto boxOnPress =
        QObject::connect(button, &ZenButton::MouseDown, [&] { mouse(&window, false); });
    mouse(caption, true);
    EXPECT_DOUBLE_EQ(points(), 12) << "the caption stayed pressed after a message box";
    QObject::disconnect(boxOnPress);
    mouse(clip, true);
    mouse(clip, true);
    EXPECT_DOUBLE_EQ(points(), 10);
    move(clip, {3, 3});
    EXPECT_DOUBLE_EQ(points(), 12);
    setPoints(2.5);
    mouse(clip, true);
    EXPECT_DOUBLE_EQ(points(), 1) << "never below one point";
    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(points(), 2.5);
}

TEST_F(ZenButtonTest, HoverLightsTheDotAndLeavingRaisesOneMouseLeft) {
    QSignalSpy left(button, &ZenButton::MouseLeft);
    const auto lit = [&] { return QTest::qWaitFor([&] { return dot() == button->OverColor(); }); };
    move(caption, caption->rect().center());
    QTest::qWait(40);
    EXPECT_EQ(dot(), button->DotColor()) << "the caption alone starts no tracking";

    move(clip, {2, 2});
    ASSERT_TRUE(lit());
    // Once tracking runs, the caption counts as inside; a new colour shows at the next tick.
    QCursor::setPos(clip->mapToGlobal(caption->geometry().center()));
    button->setOverColor(zen::kLightOffOver);
    EXPECT_TRUE(lit());
    EXPECT_EQ(left.count(), 0);
    QCursor::setPos(window.mapToGlobal(QPoint(290, 190)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return left.count() == 1; }));
    QTest::qWait(40);
    EXPECT_EQ(left.count(), 1) << "one MouseLeft per leaving";
    EXPECT_EQ(dot(), button->DotColor());

    // Tracking starts again; hidden under the pointer, the light goes out and the timer stops.
    move(clip, {2, 2});
    ASSERT_TRUE(lit());
    button->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return left.count() == 2; }));
    button->show();
    EXPECT_EQ(dot(), button->DotColor());
    QCursor::setPos(window.mapToGlobal(QPoint(290, 190)));
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
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x)
                if (image.pixel(x, y) != face.pixel(x, y)) changed |= QRect(x, y, 1, 1);
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
    PropertyBag in, out;
    for (qsizetype i = keys.size() - 1; i >= 0; --i)
        in.write(keys[i].toUpper(), values[i]);
    button->readProperties(in);
    button->writeProperties(out);
    EXPECT_EQ(out.keys(), keys) << "written back in order";
    for (qsizetype i = 0; i < keys.size(); ++i)
        EXPECT_EQ(out.read(keys[i].toLower()), values[i]) << keys[i].toStdString();
    EXPECT_EQ(caption->text(), QStringLiteral("CUE"));
    EXPECT_DOUBLE_EQ(points(), 9.75) << "the stored font is kept for writing back, not shown";

    PropertyBag bad, read, defaults;
    for (const auto& [key, value] : {std::pair<const char*, QVariant>{"DotX", 70000},
                                     {"FillColor", -1},
                                     {"OverColor", "yellow"},
                                     {"DotShape", 9},
                                     {"FontType", 12}})
        bad.write(key, value);
    button->readProperties(bad);
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

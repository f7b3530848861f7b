#include "DeckTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "common/Colors.h"
#include "common/ZenButton.h"
#include "common/ZenButtonFace.h"
#include "deck/DeckSlider.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QTest>

namespace test = zen::audio::test;

namespace {

constexpr zen::Rgb kBendDot = zen::rgb(255, 0, 0);
constexpr zen::Rgb kIdleDot = zen::rgb(128, 0, 0);

} // namespace

class DeckTouchTest : public DeckTest {
protected:
    // A playing 1 kHz tone with the pitch fader at +3 % (rate 45423).
    void startPlaying() {
        startDeck();
        load(makeSine("tone.wav", 1000, 8));
        ui().vscPitch->setSliderPosition(-300);
        window->Zen_Pause();
        engine->render(4410);
    }
    int rate() {
        int r = 0, volume = 0, pan = 0;
        EXPECT_TRUE(engine->channelGetAttributes(channel(), &r, &volume, &pan));
        return r;
    }
    double heardHz() { return test::measureHz(test::channelOf(engine->render(22050), 0, 2048)); }
};

TEST_F(DeckTouchTest, LightsStartIdleAndATouchHeldWithTheMouseIsRedUnderThePointer) {
    for (const ZenButton* button : window->findChildren<ZenButton*>()) {
        EXPECT_EQ(button->DotColor(), kIdleDot) << button->Caption().toStdString();
        EXPECT_EQ(button->OverColor(), kBendDot) << button->Caption().toStdString();
    }
    startPlaying();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* face = ui().cmdBack->findChild<ZenButtonFace*>(QStringLiteral("PClip"));
    ASSERT_NE(face, nullptr);
    // Held with the mouse, the pointer resting on it (the hover light ticks every 10 ms).
    QCursor::setPos(face->mapToGlobal(QPoint(2, 2)));
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseMove}) {
        QMouseEvent event(type, QPoint(2, 2), QCursor::pos(), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(face, &event);
    }
    EXPECT_EQ(rate(), 45423 - 2500);
    QTest::qWait(100);
    EXPECT_EQ(face->look().dotFill, kBendDot);
    ui().cmdBack->MouseUp(1, 0, 2, 2);
    EXPECT_EQ(ui().cmdBack->DotColor(), kIdleDot);
}

TEST_F(DeckTouchTest, TrackingBendsByTheAmountWhileHeldAndReleaseReturnsExactly) {
    startPlaying();
    ASSERT_EQ(rate(), 45423);

    ui().cmdBack->MouseDown(1, 0, 5, 5);
    EXPECT_EQ(rate(), 45423 - 2500);
    EXPECT_NEAR(heardHz(), 1000.0 * (45423 - 2500) / 44100, 1.0);
    EXPECT_EQ(ui().cmdBack->DotColor(), kBendDot);
    // A pitch move during the bend is undone with it.
    ui().vscPitch->setSliderPosition(-800);
    ui().cmdBack->MouseUp(1, 0, 5, 5);
    EXPECT_EQ(rate(), 45423);
    EXPECT_EQ(ui().vscPitch->value(), -300);
    EXPECT_EQ(ui().cmdBack->DotColor(), kIdleDot);
    EXPECT_NEAR(heardHz(), 1000.0 * 45423 / 44100, 1.0);

    ui().hscEQ[2]->setValue(1000);
    ui().cmdForward->MouseDown(1, 0, 5, 5);
    EXPECT_EQ(rate(), 45423 + 1000);
    EXPECT_EQ(ui().cmdForward->DotColor(), kBendDot);
    ui().cmdForward->MouseUp(1, 0, 5, 5);
    EXPECT_EQ(rate(), 45423);
    EXPECT_EQ(ui().cmdForward->DotColor(), kIdleDot);
}

TEST_F(DeckTouchTest, WithoutTrackingTheRateRunsToTheEngineExtremesOverTheAmount) {
    startPlaying();
    window->touch().setTracking(false);

    window->Zen_TouchF2();
    engine->render(44100 * 5 / 4);
    const int halfway = rate();
    EXPECT_GT(halfway, 65000);
    EXPECT_LT(halfway, 80000);
    engine->render(44100 * 5 / 4 + 256);
    EXPECT_EQ(rate(), 100000);
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 45423);

    window->Zen_TouchB2();
    engine->render(44100 * 3);
    EXPECT_EQ(rate(), 100); // the engine's lowest rate
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 45423);
}

TEST_F(DeckTouchTest, AReleaseWithNoBendHeldChangesNothing) {
    startPlaying();
    // Any key released on the console sends the release to both decks.
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 45423);
    EXPECT_EQ(ui().vscPitch->value(), -300);

    // Nor does the release that follows a cue nudge.
    window->Zen_CUE();
    window->Zen_TouchF2();
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 45423);
    EXPECT_EQ(ui().vscPitch->value(), -300);

    // Nor a second release after a bend has ended.
    window->Zen_CUE();
    window->Zen_TouchB2();
    window->Zen_TouchUp();
    ui().vscPitch->setSliderPosition(-500);
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 46305);
    EXPECT_EQ(ui().vscPitch->value(), -500);
}

TEST_F(DeckTouchTest, ASecondTouchWhileHeldBendsFromTheFirstSavedRate) {
    startPlaying();
    window->Zen_TouchB2();
    window->Zen_TouchB2();
    EXPECT_EQ(rate(), 45423 - 2500);
    window->Zen_TouchF2();
    EXPECT_EQ(rate(), 45423 + 2500);
    EXPECT_EQ(ui().cmdForward->DotColor(), kBendDot);
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 45423);
    EXPECT_EQ(ui().vscPitch->value(), -300);
    EXPECT_EQ(ui().cmdBack->DotColor(), kIdleDot);
    EXPECT_EQ(ui().cmdForward->DotColor(), kIdleDot);
}

TEST_F(DeckTouchTest, WhileTheCueIsLatchedTouchNudgesTheCuePointOnly) {
    startPlaying();
    window->Zen_CUE();
    ASSERT_TRUE(transport().cueHeld());
    const zen::audio::BytePosition cue = transport().cuePoint();

    window->Zen_TouchB2();
    EXPECT_EQ(transport().cuePoint(), cue - 2500);
    EXPECT_EQ(engine->channelGetPosition(channel()), cue - 2500);
    window->Zen_TouchF2();
    window->Zen_TouchF2();
    EXPECT_EQ(transport().cuePoint(), cue + 2500);
    EXPECT_EQ(engine->channelGetPosition(channel()), cue + 2500);
    EXPECT_EQ(rate(), 45423);
    EXPECT_NE(ui().cmdBack->DotColor(), kBendDot);
    EXPECT_NE(ui().cmdForward->DotColor(), kBendDot);
}

TEST_F(DeckTouchTest, ALoadEndsTheBend) {
    startPlaying();
    window->Zen_TouchF2();
    load(makeSine("next.wav", 440, 2));
    EXPECT_EQ(ui().cmdForward->DotColor(), kIdleDot);
    ui().vscPitch->setSliderPosition(-200);
    // The button let go after the load leaves the new track as the DJ set it.
    ui().cmdForward->MouseUp(1, 0, 5, 5);
    EXPECT_EQ(rate(), 44982);
    EXPECT_EQ(ui().vscPitch->value(), -200);
}

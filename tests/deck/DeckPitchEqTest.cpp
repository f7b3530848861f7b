#include "DeckTestSupport.h"

#include "common/Colors.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/Pitch.h"

#include <QLabel>
#include <QTest>
#include <tuple>

namespace test = zen::audio::test;

constexpr zen::Rgb kBendDot = zen::rgb(255, 0, 0);
// The tone's own rate with the pitch fader at +3 %.
constexpr int kPitched = 45423;

// The pitch fader speeds the track up and the tempo follows. A touch held with the mouse or a
// command bends the rate and lights red. A release with no bend held (the console sends one to both
// decks for any key let go), a second touch while one is held, a pitch move or a load during a
// bend: the rate always comes back to the DJ's setting. Without tracking a touch runs the rate to
// the engine's extremes over the amount.
TEST_F(DeckTest, PitchSetsTheRateEveryTouchBendsFromItAndEveryReleaseReturnsToIt) {
    EXPECT_EQ(Pitch::rateFor(44100, -250), 45202) << "45202.5 rounds to even";
    EXPECT_EQ(Pitch::rateFor(44100, 250), 42998) << "42997.5 rounds to even";
    // Idle from the start, and red under the pointer: a held touch button stays red there.
    for (const ZenButton* button : window->findChildren<ZenButton*>()) {
        EXPECT_EQ(button->DotColor(), zen::kLightOffDot) << button->Caption().toStdString();
        EXPECT_EQ(button->OverColor(), kBendDot) << button->Caption().toStdString();
    }
    startDeck();
    ui().vscPitch->setSliderPosition(-250);
    EXPECT_EQ(ui().lblBPM->text(), "2.5 %");
    EXPECT_EQ(ui().lblBPMs->text(), "Not Detected") << "no track, no tempo";
    load(makeSine("tone.wav", 1000, 8));
    EXPECT_EQ(ui().vscPitch->value(), 0) << "a load puts the fader back";
    window->Zen_Pause();
    ui().vscPitch->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(ui().lblBPM->text(), "16 %");
    EXPECT_EQ(rate(), 51156);
    // The step buttons stop at the ends of the fader.
    ui().cmdPitchDw->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().vscPitch->value(), Pitch::kTop);
    ui().vscPitch->setValue(Pitch::kBottom);
    ui().cmdPitchUp->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().lblBPM->text(), "-16 %");

    ui().lblOrigBPM->setText("95");
    ui().vscPitch->setSliderPosition(0);
    ui().cmdPitchUp->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().lblBPM->text(), "-0.01 %");
    EXPECT_EQ(ui().lblBPMs->text(), "094.990");

    // Touches bend from the rate the pitch fader sets.
    ui().vscPitch->setSliderPosition(-300);
    ui().cmdBack->MouseDown(1, 0, 2, 2);
    EXPECT_EQ(rate(), kPitched - 2500);
    EXPECT_EQ(ui().cmdBack->DotColor(), kBendDot);
    ui().vscPitch->setSliderPosition(-800);
    ui().cmdBack->MouseUp(1, 0, 2, 2);
    EXPECT_EQ(rate(), kPitched);
    EXPECT_EQ(ui().vscPitch->value(), -300) << "a pitch move during the bend is undone with it";
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), kPitched);

    window->touch().setTracking(false);
    window->Zen_TouchF2();
    engine->render(44100 * 5 / 4);
    EXPECT_GT(rate(), 65000) << "halfway through the default amount";
    EXPECT_LT(rate(), 80000);
    engine->render(44100 * 5 / 4 + 256);
    EXPECT_EQ(rate(), 100000);
    window->Zen_TouchUp();
    window->Zen_TouchB2();
    engine->render(44100 * 3);
    EXPECT_EQ(rate(), 100) << "the engine's lowest rate";
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), kPitched);
    window->touch().setTracking(true);

    ui().hscEQ[2]->setValue(1000);
    window->Zen_TouchB2();
    window->Zen_TouchB2();
    EXPECT_EQ(rate(), kPitched - 1000);
    window->Zen_TouchF2();
    EXPECT_EQ(rate(), kPitched + 1000);
    EXPECT_EQ(ui().cmdForward->DotColor(), kBendDot);
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), kPitched);
    EXPECT_EQ(ui().cmdBack->DotColor(), zen::kLightOffDot);
    EXPECT_EQ(ui().cmdForward->DotColor(), zen::kLightOffDot);

    // A release after a cue nudge, and a second release, leave a later pitch move alone.
    window->Zen_CUE();
    window->Zen_TouchF2();
    window->Zen_TouchUp();
    window->Zen_CUE();
    ui().vscPitch->setSliderPosition(-500);
    window->Zen_TouchUp();
    EXPECT_EQ(rate(), 46305);

    window->Zen_TouchF2();
    load(makeSine("next.wav", 440, 2));
    EXPECT_EQ(ui().cmdForward->DotColor(), zen::kLightOffDot);
    ui().vscPitch->setSliderPosition(-200);
    ui().cmdForward->MouseUp(1, 0, 5, 5);
    EXPECT_EQ(rate(), 44982) << "the button let go after a load leaves the new track as set";
}

// The volume fader moves the master at once and the channel at the next rate change; the low
// band acts on two filters; an EQ kill lasts while the right button is held.
TEST_F(DeckTest, FadersShapeWhatIsHeardAndAnEqKillRestoresTheHeldValue) {
    startDeck();
    load(makeSine("tone.wav", 440, 4, 0.8));
    window->Zen_Pause();
    const auto peaks = [this] {
        const std::vector<float> out = engine->render(8820);
        return std::pair{test::peak(test::channelOf(out, 0, 4410)),
                         test::peak(test::channelOf(out, 1, 4410))};
    };
    EXPECT_NEAR(peaks().first, 0.8 * 0.5 * 0.5, 0.01) << "volume 50 on the channel and master";
    ui().hscEQ[0]->setSliderPosition(100);
    EXPECT_EQ(ui().lblinfo[8]->text(), "100");
    EXPECT_NEAR(peaks().first, 0.8 * 0.5, 0.01) << "the fader moves the master";
    ui().vscPitch->setSliderPosition(-1);
    EXPECT_NEAR(peaks().first, 0.8, 0.01) << "the channel follows at the next rate change";
    ui().hscEQ[1]->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(ui().lblinfo[9]->text(), "-100");
    EXPECT_EQ(ui().lblBPM->text(), QString::number(rate()))
        << "the pan change shows the rate in Hz";
    const auto [left, right] = peaks();
    EXPECT_GT(left, 0.1);
    EXPECT_LT(right, 0.001);

    const auto band = [this](int slot) {
        zen::audio::ParamEq p;
        EXPECT_TRUE(engine->fxGetParameters(window->equalizer().effect(slot), p));
        return std::tuple(p.centerHz, p.bandwidthSemitones, p.gainDb);
    };
    const auto gain = [&band](int slot) { return std::get<2>(band(slot)); };
    ui().vscEQ[0]->setValue(150);
    EXPECT_EQ(ui().lblinfo[11]->text(), "150");
    EXPECT_EQ(band(0), std::tuple(80.0f, 36.0f, 15.0f));
    EXPECT_EQ(band(3), std::tuple(80.0f, 36.0f, 15.0f));
    // Right button: kill while held, then back to the value set before, whatever moved since.
    ui().vscEQ[1]->setValue(70);
    QTest::mousePress(ui().lblEQR[1], Qt::RightButton);
    EXPECT_EQ(gain(1), -15.0f);
    ui().vscEQ[1]->setSliderPosition(20);
    QTest::mouseRelease(ui().lblEQR[1], Qt::RightButton);
    EXPECT_EQ(ui().vscEQ[1]->value(), 70);
    EXPECT_EQ(gain(1), 7.0f);
    // Left button: back to flat.
    QTest::mouseClick(ui().lblEQR[1], Qt::LeftButton);
    EXPECT_EQ(gain(1), 0.0f);
    EXPECT_EQ(gain(2), 0.0f) << "the high band was never touched";
    // The faders' gains reach the next track.
    ui().vscEQ[2]->setValue(-40);
    load(makeSine("next.wav", 440, 1));
    EXPECT_EQ(gain(0), 15.0f);
    EXPECT_EQ(gain(3), 15.0f);
    EXPECT_EQ(gain(2), -4.0f);
}

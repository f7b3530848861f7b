#include "DeckTestSupport.h"

#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/Pitch.h"

#include <QLabel>
#include <QTest>
#include <tuple>

namespace test = zen::audio::test;

TEST_F(DeckTest, PitchFaderSpeedsTheTrackUpAndTheTempoFollows) {
    EXPECT_EQ(Pitch::rateFor(44100, -250), 45202) << "45202.5 rounds to even";
    EXPECT_EQ(Pitch::rateFor(44100, 250), 42998) << "42997.5 rounds to even";
    EXPECT_EQ(Pitch::percentText(25), "-0.25 %");
    startDeck();
    ui().vscPitch->setSliderPosition(-250);
    EXPECT_EQ(ui().lblBPM->text(), "2.5 %");
    EXPECT_EQ(ui().lblBPMs->text(), "Not Detected") << "no track, no tempo";
    load(makeSine("sine.wav", 1000, 3));
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

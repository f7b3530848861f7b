#include "DeckTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/Pitch.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

namespace test = zen::audio::test;

namespace {

void pressLabel(QLabel* label, Qt::MouseButton button, bool down) {
    QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, QPointF(2, 2),
                      QPointF(2, 2), button, down ? button : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &event);
}

zen::audio::ParamEq params(zen::audio::AudioEngine& engine, zen::audio::Handle fx) {
    zen::audio::ParamEq p;
    EXPECT_TRUE(engine.fxGetParameters(fx, p));
    return p;
}

} // namespace

TEST(PitchRuleTest, RateRoundsHalvesToEvenAndPercentTextIsPlain) {
    EXPECT_EQ(Pitch::rateFor(44100, -250), 45202); // 45202.5
    EXPECT_EQ(Pitch::rateFor(44100, 250), 42998);  // 42997.5
    EXPECT_EQ(Pitch::rateFor(44100, Pitch::kTop), 51156);
    EXPECT_EQ(Pitch::percentText(-250), "2.5 %");
    EXPECT_EQ(Pitch::percentText(25), "-0.25 %");
    EXPECT_EQ(Pitch::percentText(Pitch::kTop), "16 %");
}

TEST_F(DeckTest, PitchFaderAtTheTopPlays16PercentFaster) {
    startDeck();
    load(makeSine("sine.wav", 1000, 3));
    window->Zen_Pause();
    EXPECT_NEAR(test::measureHz(test::channelOf(engine->render(44100), 0)), 1000.0, 0.5);

    ui().vscPitch->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(ui().vscPitch->value(), Pitch::kTop);
    EXPECT_EQ(ui().lblBPM->text(), "16 %");
    int rate = 0, volume = 0, pan = 0;
    ASSERT_TRUE(engine->channelGetAttributes(channel(), &rate, &volume, &pan));
    EXPECT_EQ(rate, 51156);
    EXPECT_NEAR(test::measureHz(test::channelOf(engine->render(44100), 0, 2048)), 1160.0, 0.5);

    // A new load puts the fader back to 0 without touching the rate of the new channel.
    load(makeSine("other.wav", 1000, 1));
    EXPECT_EQ(ui().vscPitch->value(), 0);
    ASSERT_TRUE(engine->channelGetAttributes(channel(), &rate, &volume, &pan));
    EXPECT_EQ(rate, 44100);
}

TEST_F(DeckTest, TempoLabelFollowsThePitchOnceATrackIsLoaded) {
    startDeck();
    ui().vscPitch->setSliderPosition(-250);
    EXPECT_EQ(ui().lblBPM->text(), "2.5 %");
    EXPECT_EQ(ui().lblBPMs->text(), "Not Detected");

    load(makeSine("tone.wav", 440, 1));
    ui().lblOrigBPM->setText("120");
    ui().vscPitch->setSliderPosition(-250);
    EXPECT_EQ(ui().lblBPMs->text(), "123.000");
    ui().vscPitch->setSliderPosition(0);
    EXPECT_EQ(ui().lblBPMs->text(), "120.000");
    ui().lblOrigBPM->setText("95");
    ui().cmdPitchUp->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().vscPitch->value(), 1);
    EXPECT_EQ(ui().lblBPM->text(), "-0.01 %");
    EXPECT_EQ(ui().lblBPMs->text(), "094.990");
}

TEST_F(DeckTest, StepButtonsStopAtTheEndsOfTheFader) {
    startDeck();
    ui().vscPitch->setValue(Pitch::kTop + 1);
    ui().cmdPitchDw->MouseDown(1, 0, 1, 1);
    ui().cmdPitchDw->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().vscPitch->value(), Pitch::kTop);
    ui().vscPitch->setValue(Pitch::kBottom);
    ui().cmdPitchUp->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().vscPitch->value(), Pitch::kBottom);
    EXPECT_EQ(ui().lblBPM->text(), "-16 %");
}

TEST_F(DeckTest, LowBandActsTwiceAndKillRestoresTheHeldValue) {
    startDeck();
    load(makeSine("tone.wav", 440, 1));
    ui().vscEQ[0]->setValue(150);
    EXPECT_EQ(ui().lblinfo[11]->text(), "150");
    for (int slot : {0, 3}) {
        const zen::audio::ParamEq p = params(*engine, window->equalizer().effect(slot));
        EXPECT_FLOAT_EQ(p.gainDb, 15.0f);
        EXPECT_FLOAT_EQ(p.centerHz, 80.0f);
        EXPECT_FLOAT_EQ(p.bandwidthSemitones, 36.0f);
    }

    ui().vscEQ[1]->setValue(70);
    pressLabel(ui().lblEQR[1], Qt::RightButton, true);
    EXPECT_EQ(ui().vscEQ[1]->value(), -150);
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(1)).gainDb, -15.0f);
    ui().vscEQ[1]->setSliderPosition(20);
    pressLabel(ui().lblEQR[1], Qt::RightButton, false);
    EXPECT_EQ(ui().vscEQ[1]->value(), 70);
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(1)).gainDb, 7.0f);

    pressLabel(ui().lblEQR[1], Qt::LeftButton, true);
    pressLabel(ui().lblEQR[1], Qt::LeftButton, false);
    EXPECT_EQ(ui().vscEQ[1]->value(), 0);
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(1)).gainDb, 0.0f);
    // The high band was never touched.
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(2)).gainDb, 0.0f);

    // The faders' gains reach the next track.
    ui().vscEQ[2]->setValue(-40);
    load(makeSine("next.wav", 440, 1));
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(0)).gainDb, 15.0f);
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(3)).gainDb, 15.0f);
    EXPECT_FLOAT_EQ(params(*engine, window->equalizer().effect(2)).gainDb, -4.0f);
}

TEST_F(DeckTest, VolumeFaderMovesTheMasterAndTheChannelFollowsAtTheNextRateChange) {
    startDeck();
    load(makeSine("tone.wav", 440, 4, 0.8));
    int rate = 0, volume = 0, pan = 0;
    ASSERT_TRUE(engine->channelGetAttributes(channel(), &rate, &volume, &pan));
    EXPECT_EQ(volume, 50);
    window->Zen_Pause();
    const double atHalf = test::peak(test::channelOf(engine->render(8820), 0, 4410));
    EXPECT_NEAR(atHalf, 0.8 * 0.5 * 0.5, 0.01);

    ui().hscEQ[0]->setSliderPosition(100);
    EXPECT_EQ(window->equalizer().volume(), 100);
    EXPECT_EQ(ui().lblinfo[8]->text(), "100");
    ASSERT_TRUE(engine->channelGetAttributes(channel(), &rate, &volume, &pan));
    EXPECT_EQ(volume, 50);
    const double atFull = test::peak(test::channelOf(engine->render(8820), 0, 4410));
    EXPECT_NEAR(atFull, 0.8 * 0.5, 0.01);

    ui().vscPitch->setSliderPosition(-1);
    ASSERT_TRUE(engine->channelGetAttributes(channel(), &rate, &volume, &pan));
    EXPECT_EQ(volume, 100);
}

TEST_F(DeckTest, PanFaderLeftEndSendsTheSoundLeft) {
    startDeck();
    load(makeSine("tone.wav", 440, 2, 0.8));
    window->Zen_Pause();
    ui().hscEQ[1]->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(window->equalizer().pan(), -100);
    EXPECT_EQ(ui().lblinfo[9]->text(), "-100");
    // The pan change shows the rate in Hz until the next pitch change.
    EXPECT_EQ(ui().lblBPM->text(), "44100");
    const std::vector<float> out = engine->render(8820);
    EXPECT_GT(test::peak(test::channelOf(out, 0, 4410)), 0.1);
    EXPECT_LT(test::peak(test::channelOf(out, 1, 4410)), 0.001);
}

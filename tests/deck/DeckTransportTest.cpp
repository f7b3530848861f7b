#include "DeckTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/TimeText.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

namespace {

constexpr int kBytesPerSecond = 44100 * 4;
// The engine's crossfade over a jump, in frames.
constexpr int kFade = 128;

} // namespace

TEST(TimeTextTest, MinutesSecondsAndRoundedMilliseconds) {
    EXPECT_EQ(formatSeconds(65.4321f), "01:05,432");
    EXPECT_EQ(formatSeconds(59.9996f), "00:59,000");
    EXPECT_EQ(formatSeconds(215.457f), "03:35,457");
    EXPECT_EQ(formatSeconds(6000.5f), "100:00,500");
}

TEST_F(DeckTest, PositionDisplayAndNoPositionText) {
    startDeck();
    EXPECT_EQ(FormatTime(*engine, channel(), -1), ":,");
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "- - : - - , - - -");
    load(makeSine("tone.wav", 440, 2));
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "00:00,000");
    window->Zen_Pause();
    engine->render(44100 + 4410);
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "00:01,100");
    EXPECT_EQ(ui().trkPosition->value(), (44100 + 4410) * 4);
}

TEST_F(DeckTest, EndOfTrackStopsAtTheStartAndOnePressPlaysAgain) {
    startDeck();
    load(makeSine("tone.wav", 440, 1));
    window->Zen_Pause();
    play(44100 * 8 / 10);
    EXPECT_FALSE(transport().stopped());
    play(44100 / 10 + 10);
    EXPECT_TRUE(transport().stopped());
    EXPECT_TRUE(ui().cmdPause->isHidden());
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);
    engine->render(441);
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);

    window->Zen_Pause();
    engine->render(441);
    EXPECT_EQ(engine->channelGetPosition(channel()), 441 * 4);
}

TEST_F(DeckTest, RepeatRestartsFromTheStart) {
    startDeck();
    ui().chkRepeat->setChecked(true);
    load(makeSine("tone.wav", 440, 1));
    window->Zen_Pause();
    play(44100 * 9 / 10 + 10);
    EXPECT_FALSE(transport().stopped());
    EXPECT_FALSE(ui().cmdPause->isHidden());
    engine->render(441);
    EXPECT_EQ(engine->channelGetPosition(channel()), 441 * 4);
}

TEST_F(DeckTest, LoopWrapsBetweenItsPointsAndAnEmptyLoopHoldsTheStart) {
    startDeck();
    load(makeSine("tone.wav", 440, 2));
    window->Zen_Pause();
    engine->render(11025);
    ui().cmdStartLoop->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(loop().loopStart(), 11025 * 4);
    EXPECT_EQ(ui().lblinfo[6]->text(), "00:00,250");
    engine->render(11025);
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(loop().loopEnd(), 22050 * 4);

    loop().toggleLoop();
    EXPECT_TRUE(loop().loopOn());
    EXPECT_EQ(ui().cmdLooped->DotColor(), zen::kLightOnDot);
    zen::audio::BytePosition highest = 0;
    for (int tick = 0; tick < 1000; ++tick) {
        play(44);
        const zen::audio::BytePosition p = engine->channelGetPosition(channel());
        EXPECT_GE(p, loop().loopStart());
        highest = std::max(highest, p);
    }
    EXPECT_LE(highest, loop().loopEnd());

    // Loop end at the start: held at the loop start, also when stopped.
    engine->channelSetPosition(channel(), loop().loopStart());
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    ASSERT_EQ(loop().loopEnd(), loop().loopStart());
    std::int16_t step = 500;
    EXPECT_EQ(loop().Zen_FineDw(step), "00:00,247");
    EXPECT_EQ(loop().loopEnd(), loop().loopStart() - 500);
    window->Zen_Stop();
    engine->channelSetPosition(channel(), 3 * loop().loopStart());
    play(100);
    EXPECT_EQ(engine->channelGetPosition(channel()), loop().loopStart());
    play(100);
    EXPECT_EQ(engine->channelGetPosition(channel()), loop().loopStart());

    loop().toggleLoop();
    EXPECT_FALSE(loop().loopOn());
    EXPECT_EQ(ui().cmdLooped->DotColor(), zen::kLightOffDot);
}

TEST_F(DeckTest, TheLoopWrapsAtTheExactSampleWithoutTheWatchAndFineStepsMoveItsEnd) {
    namespace test = zen::audio::test;
    const test::Pcm probe = test::makeProbe(44100);
    test::writeWav(musicDir.filePath("probe.wav").toStdString(), probe);
    startDeck();
    load("probe.wav");
    // Full volume, centred, so the output is the file itself.
    const auto unity = [&] {
        engine->setGlobalVolumes(100, 100, 100);
        engine->channelSlideAttributes(channel(), -1, 100, 0, 0);
    };
    unity();
    window->Zen_Pause();
    engine->render(11025);
    ui().cmdStartLoop->MouseDown(1, 0, 1, 1);
    engine->render(11025);
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    loop().toggleLoop();

    // Only the engine renders from here on: the loop watch never ticks.
    auto out = engine->render(11025 + 1000);
    test::expectFrames(out, 11025 - 100, probe, 22050 - 100, 100);
    test::expectFrames(out, 11025 + kFade, probe, 11025 + kFade, 1000 - kFade);
    EXPECT_EQ(engine->channelGetPosition(channel()), (11025 + 1000) * 4);

    // 500 bytes are 125 frames: the end moves out by that much, then in by twice as much.
    std::int16_t step = 500;
    loop().Zen_FineUp(step);
    out = engine->render(22175 - 12025 + 500);
    test::expectFrames(out, 22175 - 12025 - 100, probe, 22175 - 100, 100);
    test::expectFrames(out, 22175 - 12025 + kFade, probe, 11025 + kFade, 500 - kFade);
    loop().Zen_FineDw(step);
    ui().cmdFineDw->Click();
    EXPECT_EQ(loop().loopEnd(), 21925 * 4);
    out = engine->render(21925 - 11525 + 300);
    test::expectFrames(out, 21925 - 11525 - 100, probe, 21925 - 100, 100);
    test::expectFrames(out, 21925 - 11525 + kFade, probe, 11025 + kFade, 300 - kFade);
    EXPECT_EQ(engine->channelGetPosition(channel()), (11025 + 300) * 4);

    // Off: playback runs through the old end.
    loop().toggleLoop();
    engine->render(11000);
    EXPECT_EQ(engine->channelGetPosition(channel()), (11325 + 11000) * 4);

    // A load keeps the loop on, and the new track loops too.
    loop().toggleLoop();
    test::writeWav(musicDir.filePath("again.wav").toStdString(), probe);
    load("again.wav");
    EXPECT_TRUE(loop().loopOn());
    unity();
    window->Zen_Pause();
    out = engine->render(21925 + 500);
    test::expectFrames(out, 21925 - 100, probe, 21925 - 100, 100);
    test::expectFrames(out, 21925 + kFade, probe, 11025 + kFade, 500 - kFade);
    EXPECT_EQ(engine->channelGetPosition(channel()), (11025 + 500) * 4);
}

TEST_F(DeckTest, StopWithNoCueSeeksToTheStart) {
    startDeck();
    load(makeSine("tone.wav", 440, 2));
    window->Zen_Pause();
    engine->render(20000);
    window->Zen_Stop();
    EXPECT_TRUE(transport().stopped());
    EXPECT_TRUE(ui().cmdPause->isHidden());
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);
    engine->render(1000);
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);
}

TEST_F(DeckTest, HeldCueStuttersOnTheCuePointUntilReleased) {
    startDeck();
    load(makeSine("tone.wav", 440, 3));
    window->Zen_Pause();
    engine->render(44100);
    window->Zen_CUE();
    EXPECT_TRUE(transport().cueHeld());
    EXPECT_TRUE(transport().tmrCue().isActive());
    EXPECT_EQ(transport().cuePoint(), kBytesPerSecond);
    EXPECT_EQ(ui().cmdCUE->DotColor(), zen::kLightOnDot);
    EXPECT_EQ(ui().cmdCUE->OverColor(), zen::kLightOnOver);
    for (int i = 0; i < 3; ++i) {
        engine->render(3307);
        transport().cueTick();
        EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
    }
    engine->render(1000);
    window->Zen_CUE();
    EXPECT_FALSE(transport().cueHeld());
    EXPECT_FALSE(transport().tmrCue().isActive());
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
    EXPECT_EQ(ui().cmdCUE->DotColor(), zen::kLightOffDot);

    // Stop goes back to the cue point.
    engine->render(1000);
    window->Zen_Stop();
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
}

TEST_F(DeckTest, CuePlayWhileStoppedPlaysWithoutTheEndRule) {
    startDeck();
    load(makeSine("tone.wav", 440, 1));
    engine->channelSetPosition(channel(), kBytesPerSecond / 2);
    ui().cmdCueSet->Click();
    EXPECT_EQ(transport().cuePoint(), kBytesPerSecond / 2);
    ui().cmdCuePause->MouseDown(1, 0, 1, 1);
    EXPECT_TRUE(transport().stopped());
    EXPECT_TRUE(ui().cmdPause->isHidden());
    play(4410);
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond / 2 + 4410 * 4);
    play(44100 / 2);
    // Ran to the end by itself; the deck still reads as stopped and nothing restarted it.
    EXPECT_TRUE(transport().stopped());
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
}

TEST_F(DeckTest, OnlyUserMovesOfThePositionSliderSeek) {
    startDeck();
    load(makeSine("tone.wav", 440, 2));
    ui().trkPosition->setValue(kBytesPerSecond);
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);
    ui().trkPosition->setSliderPosition(kBytesPerSecond / 4);
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond / 4);
    ui().trkPosition->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(engine->channelGetPosition(channel()), 2 * kBytesPerSecond);

    // A click in the groove puts the knob there and seeks, however long the track.
    DeckSlider* slider = ui().trkPosition;
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(slider->width() / 4, slider->height() / 2));
    EXPECT_NEAR(slider->value(), kBytesPerSecond / 2, kBytesPerSecond / 20);
    EXPECT_NEAR(engine->channelGetPosition(channel()), slider->value(), 4);
}

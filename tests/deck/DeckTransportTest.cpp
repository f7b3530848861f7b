#include "DeckTestSupport.h"

#include "common/ZenButton.h"
#include "deck/DeckSlider.h"
#include "deck/TimeText.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

constexpr int kBytesPerSecond = 44100 * 4;

// Only the user's moves of the slider seek; while playing the slider and text follow the track.
TEST_F(DeckTest, PositionSeeksTheEndStopsUnlessRepeatedAndStopReturnsToAHeldCue) {
    const std::pair<float, const char*> times[] = {
        {59.9996f, "00:59,000"}, {215.457f, "03:35,457"}, {6000.5f, "100:00,500"}};
    for (const auto& [seconds, text] : times)
        EXPECT_EQ(formatSeconds(seconds), text) << "minutes, seconds and rounded milliseconds";
    startDeck();
    transport().setTimersRunning(true);
    EXPECT_EQ(FormatTime(*engine, channel(), -1), ":,");
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "- - : - - , - - -");
    load(makeSine("tone.wav", 440, 1));
    DeckSlider* slider = ui().trkPosition;
    slider->setValue(kBytesPerSecond / 2);
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);
    slider->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
    // A click in the groove puts the knob there and seeks, however long the track.
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(slider->width() / 4, slider->height() / 2));
    EXPECT_NEAR(slider->value(), kBytesPerSecond / 4, kBytesPerSecond / 20);
    EXPECT_NEAR(engine->channelGetPosition(channel()), slider->value(), 4);

    engine->channelSetPosition(channel(), 0);
    window->Zen_Pause();
    play(44100 / 2 + 4410);
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "00:00,600");
    EXPECT_EQ(slider->value(), (44100 / 2 + 4410) * 4);
    EXPECT_TRUE(transport().watchingClosely()) << "the last second of a playing track";
    play(44100 / 2);
    EXPECT_TRUE(transport().stopped());
    EXPECT_FALSE(transport().watchingClosely()) << "a stopped deck at its start";
    EXPECT_TRUE(ui().cmdPause->isHidden());
    engine->render(441);
    EXPECT_EQ(engine->channelGetPosition(channel()), 0) << "stopped at the start";

    ui().chkRepeat->setChecked(true);
    window->Zen_Pause();
    play(44100 * 9 / 10 + 10);
    EXPECT_FALSE(transport().stopped()) << "repeat goes on from the start";
    EXPECT_FALSE(ui().cmdPause->isHidden());
    engine->render(441);
    EXPECT_EQ(engine->channelGetPosition(channel()), 441 * 4);

    // A held cue stutters on the cue point, and stop returns there.
    ui().chkRepeat->setChecked(false);
    load(makeSine("long.wav", 440, 3));
    window->Zen_Pause();
    engine->render(44100);
    window->Zen_CUE();
    EXPECT_EQ(transport().cuePoint(), kBytesPerSecond);
    EXPECT_EQ(ui().cmdCUE->DotColor(), zen::kLightOnDot);
    engine->render(3307);
    transport().cueTick();
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond) << "the stutter's jump back";
    engine->render(1000);
    window->Zen_CUE();
    EXPECT_FALSE(transport().tmrCue().isActive());
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);
    EXPECT_EQ(ui().cmdCUE->DotColor(), zen::kLightOffDot);
    engine->render(1000);
    window->Zen_Stop();
    EXPECT_EQ(engine->channelGetPosition(channel()), kBytesPerSecond);

    // Cue-play while stopped plays to the end by itself; the deck still reads as stopped.
    engine->channelSetPosition(channel(), 2 * kBytesPerSecond);
    ui().cmdCueSet->Click();
    ui().cmdCuePause->MouseDown(1, 0, 1, 1);
    EXPECT_TRUE(transport().stopped());
    play(4410);
    EXPECT_EQ(engine->channelGetPosition(channel()), 2 * kBytesPerSecond + 4410 * 4);
    play(44100);
    EXPECT_TRUE(transport().stopped());
    EXPECT_EQ(engine->channelGetPosition(channel()), 3 * kBytesPerSecond);
}

// The loop and end watch wakes every 2 ms only where it may have to act before the next frame;
// elsewhere its ticks ride the frame clock.
TEST_F(DeckTest, LoopWrapsAtItsEndFineStepsMoveTheEndAndTheWatchWakesOnlyWhereNeeded) {
    startDeck();
    load(makeSine("tone.wav", 440, 3));
    transport().setTimersRunning(true);
    const auto expectFrame = [this](int frame, const char* why) {
        EXPECT_EQ(engine->channelGetPosition(channel()), frame * 4) << why;
    };
    window->Zen_Pause();
    play(11025);
    EXPECT_FALSE(transport().watchingClosely()) << "mid-track with no loop";
    ui().cmdStartLoop->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(ui().lblinfo[6]->text(), "00:00,250");
    engine->render(11025);
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    loop().toggleLoop();
    EXPECT_EQ(ui().cmdLooped->DotColor(), zen::kLightOnDot);
    EXPECT_TRUE(transport().watchingClosely()) << "right after the loop was switched on";
    // The engine wraps at the exact frame by itself; the loop watch needs no tick for that.
    engine->render(11025 + 1000);
    expectFrame(11025 + 1000, "switched on at the start, wrapped at the end");
    transport().loopTick();
    EXPECT_FALSE(transport().watchingClosely()) << "inside a loop the engine wraps";

    // 500 bytes are 125 frames: the end moves out by that much, then in by twice as much.
    std::int16_t step = 500;
    loop().Zen_FineUp(step);
    engine->render(22175 - 12025 + 500);
    expectFrame(11025 + 500, "wrapped at the later end");
    loop().Zen_FineDw(step);
    ui().cmdFineDw->Click();
    EXPECT_EQ(loop().loopEnd(), 21925 * 4);
    engine->render(21925 - 11525 + 300);
    expectFrame(11025 + 300, "wrapped at the earlier end");

    loop().toggleLoop();
    EXPECT_EQ(ui().cmdLooped->DotColor(), zen::kLightOffDot);
    engine->render(11000);
    expectFrame(11325 + 11000, "off: playback runs through the old end");

    loop().toggleLoop();
    load(makeSine("again.wav", 440, 1));
    EXPECT_TRUE(loop().loopOn());
    window->Zen_Pause();
    engine->render(21925 + 500);
    expectFrame(11025 + 500, "a load keeps the loop on, and the new track loops too");

    // An end set at or before the start: the watch holds the loop start, also when stopped.
    engine->channelSetPosition(channel(), loop().loopStart());
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    EXPECT_EQ(loop().Zen_FineDw(step), "00:00,247");
    window->Zen_Stop();
    engine->channelSetPosition(channel(), 3 * loop().loopStart());
    play(100);
    EXPECT_EQ(engine->channelGetPosition(channel()), loop().loopStart());
    EXPECT_TRUE(transport().watchingClosely()) << "an empty loop";
}

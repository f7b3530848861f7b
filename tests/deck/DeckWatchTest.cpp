#include "DeckTestSupport.h"

#include "common/ZenButton.h"
#include "deck/DeckSlider.h"

namespace {

constexpr int kBytesPerSecond = 44100 * 4;

} // namespace

// The loop and end watch wakes every 2 ms only where it may have to act before the next frame;
// elsewhere its ticks ride the frame clock.
TEST_F(DeckTest, TheWatchWakesEveryTwoMillisecondsOnlyWhereItMayHaveToAct) {
    startDeck();
    load(makeSine("tone.wav", 440, 3));
    transport().setTimersRunning(true);
    window->Zen_Pause();
    play(4410);
    EXPECT_FALSE(transport().watchingClosely()) << "mid-track with no loop";

    // A loop the engine wraps itself: the switch wakes the watch, which then finds nothing to do.
    ui().cmdEndLoop->MouseDown(1, 0, 1, 1);
    loop().toggleLoop();
    EXPECT_TRUE(transport().watchingClosely()) << "right after the loop was switched on";
    play(100);
    EXPECT_FALSE(transport().watchingClosely()) << "inside a loop the engine wraps";

    // A loop end moved before its start: only the watch holds the deck at the start.
    loop().Zen_FineDw(20000);
    play(2000);
    EXPECT_TRUE(transport().watchingClosely()) << "an empty loop";
    EXPECT_EQ(engine->channelGetPosition(channel()), loop().loopStart());
    loop().toggleLoop();
    play(100);
    EXPECT_FALSE(transport().watchingClosely()) << "the loop is off";

    // The last second of a playing track, up to its end.
    ui().trkPosition->setValue(3 * kBytesPerSecond - kBytesPerSecond / 2);
    transport().seekToSlider();
    play(100);
    EXPECT_TRUE(transport().watchingClosely()) << "half a second before the end";
    play(44100);
    EXPECT_TRUE(transport().stopped()) << "the end stops the deck";
    EXPECT_FALSE(transport().watchingClosely()) << "a stopped deck at its start";
}

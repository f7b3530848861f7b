#include "DeckTestSupport.h"

#include <QLabel>

using zen::audio::test::channelOf;
using zen::audio::test::peak;

// The sound server goes away in the middle of a track: the deck says so on its status line (no
// message box), goes on obeying, and plays on once the server is back, here at 48 kHz where it
// ran at 44.1 kHz. Then it hangs.
TEST_F(DeckTest, ALostOrHungOutputIsShownObeyedThroughAndPlaysOnWhenBack) {
    startDeck();
    load(makeSine("tone.wav", 440, 5));
    window->Zen_Pause();
    play(4410);
    const double heard = peak(channelOf(engine->render(4410), 0));
    OutputWatch& watch = window->outputWatch();
    watch.check();
    EXPECT_TRUE(ui().lblStatus->isHidden());

    engine->setOutputGone(true, 44100);
    watch.check();
    EXPECT_FALSE(ui().lblStatus->isHidden()) << "the first look says so";
    EXPECT_EQ(ui().lblStatus->text(), "No sound: The test clock's output stopped. Trying again...");
    EXPECT_EQ(peak(engine->render(4410)), 0.0);
    // Stop and play again, as the DJ does: each acts at once.
    window->Zen_Stop();
    EXPECT_TRUE(transport().stopped());
    EXPECT_EQ(engine->channelGetLevel(channel()), -1);
    window->Zen_Pause();
    EXPECT_FALSE(transport().stopped());
    watch.check();
    EXPECT_EQ(ui().lblStatus->text(), "No sound: The test clock's output is gone. Trying again...")
        << "the next look tries again and says why it failed";
    EXPECT_TRUE(host.messages.empty());

    engine->setOutputGone(false, 48000);
    for (int look = 0; look < 2 && !ui().lblStatus->isHidden(); ++look)
        watch.check();
    EXPECT_TRUE(ui().lblStatus->isHidden()) << "back within two more looks";
    const auto back = channelOf(engine->render(48000), 0, 24000);
    EXPECT_NEAR(peak(back), heard, 0.01) << "playing, as it was";
    EXPECT_NEAR(zen::audio::test::measureHz(back, 48000), 440, 0.5) << "at the same pitch";

    // A server that hangs tells nothing; the deck says so all the same, and plays on when it
    // answers again.
    engine->setOutputHung(true);
    watch.check();
    EXPECT_EQ(ui().lblStatus->text(),
              "No sound: The test clock's output does not answer. Trying again...");
    watch.check();
    EXPECT_FALSE(ui().lblStatus->isHidden()) << "while it still hangs";
    engine->setOutputHung(false);
    watch.check();
    EXPECT_TRUE(ui().lblStatus->isHidden());
    EXPECT_NEAR(peak(channelOf(engine->render(4800), 0)), heard, 0.01) << "playing, as it was";
    EXPECT_EQ(host.ended, 0);
}

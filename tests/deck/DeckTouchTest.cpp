#include "DeckTestSupport.h"

#include "common/Colors.h"
#include "common/ZenButton.h"
#include "deck/DeckSlider.h"

namespace {

constexpr zen::Rgb kBendDot = zen::rgb(255, 0, 0);
// The tone's own rate with the pitch fader at +3 %.
constexpr int kPitched = 45423;

} // namespace

// A touch held with the mouse or a command bends the rate and lights red. A release with no bend
// held (the console sends one to both decks for any key let go), a second touch while one is held,
// a pitch move or a load during a bend: the rate always comes back to the DJ's setting. Without
// tracking a touch runs the rate to the engine's extremes over the amount.
TEST_F(DeckTest, EveryTouchBendsFromTheRateSetAndEveryReleaseReturnsToIt) {
    // Idle from the start, and red under the pointer: a held touch button stays red there.
    for (const ZenButton* button : window->findChildren<ZenButton*>()) {
        EXPECT_EQ(button->DotColor(), zen::kLightOffDot) << button->Caption().toStdString();
        EXPECT_EQ(button->OverColor(), kBendDot) << button->Caption().toStdString();
    }
    startDeck();
    load(makeSine("tone.wav", 1000, 8));
    ui().vscPitch->setSliderPosition(-300);
    window->Zen_Pause();
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

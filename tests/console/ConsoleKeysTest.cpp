#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "console/KeyShortcuts.h"
#include "console/MappingBox.h"

#include <QCheckBox>

namespace {

using zen::cmd::kCue;
using zen::cmd::kPlayPause;
using zen::cmd::kTouchRelease;

class ConsoleKeysTest : public ConsoleTest {
protected:
    // The keyboard reports `code` from now on; one tick of the key timer sees it.
    void key(int code) {
        heldKey = code;
        window->keyShortcuts().tick();
    }
};

TEST_F(ConsoleKeysTest, EachNewKeySendsItsEntriesInOrderAndEveryReleaseGoesToBothDecks) {
    zen::config::ConfigRecord record = sampleRecord(); // entry 16, deck 1 play: 57
    record.mapping[18] = "30";                         // deck 1 CUE
    record.mapping[21] = "30";                         // and deck 2 play
    record.mapping[22] = "";
    writeConfig(record);
    ASSERT_TRUE(startConsole());
    pressEngine();
    ASSERT_EQ(host.decks.size(), 2u);

    key(57);
    key(57); // still held: nothing more
    key(30); // straight to another key: no release in between
    key(0);
    // The panel shown takes keys for itself: no entry is served, but the release still goes out.
    panel().show();
    key(57);
    key(0);
    pump();
    EXPECT_EQ(host.decks[0]->commands,
              (std::vector<int>{kPlayPause, kCue, kTouchRelease, kTouchRelease}));
    EXPECT_EQ(host.decks[1]->commands,
              (std::vector<int>{kPlayPause, kTouchRelease, kTouchRelease}));
    EXPECT_EQ(monitorText(), " \nD1 PLAY/PAUSE \nD1 CUE \nD2 PLAY/PAUSE \nKey UP \nKey UP");
}

TEST_F(ConsoleKeysTest, KeysAreCapturedIntoTheMarkedKeyBoxAndBackspaceEmptiesIt) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    // Capture opens the ports with the engine stopped; decks of the test double listen on them.
    options().chkMapping->click();
    FakeDeck deck1("1"), deck2("2");
    MappingBox* stop2 = options().txtMapping[22];
    MappingBox* bass1 = options().txtMapping[0];

    key(57); // stopped, panel hidden: the key goes nowhere
    key(0);
    panel().show();
    focus(bass1, QEvent::FocusIn);
    key(44); // a controller box takes no key
    EXPECT_EQ(bass1->text(), "");
    key(KeyShortcuts::kBackspace); // but Backspace empties any marked box
    key(0);
    bass1->setText("7");
    key(KeyShortcuts::kBackspace);
    EXPECT_EQ(bass1->text(), "");

    focus(bass1, QEvent::FocusOut);
    focus(stop2, QEvent::FocusIn);
    key(44);
    EXPECT_EQ(stop2->text(), "44");
    // The hidden panel keeps its marker for while a deck has the focus; Backspace typed there
    // leaves the box alone.
    panel().hide();
    key(KeyShortcuts::kBackspace);
    EXPECT_EQ(stop2->text(), "44");
    key(0);
    pump();
    const std::vector<int> releases(3, kTouchRelease);
    EXPECT_EQ(deck1.commands, releases);
    EXPECT_EQ(deck2.commands, releases);
    EXPECT_EQ(monitorText(), " \nKey UP \nKey UP \nKey UP");
}

} // namespace

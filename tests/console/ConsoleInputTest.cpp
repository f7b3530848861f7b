#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "console/KeyShortcuts.h"
#include "console/MappingBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <thread>

namespace {

using namespace zen::cmd;
using Commands = std::vector<int>;
using Shortcuts = std::vector<zen::console::KeyShortcut>;

constexpr qint16 kControllerCable = 2; // "MIDI Yoke 3"

class ConsoleInputTest : public ConsoleTest {
protected:
    ConsoleInputTest() { controller.action(kControllerCable, zen::MidiAction::Open); }
    // The keyboard reports `code` from now on; one tick of the key timer sees it.
    void key(int code) {
        host.heldKey = code;
        window->keyShortcuts().tick();
    }
    // A message from the external controller, handled by the console before this returns.
    void send(qint16 status, qint16 data1, qint16 data2) {
        QSignalSpy handled(&window->ports().MIDIInput1(), &zen::MIDIInput::messageReceived);
        controller.send(kControllerCable, status, data1, data2);
        ASSERT_TRUE(handled.wait());
    }
    static bool receive(const FakeDeck& deck1, const FakeDeck& deck2, std::size_t count) {
        return QTest::qWaitFor(
            [&] { return deck1.commands.size() + deck2.commands.size() >= count; });
    }

    zen::MIDIOutput controller;
};

TEST_F(ConsoleInputTest, EachNewKeySendsItsEntriesInOrderAndEveryReleaseGoesToBothDecks) {
    zen::config::ConfigRecord record = sampleRecord(); // entry 16, deck 1 play: 57
    record.mapping[18] = "30";                         // deck 1 CUE
    record.mapping[21] = "30";                         // and deck 2 play
    writeConfig(record);
    ASSERT_TRUE(startConsole());
    pressEngine();
    ASSERT_EQ(host.decks.size(), 2u);
    EXPECT_EQ(host.shortcuts, (Shortcuts{{30, "D1 CUE, D2 PLAY/PAUSE"}, {57, "D1 PLAY/PAUSE"}}))
        << "START offers each mapped key to the desktop, with all it does";
    key(57);
    key(57); // still held: nothing more
    key(30); // straight to another key: no release in between
    key(0);
    // A box changed while the engine runs counts from the next key on.
    options().txtMapping[17]->setText("31"); // deck 1 STOP
    key(31);
    // On the key thread, as the console reads keys: the deck hears it, the monitor follows.
    std::thread([&] { key(0); }).join();
    EXPECT_TRUE(receive(*host.decks[0], *host.decks[1], 8));
    EXPECT_EQ(host.decks[0]->commands,
              (Commands{kPlayPause, kCue, kTouchRelease, kStop, kTouchRelease}));
    EXPECT_EQ(host.decks[1]->commands, (Commands{kPlayPause, kTouchRelease, kTouchRelease}));
    const QString lines = " \nKeys: scripted \nD1 PLAY/PAUSE \nD1 CUE \nD2 PLAY/PAUSE \nKey UP "
                          "\nD1 STOP \nKey UP";
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->monitor().text() == lines; }))
        << window->monitor().text().toStdString();

    pressEngine();
    EXPECT_TRUE(host.shortcuts.empty()) << "STOP takes the shortcuts back";
}

TEST_F(ConsoleInputTest, KeysAreCapturedIntoTheMarkedKeyBoxAndBackspaceEmptiesIt) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    // Capture opens the ports with the engine stopped; decks of the test double listen on them.
    options().chkMapping->click();
    FakeDeck deck1("1"), deck2("2");
    MappingBox* bass1 = options().txtMapping[0];
    MappingBox* stop2 = options().txtMapping[22];

    key(57); // stopped, panel hidden: the key goes nowhere
    key(0);
    panel().show();
    bass1->setText("7");
    focus(bass1, QEvent::FocusIn);
    key(44);
    EXPECT_EQ(bass1->text(), "7") << "a controller box takes no key";
    key(KeyShortcuts::kBackspace);
    EXPECT_EQ(bass1->text(), "") << "but Backspace empties any marked box";

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
    EXPECT_TRUE(receive(deck1, deck2, 4));
    EXPECT_EQ(deck1.commands, (Commands{kTouchRelease, kTouchRelease}));
    EXPECT_EQ(deck2.commands, (Commands{kTouchRelease, kTouchRelease}));
    EXPECT_EQ(window->monitor().text(), " \nKey UP \nKey UP");
}

TEST_F(ConsoleInputTest, ControlChangesAreEchoedAndCapturedOnlyIntoTheMarkedControllerBox) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    options().cmbExternal->setCurrentIndex(kControllerCable + 1);
    options().chkMapping->click(); // opens the ports
    send(177, 7, 100);             // channel 2
    send(176, 7, 100);
    EXPECT_EQ(window->monitor().text(), " \n Midi C7 V100");

    MappingBox* power1 = options().txtMapping[3];
    focus(power1, QEvent::FocusIn);
    send(176, 64, 1);
    EXPECT_EQ(power1->text(), "") << "captured with the panel hidden";
    panel().show();
    send(176, 64, 1);
    send(176, 65, 1);
    EXPECT_EQ(power1->text(), "65") << "the last one captured counts";
    focus(power1, QEvent::FocusOut);
    focus(options().txtMapping[16], QEvent::FocusIn);
    send(176, 66, 1);
    EXPECT_EQ(options().txtMapping[16]->text(), "57") << "a key box";

    // Capture unticked while the engine runs: the ports stay open, the echo goes on, nothing is
    // captured, and nothing from the controller reaches a deck.
    pressEngine();
    options().chkMapping->click();
    focus(power1, QEvent::FocusIn);
    // A burst reaches the view whole once the monitor's hold is over.
    for (qint16 value = 0; value < 3; ++value)
        controller.send(kControllerCable, 176, 67, value);
    const QPlainTextEdit* view = window->ui().txtMonitor;
    const QString burst = " \n Midi C67 V0 \n Midi C67 V1 \n Midi C67 V2";
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->toPlainText().endsWith(burst); }));
    EXPECT_EQ(power1->text(), "65");
    ASSERT_EQ(host.decks.size(), 2u);
    EXPECT_TRUE(host.decks[0]->commands.empty() && host.decks[1]->commands.empty());
}

TEST_F(ConsoleInputTest, ActivityRowsShowLoadAndMemoryAndKeepWhatCannotBeHad) {
    ASSERT_TRUE(startConsole());
    ConsoleUi& ui = window->ui();
    host.cpuLoad = 37;
    host.memory = {512ull << 20, 128ull << 20}; // 512 MB, 128 MB of them available
    for (int round = 0; round < 2; ++round) {
        window->activity().refresh();
        EXPECT_EQ(ui.lblCPU->text(), " 37%");
        EXPECT_EQ(ui.lblMemTotal->text(), " 384 MB");
        EXPECT_EQ(ui.lblMemUsed->text(), " 512 MB");
        EXPECT_EQ(ui.lblMem->text(), " 75%");
        host.cpuLoad = 0; // an idle machine
        host.memory = {}; // unreadable
    }
}

} // namespace

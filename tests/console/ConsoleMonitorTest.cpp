#include "ConsoleTestSupport.h"

#include "common/ShapeWidget.h"
#include "console/MappingBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

constexpr qint16 kControllerCable = 2; // "MIDI Yoke 3", the external input chosen below
constexpr std::uint64_t kMegabyte = 1048576;

class ConsoleMonitorTest : public ConsoleTest {
protected:
    void SetUp() override {
        writeConfig(sampleRecord());
        ASSERT_TRUE(startConsole());
        options().cmbExternal->setCurrentIndex(kControllerCable + 1);
        controller.action(kControllerCable, zen::MidiAction::Open);
    }
    // A message from the external controller, handled by the console before this returns.
    void send(int status, int data1, int data2) {
        controller.send(kControllerCable, static_cast<qint16>(status), static_cast<qint16>(data1),
                        static_cast<qint16>(data2));
        pump();
    }

    zen::MIDIOutput controller;
};

TEST_F(ConsoleMonitorTest, ControlChangesAreEchoedAndCapturedOnlyIntoTheMarkedControllerBox) {
    options().chkMapping->click(); // opens the ports
    send(177, 7, 100);             // channel 2
    send(144, 60, 100);            // a note
    send(176, 7, 100);
    EXPECT_EQ(monitorText(), " \n Midi C7 V100");

    MappingBox* power1 = options().txtMapping[3];
    focus(power1, QEvent::FocusIn);
    send(176, 64, 1); // panel hidden
    EXPECT_EQ(power1->text(), "");
    panel().show();
    send(176, 64, 1);
    send(176, 65, 1); // the last one captured counts
    EXPECT_EQ(power1->text(), "65");
    focus(power1, QEvent::FocusOut);

    MappingBox* play1 = options().txtMapping[16];
    focus(play1, QEvent::FocusIn);
    send(176, 66, 1);
    EXPECT_EQ(play1->text(), "57") << "a key box";
    focus(play1, QEvent::FocusOut);

    // Capture unticked while the engine runs: the ports stay open, the echo goes on, nothing is
    // captured, and nothing from the controller reaches a deck.
    pressEngine();
    options().chkMapping->click();
    focus(power1, QEvent::FocusIn);
    send(176, 67, 2);
    EXPECT_EQ(power1->text(), "65");
    EXPECT_TRUE(monitorText().endsWith(" \n Midi C67 V2"));

    // A burst reaches the view whole once the monitor's hold is over.
    for (qint16 value = 0; value < 3; ++value)
        controller.send(kControllerCable, 176, 1, value);
    const QPlainTextEdit* view = window->ui().txtMonitor;
    const QString burst = " \n Midi C1 V0 \n Midi C1 V1 \n Midi C1 V2";
    for (int i = 0; i < 40 && !view->toPlainText().endsWith(burst); ++i)
        pump();
    EXPECT_TRUE(view->toPlainText().endsWith(burst));
    ASSERT_EQ(host.decks.size(), 2u);
    EXPECT_TRUE(host.decks[0]->commands.empty() && host.decks[1]->commands.empty());
}

TEST_F(ConsoleMonitorTest, ActivityRowsShowLoadAndMemoryAndKeepWhatCannotBeHad) {
    ConsoleUi& ui = window->ui();
    cpuLoad = 37;
    host.memory = {512 * kMegabyte, 128 * kMegabyte};
    window->activity().refresh();
    EXPECT_EQ(ui.lblCPU->text(), " 37%");
    EXPECT_EQ(ui.lblMemTotal->text(), " 384 MB");
    EXPECT_EQ(ui.lblMemUsed->text(), " 512 MB");
    EXPECT_EQ(ui.lblMem->text(), " 75%");
    EXPECT_EQ(ui.shpMem->x(), -31) << "a quarter of the bar out of sight";

    cpuLoad = 0;      // an idle machine
    host.memory = {}; // unreadable
    window->activity().refresh();
    EXPECT_EQ(ui.lblCPU->text(), " 37%");
    EXPECT_EQ(ui.lblMem->text(), " 75%");
    EXPECT_EQ(ui.lblMemUsed->text(), " 512 MB");
}

} // namespace

#include "ConsoleRun.h"
#include "Desktop.h"
#include "tests/deck/EndToEndSupport.h"

#include <QThread>
#include <chrono>

// The real ZentariMix on the display and the sound server, stopped right after START. The decks
// run detached; this test is their subreaper, so it sees them end. The system test plays a whole
// set with the console.

using namespace zen::desktop;

namespace {

class ConsoleEndToEndTest : public zen::e2e::EndToEndTest {};

TEST_F(ConsoleEndToEndTest, StopRightAfterStartLeavesNoDeckBehind) {
    zen::bench::ConsoleRun console;
    QString error;
    ASSERT_TRUE(console.start(console.settings(), error)) << error.toStdString();
    ASSERT_TRUE(console.pressEngine());
    QThread::msleep(200);
    ASSERT_TRUE(console.pressEngine());
    // Quits sent before a deck listens are lost; the console ends such decks itself.
    QThread::msleep(500);
    const std::vector<pid_t> pids = deckChildren();
    EXPECT_EQ(pids.size(), 2u);
    for (pid_t pid : pids)
        EXPECT_NE(waitForEnd(pid, std::chrono::seconds(8)), -1) << "a deck was left running";
    EXPECT_TRUE(deckChildren().empty());
}

} // namespace

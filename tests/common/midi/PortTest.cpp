#include "MidiTestSupport.h"

#include "common/midi/CableSender.h"
#include "common/midi/FindMidiPort.h"
#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"
#include "common/midi/PendingEvents.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using zen::MidiAction;
using zen::midi::Event;

using PortTest = CableFixture;

TEST(FindMidiPort, PortNameIsMatchedWholeAndCaseSensitivelyInBothLists) {
    for (const auto find : {&FindMidiIn, &FindMidiOut, &FindListedMidiOut}) {
        EXPECT_EQ(find("MIDI Yoke 1"), 0);
        EXPECT_EQ(find("MIDI Yoke 8"), 7);
        for (const char* other : {"midi yoke 1", "MIDI Yoke 1 ", "MIDI Yoke", ""})
            EXPECT_EQ(find(other), -1) << other;
    }
    for (const auto& [count, name] :
         {std::pair{&zen::MIDIInput::deviceCount, &zen::MIDIInput::deviceName},
          std::pair{&zen::MIDIOutput::deviceCount, &zen::MIDIOutput::deviceName}}) {
        ASSERT_GE(count(), 8) << "the eight cables come first";
        EXPECT_EQ(name(7), "MIDI Yoke 8");
        EXPECT_TRUE(name(-1).isEmpty() && name(count()).isEmpty());
    }
}

TEST_F(PortTest, DatagramsThatAreNotShortMidiMessagesAreDropped) {
    zen::MIDIInput input;
    listen(input, 0, 0);
    ASSERT_EQ(socketFiles(1).size(), 1);
    const QByteArray path = (cableFolder() + "/" + socketFiles(1).first()).toUtf8();
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.constData());
    // Too long, empty, no status byte, a data byte with the high bit set, too short for a
    // control change, too long for a program change, system exclusive; then three good ones.
    const char* datagrams[] = {"b0107e00000000", "",       "107e00", "90800a", "b010",
                               "c00506",         "f001f7", "b0117e", "c305",   "f8"};
    for (const char* hex : datagrams) {
        const QByteArray bytes = QByteArray::fromHex(hex);
        ASSERT_EQ(sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&addr),
                         sizeof addr),
                  bytes.size());
    }
    close(fd);
    ASSERT_TRUE(receive(3));
    EXPECT_EQ(received, (Log{{0, 176, 17, 126}, {0, 0xC3, 5, 0}, {0, 0xF8, 0, 0}}));
    EXPECT_TRUE(errors.empty());
}

// The console's key thread sends while the window thread opens and closes the ports: a send
// meets a port open on its device or drops, never one half closed.
TEST_F(PortTest, AnyThreadMaySendWhileThePortOpensAndCloses) {
    zen::MIDIInput input;
    listen(input, 0, 0);
    zen::MIDIOutput output;
    std::atomic<bool> sending{true};
    std::thread keys([&] {
        while (sending)
            output.sendMessage(0, 176, 16, 126);
    });
    for (int round = 0; round < 100; ++round) {
        output.action(round % 3 == 0 ? 1 : 0, MidiAction::Open);
        output.action(static_cast<qint16>(output.openDevice()), MidiAction::Close);
    }
    sending = false;
    keys.join();
    output.action(0, MidiAction::Open);
    output.sendMessage(1, 176, 17, 126); // not the device open
    output.sendMessage(0, 176, 18, 126);
    ASSERT_TRUE(waitFor([&] { return !received.empty() && received.back().data1 == 18; }));
    EXPECT_TRUE(std::none_of(received.begin(), received.end(),
                             [](const Received& message) { return message.data1 == 17; }));
}

// A handler that shows a message box runs a nested event loop; no MIDI handler of the program
// may run inside it, on this port or another, and nothing is lost or reordered meanwhile.
TEST_F(PortTest, NoMessageIsDeliveredWhileAHandlerRunsANestedEventLoop) {
    zen::MIDIInput first, second;
    zen::MIDIOutput outputs[2];
    for (qint16 cable : {0, 1})
        outputs[cable].action(cable, MidiAction::Open);
    listen(first, 0, 1);
    listen(second, 1, 2);
    int depth = 0, deepest = 0, data1AfterLoop = -1;
    std::size_t seenInsideNestedLoop = 1;
    for (zen::MIDIInput* input : {&first, &second})
        QObject::connect(input, &zen::MIDIInput::messageReceived, [&] {
            deepest = std::max(deepest, ++depth);
            if (received.size() == 1) {
                QEventLoop loop;
                QTimer::singleShot(10, &loop, [&] {
                    for (qint16 i = 1; i <= 4; ++i)
                        outputs[i % 2].send(i % 2, 176, i, 0);
                });
                QTimer::singleShot(200, &loop, &QEventLoop::quit);
                loop.exec();
                seenInsideNestedLoop = received.size();
                data1AfterLoop = first.data1(); // still this handler's message
            }
            --depth;
        });
    outputs[0].send(0, 176, 0, 0);
    ASSERT_TRUE(receive(5));
    EXPECT_EQ(seenInsideNestedLoop, 1u);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(data1AfterLoop, 0);
    std::stable_sort(received.begin(), received.end(),
                     [](const Received& a, const Received& b) { return a.tag < b.tag; });
    EXPECT_EQ(received,
              (Log{{1, 176, 0, 0}, {1, 176, 2, 0}, {1, 176, 4, 0}, {2, 176, 1, 0}, {2, 176, 3, 0}}))
        << "lost or reordered";
}

// A deck whose window thread is held (loading a track) must cost a sender neither a wait nor a
// message: the sender here finishes all its messages while the handler is still blocked, which
// it could not if anything waited on the window thread.
TEST_F(PortTest, BusyWindowThreadCostsTheSenderNeitherWaitNorMessages) {
    constexpr int kMessages = 2000;
    std::promise<bool> allSent;
    std::future<bool> sent = allSent.get_future();
    std::future_status whileBusy = std::future_status::deferred;
    zen::MIDIInput input;
    QObject::connect(&input, &zen::MIDIInput::messageReceived, [&] {
        if (received.empty()) whileBusy = sent.wait_for(std::chrono::seconds(10));
        received.push_back({0, input.status(), input.data1(), input.data2()});
    });
    input.action(6, MidiAction::Open);
    input.action(6, MidiAction::Start);

    std::thread sender([&] {
        zen::midi::CableSender cable(cableFolder().toStdString(), 7);
        for (int i = 0; i < kMessages; ++i)
            cable.send(*zen::midi::makeShortMessage(176, i % 128, i / 128));
        allSent.set_value(cable.flush(std::chrono::seconds(5)));
    });
    const bool all = QTest::qWaitFor([&] { return received.size() == kMessages; }, 20000);
    sender.join();
    ASSERT_TRUE(all) << received.size();
    EXPECT_EQ(whileBusy, std::future_status::ready);
    EXPECT_TRUE(sent.get());
    for (int i = 0; i < kMessages; ++i)
        ASSERT_EQ(received[i], (Received{0, 176, i % 128, i / 128})) << i;
}

Event message(int status, int data1) {
    Event event;
    event.message = *zen::midi::makeShortMessage(status, data1, 126);
    return event;
}

// A flood that fills the queue while the window thread is busy must not cost a deck its quit,
// a touch release or an error: what only flashes the light goes first.
TEST(PendingEventsTest, FullQueueDropsLightFlashesBeforeDeckCommandsAndErrors) {
    zen::midi::PendingEvents pending(3);
    pending.push(message(176, 21));  // no command
    pending.push(message(0x90, 40)); // a note
    pending.push(message(177, 40));  // channel 2
    pending.push(message(176, 22));  // full: a flash arriving is dropped
    pending.push(message(176, 40));
    Event error;
    error.kind = Event::Kind::Error;
    pending.push(error);
    pending.push(message(176, 35));
    pending.push(message(176, 16)); // only commands and the error wait: the newest is dropped

    std::vector<int> popped;
    while (auto event = pending.pop())
        popped.push_back(event->kind == Event::Kind::Error ? -1 : event->message.data1);
    EXPECT_EQ(popped, (std::vector<int>{40, -1, 35}));
    EXPECT_TRUE(pending.empty());

    // Room again: flashes are kept, in order.
    for (int controller : {1, 2, 3})
        pending.push(message(176, controller));
    std::vector<int> later;
    while (auto event = pending.pop())
        later.push_back(event->message.data1);
    EXPECT_EQ(later, (std::vector<int>{1, 2, 3}));
}

} // namespace

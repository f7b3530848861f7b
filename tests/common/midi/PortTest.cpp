#include "MidiTestSupport.h"

#include "common/midi/CableFolder.h"
#include "common/midi/CableSender.h"
#include "common/midi/FindMidiPort.h"
#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"

#include <QEventLoop>
#include <QTimer>
#include <array>
#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using zen::MidiAction;

struct Received {
    int port;
    int status;
    int data1;
    int data2;
    bool operator==(const Received&) const = default;
};

class PortTest : public CableFixture {
protected:
    // Opens and starts an input that records what it receives, tagged with `tag`.
    void listen(zen::MIDIInput& input, qint16 device, int tag) {
        QObject::connect(&input, &zen::MIDIInput::messageReceived, [this, &input, tag] {
            received.push_back({tag, input.status(), input.data1(), input.data2()});
        });
        QObject::connect(&input, &zen::MidiPort::error,
                         [this](qint16 number, const QString&) { errors.push_back(number); });
        input.action(device, MidiAction::Open);
        input.action(device, MidiAction::Start);
    }

    std::vector<Received> received;
    std::vector<int> errors;
};

void sendRaw(const QString& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.toUtf8().constData());
    EXPECT_EQ(
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr),
        static_cast<ssize_t>(bytes.size()));
    close(fd);
}

TEST(FindMidiPort, PortNameIsMatchedWholeAndCaseSensitivelyInBothLists) {
    for (const auto find : {&FindMidiIn, &FindMidiOut}) {
        EXPECT_EQ(find("MIDI Yoke 1"), 0);
        EXPECT_EQ(find("MIDI Yoke 8"), 7);
        EXPECT_EQ(find("midi yoke 1"), -1);
        EXPECT_EQ(find("MIDI Yoke 1 "), -1);
        EXPECT_EQ(find("MIDI Yoke"), -1);
        EXPECT_EQ(find(""), -1);
    }
}

TEST_F(PortTest, DatagramsThatAreNotShortMidiMessagesAreDropped) {
    zen::MIDIInput input;
    listen(input, 0, 0);
    ASSERT_EQ(socketFiles(1).size(), 1);
    const QString path = cableFolder() + "/" + socketFiles(1).first();

    sendRaw(path, {0xB0, 16, 126, 0, 0, 0, 0}); // 7 bytes
    sendRaw(path, {});
    sendRaw(path, {16, 126, 0});     // no status byte
    sendRaw(path, {0x90, 0x80, 10}); // data byte with the high bit set
    sendRaw(path, {0xB0, 16});       // too short for a control change
    sendRaw(path, {0xC0, 5, 6});     // too long for a program change
    sendRaw(path, {0xF0, 1, 0xF7});  // system exclusive
    sendRaw(path, {0xB0, 17, 126});
    sendRaw(path, {0xC3, 5});
    sendRaw(path, {0xF8});

    ASSERT_TRUE(waitFor([&] { return received.size() >= 3; }));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(received,
              (std::vector<Received>{{0, 176, 17, 126}, {0, 0xC3, 5, 0}, {0, 0xF8, 0, 0}}));
    EXPECT_TRUE(errors.empty());
}

// A handler that shows a message box runs a nested event loop; no MIDI handler of the program
// may run inside it, on this port or another, and nothing is lost or reordered meanwhile.
TEST_F(PortTest, NoMessageIsDeliveredWhileAHandlerRunsANestedEventLoop) {
    zen::MIDIInput first;
    zen::MIDIInput second;
    zen::MIDIOutput toFirst;
    zen::MIDIOutput toSecond;
    toFirst.action(0, MidiAction::Open);
    toSecond.action(1, MidiAction::Open);

    int depth = 0;
    int deepest = 0;
    std::size_t seenInsideNestedLoop = 0;
    for (zen::MIDIInput* input : {&first, &second}) {
        QObject::connect(input, &zen::MIDIInput::messageReceived, [&, input] {
            deepest = std::max(deepest, ++depth);
            received.push_back(
                {input == &first ? 1 : 2, input->status(), input->data1(), input->data2()});
            if (received.size() == 1) {
                QEventLoop loop;
                QTimer::singleShot(10, &loop, [&] {
                    for (qint16 i = 1; i <= 5; ++i) {
                        toFirst.send(0, 176, i, 0);
                        toSecond.send(1, 177, i, 0);
                    }
                });
                QTimer::singleShot(200, &loop, &QEventLoop::quit);
                loop.exec();
                seenInsideNestedLoop = received.size();
                // The fields still hold this handler's message.
                EXPECT_EQ(input->status(), 176);
                EXPECT_EQ(input->data1(), 0);
            }
            --depth;
        });
    }
    first.action(0, MidiAction::Open);
    first.action(0, MidiAction::Start);
    second.action(1, MidiAction::Open);
    second.action(1, MidiAction::Start);

    toFirst.send(0, 176, 0, 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 11; }));
    EXPECT_EQ(seenInsideNestedLoop, 1u);
    EXPECT_EQ(deepest, 1);
    std::vector<Received> onFirst;
    std::vector<Received> onSecond;
    for (const Received& r : received)
        (r.port == 1 ? onFirst : onSecond).push_back(r);
    ASSERT_EQ(onFirst.size(), 6u);
    ASSERT_EQ(onSecond.size(), 5u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(onFirst[i], (Received{1, 176, i, 0}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(onSecond[i], (Received{2, 177, i + 1, 0}));
}

TEST_F(PortTest, DeviceListsStartWithTheEightCables) {
    for (const auto& [count, name] :
         {std::pair{&zen::MIDIInput::deviceCount, &zen::MIDIInput::deviceName},
          std::pair{&zen::MIDIOutput::deviceCount, &zen::MIDIOutput::deviceName}}) {
        const qint16 devices = count();
        ASSERT_GE(devices, 8);
        for (qint16 d = 0; d < 8; ++d) {
            EXPECT_EQ(name(d), QString("MIDI Yoke %1").arg(d + 1));
            EXPECT_LE(name(d).size(), 16); // survives the configuration's 16-character field
        }
        EXPECT_TRUE(name(-1).isEmpty());
        EXPECT_TRUE(name(devices).isEmpty());
    }
}

TEST_F(PortTest, OutOfRangeOrOtherDevicesClosedPortsAndRepeatedActionsAreTolerated) {
    zen::MIDIInput input;
    zen::MIDIOutput output;
    QObject::connect(&output, &zen::MidiPort::error,
                     [this](qint16 number, const QString&) { errors.push_back(number); });
    const qint16 beyond = zen::MIDIInput::deviceCount();
    for (qint16 device : {qint16(-1), beyond, qint16(32767)}) {
        for (int a = 1; a <= 7; ++a) {
            input.action(device, static_cast<MidiAction>(a));
            output.action(device, static_cast<MidiAction>(a));
        }
        EXPECT_FALSE(input.isOpen());
        EXPECT_FALSE(output.isOpen());
    }
    EXPECT_FALSE(QDir(cableFolder()).exists()); // nothing was even looked for

    output.send(0, 176, 35, 126); // a key release on a closed port
    listen(input, 0, 0);
    input.action(0, MidiAction::Open);
    input.action(0, MidiAction::Start);
    EXPECT_EQ(socketFiles(1).size(), 1); // opening twice made no second socket
    output.action(0, MidiAction::Open);
    output.action(0, MidiAction::Open);
    // Actions naming a device that is not the open one leave the open one alone.
    output.send(1, 176, 17, 126);
    input.action(1, MidiAction::Stop);
    input.action(1, MidiAction::Close);
    output.action(1, MidiAction::Close);
    output.send(0, 300, 16, 126); // fields that make no MIDI message
    output.send(0, 176, 128, 126);
    output.send(0, 176, 16, 126);
    ASSERT_TRUE(waitFor([&] { return !received.empty(); }));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(received, (std::vector<Received>{{0, 176, 16, 126}}));

    for (int i = 0; i < 2; ++i) {
        input.action(0, MidiAction::Close);
        output.action(0, MidiAction::Close);
    }
    EXPECT_FALSE(input.isOpen());
    EXPECT_TRUE(socketFiles(1).isEmpty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(PortTest, StoppedInputKeepsNothingAndStartsAfresh) {
    zen::MIDIInput input;
    listen(input, 4, 0);
    zen::MIDIOutput output;
    output.action(4, MidiAction::Open);
    output.send(4, 176, 1, 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));

    input.action(4, MidiAction::Stop);
    output.send(4, 176, 2, 0);
    pump(std::chrono::milliseconds(100));
    input.action(4, MidiAction::Reset);
    input.action(4, MidiAction::Start);
    output.send(4, 176, 3, 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(received, (std::vector<Received>{{0, 176, 1, 0}, {0, 176, 3, 0}}));
}

// Another user made the first choice before us: both ends fall back to the same private folder.
// With the fallback refused too, opening raises one error naming both folders and why.
TEST_F(PortTest, FolderOfAnotherUserIsPassedOverAndWithNoFallbackOpeningFails) {
    makeForeign({cableFolder()});
    zen::MIDIInput input;
    listen(input, 2, 0);
    zen::MIDIOutput output;
    output.action(2, MidiAction::Open);
    output.send(2, 176, 16, 126);
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(socketFiles(3, fallbackFolder()).size(), 1);
    EXPECT_TRUE(socketFiles(3).isEmpty());
    input.action(2, MidiAction::Close);
    output.action(2, MidiAction::Close);

    makeForeign({cableFolder(), fallbackFolder()});
    QString description;
    QObject::connect(&output, &zen::MidiPort::error, [&](qint16 number, const QString& text) {
        errors.push_back(number);
        description = text;
    });
    output.action(0, MidiAction::Open);
    input.action(0, MidiAction::Open);
    EXPECT_TRUE(errors.empty()); // raised from the event loop, not inside the action
    ASSERT_TRUE(waitFor([&] { return errors.size() == 2; }));
    output.send(0, 176, 16, 126);
    pump(std::chrono::milliseconds(20));
    EXPECT_EQ(errors, std::vector<int>(2, static_cast<int>(zen::MidiError::CableFolder)));
    for (const QString& folder : {cableFolder(), fallbackFolder()})
        EXPECT_TRUE(description.contains(folder + " belongs to another user"))
            << description.toStdString();
    EXPECT_FALSE(output.isOpen());
    EXPECT_FALSE(input.isOpen());

    // A runtime folder variable naming a missing folder counts as unset.
    qputenv("XDG_RUNTIME_DIR", (cableFolder() + "/missing").toUtf8());
    EXPECT_EQ(zen::midi::firstCableFolder(), "/tmp/zentari-midi-" + std::to_string(geteuid()));
}

TEST_F(PortTest, InputOpenedAfterTheOutputGetsTheNextMessage) {
    zen::MIDIOutput output;
    output.action(5, MidiAction::Open);
    output.send(5, 176, 1, 0); // nobody listens yet: dropped
    {
        zen::MIDIInput input;
        listen(input, 5, 1);
        output.send(5, 176, 2, 0);
        ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    }
    zen::MIDIInput again;
    listen(again, 5, 2);
    output.send(5, 176, 3, 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    pump(std::chrono::milliseconds(30));
    EXPECT_EQ(received, (std::vector<Received>{{1, 176, 2, 0}, {2, 176, 3, 0}}));
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
    const bool all =
        waitFor([&] { return received.size() == kMessages; }, std::chrono::seconds(20));
    sender.join();
    ASSERT_TRUE(all) << received.size();
    EXPECT_EQ(whileBusy, std::future_status::ready);
    EXPECT_TRUE(sent.get());
    for (int i = 0; i < kMessages; ++i)
        ASSERT_EQ(received[i], (Received{0, 176, i % 128, i / 128})) << i;
}

} // namespace

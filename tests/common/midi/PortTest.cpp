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
using Log = std::vector<Received>;

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
    // Waits for `count` messages, and a moment more for any that should not come.
    bool receive(std::size_t count) {
        const bool arrived = waitFor([&] { return received.size() >= count; });
        pump(std::chrono::milliseconds(50));
        return arrived;
    }

    Log received;
    std::vector<int> errors;
};

TEST(FindMidiPort, PortNameIsMatchedWholeAndCaseSensitivelyInBothLists) {
    for (const auto find : {&FindMidiIn, &FindMidiOut}) {
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

// A handler that shows a message box runs a nested event loop; no MIDI handler of the program
// may run inside it, on this port or another, and nothing is lost or reordered meanwhile.
TEST_F(PortTest, NoMessageIsDeliveredWhileAHandlerRunsANestedEventLoop) {
    zen::MIDIInput first, second;
    zen::MIDIOutput toFirst, toSecond;
    toFirst.action(0, MidiAction::Open);
    toSecond.action(1, MidiAction::Open);
    int depth = 0, deepest = 0;
    std::size_t seenInsideNestedLoop = 0;
    for (zen::MIDIInput* input : {&first, &second}) {
        QObject::connect(input, &zen::MIDIInput::messageReceived, [&, input] {
            deepest = std::max(deepest, ++depth);
            if (received.empty()) {
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
            }
            // The fields still hold this handler's message.
            received.push_back(
                {input == &first ? 1 : 2, input->status(), input->data1(), input->data2()});
            --depth;
        });
        input->action(input == &first ? 0 : 1, MidiAction::Open);
        input->action(input == &first ? 0 : 1, MidiAction::Start);
    }
    toFirst.send(0, 176, 0, 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 11; }));
    EXPECT_EQ(seenInsideNestedLoop, 0u);
    EXPECT_EQ(deepest, 1);
    std::array<Log, 2> byPort, expected;
    for (const Received& r : received)
        byPort[r.port - 1].push_back(r);
    for (int i = 0; i < 6; ++i) {
        expected[0].push_back({1, 176, i, 0});
        if (i > 0) expected[1].push_back({2, 177, i, 0});
    }
    EXPECT_EQ(byPort, expected);
}

// Only what arrives while an input is open and started reaches it, nothing kept from before;
// devices out of range, closed ports, actions on another device and repeated actions are no
// error and leave the open port alone.
TEST_F(PortTest, InputGetsOnlyWhatArrivesWhileItIsOpenAndStartedWhateverElseIsAsked) {
    zen::MIDIInput input;
    zen::MIDIOutput output;
    QObject::connect(&output, &zen::MidiPort::error,
                     [this](qint16 number, const QString&) { errors.push_back(number); });
    for (qint16 device : {qint16(-1), zen::MIDIInput::deviceCount(), qint16(32767)}) {
        for (int a = 1; a <= 7; ++a) {
            input.action(device, static_cast<MidiAction>(a));
            output.action(device, static_cast<MidiAction>(a));
        }
        EXPECT_FALSE(input.isOpen() || output.isOpen()) << device;
    }
    EXPECT_FALSE(QDir(cableFolder()).exists()) << "nothing was even looked for";

    output.send(0, 176, 1, 0); // a closed port
    output.action(0, MidiAction::Open);
    output.action(0, MidiAction::Open);
    output.send(0, 176, 2, 0); // nobody listens yet
    listen(input, 0, 1);
    input.action(0, MidiAction::Open);
    input.action(0, MidiAction::Start);
    EXPECT_EQ(socketFiles(1).size(), 1) << "opening twice made a second socket";
    output.send(1, 176, 3, 0);
    input.action(1, MidiAction::Stop);
    input.action(1, MidiAction::Close);
    output.action(1, MidiAction::Close);
    output.send(0, 300, 4, 0); // fields that make no MIDI message
    output.send(0, 176, 128, 0);
    output.send(0, 176, 5, 0);
    ASSERT_TRUE(receive(1));
    input.action(0, MidiAction::Stop);
    output.send(0, 176, 6, 0);
    pump(std::chrono::milliseconds(100));
    input.action(0, MidiAction::Reset);
    input.action(0, MidiAction::Start);
    output.send(0, 176, 7, 0);
    ASSERT_TRUE(receive(2));
    for (int i = 0; i < 2; ++i)
        input.action(0, MidiAction::Close);
    EXPECT_FALSE(input.isOpen());
    EXPECT_TRUE(socketFiles(1).isEmpty());

    zen::MIDIInput again;
    listen(again, 0, 2);
    output.send(0, 176, 8, 0);
    ASSERT_TRUE(receive(3));
    EXPECT_EQ(received, (Log{{1, 176, 5, 0}, {1, 176, 7, 0}, {2, 176, 8, 0}}));
    EXPECT_TRUE(errors.empty());
}

// Cable folders that another user made, the first choice and the fallback alike, are refused:
// opening raises one error, from the event loop, naming both folders and why.
TEST_F(PortTest, WithEveryCableFolderOfAnotherUserOpeningFailsAndSaysWhy) {
    const QStringList foreign{cableFolder(), fallbackFolder()};
    zen::midi::cableFolderOwner = [foreign](const std::string& folder, uid_t owner) {
        return foreign.contains(QString::fromStdString(folder)) ? owner + 1 : owner;
    };
    zen::MIDIInput input;
    zen::MIDIOutput output;
    QString description;
    for (zen::MidiPort* port : std::initializer_list<zen::MidiPort*>{&input, &output})
        QObject::connect(port, &zen::MidiPort::error, [&](qint16 number, const QString& text) {
            errors.push_back(number);
            description = text;
        });
    output.action(0, MidiAction::Open);
    input.action(0, MidiAction::Open);
    EXPECT_TRUE(errors.empty()) << "raised inside the action, not from the event loop";
    ASSERT_TRUE(waitFor([&] { return errors.size() == 2; }));
    output.send(0, 176, 16, 126);
    pump(std::chrono::milliseconds(20));
    EXPECT_EQ(errors, std::vector<int>(2, static_cast<int>(zen::MidiError::CableFolder)));
    for (const QString& folder : {cableFolder(), fallbackFolder()})
        EXPECT_TRUE(description.contains(folder + " belongs to another user"))
            << description.toStdString();
    EXPECT_FALSE(output.isOpen() || input.isOpen());

    // A runtime folder variable naming a missing folder counts as unset.
    qputenv("XDG_RUNTIME_DIR", (cableFolder() + "/missing").toUtf8());
    EXPECT_EQ(zen::midi::firstCableFolder(), "/tmp/zentari-midi-" + std::to_string(geteuid()));
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

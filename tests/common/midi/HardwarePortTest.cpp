#include "MidiTestSupport.h"

#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"
#include "common/midi/RtMidiSupport.h"

#include <rtmidi/RtMidi.h>
#include <vector>

namespace {

using zen::MidiAction;

// Hardware ports are reached through a JACK server on its dummy back end: this test's own JACK
// MIDI ports stand in for a DJ controller. Without a server the tests are skipped.
class HardwarePortTest : public CableFixture {
protected:
    template <typename Peer> std::unique_ptr<Peer> makePeer(const std::string& portName) {
        if (!zen::midi::apiPresent(RtMidi::UNIX_JACK)) return nullptr;
        std::unique_ptr<Peer> peer;
        try {
            peer = std::make_unique<Peer>(RtMidi::UNIX_JACK, "ZenTest");
            peer->setErrorCallback([](RtMidiError::Type, const std::string&,
                                      void* failed) { *static_cast<bool*>(failed) = true; },
                                   &failed_);
            peer->openVirtualPort(portName);
        } catch (const RtMidiError&) {
            return nullptr;
        }
        return failed_ ? nullptr : std::move(peer);
    }

    // The device number under which a port of that name is listed, -1 when it is not.
    template <typename Port> static qint16 find(const QString& name) {
        const qint16 count = Port::deviceCount();
        for (qint16 d = 8; d < count; ++d)
            if (Port::deviceName(d).endsWith(name)) return d;
        return -1;
    }

private:
    bool failed_ = false;
};

constexpr const char* kSkip = "no JACK server runs (scripts/services start starts one)";

TEST_F(HardwarePortTest, InputReceivesFromAJackMidiPortAfterTheCables) {
    auto controller = makePeer<RtMidiOut>("controller");
    if (!controller) GTEST_SKIP() << kSkip;
    const qint16 device = find<zen::MIDIInput>("controller");
    ASSERT_GE(device, 8);

    zen::MIDIInput input;
    std::vector<std::array<int, 3>> received;
    std::vector<int> errors;
    QObject::connect(&input, &zen::MIDIInput::messageReceived, [&] {
        received.push_back({input.status(), input.data1(), input.data2()});
    });
    QObject::connect(&input, &zen::MidiPort::error,
                     [&](qint16 number, const QString&) { errors.push_back(number); });
    input.action(device, MidiAction::Open);
    input.action(device, MidiAction::Start);
    ASSERT_TRUE(input.isOpen());
    pump(std::chrono::milliseconds(100)); // JACK connects the ports at its next cycle

    const std::vector<unsigned char> cc = {0xB0, 7, 100};
    const std::vector<unsigned char> sysex = {0xF0, 1, 2, 0xF7};
    const std::vector<unsigned char> note = {0x91, 60, 90};
    controller->sendMessage(&cc);
    controller->sendMessage(&sysex);
    controller->sendMessage(&note);
    std::vector<std::array<int, 3>> expected = {{176, 7, 100}, {0x91, 60, 90}};
    // A fast controller sweep arrives whole and in order.
    for (unsigned char v = 0; v < 128; ++v) {
        const std::vector<unsigned char> sweep = {0xB0, 1, v};
        controller->sendMessage(&sweep);
        expected.push_back({176, 1, v});
    }
    ASSERT_TRUE(waitFor([&] { return received.size() >= expected.size(); }));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(errors.empty());
}

TEST_F(HardwarePortTest, OutputSendsToAJackMidiPort) {
    auto synth = makePeer<RtMidiIn>("synth");
    if (!synth) GTEST_SKIP() << kSkip;
    const qint16 device = find<zen::MIDIOutput>("synth");
    ASSERT_GE(device, 8);

    zen::MIDIOutput output;
    output.action(device, MidiAction::Open);
    output.action(device, MidiAction::Start);
    ASSERT_TRUE(output.isOpen());
    pump(std::chrono::milliseconds(100));
    output.send(device, 176, 16, 126);
    output.send(device, 192, 5, 0); // a program change goes out as two bytes

    std::vector<std::vector<unsigned char>> got;
    ASSERT_TRUE(waitFor([&] {
        std::vector<unsigned char> message;
        synth->getMessage(&message);
        if (!message.empty()) got.push_back(message);
        return got.size() == 2;
    }));
    EXPECT_EQ(got, (std::vector<std::vector<unsigned char>>{{176, 16, 126}, {192, 5}}));
}

TEST_F(HardwarePortTest, PortGoneSinceTheListWasReadRaisesAnError) {
    auto controller = makePeer<RtMidiOut>("vanishing");
    if (!controller) GTEST_SKIP() << kSkip;
    const qint16 device = find<zen::MIDIInput>("vanishing");
    ASSERT_GE(device, 8);
    controller.reset();

    zen::MIDIInput input;
    std::vector<int> errors;
    QObject::connect(&input, &zen::MidiPort::error,
                     [&](qint16 number, const QString&) { errors.push_back(number); });
    input.action(device, MidiAction::Open);
    EXPECT_FALSE(input.isOpen());
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(zen::MidiError::DeviceMissing)});
}

} // namespace

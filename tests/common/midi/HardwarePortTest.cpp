#include "MidiTestSupport.h"

#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"
#include "common/midi/RtMidiSupport.h"

#include <rtmidi/RtMidi.h>
#include <vector>

namespace {

using zen::MidiAction;
using Bytes = std::vector<unsigned char>;

// Hardware ports are reached through a JACK server on its dummy back end: this test's own JACK
// MIDI ports stand in for a DJ controller. Without a server the tests are skipped.
class HardwarePortTest : public CableFixture {
protected:
    // A JACK MIDI port of this test, and the device number under which `Port` lists it.
    template <typename Peer, typename Port>
    std::unique_ptr<Peer> makePeer(const std::string& portName, qint16& device) {
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
        device = -1;
        for (qint16 d = 8; d < Port::deviceCount(); ++d)
            if (Port::deviceName(d).endsWith(QString::fromStdString(portName))) device = d;
        return failed_ ? nullptr : std::move(peer);
    }
    void recordErrors(zen::MidiPort& port) {
        QObject::connect(&port, &zen::MidiPort::error,
                         [this](qint16 number, const QString&) { errors.push_back(number); });
    }

    std::vector<int> errors;

private:
    bool failed_ = false;
};

constexpr const char* kSkip = "no JACK server runs (scripts/services start starts one)";

// A controller's messages arrive whole and in order, what the program sends reaches a synth, and a
// port gone since the list was read raises an error.
TEST_F(HardwarePortTest, JackMidiPortsListedAfterTheCablesCarryMessagesBothWays) {
    qint16 in = -1, out = -1, gone = -1;
    auto controller = makePeer<RtMidiOut, zen::MIDIInput>("controller", in);
    auto synth = makePeer<RtMidiIn, zen::MIDIOutput>("synth", out);
    auto vanishing = makePeer<RtMidiOut, zen::MIDIInput>("vanishing", gone);
    if (!controller || !synth || !vanishing) GTEST_SKIP() << kSkip;
    ASSERT_TRUE(in >= 8 && out >= 8 && gone >= 8);
    zen::MIDIInput input;
    zen::MIDIOutput output;
    std::vector<std::array<int, 3>> received;
    QObject::connect(&input, &zen::MIDIInput::messageReceived, [&] {
        received.push_back({input.status(), input.data1(), input.data2()});
    });
    recordErrors(input);
    input.action(in, MidiAction::Open);
    input.action(in, MidiAction::Start);
    output.action(out, MidiAction::Open);
    output.action(out, MidiAction::Start);
    ASSERT_TRUE(input.isOpen() && output.isOpen());
    pump(std::chrono::milliseconds(100)); // JACK connects the ports at its next cycle

    for (const Bytes& message : {Bytes{0xB0, 7, 100}, Bytes{0xF0, 1, 2, 0xF7}, Bytes{0x91, 60, 90}})
        controller->sendMessage(&message);
    std::vector<std::array<int, 3>> expected = {{176, 7, 100}, {0x91, 60, 90}};
    // A fast controller sweep arrives whole and in order.
    for (unsigned char v = 0; v < 128; ++v) {
        const Bytes sweep = {0xB0, 1, v};
        controller->sendMessage(&sweep);
        expected.push_back({176, 1, v});
    }
    output.send(out, 176, 16, 126);
    output.send(out, 192, 5, 0); // a program change goes out as two bytes
    std::vector<Bytes> got;
    ASSERT_TRUE(waitFor([&] {
        Bytes message;
        synth->getMessage(&message);
        if (!message.empty()) got.push_back(message);
        return got.size() == 2 && received.size() >= expected.size();
    }));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(received, expected);
    EXPECT_EQ(got, (std::vector<Bytes>{{176, 16, 126}, {192, 5}}));
    EXPECT_TRUE(errors.empty());

    vanishing.reset();
    zen::MIDIInput late;
    recordErrors(late);
    late.action(gone, MidiAction::Open);
    EXPECT_FALSE(late.isOpen());
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(zen::MidiError::DeviceMissing)});
}

} // namespace

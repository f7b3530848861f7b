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

private:
    bool failed_ = false;
};

// A controller's messages arrive, a synth gets ours, and a port gone since the list was read
// raises an error.
TEST_F(HardwarePortTest, JackMidiPortsListedAfterTheCablesExchangeShortMessages) {
    qint16 inDevice = -1, outDevice = -1, goneDevice = -1;
    auto controller = makePeer<RtMidiOut, zen::MIDIInput>("controller", inDevice);
    auto synth = makePeer<RtMidiIn, zen::MIDIOutput>("synth", outDevice);
    auto vanishing = makePeer<RtMidiOut, zen::MIDIInput>("vanishing", goneDevice);
    if (!controller || !synth || !vanishing)
        GTEST_SKIP() << "no JACK server runs (scripts/services start starts one)";
    ASSERT_TRUE(inDevice >= 8 && outDevice >= 8 && goneDevice >= 8);
    zen::MIDIInput input;
    listen(input, inDevice, 0);
    zen::MIDIOutput output;
    output.action(outDevice, MidiAction::Open);
    output.action(outDevice, MidiAction::Start);
    ASSERT_TRUE(input.isOpen() && output.isOpen());
    QTest::qWait(100); // JACK connects the ports at its next cycle

    for (const Bytes& message : {Bytes{0xB0, 7, 100}, Bytes{0xF0, 1, 2, 0xF7}, Bytes{0x91, 60, 90}})
        controller->sendMessage(&message);
    Log expected = {{0, 176, 7, 100}, {0, 0x91, 60, 90}};
    // A fast controller sweep arrives whole and in order.
    for (unsigned char v = 0; v < 128; ++v) {
        const Bytes sweep = {0xB0, 1, v};
        controller->sendMessage(&sweep);
        expected.push_back({0, 176, 1, v});
    }
    ASSERT_TRUE(receive(expected.size()));
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(errors.empty());

    output.send(outDevice, 176, 16, 126);
    output.send(outDevice, 192, 5, 0); // a program change goes out as two bytes
    std::vector<Bytes> got;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        Bytes message;
        synth->getMessage(&message);
        if (!message.empty()) got.push_back(message);
        return got.size() == 2;
    }));
    EXPECT_EQ(got, (std::vector<Bytes>{{176, 16, 126}, {192, 5}}));

    vanishing.reset();
    zen::MIDIInput late;
    recordErrors(late);
    late.action(goneDevice, MidiAction::Open);
    EXPECT_FALSE(late.isOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<int>{static_cast<int>(zen::MidiError::DeviceMissing)});
}

} // namespace

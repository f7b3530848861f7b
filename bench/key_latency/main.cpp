// How fast a key pressed on the display reaches a deck: the real ZentariMix with the real decks it
// launches, on the display and the JACK server of scripts/services, the options panel hidden and
// the monitor holding 10 000 lines. One XTEST client, connected throughout, presses a mapped key
// at random gaps; a probe on the deck's cable and a JACK client listening to the decks take the
// times. Prints its figures as name=value lines at the end.
//   key_latency [--presses N] [--sounds M] [--load L]   (defaults: 500, 100 and 0)
// --load L keeps L processes spinning at normal priority for the whole run, as a deck decoding
// and analysing a track keeps a core busy.

#include "BusyLoad.h"
#include "ConsoleRun.h"
#include "ControllerStream.h"
#include "Desktop.h"
#include "KeyInjector.h"
#include "Measure.h"
#include "Programs.h"
#include "Tracks.h"
#include "common/DeckCommands.h"
#include "common/midi/MIDIInput.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <jack/jack.h>
#include <optional>
#include <random>

using zen::bench::Clock;
using zen::bench::msSince;
using zen::bench::percentile;
using zen::bench::runEventsFor;

namespace {

// F5 plays deck 1, which has a sine loaded; F7 plays deck 2, which has nothing to play.
constexpr int kDeck1PlayCode = 63, kDeck2PlayCode = 65;
constexpr qint16 kDeck2Cable = 1;      // "MIDI Yoke 2"
constexpr qint16 kControllerCable = 2; // "MIDI Yoke 3", the console's external input
constexpr int kHoldMs = 25;
constexpr int kPrefillLines = 10000;
constexpr int kStreamRate = 200; // controller messages a second
constexpr float kLoud = 0.02f;

int fail(const char* why) {
    std::fprintf(stderr, "key_latency: %s\n", why);
    return 1;
}

std::int64_t nanoseconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

bool runUntil(const std::function<bool()>& done, int ms) {
    const Clock::time_point start = Clock::now();
    while (!done() && msSince(start) < ms)
        runEventsFor(1);
    return done();
}

// The deck's cable as the deck hears it: the time each play command is handled after a press.
class WireProbe {
public:
    WireProbe() {
        QObject::connect(&input_, &zen::MIDIInput::messageReceived, [this] {
            if (pressed_ && input_.status() == zen::cmd::kStatus &&
                input_.data1() == zen::cmd::kPlayPause) {
                latencies.push_back(msSince(*pressed_));
                pressed_.reset();
            }
            input_.action(kDeck2Cable, zen::MidiAction::Received);
        });
        input_.action(kDeck2Cable, zen::MidiAction::Open);
        input_.action(kDeck2Cable, zen::MidiAction::Start);
    }
    void pressed(Clock::time_point at) { pressed_ = at; }

    std::vector<double> latencies;

private:
    zen::MIDIInput input_;
    std::optional<Clock::time_point> pressed_;
};

// A JACK client joined to every output of the decks: the time of the first loud period after it
// is armed, and of the latest loud one.
class SoundProbe {
public:
    bool open() {
        client_ = jack_client_open("key_latency", JackNoStartServer, nullptr);
        if (!client_) return false;
        input_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &SoundProbe::process, this);
        if (!input_ || jack_activate(client_) != 0) return false;
        const char** ports =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        int joined = 0;
        for (const char** port = ports; port && *port; ++port)
            if (std::string(*port).rfind("system:", 0) != 0)
                joined += jack_connect(client_, *port, jack_port_name(input_)) == 0 ? 1 : 0;
        jack_free(ports);
        return joined > 0;
    }
    ~SoundProbe() {
        if (client_) jack_client_close(client_);
    }
    void arm() { firstLoud_ = 0; }
    std::int64_t firstLoud() const { return firstLoud_; }
    double quietMs() const { return (nanoseconds(Clock::now()) - lastLoud_) / 1e6; }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto* probe = static_cast<SoundProbe*>(self);
        const auto* samples =
            static_cast<const float*>(jack_port_get_buffer(probe->input_, frames));
        bool loud = false;
        for (jack_nframes_t i = 0; i < frames && !loud; ++i)
            loud = std::fabs(samples[i]) > kLoud;
        if (loud) {
            const std::int64_t now = nanoseconds(Clock::now());
            probe->lastLoud_ = now;
            std::int64_t unset = 0;
            probe->firstLoud_.compare_exchange_strong(unset, now);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* input_ = nullptr;
    std::atomic<std::int64_t> firstLoud_{0};
    std::atomic<std::int64_t> lastLoud_{0};
};

// Presses and releases the key; the probe, if any, learns when the press left.
Clock::time_point press(zen::bench::KeyInjector& keys, std::uint8_t keycode, WireProbe* probe) {
    const Clock::time_point sent = keys.press(keycode);
    if (probe) probe->pressed(sent);
    runEventsFor(kHoldMs);
    keys.release(keycode);
    return sent;
}

} // namespace

int main(int argc, char** argv) {
    int presses = 500, sounds = 100, load = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString flag = QString::fromLocal8Bit(argv[i]);
        if (flag == "--presses") presses = std::atoi(argv[i + 1]);
        if (flag == "--sounds") sounds = std::atoi(argv[i + 1]);
        if (flag == "--load") load = std::atoi(argv[i + 1]);
    }
    const zen::bench::BusyLoad busy(load);
    QCoreApplication app(argc, argv);
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");
    zen::bench::KeyInjector keys;
    const std::uint8_t deck1Play = keys.keycodeOf(zen::bench::kKeysymF5);
    const std::uint8_t deck2Play = keys.keycodeOf(zen::bench::kKeysymF7);
    if (!keys.connected() || deck1Play == 0 || deck2Play == 0)
        return fail("no XTEST keyboard on the display");

    zen::bench::ConsoleRun console;
    zen::config::ConfigRecord settings = console.settings();
    settings.bpmDetection = "OFF";
    settings.externalMidi = QString::number(kControllerCable);
    settings.mapping[16] = QString::number(kDeck1PlayCode);
    settings.mapping[21] = QString::number(kDeck2PlayCode);
    if (!zen::bench::writeSineWav((console.musicFolder() + "/sine.wav").toStdString(), 1000, 60))
        return fail("cannot write the sine");
    QString error;
    if (!console.start(settings, error)) return fail(error.toLocal8Bit().constData());
    // The probe and the controller use the console's cables.
    qputenv("XDG_RUNTIME_DIR", console.runtimeFolder().toLocal8Bit());
    if (!console.pressEngine()) return fail("cannot press the engine button");
    const QString deck1 = zen::desktop::deckOneWindow();
    if (deck1.isEmpty()) return fail("the decks did not come up");
    QThread::msleep(1000);
    zen::desktop::doubleClickIn(deck1, zen::desktop::kDeckFirstFile);
    QThread::msleep(2000);

    zen::bench::ControllerStream controller(kControllerCable);
    for (int line = 0; line < kPrefillLines; ++line) {
        controller.send();
        if (line % 100 == 99) runEventsFor(20);
    }
    runEventsFor(2000);

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> gap(50, 150);
    const auto wirePhase = [&](WireProbe& probe) {
        for (int i = 0; i < presses; ++i) {
            press(keys, deck2Play, &probe);
            runEventsFor(gap(random) - kHoldMs);
        }
        runEventsFor(200);
    };
    WireProbe quiet;
    wirePhase(quiet);

    WireProbe streaming;
    controller.start(kStreamRate);
    wirePhase(streaming);
    controller.stop();

    SoundProbe sound;
    if (!sound.open()) return fail("cannot listen to the decks on the JACK server");
    std::vector<double> toSound;
    int silent = 0;
    for (int i = 0; i < sounds; ++i) {
        runUntil([&] { return sound.quietMs() > 200; }, 2000);
        sound.arm();
        const std::int64_t sent = nanoseconds(press(keys, deck1Play, nullptr));
        if (runUntil([&] { return sound.firstLoud() != 0; }, 2000))
            toSound.push_back((sound.firstLoud() - sent) / 1e6);
        else
            ++silent;
        runEventsFor(gap(random));
        press(keys, deck1Play, nullptr); // pauses again
    }

    const std::size_t heard = quiet.latencies.size() + streaming.latencies.size();
    std::printf("key_to_wire_missed=%d\n", 2 * presses - static_cast<int>(heard));
    std::printf("key_to_sound_unheard=%d\n", silent);
    std::printf("key_to_wire_streaming_p50_ms=%.2f\n", percentile(streaming.latencies, 0.5));
    std::printf("key_to_sound_p50_ms=%.2f\n", percentile(toSound, 0.5));
    std::printf("key_to_wire_p50_ms=%.2f\n", percentile(quiet.latencies, 0.5));
    std::printf("key_to_wire_p99_ms=%.2f\n", percentile(quiet.latencies, 0.99));
    std::printf("key_to_wire_streaming_p99_ms=%.2f\n", percentile(streaming.latencies, 0.99));
    std::printf("key_to_sound_p99_ms=%.2f\n", percentile(toSound, 0.99));
    std::fflush(stdout);
    return 0;
}

// The real console and its two decks on a JACK dummy server of their own (48 kHz, four outputs:
// deck 1 on 1-2, deck 2 on 3-4), each playing its tone, and the server killed under them.
// Prints, last:
//   decks_alive_after_server_death  deck processes still running a second after the server died
//                                   (must be 2)
//   server_back_ms       from the server's return (it takes clients again) until both decks play
//                        again: their ports connected to their pairs, after which both tones are
//                        heard (target <= 2000)
//   quit_dead_server_ms  from the console's STOP, with the server dead, until both deck processes
//                        have ended (target <= 1000)
//   quit_hung_server_ms  the same with the server hung (stopped by SIGSTOP) instead (target
//                        <= 1000)
// With --load both cores are kept busy throughout, as a DJ's laptop is.
#include "ConsoleRun.h"
#include "Desktop.h"
#include "Measure.h"
#include "Programs.h"
#include "Recording.h"
#include "SoundServers.h"
#include "Tracks.h"

#include <QThread>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using zen::bench::Clock;
using zen::bench::msSince;

constexpr double kDeck1Hz = 500, kDeck2Hz = 1500;
constexpr double kSounding = 0.02;

int fail(const char* why) {
    std::fprintf(stderr, "server_faults: %s\n", why);
    return 1;
}

// Whether each deck's tone is heard on its pair, in half a second of what the server plays.
std::array<bool, 2> heard(const zen::e2e::JackServer& jack, const QString& file) {
    const zen::e2e::Take take = zen::e2e::recordPorts(
        file, 0.5, {"system:playback_1", "system:playback_3"}, jack.environment());
    if (take.channels.size() != 2) return {false, false};
    return {zen::e2e::toneAmplitude(take.channels[0], kDeck1Hz, take.rate) > kSounding,
            zen::e2e::toneAmplitude(take.channels[1], kDeck2Hz, take.rate) > kSounding};
}

bool bothHeard(const zen::e2e::JackServer& jack, const QString& file) {
    const std::array<bool, 2> decks = heard(jack, file);
    return decks[0] && decks[1];
}

// START, then each deck loads its tone and plays it; true once both are heard. A busy machine
// may still be loading when play is pressed: a deck not heard gets another press.
bool startBothDecks(zen::bench::ConsoleRun& console, const zen::e2e::JackServer& jack,
                    const QString& file) {
    if (!console.pressEngine()) return false;
    const QString deck1 = zen::desktop::deckOneWindow();
    if (deck1.isEmpty()) return false;
    QStringList decks = zen::desktop::visibleWindows("Zentari DJ System");
    decks.removeAll(deck1);
    decks.prepend(deck1);
    if (decks.size() != 2) return false;
    // The decks open their cables a moment after their windows show.
    QThread::msleep(1500);
    zen::desktop::doubleClickIn(decks[0], zen::desktop::kDeckFirstFile);
    zen::desktop::doubleClickIn(decks[1], zen::desktop::kDeckSecondFile);
    std::array<bool, 2> playing{false, false};
    for (int press = 0; press < 5 && !(playing[0] && playing[1]); ++press) {
        QThread::msleep(500);
        for (int deck = 0; deck < 2; ++deck)
            if (!playing[std::size_t(deck)])
                zen::desktop::clickIn(decks[deck], zen::desktop::kDeckPlay);
        playing = heard(jack, file);
    }
    return playing[0] && playing[1];
}

bool bothConnected(const zen::e2e::JackServer& jack) {
    const auto connections = zen::e2e::jackConnections(jack.environment());
    return connections.value("Zentari Deck 1:left").contains("system:playback_1") &&
           connections.value("Zentari Deck 2:left").contains("system:playback_3");
}

// Presses STOP and returns the milliseconds until both decks have ended; -1 when one did not
// within 5 s.
double stopAndTime(zen::bench::ConsoleRun& console) {
    const std::vector<pid_t> decks = zen::desktop::deckChildren();
    const Clock::time_point start = Clock::now();
    if (decks.size() != 2 || !console.pressEngine()) return -1;
    for (pid_t deck : decks)
        if (zen::desktop::waitForEnd(deck, std::chrono::seconds(5)) == -1) return -1;
    return msSince(start);
}

} // namespace

int main(int argc, char** argv) {
    const bool load = argc > 1 && std::strcmp(argv[1], "--load") == 0;
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");
    zen::e2e::JackServer jack;
    if (!jack.start("faults", 48000, 4)) return fail("jackd did not start");
    zen::bench::ConsoleRun console;
    const QString music = console.musicFolder();
    if (!zen::bench::writeSineWav((music + "/1 room.wav").toStdString(), kDeck1Hz, 60) ||
        !zen::bench::writeSineWav((music + "/2 headphones.wav").toStdString(), kDeck2Hz, 60))
        return fail("cannot write the tones");
    zen::config::ConfigRecord settings = console.settings();
    settings.bpmDetection = "OFF";
    settings.soundDevice1 = "1";
    settings.soundDevice2 = "2";
    QString error;
    if (!console.start(settings, error, jack.environment())) return fail(qPrintable(error));
    std::optional<zen::bench::BusyMachine> busy;
    if (load) busy.emplace();
    const QString take = console.programFolder() + "/take.wav";

    if (!startBothDecks(console, jack, take)) return fail("the decks did not play");
    jack.stop(true);
    QThread::sleep(1);
    const std::size_t alive = zen::desktop::deckChildren().size();
    if (!jack.start("faults", 48000, 4)) return fail("jackd did not start again");
    const Clock::time_point back = Clock::now();
    while (!bothConnected(jack) && msSince(back) < 10000)
        QThread::msleep(10);
    const double serverBack = msSince(back);
    if (!bothHeard(jack, take)) return fail("the decks did not play on when the server was back");

    jack.stop(true);
    QThread::sleep(1);
    const double quitDead = stopAndTime(console);

    if (!jack.start("faults", 48000, 4)) return fail("jackd did not start again");
    QThread::sleep(1);
    if (!startBothDecks(console, jack, take)) return fail("the decks did not play the second time");
    ::kill(static_cast<pid_t>(jack.pid()), SIGSTOP);
    QThread::sleep(1);
    const double quitHung = stopAndTime(console);
    ::kill(static_cast<pid_t>(jack.pid()), SIGCONT);
    jack.stop();

    std::printf("load=%s\n", load ? "busy" : "none");
    std::printf("decks_alive_after_server_death=%zu\n", alive);
    std::printf("server_back_ms=%.0f\n", serverBack);
    std::printf("quit_dead_server_ms=%.0f\n", quitDead);
    std::printf("quit_hung_server_ms=%.0f\n", quitHung);
    return 0;
}

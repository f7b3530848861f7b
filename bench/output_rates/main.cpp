// The engine and the real deck on JACK dummy servers of their own at 44.1, 48 and 96 kHz, where
// the output's rate rides on the varispeed. Prints, last:
//   realtime_factor_<khz>k   seconds of audio per second of processor time the engine spends
//                            playing an MP3 at +8 % through four equalizer bands into the server,
//                            the level and the spectrum read every 10 ms as the deck's timers do:
//                            this process's time playing, less its time with the output running
//                            and nothing playing, in rounds that alternate the two; the median of
//                            the rounds (target >= 100)
//   realtime_factor_<khz>k_rounds  the lowest and the highest round
//   jack_idle_cpu_pct_<khz>k that time with nothing playing: the JACK client's own wake-ups
//   engine_cpu_pct_<khz>k    the engine's own figure at the end of the playing windows (median)
//   deck_playing_cpu_pct_<khz>k  the real ZentariDeck process playing the same MP3 in the bar
//                            view, the median of its 10 s windows (44.1 and 48 kHz only)
//   deck_cpu_48k_vs_44k_pct  how much more the deck takes at 48 kHz than at 44.1 kHz, in percent
//                            (target <= 10); the rounds at the two rates alternate, so a change
//                            in the machine's load falls on both
//   test_clock_realtime_factor_<khz>k  the same work rendered through the test clock at 44.1,
//                            48, 88.2 and 96 kHz: the rendering thread's time alone, with no
//                            server and no wake-ups, so it moves far less with the machine's load
// With --test-clock only the last figures are measured, and no server is needed; with --engine
// only the engine's, on the servers and the test clock.
#include "Desktop.h"
#include "Measure.h"
#include "Programs.h"
#include "SoundServers.h"
#include "Tracks.h"
#include "deck/audio/AudioEngine.h"
#include "deck/audio/TestClock.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace zen::audio;

namespace {

constexpr int kPlaySeconds = 20;
// On the servers: rounds of an idle and a playing window each, 20 s of playing in all.
constexpr int kEngineRounds = 5;
constexpr int kWindowSeconds = 4;
constexpr int kDeckRounds = 5;
constexpr int kDeckSeconds = 10;
constexpr int kRateAt8Percent = 47628;

int fail(const char* why) {
    std::fprintf(stderr, "output_rates: %s\n", why);
    return 1;
}

struct EngineRun {
    double realtimeFactor = 0;
    double lowestRound = 0;
    double highestRound = 0;
    double idleCpuPct = 0;
    double engineCpu = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// This process's processor seconds a second over `seconds` of the deck's reads: the level and the
// spectrum every 10 ms.
double readFor(AudioEngine& engine, Handle h, int seconds) {
    float spectrum[1024];
    const double start = zen::bench::processCpuSeconds();
    for (int tick = 0; tick < 100 * seconds; ++tick) {
        QThread::msleep(10);
        engine.channelGetLevel(h);
        engine.channelGetData(h, spectrum, kDataFft2048);
    }
    return (zen::bench::processCpuSeconds() - start) / seconds;
}

// The track at +8 % through four equalizer bands, as a deck sets them.
Handle openAsADeck(AudioEngine& engine, const std::string& mp3) {
    const Handle h = engine.streamCreateFile(mp3, 0, 0, kStreamFx | kStreamExactSeek);
    const float centres[4] = {80, 3000, 8000, 80};
    for (float centre : centres)
        engine.fxSetParameters(engine.channelSetFx(h, kFxParamEq), ParamEq{centre, 36, 3});
    engine.channelSlideAttributes(h, kRateAt8Percent, 50, 0, 0);
    return h;
}

// The same work through the test clock at `rate`: seconds of audio per second of this thread's
// processor time, or -1 when the channel stopped.
double playTestClock(double rate, const std::string& mp3) {
    auto engine = createTestClockEngine(rate);
    if (!engine->init(0, 44100, 0) || !engine->start()) return -1;
    const Handle h = openAsADeck(*engine, mp3);
    engine->streamPlay(h, 0, 0);
    // The whole track decoded first, so the figure is the engine's and not the decoder's.
    engine->render(static_cast<int>(rate * 50));
    engine->channelSetPosition(h, 0);
    float spectrum[1024];
    const int tick = static_cast<int>(rate / 100);
    const double start = zen::bench::threadCpuSeconds();
    for (int i = 0; i < 100 * kPlaySeconds; ++i) {
        engine->render(tick);
        engine->channelGetLevel(h);
        engine->channelGetData(h, spectrum, kDataFft2048);
    }
    const double cpu = zen::bench::threadCpuSeconds() - start;
    return engine->channelGetLevel(h) == -1 ? -1 : kPlaySeconds / cpu;
}

// The engine on the server's default output (its first pair), as a deck plays. Each round
// measures a window with the track stopped and one with it playing, in turns of order, so that
// a change in the machine's load falls on both.
bool playEngine(const zen::e2e::JackServer& jack, const std::string& mp3, EngineRun& result) {
    qputenv("JACK_DEFAULT_SERVER", jack.name().toUtf8());
    auto engine = createAudioEngine();
    engine->setClientName("Zentari output rates");
    if (!engine->init(0, 44100, 0) || !engine->start()) return false;
    const Handle h = openAsADeck(*engine, mp3);
    // The whole track decoded first, so the figure is the engine's and not the decoder's.
    QThread::sleep(3);
    std::vector<double> idle, busy, factors, engineCpu;
    bool played = true;
    for (int round = 0; round < kEngineRounds; ++round) {
        for (bool playing : {round % 2 == 1, round % 2 == 0}) {
            if (playing)
                engine->streamPlay(h, 0, 0);
            else
                engine->channelStop(h);
            // Past the fade of a stop and the restart of a play.
            QThread::msleep(200);
            (playing ? busy : idle).push_back(readFor(*engine, h, kWindowSeconds));
            if (playing) {
                engineCpu.push_back(engine->getCpu());
                played = played && engine->channelGetLevel(h) != -1;
            }
        }
        factors.push_back(1 / (busy.back() - idle.back()));
    }
    result.realtimeFactor = median(factors);
    result.lowestRound = *std::min_element(factors.begin(), factors.end());
    result.highestRound = *std::max_element(factors.begin(), factors.end());
    result.idleCpuPct = 100 * median(idle);
    result.engineCpu = median(engineCpu);
    engine->streamFree(h);
    engine->free();
    return played;
}

// The real deck on the server, playing the track in the bar view; its processor share over
// kDeckSeconds, or -1.
double playDeck(const zen::e2e::JackServer& jack, const QString& programDir,
                const QString& musicDir) {
    zen::config::ConfigRecord record = zen::e2e::deckRecord(0, musicDir);
    record.midiPort1 = "MIDI Yoke 1";
    if (!record.save(programDir + "/deck1.ini")) return -1;
    QProcess deck;
    const QString window =
        zen::e2e::startDeck(deck, programDir + "/ZentariDeck", jack.environment());
    if (window.isEmpty()) return -1;
    zen::desktop::doubleClickIn(window, zen::desktop::kDeckFirstFile);
    QThread::sleep(3);
    zen::desktop::clickIn(window, zen::desktop::kDeckPlay);
    QThread::sleep(2);
    const double cpu = zen::bench::cpuPercentOver(deck.processId(), kDeckSeconds);
    const bool alive = deck.state() == QProcess::Running;
    deck.kill();
    deck.waitForFinished(5000);
    return alive ? cpu : -1;
}

} // namespace

int main(int argc, char** argv) {
    const bool testClockOnly = argc > 1 && std::strcmp(argv[1], "--test-clock") == 0;
    const bool engineOnly = argc > 1 && std::strcmp(argv[1], "--engine") == 0;
    if (!testClockOnly && !engineOnly && !zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");
    QTemporaryDir programDir, musicDir;
    if (!programDir.isValid() || !musicDir.isValid()) return fail("no temporary folder");
    const std::string wav = musicDir.filePath("music.wav").toStdString();
    const std::string mp3 = musicDir.filePath("music.mp3").toStdString();
    zen::bench::writeMusicWav(wav, 60);
    if (!zen::bench::encodeMp3(wav, mp3)) return fail("lame failed");
    QFile::remove(QString::fromStdString(wav));

    std::map<int, double> testClockRuns;
    for (int rate : {44100, 48000, 88200, 96000})
        if ((testClockRuns[rate] = playTestClock(rate, mp3)) < 0)
            return fail("the channel stopped on the test clock");
    const auto printTestClock = [&] {
        for (const auto& [rate, factor] : testClockRuns)
            std::printf("test_clock_realtime_factor_%dk=%.0f\n", rate / 1000, factor);
    };
    if (testClockOnly) {
        printTestClock();
        return 0;
    }
    if (!engineOnly && !zen::e2e::installPrograms(programDir.path(), {"ZentariDeck"}))
        return fail("ZentariDeck not built");

    // One server at a time, named after the run's own: "<its name>-<rate>".
    zen::e2e::JackServer jack;
    std::map<int, EngineRun> engineRuns;
    for (int rate : {44100, 48000, 96000}) {
        if (!jack.start(QString::number(rate), rate, 2)) return fail("jackd did not start");
        if (!playEngine(jack, mp3, engineRuns[rate])) return fail("the engine did not play");
    }
    std::map<int, std::vector<double>> deckRuns;
    for (int round = 0; round < (engineOnly ? 0 : kDeckRounds); ++round)
        for (int rate : {44100, 48000}) {
            if (!jack.start(QString::number(rate), rate, 2)) return fail("jackd did not start");
            const double cpu = playDeck(jack, programDir.path(), musicDir.path());
            if (cpu < 0) return fail("the deck did not play to the end");
            deckRuns[rate].push_back(cpu);
        }

    for (const auto& [rate, run] : engineRuns) {
        std::printf("realtime_factor_%dk=%.0f\n", rate / 1000, run.realtimeFactor);
        std::printf("realtime_factor_%dk_rounds=%.0f-%.0f\n", rate / 1000, run.lowestRound,
                    run.highestRound);
        std::printf("jack_idle_cpu_pct_%dk=%.2f\n", rate / 1000, run.idleCpuPct);
        std::printf("engine_cpu_pct_%dk=%.2f\n", rate / 1000, run.engineCpu);
    }
    if (!engineOnly) {
        const double deck44 = median(deckRuns[44100]), deck48 = median(deckRuns[48000]);
        std::printf("deck_playing_cpu_pct_44k=%.2f\n", deck44);
        std::printf("deck_playing_cpu_pct_48k=%.2f\n", deck48);
        std::printf("deck_cpu_48k_vs_44k_pct=%.1f\n", (deck48 / deck44 - 1) * 100);
    }
    printTestClock();
    return 0;
}

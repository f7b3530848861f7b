// Starts the real ZentariDeck on the display and the sound server, and measures the processor time
// of its process over 10 s each: idle with no track, then playing an MP3 in the bar view at its
// starting 35 ms, in the scrolling view, and in the bar view at 1 ms after a second click.

#include "Desktop.h"
#include "Measure.h"
#include "Programs.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

using zen::e2e::run;

namespace {

constexpr QPoint kSpectrum{50, 200};
constexpr int kMeasureSeconds = 10;
constexpr int kSynthTimeoutMs = 60000;

// A minute of 128 BPM kick, off-beat hat, bass and a two-note pad, as a 320 kbit/s MP3.
bool makeTrack(const QString& mp3) {
    QTemporaryDir scratch;
    const QString folder = scratch.path();
    const auto part = [&](const QString& name, const QStringList& synth) {
        return run("sox", QStringList{"-n", "-r", "44100", "-c", "1", folder + "/" + name} + synth,
                   QProcessEnvironment::systemEnvironment(), kSynthTimeoutMs);
    };
    const QString beat = "0.46875", half = "0.234375";
    const bool parts =
        part("kick.wav", {"synth", beat, "sine", "150:45", "fade", "q", "0.005", beat, "0.35",
                          "repeat", "127"}) &&
        part("hat.wav", {"synth", half, "whitenoise", "fade", "q", "0.001", "0.06", "0.05", "pad",
                         "0", "0.174375", "highpass", "7000", "repeat", "255"}) &&
        part("bass.wav", {"synth", half, "sawtooth", "55", "fade", "q", "0.01", "0.2", "0.05",
                          "lowpass", "400", "repeat", "255"}) &&
        part("pad.wav", {"synth", "60", "sine", "440", "sine", "554", "tremolo", "0.5", "60"});
    const QString wav = folder + "/track.wav";
    return parts &&
           run("sox",
               {"-m", "-v", "0.6", folder + "/kick.wav", "-v", "0.3", folder + "/hat.wav", "-v",
                "0.35", folder + "/bass.wav", "-v", "0.2", folder + "/pad.wav", "-c", "2", wav,
                "gain", "-n", "-1"},
               QProcessEnvironment::systemEnvironment(), kSynthTimeoutMs) &&
           run("lame", {"--quiet", "-b", "320", wav, mp3}, QProcessEnvironment::systemEnvironment(),
               kSynthTimeoutMs);
}

int fail(const char* why) {
    std::fprintf(stderr, "deck_cpu: %s\n", why);
    return 1;
}

} // namespace

int main() {
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");

    QTemporaryDir programDir, musicDir;
    if (!programDir.isValid() || !musicDir.isValid()) return fail("no temporary folder");
    if (!zen::e2e::installPrograms(programDir.path(), {"ZentariDeck"}))
        return fail("ZentariDeck not built");
    if (!makeTrack(musicDir.filePath("track.mp3"))) return fail("sox or lame failed");

    zen::config::ConfigRecord record =
        zen::e2e::deckRecord(zen::e2e::jackOutputDevice(), musicDir.path());
    record.scrollFileName = "ON";
    record.trackingMode = "ON";
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    if (!record.save(programDir.filePath("deck1.ini"))) return fail("cannot write deck1.ini");

    QProcess deck;
    const QString window = zen::e2e::startDeck(deck, programDir.filePath("ZentariDeck"));
    if (window.isEmpty()) return fail("the deck window did not appear");
    const qint64 pid = deck.processId();
    QThread::sleep(2);

    const double idle = zen::bench::cpuPercentOver(pid, kMeasureSeconds);

    zen::desktop::doubleClickIn(window, zen::desktop::kDeckFirstFile);
    QThread::sleep(3);
    zen::desktop::clickIn(window, zen::desktop::kDeckPlay);
    QThread::sleep(2);
    const double firstBars = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    zen::desktop::clickIn(window, kSpectrum);
    QThread::sleep(2);
    const double scrolling = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    zen::desktop::clickIn(window, kSpectrum);
    QThread::sleep(2);
    const double bars = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    const double rss = zen::bench::rssMb(pid);
    const bool alive = deck.state() == QProcess::Running;
    deck.kill();
    deck.waitForFinished(5000);
    if (!alive) return fail("the deck ended during the run");

    std::printf("playing_bars_35ms_cpu_pct=%.2f\n", firstBars);
    std::printf("playing_bars_1ms_cpu_pct=%.2f\n", bars);
    std::printf("playing_scrolling_cpu_pct=%.2f\n", scrolling);
    std::printf("idle_cpu_pct=%.2f\n", idle);
    std::printf("playing_cpu_pct=%.2f\n", std::max({firstBars, bars, scrolling}));
    std::printf("rss_mb=%.1f\n", rss);
    return 0;
}

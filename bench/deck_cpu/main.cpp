// Starts the real ZentariDeck on the display and the sound server, and measures the processor time
// of its process over 10 s each: idle with no track, then playing an MP3 in the bar view at its
// starting 35 ms, in the scrolling view, and in the bar view at 1 ms after a second click.

#include "Measure.h"
#include "common/ConfigRecord.h"
#include "deck/audio/AudioEngine.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFirstFileX = 280, kFirstFileY = 366;
constexpr int kPlayX = 324, kPlayY = 281;
constexpr int kSpectrumX = 50, kSpectrumY = 200;
constexpr int kMeasureSeconds = 10;

bool run(const QString& program, const QStringList& args, int timeoutMs = 60000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool xdotool(const QStringList& args) {
    return run("xdotool", args);
}

bool click(int x, int y, int repeat = 1) {
    return xdotool({"mousemove", QString::number(x), QString::number(y), "click", "--repeat",
                    QString::number(repeat), "--delay", "80", "1"});
}

double rssMb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
    return -1;
}

// A minute of 128 BPM kick, off-beat hat, bass and a two-note pad, as a 320 kbit/s MP3.
bool makeTrack(const QString& mp3) {
    QTemporaryDir scratch;
    const QString folder = scratch.path();
    const auto part = [&](const QString& name, const QStringList& synth) {
        return run("sox", QStringList{"-n", "-r", "44100", "-c", "1", folder + "/" + name} + synth);
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
           run("sox", {"-m", "-v", "0.6", folder + "/kick.wav", "-v", "0.3", folder + "/hat.wav",
                       "-v", "0.35", folder + "/bass.wav", "-v", "0.2", folder + "/pad.wav", "-c",
                       "2", wav, "gain", "-n", "-1"}) &&
           run("lame", {"--quiet", "-b", "320", wav, mp3});
}

int fail(const char* why) {
    std::fprintf(stderr, "deck_cpu: %s\n", why);
    return 1;
}

} // namespace

int main() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !run("jack_lsp", {}))
        return fail("needs a display and a JACK server: eval $(scripts/services start)");

    const std::vector<std::string> devices = zen::audio::listOutputDevices();
    int device = 0;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) device = static_cast<int>(i);

    QTemporaryDir programDir, musicDir;
    if (!programDir.isValid() || !musicDir.isValid()) return fail("no temporary folder");
    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    const QString program = programDir.filePath("ZentariDeck");
    if (!QFile::copy(source + "/ZentariDeck", program)) return fail("ZentariDeck not built");
    QFile::copy(source + "/styles.ini", programDir.filePath("styles.ini"));
    if (!makeTrack(musicDir.filePath("track.mp3"))) return fail("sox or lame failed");

    zen::config::ConfigRecord record;
    record.bpmDetection = "ON";
    record.scrollFileName = "ON";
    record.trackingMode = "ON";
    record.soundDevice1 = QString::number(device);
    record.soundDevice2 = "0";
    record.midiPort1 = "MIDI Yoke 1";
    record.midiPort2 = "MIDI Yoke 2";
    record.mapping.fill("none");
    record.musicFolder = musicDir.path();
    if (!record.save(programDir.filePath("deck1.ini"))) return fail("cannot write deck1.ini");

    QProcess deck;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    if (!deck.waitForStarted(5000)) return fail("the deck did not start");
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = xdotool({"search", "--name", "Zentari DJ System"});
        if (!shown) QThread::msleep(100);
    }
    if (!shown) return fail("the deck window did not appear");
    const qint64 pid = deck.processId();
    QThread::sleep(2);

    const double idle = zen::bench::cpuPercentOver(pid, kMeasureSeconds);

    click(kFirstFileX, kFirstFileY, 2);
    QThread::sleep(3);
    click(kPlayX, kPlayY);
    QThread::sleep(2);
    const double firstBars = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    click(kSpectrumX, kSpectrumY);
    QThread::sleep(2);
    const double scrolling = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    click(kSpectrumX, kSpectrumY);
    QThread::sleep(2);
    const double bars = zen::bench::cpuPercentOver(pid, kMeasureSeconds);
    const double rss = rssMb(pid);
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

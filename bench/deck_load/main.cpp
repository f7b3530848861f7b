// Loads a 5-minute 128 BPM MP3 into a deck window (engine on its test clock, offscreen) through
// the file list's double-click handler and times it until the deck is paused and loaded, tempo
// detection included. Prints the figures last as name=value.
#include "deck/Browser.h"
#include "deck/DeckHost.h"
#include "deck/DeckWindow.h"
#include "deck/audio/TestClock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sndfile.h>
#include <vector>

namespace {

class BenchHost : public DeckHost {
public:
    explicit BenchHost(QString folder) : folder_(std::move(folder)) {}
    void showMessage(const QString& text, const QString&, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void endProcess() override { std::exit(1); }
    QString programFolder() const override { return folder_; }
    std::vector<std::string> outputDevices() const override { return {"Default output"}; }
    qint64 resumeFrom() const override { return 0; }

private:
    QString folder_;
};

// A kick on every beat and a hat between, over a bass tone: material a detector can lock onto.
bool writeTrack(const QString& wav, double seconds, double bpm) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(wav.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!sf) return false;
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    const double beat = 60.0 / bpm;
    std::vector<float> block;
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = f / 44100.0;
        const double inBeat = std::fmod(t, beat);
        const double inHalf = std::fmod(t, beat / 2);
        double v = 0.2 * std::sin(2 * M_PI * 55 * t);
        v += 0.6 * std::exp(-inBeat * 30) * std::sin(2 * M_PI * 60 * inBeat);
        v += 0.15 * std::exp(-inHalf * 200) * std::sin(2 * M_PI * 7000 * t);
        block.push_back(static_cast<float>(v));
        block.push_back(static_cast<float>(v));
    }
    const bool ok = sf_writef_float(sf, block.data(), static_cast<sf_count_t>(frames)) ==
                    static_cast<sf_count_t>(frames);
    sf_close(sf);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programDir, musicDir;
    const QString wav = musicDir.filePath("track.wav");
    const QString mp3 = musicDir.filePath("track.mp3");
    std::fprintf(stderr, "encoding a 5-minute MP3...\n");
    if (!writeTrack(wav, 300, 128) ||
        QProcess::execute("lame", {"--quiet", "-b", "320", wav, mp3}) != 0)
        return 1;
    QFile::remove(wav);

    QFile ini(programDir.filePath("deck1.ini"));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    for (int field = 1; field <= 38; ++field) {
        const QString value = field == 1 ? "ON" : field == 36 ? musicDir.path() : "0";
        ini.write(("\"" + value + "\"\r\n").toUtf8());
    }
    ini.close();

    BenchHost host(programDir.path());
    const auto engine = zen::audio::createTestClockEngine();
    DeckWindow window(*engine, host);
    if (!window.startUp("1")) return 1;
    window.transport().setTimersRunning(false);
    FileList* files = window.ui().filFile;
    if (files->count() != 1) return 1;

    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        // A DJ loads between tracks, not five times a second: let the previous load's background
        // decode finish first.
        QThread::sleep(3);
        QElapsedTimer clock;
        clock.start();
        // What the file list's double-click runs.
        window.loader().loadFile(files->item(0)->text());
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (!window.transport().stopped() || window.loader().channel() == 0) return 1;
    }
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("bpm=%s\n", qPrintable(window.ui().lblOrigBPM->text()));
    std::printf("first_load_ms=%.1f\n", first);
    std::printf("load_ms=%.1f\n", times[times.size() / 2]);
    return 0;
}

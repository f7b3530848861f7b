// Measures what the deck's displays cost on the window thread:
// - bar_frame_us, scroll_frame_us: one spectrum frame of each view, from a ready analysis;
// - spectrum_query_us: the engine's spectrum of a playing channel, which every tick asks for;
// - paint_us: one paint of the spectrum picture, through to the window's backing store;
// - *_cpu_pct: the process's processor share while the spectrum view (bar view at 1 ms, or the
//   scrolling view at 25 ms) and the level meter run live on a playing track, beyond the share of
//   playing alone (the engine on its test clock, rendered every 5 ms on the same thread);
// - paints_per_s in the bar view.
// Runs on Qt's offscreen platform; `seconds` per phase is the only argument (default 5).
#include "Measure.h"
#include "Tracks.h"
#include "deck/audio/TestClock.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/SpectrumView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

using namespace zen;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;

// A minute of chords and a kick, loud enough to move the meter.
std::string writeTrack() {
    const auto path = std::filesystem::temp_directory_path() / "zentari_displays_bench.wav";
    bench::writeMusicWav(path.string(), 60);
    return path.string();
}

template <typename F> double microsecondsEach(int runs, F&& body) {
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i)
        body(i);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / runs;
}

// Runs the event loop for `seconds` and returns the processor share in percent.
double cpuPercentOver(double seconds) {
    const double cpu0 = bench::processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    return 100.0 * (bench::processCpuSeconds() - cpu0) /
           (static_cast<double>(wall.elapsed()) / 1000.0);
}

class PaintCounter : public QObject {
public:
    long paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;

    std::vector<float> analysis(deck::SpectrumPicture::kAnalysisSize);
    std::mt19937 random(2);
    std::uniform_real_distribution<float> magnitude(0.0f, 0.02f);
    for (float& bin : analysis)
        bin = magnitude(random);
    deck::SpectrumPicture model;
    const double barFrameUs = microsecondsEach(200000, [&](int) { model.drawFrame(analysis); });
    model.switchMode();
    const double scrollFrameUs = microsecondsEach(200000, [&](int) { model.drawFrame(analysis); });

    auto engine = audio::createTestClockEngine();
    engine->init(0, kRate, 0);
    engine->start();
    const std::string track = writeTrack();
    const audio::Handle channel =
        engine->streamCreateFile(track, 0, 0, audio::kStreamFx | audio::kStreamExactSeek);
    engine->streamPlay(channel, 0, 0);
    engine->render(4096);
    const double queryUs = microsecondsEach(
        20000, [&](int) { engine->channelGetData(channel, analysis.data(), audio::kDataFft2048); });

    // Playing alone: the test clock rendered at the pace of the output.
    QTimer output;
    output.setTimerType(Qt::PreciseTimer);
    QObject::connect(&output, &QTimer::timeout, [&] { engine->render(kRate / 200); });
    output.start(5);
    const double playingCpu = cpuPercentOver(seconds);

    audio::Handle shown = channel;
    deck::SpectrumView spectrum(*engine, [&shown] { return shown; });
    deck::LevelMeter meter(*engine, [&shown] { return shown; });
    spectrum.resize(88, 101);
    spectrum.show();
    meter.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents();
    PaintCounter counter;
    spectrum.installEventFilter(&counter);
    const double paintUs = microsecondsEach(5000, [&](int) { spectrum.repaint(); });
    if (counter.paints != 5000)
        std::fprintf(stderr, "only %ld of 5000 paints ran\n", counter.paints);
    counter.paints = 0;

    spectrum.switchMode();
    spectrum.switchMode();
    spectrum.start();
    QElapsedTimer wall;
    wall.start();
    const double barCpu = cpuPercentOver(seconds);
    const double paintsPerS =
        1000.0 * static_cast<double>(counter.paints) / static_cast<double>(wall.elapsed());

    spectrum.switchMode();
    const double scrollCpu = cpuPercentOver(seconds);

    spectrum.switchMode();
    shown = 0;
    const double idleCpu = cpuPercentOver(seconds);

    engine->streamFree(channel);
    engine->free();
    std::filesystem::remove(track);

    std::printf("bar_frame_us=%.2f\n", barFrameUs);
    std::printf("scroll_frame_us=%.2f\n", scrollFrameUs);
    std::printf("spectrum_query_us=%.2f\n", queryUs);
    std::printf("paint_us=%.2f\n", paintUs);
    std::printf("playing_alone_cpu_pct=%.2f\n", playingCpu);
    std::printf("paints_per_s=%.1f\n", paintsPerS);
    std::printf("bar_view_cpu_pct=%.2f\n", barCpu - playingCpu);
    std::printf("scroll_view_cpu_pct=%.2f\n", scrollCpu - playingCpu);
    std::printf("no_track_cpu_pct=%.2f\n", idleCpu - playingCpu);
    return 0;
}

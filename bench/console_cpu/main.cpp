// Processor time of the real ZentariMix, which polls the whole keyboard through the X server every
// 5 ms for as long as it runs: the console's own share of a core with the engine stopped, then
// running with its two decks, then while a controller streams into its external input; and the
// X server's share before the console starts and while it polls. Prints its figures as
// name=value lines at the end.
//   console_cpu [--seconds N]       (default: 30 for each phase)

#include "ConsoleRun.h"
#include "ControllerStream.h"
#include "Desktop.h"
#include "Measure.h"
#include "Programs.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr qint16 kControllerCable = 2; // "MIDI Yoke 3", the console's external input
constexpr int kStreamRate = 200;       // controller messages a second

int fail(const char* why) {
    std::fprintf(stderr, "console_cpu: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    for (int i = 1; i + 1 < argc; i += 2)
        if (QString::fromLocal8Bit(argv[i]) == "--seconds") seconds = std::atoi(argv[i + 1]);
    QCoreApplication app(argc, argv);
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");
    const qint64 xServer = zen::desktop::displayServerPid();
    if (xServer < 0) return fail("the display is not an Xvfb of this machine");

    // The controller stream is this process's timer: the event loop runs while others are measured.
    const auto measure = [seconds](const std::vector<qint64>& pids) {
        return zen::bench::cpuPercentsDuring(
            pids, [seconds] { zen::bench::runEventsFor(seconds * 1000); });
    };
    const double xAlone = measure({xServer})[0];
    zen::bench::ConsoleRun console;
    zen::config::ConfigRecord settings = console.settings();
    settings.externalMidi = QString::number(kControllerCable);
    QString error;
    if (!console.start(settings, error)) return fail(error.toLocal8Bit().constData());
    zen::bench::runEventsFor(2000);
    const std::vector<double> stopped = measure({console.pid(), xServer});

    if (!console.pressEngine()) return fail("cannot press the engine button");
    if (zen::desktop::deckOneWindow().isEmpty()) return fail("the decks did not come up");
    zen::bench::runEventsFor(2000);
    const double running = measure({console.pid()})[0];

    qputenv("XDG_RUNTIME_DIR", console.runtimeFolder().toLocal8Bit());
    zen::bench::ControllerStream controller(kControllerCable);
    controller.start(kStreamRate);
    const double streaming = measure({console.pid()})[0];
    controller.stop();

    std::printf("xserver_cpu_pct_alone=%.2f\n", xAlone);
    std::printf("xserver_cpu_pct_polled=%.2f\n", stopped[1]);
    std::printf("running_cpu_pct=%.2f\n", running);
    std::printf("streaming_cpu_pct=%.2f\n", streaming);
    std::printf("idle_cpu_pct=%.2f\n", stopped[0]);
    std::printf("xserver_extra_cpu_pct=%.2f\n", stopped[1] - xAlone);
    std::fflush(stdout);
    return 0;
}

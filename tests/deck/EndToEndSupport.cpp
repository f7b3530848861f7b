#include "EndToEndSupport.h"

#include "deck/audio/AudioEngine.h"

#include <QFile>
#include <QThread>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace zen::e2e {

bool run(const QString& program, const QStringList& args, const QProcessEnvironment& environment,
         int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool xdotool(const QStringList& args) {
    return run("xdotool", args);
}

int jackOutputDevice() {
    const std::vector<std::string> devices = zen::audio::listOutputDevices();
    int device = 0;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) device = static_cast<int>(i);
    return device;
}

QString installDeck(const QString& programDir) {
    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    const QString program = programDir + "/ZentariDeck";
    if (!QFile::copy(source + "/ZentariDeck", program)) return {};
    QFile::copy(source + "/styles.ini", programDir + "/styles.ini");
    return program;
}

zen::config::ConfigRecord deckRecord(int device, const QString& musicFolder) {
    zen::config::ConfigRecord record;
    record.bpmDetection = "ON";
    record.soundDevice1 = QString::number(device);
    record.soundDevice2 = "0";
    record.mapping.fill("none");
    record.musicFolder = musicFolder;
    return record;
}

bool waitForDeckWindow() {
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = xdotool({"search", "--name", "Zentari DJ System"});
        if (!shown) QThread::msleep(100);
    }
    return shown;
}

std::vector<float> recordOutput(const QString& file, double seconds) {
    if (!run("jack_capture", {"--daemon", "-d", QString::number(seconds), "-f", "wav", "-fn", file},
             QProcessEnvironment::systemEnvironment(), static_cast<int>(seconds * 1000) + 10000))
        return {};
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.toLocal8Bit().constData(), SFM_READ, &info);
    if (!sf) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(sf, frames.data(), info.frames);
    sf_close(sf);
    std::vector<float> left;
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(info.channels))
        left.push_back(frames[i]);
    return left;
}

std::size_t loudFrames(const std::vector<float>& mono) {
    std::size_t loud = 0;
    for (float v : mono)
        if (std::abs(v) > 0.02f) ++loud;
    return loud;
}

std::vector<float> sounding(const std::vector<float>& mono) {
    std::size_t first = 0;
    while (first < mono.size() && std::abs(mono[first]) < 0.01f)
        ++first;
    first += 4410;
    if (first >= mono.size()) return {};
    return std::vector<float>(mono.begin() + static_cast<std::ptrdiff_t>(first), mono.end());
}

double steadyHz(const std::vector<float>& mono, double rate) {
    std::vector<double> crossings;
    for (std::size_t i = 1; i < mono.size(); ++i)
        if (mono[i - 1] < 0 && mono[i] >= 0)
            crossings.push_back((i - 1) + mono[i - 1] / (mono[i - 1] - mono[i]));
    std::vector<double> cycles;
    for (std::size_t i = 1; i < crossings.size(); ++i)
        cycles.push_back(crossings[i] - crossings[i - 1]);
    if (cycles.size() < 10) return 0;
    std::vector<double> sorted = cycles;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    int count = 0;
    for (double c : cycles)
        if (std::abs(c - median) < 0.01 * median) {
            sum += c;
            ++count;
        }
    return rate * count / sum;
}

Tone strongestTone(const std::vector<float>& mono, double lowHz, double highHz, double rate) {
    // A Hann window keeps a strong tone elsewhere from leaking into the band.
    const double n = static_cast<double>(mono.size());
    std::vector<double> windowed(mono.size());
    double windowSum = 0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / n);
        windowed[i] = w * mono[i];
        windowSum += w;
    }
    // Goertzel's recurrence gives the component at one frequency.
    const auto amplitudeAt = [&](double hz) {
        const double coefficient = 2 * std::cos(2 * M_PI * hz / rate);
        double s1 = 0, s2 = 0;
        for (double x : windowed) {
            const double s0 = x + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        return windowSum > 0 ? 2 * std::sqrt(std::max(power, 0.0)) / windowSum : 0;
    };
    Tone best;
    const auto search = [&](double from, double to, double step) {
        for (double hz = from; hz <= to; hz += step) {
            const double amplitude = amplitudeAt(hz);
            if (amplitude > best.amplitude) best = {hz, amplitude};
        }
    };
    search(lowHz, highHz, 1.0);
    search(best.hz - 1.0, best.hz + 1.0, 0.1);
    return best;
}

void EndToEndTest::SetUp() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY: start the services (scripts/services start)";
    if (!run("jack_lsp", {}))
        GTEST_SKIP() << "no JACK server: start the services (scripts/services start)";
}

void EndToEndTest::TearDown() {
    if (deck.state() != QProcess::NotRunning) {
        deck.kill();
        deck.waitForFinished(5000);
    }
}

} // namespace zen::e2e

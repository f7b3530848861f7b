#include "Recording.h"

#include "Programs.h"
#include "SoundServers.h"

#include <algorithm>
#include <cmath>

namespace zen::e2e {

namespace {

QStringList captureArguments(const QString& file, double seconds) {
    return {"--daemon", "-d", QString::number(seconds), "-f", "wav", "-fn", file};
}

// The first two channels of a capture; a mono one's channel on both sides.
std::array<std::vector<float>, 2> readChannels(const QString& file) {
    Take take = readTake(file);
    if (take.channels.empty()) return {};
    if (take.channels.size() == 1) return {take.channels[0], take.channels[0]};
    return {std::move(take.channels[0]), std::move(take.channels[1])};
}

} // namespace

std::vector<float> recordOutput(const QString& file, double seconds) {
    if (!run("jack_capture", captureArguments(file, seconds),
             QProcessEnvironment::systemEnvironment(), static_cast<int>((seconds + 10) * 1000)))
        return {};
    return readChannels(file)[0];
}

bool Capture::start(const QString& file, double seconds) {
    file_ = file;
    seconds_ = seconds;
    recorder_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder_.setStandardOutputFile(QProcess::nullDevice());
    recorder_.start("jack_capture", captureArguments(file, seconds));
    return recorder_.waitForStarted(5000);
}

std::array<std::vector<float>, 2> Capture::finish() {
    if (!recorder_.waitForFinished(static_cast<int>((seconds_ + 10) * 1000)) ||
        recorder_.exitStatus() != QProcess::NormalExit || recorder_.exitCode() != 0)
        return {};
    return readChannels(file_);
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

double toneAmplitude(const std::vector<float>& mono, double hz, double rate) {
    double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double s = std::sin(2 * M_PI * hz * double(i) / rate);
        const double c = std::cos(2 * M_PI * hz * double(i) / rate);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        xs += mono[i] * s;
        xc += mono[i] * c;
    }
    const double det = ss * cc - sc * sc;
    return std::hypot((xs * cc - xc * sc) / det, (xc * ss - xs * sc) / det);
}

} // namespace zen::e2e

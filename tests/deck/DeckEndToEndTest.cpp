#include "audio/EngineTestSupport.h"
#include "common/ConfigRecord.h"
#include "deck/audio/AudioEngine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

// The real ZentariDeck on a display and a sound server: load a sine through the browser, play
// it, record what the sound server plays and measure its frequency before and after the user
// pulls the pitch fader to its top.

namespace test = zen::audio::test;

namespace {

// Window places (pixels) of the deck's controls; deck 1 opens at the screen's top-left corner.
constexpr int kFirstFileX = 280, kFirstFileY = 366;
constexpr int kPlayX = 324, kPlayY = 281;
constexpr int kPitchX = 557, kPitchMiddleY = 403, kPitchTopY = 270;

bool run(const QString& program, const QStringList& args, int timeoutMs = 10000) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool xdotool(const QStringList& args) {
    return run("xdotool", args);
}

// Records `seconds` of what the sound server plays; returns the left channel.
std::vector<float> recordOutput(const QString& file, int seconds) {
    if (!run("jack_capture", {"--daemon", "-d", QString::number(seconds), "-f", "wav", "-fn", file},
             (seconds + 10) * 1000))
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

// The part of a recording where the tone sounds (the first stall of a server is cut off).
// The frequency of a recorded tone, robust to the dropouts a loaded machine causes in a dummy
// sound server: cycles far from the median length (a gap, a glitch) are left out of the mean.
double steadyHz(const std::vector<float>& mono, double rate = 44100) {
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

std::vector<float> sounding(const std::vector<float>& mono) {
    std::size_t first = 0;
    while (first < mono.size() && std::abs(mono[first]) < 0.01f)
        ++first;
    first += 4410;
    if (first >= mono.size()) return {};
    return std::vector<float>(mono.begin() + static_cast<std::ptrdiff_t>(first), mono.end());
}

class DeckEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY: start the services (scripts/services start)";
        if (!run("jack_lsp", {}))
            GTEST_SKIP() << "no JACK server: start the services (scripts/services start)";
    }

    void TearDown() override {
        if (deck.state() != QProcess::NotRunning) {
            deck.kill();
            deck.waitForFinished(5000);
        }
    }

    QProcess deck;
};

TEST_F(DeckEndToEndTest, PlaysALoadedSineAndFollowsThePitchFader) {
    // The JACK device "system" when the sound library lists it, else the default output.
    const std::vector<std::string> devices = zen::audio::listOutputDevices();
    int device = 0;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].rfind("system", 0) == 0) device = static_cast<int>(i);

    QTemporaryDir programDir, musicDir;
    ASSERT_TRUE(programDir.isValid() && musicDir.isValid());
    const QString source = QStringLiteral(ZENTARI_PROGRAM_DIR);
    const QString program = programDir.filePath("ZentariDeck");
    ASSERT_TRUE(QFile::copy(source + "/ZentariDeck", program));
    QFile::copy(source + "/styles.ini", programDir.filePath("styles.ini"));
    test::writeWav(musicDir.filePath("sine.wav").toStdString(),
                   test::makeSine(1000, 0.5, 44100, 30));

    zen::config::ConfigRecord record;
    record.bpmDetection = "ON";
    record.soundDevice1 = QString::number(device);
    record.soundDevice2 = "0";
    record.mapping.fill("none");
    record.musicFolder = musicDir.path();
    ASSERT_TRUE(record.save(programDir.filePath("deck1.ini")));

    // The suite runs widget tests offscreen; this one shows the real window on the display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    deck.setProcessEnvironment(environment);
    deck.setProcessChannelMode(QProcess::ForwardedChannels);
    deck.start(program, {"1"});
    ASSERT_TRUE(deck.waitForStarted(5000));
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = xdotool({"search", "--name", "Zentari DJ System"});
        if (!shown) QThread::msleep(100);
    }
    ASSERT_TRUE(shown) << "the deck window did not appear";
    QThread::msleep(300);

    // Double-click the file in the browser, wait for the load and its detection, then play.
    ASSERT_TRUE(xdotool({"mousemove", QString::number(kFirstFileX), QString::number(kFirstFileY),
                         "click", "--repeat", "2", "--delay", "80", "1"}));
    QThread::msleep(2000);
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(kPlayX), QString::number(kPlayY), "click", "1"}));
    QThread::msleep(500);

    const std::vector<float> atZero = sounding(recordOutput(programDir.filePath("zero.wav"), 2));
    ASSERT_GT(atZero.size(), 22050u) << "nothing was heard";
    EXPECT_NEAR(steadyHz(atZero), 1000.0, 2.0);

    // Drag the pitch fader's knob from the middle to the top: +16 %.
    ASSERT_TRUE(xdotool({"mousemove", QString::number(kPitchX), QString::number(kPitchMiddleY),
                         "mousedown", "1", "mousemove", QString::number(kPitchX),
                         QString::number(kPitchMiddleY - 60), "mousemove", QString::number(kPitchX),
                         QString::number(kPitchTopY), "mouseup", "1"}));
    QThread::msleep(300);

    const std::vector<float> atTop = sounding(recordOutput(programDir.filePath("top.wav"), 2));
    ASSERT_GT(atTop.size(), 22050u) << "nothing was heard after the pitch move";
    EXPECT_NEAR(steadyHz(atTop), 1160.0, 2.0);
    EXPECT_EQ(deck.state(), QProcess::Running);
}

} // namespace

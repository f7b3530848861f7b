// The deck on an ALSA device no sound server owns, with no sound card: a private ALSA
// configuration (the test's own home folder) defines a four-channel device that writes its raw
// frames into a pipe, which paces it as the test reads. Deck 2 on "outputs 3-4" writes its mix
// into channels 3 and 4 and silence into 1 and 2.
//
// The outputs' list cannot be reached so: PortAudio lists the kernel's cards (hw:C,D) as cards
// and a configured device only under its own name, and the list takes cards alone.
#include "EngineTestSupport.h"
#include "deck/audio/AlsaStream.h"
#include "deck/audio/Voice.h"

#include <alsa/asoundlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace zen::audio::test {
namespace {

constexpr int kChannels = 4;

// Reads `frames` frames of four float channels from the pipe; fewer when it ends.
std::vector<float> readFrames(int fd, std::size_t frames) {
    std::vector<float> out(frames * kChannels);
    auto* bytes = reinterpret_cast<char*>(out.data());
    std::size_t got = 0;
    const std::size_t want = out.size() * sizeof(float);
    while (got < want) {
        const ssize_t n = ::read(fd, bytes + got, want - got);
        if (n <= 0) break;
        got += std::size_t(n);
    }
    out.resize(got / sizeof(float) / kChannels * kChannels);
    return out;
}

TEST(AlsaOutput, ADeckOnOutputsThreeAndFourOfAFourChannelDeviceWritesOnlyThere) {
    TempFolder folder;
    const std::string pipe = folder.path("device.raw");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directories(folder.root / "home");
    std::ofstream(folder.path("home/.asoundrc"))
        << "pcm.zentari_test4 { type file slave.pcm \"zentari_null\" file \"" << pipe
        << "\" format \"raw\" }\npcm.zentari_null { type null }\n";
    ::setenv("HOME", folder.path("home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.path("home").c_str(), 1);
    // Held open for reading and writing, so the device's own open does not wait for a reader.
    const int fd = ::open(pipe.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);

    const std::shared_ptr<const PcmTrack> track =
        PcmTrack::open(writeSndfile(folder.path("s.wav"), makeSine(1000, 0.5, 44100, 2.0)),
                       PcmTrack::Kind::Stream, false);
    ASSERT_TRUE(track);
    while (!track->finished())
        track->waitDecoded(track->lengthFrames());
    Mixer mixer;
    Voice voice(track, false, 44100);
    Command add, play;
    add.type = Command::Type::AddVoice;
    add.voice = &voice;
    play.type = Command::Type::Play;
    play.voice = &voice;
    play.loop = true;
    ASSERT_TRUE(mixer.commands().push(add) && mixer.commands().push(play));

    zen::sound::Output output;
    output.server = zen::sound::Server::Alsa;
    output.device = "zentari_test4";
    output.description = "Zentari test, outputs 3-4";
    output.deviceChannels = kChannels;
    output.firstChannel = 2;
    AlsaStream stream;
    std::string why;
    ASSERT_TRUE(stream.open(output, "Zentari Deck 2", mixer, why)) << why;
    EXPECT_EQ(stream.sampleRate(), 44100);
    stream.gate().open();
    // Past the fade-in and whatever the device wrote before the gate opened.
    readFrames(fd, 8192);
    const auto frames = readFrames(fd, 44100);
    ASSERT_EQ(frames.size(), std::size_t(44100 * kChannels));
    std::array<float, kChannels> peaks{};
    for (std::size_t i = 0; i < frames.size(); ++i)
        peaks[i % kChannels] = std::max(peaks[i % kChannels], std::abs(frames[i]));
    EXPECT_EQ(peaks[0], 0.0f);
    EXPECT_EQ(peaks[1], 0.0f);
    EXPECT_NEAR(peaks[2], 0.5, 0.01);
    EXPECT_NEAR(peaks[3], 0.5, 0.01);
    std::vector<float> third;
    for (std::size_t i = 2; i < frames.size(); i += kChannels)
        third.push_back(frames[i]);
    EXPECT_NEAR(measureHz(third), 1000.0, 0.5) << "at the device's rate, in real frames";

    // The pipe is read on until the stream is closed: a device blocked in a write would hold it.
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    std::atomic<bool> closing{false};
    std::thread drain([&] {
        char scrap[4096];
        while (!closing.load())
            if (::read(fd, scrap, sizeof scrap) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    stream.close();
    closing = true;
    drain.join();
    ::close(fd);
    EXPECT_FALSE(stream.failed());
}

// A deck whose card was unplugged looks for it four times a second: by the card's name, since
// its number may change when it comes back, and only for a card's device.
TEST(AlsaOutput, ACardsOutputIsThereWhileACardOfItsNameIs) {
    zen::sound::Output output;
    output.server = zen::sound::Server::Alsa;
    output.device = "Zentari Unplugged Interface: USB Audio (hw:0,0)";
    EXPECT_FALSE(zen::sound::cardPresent(output));
    for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
        char* name = nullptr;
        ASSERT_EQ(snd_card_get_name(card, &name), 0);
        output.device = std::string(name) + ": USB Audio (hw:9,0)";
        std::free(name);
        EXPECT_TRUE(zen::sound::cardPresent(output)) << output.device;
    }
    for (const std::string device : {"zentari_test4", ""}) {
        output.device = device;
        EXPECT_TRUE(zen::sound::cardPresent(output)) << "a configured device or the default";
    }
    output.server = zen::sound::Server::Jack;
    output.device = "Zentari Unplugged Interface: USB Audio (hw:0,0)";
    EXPECT_TRUE(zen::sound::cardPresent(output)) << "a server's output is the server's to find";
}

} // namespace
} // namespace zen::audio::test

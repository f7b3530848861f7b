#include "DecoderTestFiles.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace zen::audio {
namespace {

using test::Pcm;

constexpr int kRate = 44100;
constexpr int kWav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Everything libsndfile decodes from the file, read straight through from the start.
Pcm decodeAll(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path);
    Pcm pcm{info.channels, info.samplerate, {}};
    std::vector<std::int16_t> block(static_cast<size_t>(4096 * info.channels));
    sf_count_t got;
    while ((got = sf_readf_short(file, block.data(), 4096)) > 0)
        pcm.samples.insert(pcm.samples.end(), block.begin(), block.begin() + got * info.channels);
    sf_close(file);
    return pcm;
}

class PcmTrackTest : public ::testing::Test {
protected:
    test::TempFolder folder;
    const Pcm stereo = test::makeSignal(2, kRate, 3 * kRate + 77);
    const std::string wav = test::writeSndfile(folder.path("a.wav"), stereo);
};

TEST_F(PcmTrackTest, EveryFormatDecodesToTheFramesOfItsReference) {
    struct Case {
        std::string path;
        bool mono;
        Pcm expected;
        int tolerance; // lossy decoders hand out floats, which two readers may round apart
    };
    // A FLAC stream written without its length: STREAMINFO's 36-bit sample count (low nibble of
    // byte 21, bytes 22..25) 0 means unknown, and the decoder must count.
    auto flac = test::readBytes(
        test::writeSndfile(folder.path("a.flac"), stereo, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    ASSERT_EQ(std::memcmp(flac.data(), "fLaC", 4), 0);
    flac[21] &= 0xf0;
    std::fill(flac.begin() + 22, flac.begin() + 26, 0);
    test::writeBytes(folder.path("streamed.flac"), flac);
    // The mono flag averages the two sides.
    Pcm mixed{1, kRate, std::vector<std::int16_t>(std::size_t(stereo.frames()))};
    for (std::size_t f = 0; f < mixed.samples.size(); ++f)
        mixed.samples[f] = std::int16_t((stereo.samples[2 * f] + stereo.samples[2 * f + 1]) / 2);
    const std::string ogg =
        test::writeSndfile(folder.path("a.ogg"), stereo, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    std::vector<Case> cases = {
        {wav, false, stereo, 0},
        {folder.path("a.flac"), false, stereo, 0},
        {folder.path("streamed.flac"), false, stereo, 0},
        {wav, true, mixed, 1},
        {ogg, false, decodeAll(ogg), 1},
    };

    // MPEG audio decodes bit-exactly as the mpg123 program does: VBR with a LAME frame, CBR
    // between an ID3v2 tag and an ID3v1 trailer as tagged music files come, layers II and I. The
    // layer I frames, first slow then fast and with no LAME frame, are far more than a length
    // guessed from the first frame's bit rate.
    const std::string vbr = folder.path("vbr.mp3"), tagged = folder.path("tagged.mp3");
    test::encodeMp3(wav, vbr, "-V2");
    test::encodeMp3(wav, tagged, "-b 192 --add-id3v2 --tt Title --ta Artist");
    const std::string mp2 = folder.path("a.mp2");
    ASSERT_EQ(std::system(("sox '" + wav + "' '" + mp2 + "'").c_str()), 0);
    const std::string mp1 = test::writeBytes(folder.path("a.mp1"), test::layerOneFrames(10, 190));
    const auto bytes = test::readBytes(tagged);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    ASSERT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
    for (const auto& path : {vbr, tagged, mp2, mp1})
        for (bool mono : {false, true}) {
            const std::string reference = path + (mono ? ".mono.wav" : ".wav");
            const std::string mpg123 = "mpg123 -q " + std::string(mono ? "-m " : "") + "-w '" +
                                       reference + "' '" + path + "'";
            ASSERT_EQ(std::system(mpg123.c_str()), 0) << mpg123;
            cases.push_back({path, mono, decodeAll(reference), 0});
        }
    // A module renders as libopenmpt renders it at full quality, to the end of its fade-out;
    // each rendering dithers on its own.
    const auto module = test::makeModule(3);
    const std::string tune = test::writeBytes(folder.path("tune.mod"), module);
    for (bool mono : {false, true}) {
        openmpt::module reference(module);
        reference.ctl_set_text("play.at_end", "fadeout");
        Pcm rendered{mono ? 1 : 2, kRate, {}};
        std::vector<std::int16_t> block(2 * 4096);
        while (const std::size_t got =
                   mono ? reference.read(kRate, 4096, block.data())
                        : reference.read_interleaved_stereo(kRate, 4096, block.data()))
            rendered.samples.insert(rendered.samples.end(), block.begin(),
                                    block.begin() + std::ptrdiff_t(got) * rendered.channels);
        cases.push_back({tune, mono, rendered, 2});
    }

    for (const auto& c : cases) {
        const Pcm got = test::decodeTrack(c.path, c.mono);
        const std::string what = c.path + (c.mono ? " mono" : "");
        EXPECT_EQ(got.rate, c.expected.rate) << what;
        ASSERT_EQ(got.channels, c.expected.channels) << what;
        ASSERT_EQ(got.samples.size(), c.expected.samples.size()) << what;
        std::size_t apart = 0, first = 0;
        for (std::size_t i = 0; i < got.samples.size(); ++i)
            if (std::abs(got.samples[i] - c.expected.samples[i]) > c.tolerance && !apart++)
                first = i;
        EXPECT_EQ(apart, 0u) << what << ": first at frame " << first / std::size_t(got.channels);
    }
    // The LAME frame carries encoder delay and padding: the MP3 is as long as its source.
    EXPECT_EQ(test::decodeTrack(vbr).frames(), stereo.frames());
    EXPECT_EQ(test::decodeTrack(mp1).frames(), 200 * 384);
}

TEST_F(PcmTrackTest, SurroundFoldsToStereoByPosition) {
    // WAV order: front left, front right, centre, LFE, back left, back right; Vorbis order: front
    // left, centre, front right, rear left, rear right, LFE. `left` is the voice's share heard on
    // the left, -1 when it is not heard at all.
    const struct {
        int format, voice;
        double left;
    } cases[] = {
        {kWav, 0, 1.0},
        {kWav, 2, 0.5},
        {kWav, 3, -1},
        {kWav, 5, 0.0},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 0.5},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 0.0},
    };
    int n = 0;
    for (const auto& c : cases) {
        Pcm pcm{6, kRate, std::vector<std::int16_t>(6 * kRate / 2, 0)};
        for (std::size_t f = 0; f < std::size_t(kRate / 2); ++f)
            pcm.samples[f * 6 + std::size_t(c.voice)] =
                std::int16_t(std::lround(16000 * std::sin(2 * M_PI * 1000 * double(f) / kRate)));
        const Pcm got = test::decodeTrack(
            test::writeSndfile(folder.path("surround" + std::to_string(n++)), pcm, c.format));
        ASSERT_EQ(got.channels, 2);
        double side[2] = {0, 0};
        for (std::size_t i = 0; i < got.samples.size(); ++i)
            side[i % 2] += double(got.samples[i]) * got.samples[i];
        const double heard = side[0] + side[1];
        EXPECT_NEAR(heard > 0 ? side[0] / heard : -1, c.left, 0.025)
            << "voice " << c.voice << " of format " << c.format << ": left " << side[0]
            << ", right " << side[1];
    }

    // Full scale on every channel at once must not wrap round.
    const std::string loud = test::writeSndfile(folder.path("loud.wav"),
                                                {6, kRate, std::vector<std::int16_t>(600, 32767)});
    for (bool mono : {false, true}) {
        const Pcm got = test::decodeTrack(loud, mono);
        ASSERT_EQ(got.samples.size(), mono ? 100u : 200u);
        EXPECT_GT(*std::min_element(got.samples.begin(), got.samples.end()), 30000);
    }
}

} // namespace
} // namespace zen::audio

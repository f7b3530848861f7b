#include "DecoderTestFiles.h"

#include "deck/audio/PcmTrack.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

namespace zen::audio {
namespace {

using test::Pcm;
using Kind = PcmTrack::Kind;

constexpr int kRate = 44100;

// Opens and waits for the whole decode, which must hold exactly the length told at the open.
Pcm decodeTrack(const std::string& path, bool mono = false, Kind kind = Kind::Stream) {
    std::string why;
    auto track = PcmTrack::open(path, kind, mono, &why);
    EXPECT_TRUE(track) << path << ": " << why;
    if (!track) return {};
    const std::int64_t decoded = track->waitDecoded(track->lengthFrames());
    EXPECT_TRUE(track->finished()) << path;
    EXPECT_EQ(decoded, track->lengthFrames()) << path;
    return {track->channels(),
            track->sampleRate(),
            {track->data(), track->data() + decoded * track->channels()}};
}

// Lossy decoders hand out floats, which a reference reading and the track may round to 16 bits
// one step apart; a frame out of place differs by thousands in the busy test signal.
void expectSameFrames(const Pcm& got, const Pcm& reference, int tolerance,
                      const std::string& what) {
    EXPECT_EQ(got.rate, reference.rate) << what;
    ASSERT_EQ(got.channels, reference.channels) << what;
    ASSERT_EQ(got.samples.size(), reference.samples.size()) << what;
    std::size_t apart = 0, first = 0;
    for (std::size_t i = 0; i < got.samples.size(); ++i)
        if (std::abs(got.samples[i] - reference.samples[i]) > tolerance && !apart++) first = i;
    EXPECT_EQ(apart, 0u) << what << ": first at frame " << first / std::size_t(got.channels);
}

class PcmTrackTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Pcm& pcm, int format) {
        test::writeSndfile(folder.path(name), pcm, format);
        return folder.path(name);
    }
    test::TempFolder folder;
    const Pcm stereo = test::makeSignal(2, kRate, 3 * kRate + 77);
    const std::string wav = write("a.wav", stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
};

TEST_F(PcmTrackTest, PcmFlacAndOggDecodeToTheirFramesExactly) {
    // A FLAC stream written without its length: STREAMINFO's 36-bit sample count (low nibble of
    // byte 21, bytes 22..25) 0 means unknown, and the decoder must count.
    auto flac = test::readBytes(write("a.flac", stereo, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    ASSERT_EQ(std::memcmp(flac.data(), "fLaC", 4), 0);
    flac[21] &= 0xf0;
    std::fill(flac.begin() + 22, flac.begin() + 26, 0);
    test::writeBytes(folder.path("streamed.flac"), flac);
    const Pcm low = test::makeSignal(1, 22050, 22050);
    // The mono flag averages the two sides.
    Pcm mixed{1, kRate, std::vector<std::int16_t>(std::size_t(stereo.frames()))};
    for (std::size_t f = 0; f < mixed.samples.size(); ++f)
        mixed.samples[f] = std::int16_t((stereo.samples[2 * f] + stereo.samples[2 * f + 1]) / 2);
    const std::string ogg = write("a.ogg", stereo, SF_FORMAT_OGG | SF_FORMAT_VORBIS);

    const struct {
        std::string path;
        bool mono;
        Pcm expected;
        int tolerance;
    } cases[] = {
        {wav, false, stereo, 0},
        {folder.path("a.flac"), false, stereo, 0},
        {folder.path("streamed.flac"), false, stereo, 0},
        {write("a.aiff", low, SF_FORMAT_AIFF | SF_FORMAT_PCM_16), false, low, 0},
        {wav, true, mixed, 1},
        {ogg, false, test::decodeAll(ogg), 1},
    };
    for (const auto& c : cases)
        expectSameFrames(decodeTrack(c.path, c.mono), c.expected, c.tolerance,
                         c.path + (c.mono ? " mono" : ""));
}

// Silent MPEG-1 layer I frames (nothing allocated to any subband), first at 128 then at
// 448 kbit/s: a length guessed from the first frame's bit rate is far off.
std::vector<unsigned char> layerOneFrames(int slow, int fast) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < slow + fast; ++i) {
        const bool isFast = i >= slow;
        const unsigned char rate = isFast ? 0xe0 : 0x40; // bit-rate index 14 or 4, 44100 Hz
        const unsigned char header[] = {0xff, 0xff, rate, 0x00};
        bytes.insert(bytes.end(), std::begin(header), std::end(header));
        bytes.resize(bytes.size() + (isFast ? 480 : 132), 0);
    }
    return bytes;
}

TEST_F(PcmTrackTest, MpegDecodesBitExactlyAsTheReferenceDecoder) {
    const std::string cbr = folder.path("cbr.mp3"), vbr = folder.path("vbr.mp3");
    test::encodeMp3(wav, cbr, "-b 192");
    test::encodeMp3(wav, vbr, "-V2");
    // Loud noise first, and no LAME frame: the first frame's bit rate is far above the rest's, so
    // a length guessed from it is far too short.
    Pcm noisy = stereo;
    std::mt19937 random(7);
    for (std::size_t i = 0; i < std::size_t(2 * kRate); ++i)
        noisy.samples[i] = static_cast<std::int16_t>(random() % 60000 - 30000);
    const std::string plainVbr = folder.path("plain-vbr.mp3");
    test::encodeMp3(write("noisy.wav", noisy, SF_FORMAT_WAV | SF_FORMAT_PCM_16), plainVbr,
                    "-V2 -t");
    const std::string mp2 = folder.path("a.mp2"), mp1 = folder.path("a.mp1");
    ASSERT_EQ(std::system(("sox '" + wav + "' '" + mp2 + "'").c_str()), 0);
    test::writeBytes(mp1, layerOneFrames(10, 190));
    // The same MP3 between an ID3v2 tag and an ID3v1 trailer, as tagged music files come.
    std::vector<unsigned char> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 0};
    bytes.resize(bytes.size() + 256, 0);
    const auto body = test::readBytes(plainVbr);
    bytes.insert(bytes.end(), body.begin(), body.end());
    const unsigned char trailer[] = "TAGSome Title";
    bytes.insert(bytes.end(), std::begin(trailer), std::end(trailer));
    bytes.resize(bytes.size() - sizeof trailer + 128, ' ');
    const std::string tagged = folder.path("tagged.mp3");
    test::writeBytes(tagged, bytes);

    for (const auto& path : {cbr, vbr, plainVbr, mp2, mp1, tagged})
        for (bool mono : {false, true})
            expectSameFrames(decodeTrack(path, mono), test::decodeWithMpg123(path, mono), 0,
                             path + (mono ? " mono" : ""));
    // The LAME frame carries encoder delay and padding: the MP3 is as long as its source.
    EXPECT_EQ(decodeTrack(vbr).frames(), stereo.frames());
    EXPECT_EQ(decodeTrack(mp1).frames(), 200 * 384);
}

TEST_F(PcmTrackTest, SurroundFoldsToStereoByPosition) {
    enum Side { Left, Both, Right, Neither };
    // WAV order: front left, front right, centre, LFE, back left, back right; Vorbis order: front
    // left, centre, front right, rear left, rear right, LFE.
    const struct {
        int format, voice;
        Side heard;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, Left},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, Both},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, Neither},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 5, Right},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, Both},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, Right},
    };
    int n = 0;
    for (const auto& c : cases) {
        Pcm pcm{6, kRate, std::vector<std::int16_t>(6 * kRate / 2, 0)};
        for (std::size_t f = 0; f < std::size_t(kRate / 2); ++f)
            pcm.samples[f * 6 + std::size_t(c.voice)] =
                std::int16_t(std::lround(16000 * std::sin(2 * M_PI * 1000 * double(f) / kRate)));
        const Pcm got = decodeTrack(write("surround" + std::to_string(n++), pcm, c.format));
        ASSERT_EQ(got.channels, 2);
        double side[2] = {0, 0};
        for (std::size_t i = 0; i < got.samples.size(); ++i)
            side[i % 2] += double(got.samples[i]) * got.samples[i];
        const std::string what = "voice " + std::to_string(c.voice) + " of format " +
                                 std::to_string(c.format) + ": left " + std::to_string(side[0]) +
                                 ", right " + std::to_string(side[1]);
        EXPECT_EQ(side[0] > 0.01 * side[1], c.heard == Left || c.heard == Both) << what;
        EXPECT_EQ(side[1] > 0.01 * side[0], c.heard == Right || c.heard == Both) << what;
        if (c.heard == Both) {
            EXPECT_NEAR(side[0] / side[1], 1.0, 0.1) << what;
        }
        if (c.heard == Neither) {
            EXPECT_EQ(side[0] + side[1], 0) << what;
        }
    }

    // Full scale on every channel at once must not wrap round.
    const std::string loud = write("loud.wav", {6, kRate, std::vector<std::int16_t>(600, 32767)},
                                   SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (bool mono : {false, true}) {
        const Pcm got = decodeTrack(loud, mono);
        ASSERT_EQ(got.samples.size(), mono ? 100u : 200u);
        EXPECT_GT(*std::min_element(got.samples.begin(), got.samples.end()), 30000);
    }
}

TEST_F(PcmTrackTest, ModulesRenderToTheirExactLength) {
    const auto bytes = test::makeModule(3);
    test::writeBytes(folder.path("tune.mod"), bytes);
    // What libopenmpt renders of the module at full quality, counted without our help.
    openmpt::module module(bytes);
    module.ctl_set_text("play.at_end", "fadeout");
    std::vector<std::int16_t> block(2 * 4096);
    std::int64_t expected = 0;
    while (const std::size_t got = module.read_interleaved_stereo(kRate, 4096, block.data()))
        expected += std::int64_t(got);
    ASSERT_GT(expected, kRate);

    for (bool mono : {false, true}) {
        const Pcm got = decodeTrack(folder.path("tune.mod"), mono, Kind::Module);
        ASSERT_EQ(got.frames(), expected);
        EXPECT_EQ(got.channels, mono ? 1 : 2);
        EXPECT_EQ(got.rate, kRate);
        EXPECT_GT(*std::max_element(got.samples.begin(), got.samples.end()), 1000);
    }
}

} // namespace
} // namespace zen::audio

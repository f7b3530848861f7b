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

constexpr int kRate = 44100;

// Opens, waits for the whole decode and returns what the track holds.
Pcm decodeTrack(const std::string& path, PcmTrack::Kind kind, bool mono,
                std::int64_t* length = nullptr) {
    std::string why;
    auto track = PcmTrack::open(path, kind, mono, &why);
    EXPECT_TRUE(track) << path << ": " << why;
    if (!track) return {};
    const std::int64_t decoded = track->waitDecoded(track->lengthFrames());
    EXPECT_TRUE(track->finished());
    EXPECT_EQ(decoded, track->lengthFrames());
    if (length) *length = track->lengthFrames();
    Pcm pcm{track->channels(), track->sampleRate(), {}};
    pcm.samples.assign(track->data(), track->data() + decoded * track->channels());
    return pcm;
}

// Lossy decoders hand out floats, which the reference reading and the track may round to 16 bits
// one step apart; a frame out of place differs by thousands in the busy test signal.
void expectSameFrames(const Pcm& got, const Pcm& reference, const std::string& path) {
    ASSERT_EQ(got.channels, reference.channels) << path;
    ASSERT_EQ(got.samples.size(), reference.samples.size()) << path;
    std::int64_t apart = 0;
    size_t first = 0;
    for (size_t i = 0; i < got.samples.size(); ++i) {
        if (std::abs(got.samples[i] - reference.samples[i]) > 1 && !apart++) first = i;
    }
    EXPECT_EQ(apart, 0) << path << ": first at frame " << first / size_t(got.channels);
}

class PcmTrackTest : public ::testing::Test {
protected:
    test::TempFolder folder;
    const Pcm stereo = test::makeSignal(2, kRate, 3 * kRate + 77);

    std::string writeStereoWav(const std::string& name) {
        const std::string path = folder.path(name);
        test::writeSndfile(path, stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        return path;
    }
};

TEST_F(PcmTrackTest, LosslessFilesDecodeToTheirSamplesExactly) {
    const std::string wav = writeStereoWav("a.wav");
    const std::string flac = folder.path("a.flac");
    test::writeSndfile(flac, stereo, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const Pcm low = test::makeSignal(1, 22050, 22050);
    const std::string aiff = folder.path("a.aiff");
    test::writeSndfile(aiff, low, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);

    for (const auto& path : {wav, flac}) {
        const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, false);
        EXPECT_EQ(got.channels, 2) << path;
        EXPECT_EQ(got.rate, kRate) << path;
        EXPECT_EQ(got.samples, stereo.samples) << path;
    }
    // A mono file stays mono without the flag, at its own rate.
    const Pcm got = decodeTrack(aiff, PcmTrack::Kind::Stream, false);
    EXPECT_EQ(got.channels, 1);
    EXPECT_EQ(got.rate, 22050);
    EXPECT_EQ(got.samples, low.samples);
}

TEST_F(PcmTrackTest, FlacWrittenWithoutItsLengthIsCounted) {
    const std::string path = folder.path("streamed.flac");
    test::writeSndfile(path, stereo, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::vector<unsigned char> bytes(std::filesystem::file_size(path));
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::memcmp(bytes.data(), "fLaC", 4), 0);
    // STREAMINFO's 36-bit sample count (low nibble of byte 21, bytes 22..25): 0 means unknown.
    bytes[21] &= 0xf0;
    std::fill(bytes.begin() + 22, bytes.begin() + 26, 0);
    std::fseek(file, 0, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    std::int64_t length = 0;
    const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, false, &length);
    EXPECT_EQ(length, stereo.frames());
    EXPECT_EQ(got.samples, stereo.samples);
}

TEST_F(PcmTrackTest, PlaybackCanStartBeforeTheDecodeEnds) {
    const std::string wav = writeStereoWav("a.wav");
    auto track = PcmTrack::open(wav, PcmTrack::Kind::Stream, false);
    ASSERT_TRUE(track);
    EXPECT_EQ(track->lengthFrames(), stereo.frames());
    const std::int64_t ready = track->waitDecoded(1);
    ASSERT_GE(ready, 1);
    EXPECT_EQ(track->data()[0], stereo.samples[0]);
    EXPECT_EQ(track->waitDecoded(0), track->decodedFrames());
}

TEST_F(PcmTrackTest, OggFramesMatchAFullDecodeAtEveryPosition) {
    const std::string ogg = folder.path("a.ogg");
    test::writeSndfile(ogg, stereo, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    const Pcm reference = test::decodeAll(ogg);
    std::int64_t length = 0;
    const Pcm got = decodeTrack(ogg, PcmTrack::Kind::Stream, false, &length);
    EXPECT_EQ(length, reference.frames());
    expectSameFrames(got, reference, ogg);
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
    const std::string wav = writeStereoWav("a.wav");
    const std::string cbr = folder.path("cbr.mp3");
    test::encodeMp3(wav, cbr, "-b 192");
    const std::string vbr = folder.path("vbr.mp3");
    test::encodeMp3(wav, vbr, "-V2");
    // Loud noise first: the first frame's bit rate is far above the rest's, so a length guessed
    // from it is far too short.
    Pcm noisy = stereo;
    std::mt19937 random(7);
    for (size_t i = 0; i < size_t(2 * kRate); ++i)
        noisy.samples[i] = static_cast<std::int16_t>(random() % 60000 - 30000);
    const std::string noisyWav = folder.path("noisy.wav");
    test::writeSndfile(noisyWav, noisy, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string plainVbr = folder.path("plain-vbr.mp3");
    test::encodeMp3(noisyWav, plainVbr, "-V2 -t");
    const std::string mp2 = folder.path("a.mp2");
    ASSERT_EQ(std::system(("sox '" + wav + "' '" + mp2 + "'").c_str()), 0);
    const std::string mp1 = folder.path("a.mp1");
    test::writeBytes(mp1, layerOneFrames(10, 190));
    // The same MP3 between an ID3v2 tag and an ID3v1 trailer, as tagged music files come.
    const std::string tagged = folder.path("tagged.mp3");
    std::vector<unsigned char> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 0};
    bytes.resize(bytes.size() + 256, 0);
    const auto body = test::readBytes(plainVbr);
    bytes.insert(bytes.end(), body.begin(), body.end());
    const unsigned char trailer[] = "TAGSome Title";
    bytes.insert(bytes.end(), std::begin(trailer), std::end(trailer));
    bytes.resize(bytes.size() - sizeof trailer + 128, ' ');
    test::writeBytes(tagged, bytes);

    for (const auto& path : {cbr, vbr, plainVbr, mp2, mp1, tagged}) {
        for (bool mono : {false, true}) {
            const Pcm reference = test::decodeWithMpg123(path, mono);
            std::int64_t length = 0;
            const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, mono, &length);
            EXPECT_EQ(length, reference.frames()) << path << (mono ? " mono" : "");
            EXPECT_EQ(got.channels, reference.channels) << path;
            EXPECT_EQ(got.rate, reference.rate) << path;
            EXPECT_TRUE(got.samples == reference.samples) << path << (mono ? " mono" : "");
        }
    }
    // The LAME frame carries encoder delay and padding: the MP3 is as long as its source.
    EXPECT_EQ(decodeTrack(vbr, PcmTrack::Kind::Stream, false).frames(), stereo.frames());
    EXPECT_EQ(decodeTrack(mp1, PcmTrack::Kind::Stream, false).frames(), 200 * 384);
}

TEST_F(PcmTrackTest, MonoFlagAveragesTheTwoSides) {
    const std::string wav = writeStereoWav("a.wav");
    const Pcm got = decodeTrack(wav, PcmTrack::Kind::Stream, true);
    ASSERT_EQ(got.channels, 1);
    ASSERT_EQ(got.frames(), stereo.frames());
    for (std::int64_t f = 0; f < got.frames(); f += 997) {
        const int sum = stereo.samples[size_t(2 * f)] + stereo.samples[size_t(2 * f + 1)];
        EXPECT_NEAR(got.samples[size_t(f)], sum / 2.0, 0.51) << "frame " << f;
    }
}

// One channel of a six-channel file carries a tone, the rest silence.
std::string writeSurroundWithOneVoice(const test::TempFolder& folder, int voice,
                                      std::int16_t level) {
    Pcm pcm{6, kRate, std::vector<std::int16_t>(6 * 4410, 0)};
    for (size_t f = 0; f < 4410; ++f)
        pcm.samples[f * 6 + size_t(voice)] = f % 2 ? level : std::int16_t(-level);
    const std::string path = folder.path("surround" + std::to_string(voice) + ".wav");
    test::writeSndfile(path, pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    return path;
}

TEST_F(PcmTrackTest, SurroundFoldsToStereoByPosition) {
    // WAV order: front left, front right, centre, LFE, back left, back right.
    const auto sides = [&](int voice) {
        const Pcm got = decodeTrack(writeSurroundWithOneVoice(folder, voice, 20000),
                                    PcmTrack::Kind::Stream, false);
        EXPECT_EQ(got.channels, 2);
        return std::pair{std::abs(got.samples[2]), std::abs(got.samples[3])};
    };
    const auto [frontLeftL, frontLeftR] = sides(0);
    EXPECT_GT(frontLeftL, 5000);
    EXPECT_EQ(frontLeftR, 0);
    const auto [centreL, centreR] = sides(2);
    EXPECT_GT(centreL, 3000);
    EXPECT_EQ(centreL, centreR);
    const auto [lfeL, lfeR] = sides(3);
    EXPECT_EQ(lfeL + lfeR, 0);
    const auto [backRightL, backRightR] = sides(5);
    EXPECT_EQ(backRightL, 0);
    EXPECT_GT(backRightR, 5000);

    // Full scale on every channel at once must not wrap round.
    Pcm loud{6, kRate, std::vector<std::int16_t>(6 * 100, 32767)};
    const std::string path = folder.path("loud.wav");
    test::writeSndfile(path, loud, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (bool mono : {false, true}) {
        const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, mono);
        EXPECT_EQ(got.channels, mono ? 1 : 2);
        for (std::int16_t s : got.samples)
            EXPECT_GT(s, 30000);
    }
}

TEST_F(PcmTrackTest, SurroundOggFollowsTheVorbisChannelOrder) {
    // Vorbis order: front left, centre, front right, rear left, rear right, LFE.
    const auto sideLevels = [&](int voice) {
        Pcm pcm{6, kRate, std::vector<std::int16_t>(6 * kRate / 2, 0)};
        for (size_t f = 0; f < size_t(kRate / 2); ++f)
            pcm.samples[f * 6 + size_t(voice)] =
                std::int16_t(std::lround(16000 * std::sin(2 * M_PI * 1000 * double(f) / kRate)));
        const std::string path = folder.path("surround" + std::to_string(voice) + ".ogg");
        test::writeSndfile(path, pcm, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
        const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, false);
        EXPECT_EQ(got.channels, 2);
        double left = 0, right = 0;
        for (size_t i = 0; i + 1 < got.samples.size(); i += 2) {
            left += double(got.samples[i]) * got.samples[i];
            right += double(got.samples[i + 1]) * got.samples[i + 1];
        }
        return std::pair{std::sqrt(left), std::sqrt(right)};
    };
    const auto [centreL, centreR] = sideLevels(1);
    EXPECT_GT(centreL, 0);
    EXPECT_NEAR(centreL / centreR, 1.0, 0.05);
    const auto [frontRightL, frontRightR] = sideLevels(2);
    EXPECT_LT(frontRightL, 0.05 * frontRightR);
}

TEST_F(PcmTrackTest, FloatDataBeyondFullScaleClips) {
    const std::string path = folder.path("float.wav");
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = kRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(file);
    const float samples[] = {0.5f, 1.5f, -1.5f, -0.25f};
    sf_writef_float(file, samples, 4);
    sf_close(file);
    const Pcm got = decodeTrack(path, PcmTrack::Kind::Stream, false);
    ASSERT_EQ(got.samples.size(), 4u);
    EXPECT_NEAR(got.samples[0], 16384, 1);
    EXPECT_EQ(got.samples[1], 32767);
    EXPECT_LE(got.samples[2], -32767);
    EXPECT_NEAR(got.samples[3], -8192, 1);
}

// What libopenmpt renders of the module at full quality, counted without our help.
std::int64_t renderedFrames(const std::vector<unsigned char>& bytes) {
    openmpt::module module(bytes);
    module.ctl_set_text("play.at_end", "fadeout");
    std::vector<std::int16_t> block(2 * 4096);
    std::int64_t frames = 0;
    while (const size_t got = module.read_interleaved_stereo(kRate, 4096, block.data()))
        frames += std::int64_t(got);
    return frames;
}

TEST_F(PcmTrackTest, ModulesRenderToTheirExactLength) {
    const auto bytes = test::makeModule(3);
    const std::string path = folder.path("tune.mod");
    test::writeBytes(path, bytes);
    const std::int64_t expected = renderedFrames(bytes);
    ASSERT_GT(expected, kRate);

    std::int64_t length = 0;
    const Pcm stereoRender = decodeTrack(path, PcmTrack::Kind::Module, false, &length);
    EXPECT_EQ(length, expected);
    EXPECT_EQ(stereoRender.channels, 2);
    EXPECT_EQ(stereoRender.rate, kRate);
    int peak = 0;
    for (std::int16_t s : stereoRender.samples)
        peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 1000);

    const Pcm monoRender = decodeTrack(path, PcmTrack::Kind::Module, true, &length);
    EXPECT_EQ(length, expected);
    EXPECT_EQ(monoRender.channels, 1);
}

} // namespace
} // namespace zen::audio

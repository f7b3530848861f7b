#include "DecoderTestFiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::audio {
namespace {

using Kind = PcmTrack::Kind;
using Bytes = std::vector<unsigned char>;

constexpr int kRate = 44100;

Bytes randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// Opens and lets the decode run out: either a refusal with a reason, or a track whose positions
// fit 32 bits and that stops by itself inside its own buffer.
void expectRefusedOrEnds(const std::string& path) {
    std::string why;
    auto track = PcmTrack::open(path, test::kindOf(path), false, &why);
    if (!track) {
        EXPECT_FALSE(why.empty()) << path;
        return;
    }
    track->waitDecoded(track->lengthFrames());
    EXPECT_TRUE(track->finished()) << path;
    EXPECT_LE(track->decodedFrames(), track->lengthFrames()) << path;
    EXPECT_LE(track->lengthFrames() * track->channels() * 2, INT32_MAX) << path;
}

class DamagedFileTest : public ::testing::Test {
protected:
    // A second of the busy signal in each format the deck reads, the module aside.
    std::vector<std::string> goodFiles() {
        const test::Pcm pcm = test::makeSignal(2, kRate, kRate);
        const std::string wav = test::writeSndfile(folder.path("good.wav"), pcm);
        test::encodeMp3(wav, folder.path("good.mp3"), "-t");
        return {
            wav,
            test::writeSndfile(folder.path("good.flac"), pcm, SF_FORMAT_FLAC | SF_FORMAT_PCM_16),
            test::writeSndfile(folder.path("good.ogg"), pcm, SF_FORMAT_OGG | SF_FORMAT_VORBIS),
            folder.path("good.mp3"),
            test::writeBytes(folder.path("good.mod"), test::makeModule(2))};
    }
    test::TempFolder folder;
};

TEST_F(DamagedFileTest, WhatIsNotARegularReadableAudioFileIsRefused) {
    const std::string wav = goodFiles()[0];
    std::vector<std::string> refused = {folder.path("x.mp3"),         folder.path("pipe.wav"),
                                        folder.path("pipe-link.mp3"), folder.path("zero.wav"),
                                        folder.path("gone.ogg"),      folder.path("absent.wav")};
    ASSERT_TRUE(std::filesystem::create_directory(refused[0]));
    ASSERT_EQ(mkfifo(refused[1].c_str(), 0600), 0);
    std::filesystem::create_symlink(refused[1], refused[2]);
    std::filesystem::create_symlink("/dev/zero", refused[3]);
    std::filesystem::create_symlink(folder.path("nothing-here.ogg"), refused[4]);
    unsigned seed = 1;
    for (const std::string type : {"mp3", "wav", "ogg", "mod", "xm"}) {
        refused.push_back(folder.path("empty." + type));
        test::writeBytes(refused.back(), {});
        refused.push_back(folder.path("noise." + type));
        test::writeBytes(refused.back(), randomBytes(50000, seed++));
    }
    if (geteuid() != 0) { // root reads any file
        refused.push_back(folder.path("locked.wav"));
        std::filesystem::copy_file(wav, refused.back());
        ASSERT_EQ(chmod(refused.back().c_str(), 0), 0);
    }
    for (const auto& path : refused) {
        std::string why;
        EXPECT_FALSE(PcmTrack::open(path, test::kindOf(path), false, &why)) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
    // A link to a real file is followed, not refused.
    std::filesystem::create_symlink(wav, folder.path("link.wav"));
    EXPECT_TRUE(PcmTrack::open(folder.path("link.wav"), Kind::Stream, false));
}

TEST_F(DamagedFileTest, CutScrambledOrForgedFilesAreRefusedOrEndInsideTheirLength) {
    std::mt19937 random(2024);
    for (const auto& path : goodFiles()) {
        const auto good = test::readBytes(path);
        const std::string damaged = folder.path("damaged" + path.substr(path.rfind('.')));
        for (std::size_t keep :
             {std::size_t(12), std::size_t(100), std::size_t(1100), good.size() / 3}) {
            test::writeBytes(damaged, {good.begin(), good.begin() + std::ptrdiff_t(keep)});
            expectRefusedOrEnds(damaged);
        }
        for (int variant = 0; variant < 24; ++variant) {
            auto bytes = good;
            // A few bytes anywhere, often in the headers, sometimes cut short as well.
            for (unsigned n = 1 + random() % 8; n > 0; --n) {
                const std::size_t span = random() % 4 ? bytes.size() : 2048;
                bytes[random() % span] = random() % 3 ? static_cast<unsigned char>(random()) : 0xff;
            }
            if (random() % 5 == 0) bytes.resize(1 + random() % bytes.size());
            test::writeBytes(damaged, bytes);
            expectRefusedOrEnds(damaged);
        }
    }
}

TEST_F(DamagedFileTest, LengthsAreCappedByTheDataAndRefusedBeyondThirtyTwoBitPositions) {
    const auto files = goodFiles();
    // A WAV cut in half whose RIFF and data sizes claim far beyond the file: no more is
    // allocated or played than it holds.
    auto wav = test::readBytes(files[0]);
    wav.resize(wav.size() / 2);
    putLe32(wav, 4, 0xfffffff0);
    putLe32(wav, 40, 0xfffffff0);
    auto track = PcmTrack::open(test::writeBytes(folder.path("cut.wav"), wav), Kind::Stream, false);
    ASSERT_TRUE(track);
    EXPECT_LE(track->lengthFrames() * 4, std::int64_t(wav.size()));
    EXPECT_GT(track->waitDecoded(track->lengthFrames()), kRate / 4);

    // A sparse file of 2.4 GB of real PCM data, holding no disk space, fits only mixed to mono.
    constexpr std::uint32_t kDataBytes = 2400000000u;
    auto huge = wav;
    huge.resize(44);
    putLe32(huge, 4, kDataBytes + 36);
    putLe32(huge, 40, kDataBytes);
    test::writeBytes(folder.path("huge.wav"), huge);
    std::filesystem::resize_file(folder.path("huge.wav"), 44 + std::uintmax_t(kDataBytes));
    std::string why;
    EXPECT_FALSE(PcmTrack::open(folder.path("huge.wav"), Kind::Stream, false, &why));
    EXPECT_FALSE(why.empty());
    track = PcmTrack::open(folder.path("huge.wav"), Kind::Stream, true);
    ASSERT_TRUE(track);
    EXPECT_EQ(track->lengthFrames(), kDataBytes / 4);
    // Freed mid-decode, the track stops its worker.
    track.reset();
}

// Whether `frames` frames of `a` from `aFrom` on are those of `b` from `bFrom` on.
bool sameSamples(const test::Pcm& a, std::int64_t aFrom, const test::Pcm& b, std::int64_t bFrom,
                 std::int64_t frames) {
    return aFrom >= 0 && bFrom >= 0 && aFrom + frames <= a.frames() &&
           bFrom + frames <= b.frames() &&
           std::equal(a.samples.begin() + 2 * aFrom, a.samples.begin() + 2 * (aFrom + frames),
                      b.samples.begin() + 2 * bFrom);
}

TEST_F(DamagedFileTest, MpegPlaysOnPastDamageAndAppendedFiles) {
    const std::string mp3 = folder.path("clean.mp3");
    test::encodeMp3(
        test::writeSndfile(folder.path("long.wav"), test::makeSignal(2, kRate, 12 * kRate)), mp3,
        "-t -b 128");
    const test::Pcm clean = test::decodeTrack(mp3);
    ASSERT_EQ(clean.frames() % 1152, 0);

    // A megabyte of junk spliced into the middle, mid-frame: both sides play as they do in the
    // clean file, a frame or two by the damage is lost, and no false frame of the junk plays,
    // not even a run of frames of another layer and bit rate in the junk.
    auto bytes = test::readBytes(mp3);
    auto junk = randomBytes(1 << 20, 11);
    const auto falseFrames = test::layerOneFrames(10, 10);
    std::copy(falseFrames.begin(), falseFrames.end(), junk.begin() + (1 << 19));
    bytes.insert(bytes.begin() + std::ptrdiff_t(bytes.size() / 2), junk.begin(), junk.end());
    const test::Pcm damaged =
        test::decodeTrack(test::writeBytes(folder.path("damaged.mp3"), bytes));
    const std::int64_t side = 4 * kRate;
    EXPECT_TRUE(sameSamples(damaged, 0, clean, 0, side));
    EXPECT_TRUE(sameSamples(damaged, damaged.frames() - side, clean, clean.frames() - side, side));
    EXPECT_LE(damaged.frames(), clean.frames()) << "frames of the junk play";
    EXPECT_GT(damaged.frames(), clean.frames() - kRate / 20);

    // A second file of the same format appended to the first plays on after it.
    auto twice = test::readBytes(mp3);
    const auto second = twice;
    twice.insert(twice.end(), second.begin(), second.end());
    const test::Pcm both = test::decodeTrack(test::writeBytes(folder.path("appended.mp3"), twice));
    ASSERT_EQ(both.frames(), 2 * clean.frames());
    EXPECT_TRUE(sameSamples(both, clean.frames() + kRate, clean, kRate, side));
}

} // namespace
} // namespace zen::audio

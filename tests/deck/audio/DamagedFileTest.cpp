#include "DecoderTestFiles.h"

#include "deck/audio/PcmTrack.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::audio {
namespace {

using Kind = PcmTrack::Kind;

constexpr int kRate = 44100;

std::vector<unsigned char> randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(count);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

void putLe32(std::vector<unsigned char>& bytes, size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// Opens and lets the decode run out: either a refusal, or a track that stops by itself inside
// its own buffer.
void expectRefusedOrEnds(const std::string& path, Kind kind) {
    std::string why;
    auto track = PcmTrack::open(path, kind, false, &why);
    if (!track) {
        EXPECT_FALSE(why.empty()) << path;
        return;
    }
    track->waitDecoded(track->lengthFrames());
    EXPECT_TRUE(track->finished()) << path;
    EXPECT_LE(track->decodedFrames(), track->lengthFrames()) << path;
}

class DamagedFileTest : public ::testing::Test {
protected:
    test::TempFolder folder;
};

TEST_F(DamagedFileTest, NotARegularFileIsRefusedBeforeAnyRead) {
    const std::string dir = folder.path("x.mp3");
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    const std::string fifo = folder.path("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoLink = folder.path("pipe-link.mp3");
    std::filesystem::create_symlink(fifo, fifoLink);
    const std::string deviceLink = folder.path("zero.wav");
    std::filesystem::create_symlink("/dev/zero", deviceLink);
    const std::string dangling = folder.path("gone.ogg");
    std::filesystem::create_symlink(folder.path("nothing-here.ogg"), dangling);

    for (const auto& path :
         {dir, fifo, fifoLink, deviceLink, dangling, folder.path("absent.wav")}) {
        for (Kind kind : {Kind::Stream, Kind::Module}) {
            std::string why;
            EXPECT_FALSE(PcmTrack::open(path, kind, false, &why)) << path;
            EXPECT_FALSE(why.empty()) << path;
        }
    }
    // A link to a real file is followed, not refused.
    const std::string wav = folder.path("real.wav");
    test::writeSndfile(wav, test::makeSignal(2, kRate, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string wavLink = folder.path("link.wav");
    std::filesystem::create_symlink(wav, wavLink);
    EXPECT_TRUE(PcmTrack::open(wavLink, Kind::Stream, false));
}

TEST_F(DamagedFileTest, UnreadableFileIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
    const std::string path = folder.path("locked.wav");
    test::writeSndfile(path, test::makeSignal(2, kRate, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_FALSE(PcmTrack::open(path, Kind::Stream, false));
}

TEST_F(DamagedFileTest, EmptyAndNoiseFilesAreRefusedOrEnd) {
    for (const char* name : {"empty.mp3", "empty.wav", "empty.ogg", "empty.mod"}) {
        test::writeBytes(folder.path(name), {});
        const Kind kind = std::strstr(name, ".mod") ? Kind::Module : Kind::Stream;
        EXPECT_FALSE(PcmTrack::open(folder.path(name), kind, false)) << name;
    }
    unsigned seed = 1;
    for (const char* name : {"noise.mp3", "noise.wav", "noise.ogg", "noise.mod", "noise.xm"}) {
        test::writeBytes(folder.path(name), randomBytes(50000, seed++));
        const Kind kind =
            std::strstr(name, ".mp3") || std::strstr(name, ".wav") || std::strstr(name, ".ogg")
                ? Kind::Stream
                : Kind::Module;
        EXPECT_FALSE(PcmTrack::open(folder.path(name), kind, false)) << name;
    }
    // Noise behind a believable start: an ID3 tag, an Ogg page mark, a module signature.
    const std::vector<std::pair<std::string, std::vector<unsigned char>>> starts = {
        {"tagged.mp3", {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"paged.ogg", {'O', 'g', 'g', 'S', 0, 2}},
        {"signed.mod", {}},
    };
    for (const auto& [name, start] : starts) {
        auto bytes = randomBytes(50000, seed++);
        std::copy(start.begin(), start.end(), bytes.begin());
        if (name == "signed.mod") std::memcpy(&bytes[1080], "M.K.", 4);
        test::writeBytes(folder.path(name), bytes);
        expectRefusedOrEnds(folder.path(name), name == "signed.mod" ? Kind::Module : Kind::Stream);
    }
}

TEST_F(DamagedFileTest, TruncatedFilesEndEarly) {
    const test::Pcm pcm = test::makeSignal(2, kRate, 2 * kRate);
    const std::string wav = folder.path("whole.wav");
    test::writeSndfile(wav, pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string flac = folder.path("whole.flac");
    test::writeSndfile(flac, pcm, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string ogg = folder.path("whole.ogg");
    test::writeSndfile(ogg, pcm, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    const std::string mp3 = folder.path("whole.mp3");
    test::encodeMp3(wav, mp3, "");
    const std::string mod = folder.path("whole.mod");
    test::writeBytes(mod, test::makeModule(2));

    for (const auto& path : {wav, flac, ogg, mp3, mod}) {
        const Kind kind = path == mod ? Kind::Module : Kind::Stream;
        auto bytes = test::readBytes(path);
        for (size_t keep : {size_t(12), size_t(100), size_t(1100), bytes.size() / 3}) {
            const std::string cut = folder.path("cut-" + std::to_string(keep) + "-" +
                                                std::filesystem::path(path).filename().string());
            test::writeBytes(cut, {bytes.begin(), bytes.begin() + std::ptrdiff_t(keep)});
            expectRefusedOrEnds(cut, kind);
        }
    }

    // The WAV header promises two seconds the file does not hold: no more is allocated or played
    // than the file has.
    const std::string cut = folder.path("cut.wav");
    const auto bytes = test::readBytes(wav);
    test::writeBytes(cut, {bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2)});
    auto track = PcmTrack::open(cut, Kind::Stream, false);
    ASSERT_TRUE(track);
    EXPECT_LE(track->lengthFrames() * 4, std::int64_t(bytes.size() / 2));
    track->waitDecoded(track->lengthFrames());
    EXPECT_GT(track->decodedFrames(), kRate / 2);

    // A FLAC header promising more than the stream holds: the track stops where the data stops.
    const auto flacBytes = test::readBytes(flac);
    const std::string cutFlac = folder.path("cut.flac");
    test::writeBytes(cutFlac,
                     {flacBytes.begin(), flacBytes.begin() + std::ptrdiff_t(flacBytes.size() / 2)});
    auto flacTrack = PcmTrack::open(cutFlac, Kind::Stream, false);
    ASSERT_TRUE(flacTrack);
    EXPECT_EQ(flacTrack->lengthFrames(), pcm.frames());
    flacTrack->waitDecoded(flacTrack->lengthFrames());
    EXPECT_TRUE(flacTrack->finished());
    EXPECT_LT(flacTrack->decodedFrames(), pcm.frames());
    EXPECT_GT(flacTrack->decodedFrames(), kRate / 2);
}

// Opens, lets the decode run out, and returns what plays; the length told at the open must be it.
test::Pcm playedFrames(const std::string& path) {
    auto track = PcmTrack::open(path, Kind::Stream, false);
    EXPECT_TRUE(track) << path;
    if (!track) return {};
    EXPECT_EQ(track->waitDecoded(track->lengthFrames()), track->lengthFrames()) << path;
    return {track->channels(), track->sampleRate(),
            std::vector<std::int16_t>(track->data(),
                                      track->data() + track->decodedFrames() * track->channels())};
}

bool sameSamples(const test::Pcm& a, std::int64_t aFrom, const test::Pcm& b, std::int64_t bFrom,
                 std::int64_t frames) {
    return aFrom >= 0 && bFrom >= 0 && aFrom + frames <= a.frames() &&
           bFrom + frames <= b.frames() &&
           std::equal(a.samples.begin() + 2 * aFrom, a.samples.begin() + 2 * (aFrom + frames),
                      b.samples.begin() + 2 * bFrom);
}

TEST_F(DamagedFileTest, MpegPlaysOnPastDamageAndAppendedFiles) {
    const test::Pcm pcm = test::makeSignal(2, kRate, 12 * kRate);
    const std::string wav = folder.path("long.wav");
    test::writeSndfile(wav, pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string mp3 = folder.path("clean.mp3");
    test::encodeMp3(wav, mp3, "-t -b 128");
    const test::Pcm clean = playedFrames(mp3);
    ASSERT_EQ(clean.frames() % 1152, 0);

    // A megabyte of junk spliced into the middle, mid-frame.
    auto bytes = test::readBytes(mp3);
    const auto junk = randomBytes(1 << 20, 11);
    const std::ptrdiff_t middle = std::ptrdiff_t(bytes.size() / 2);
    bytes.insert(bytes.begin() + middle, junk.begin(), junk.end());
    const std::string damaged = folder.path("damaged.mp3");
    test::writeBytes(damaged, bytes);
    const test::Pcm played = playedFrames(damaged);
    // Both sides of the damage play as they do in the clean file; a frame or two by the damage
    // is lost.
    const std::int64_t side = 4 * kRate;
    EXPECT_TRUE(sameSamples(played, 0, clean, 0, side));
    EXPECT_TRUE(sameSamples(played, played.frames() - side, clean, clean.frames() - side, side));
    EXPECT_LE(played.frames(), clean.frames()) << "no false frame of the junk plays";
    EXPECT_GT(played.frames(), clean.frames() - kRate / 20);

    // A second file of the same format appended to the first plays on after it.
    auto twice = test::readBytes(mp3);
    const auto second = test::readBytes(mp3);
    twice.insert(twice.end(), second.begin(), second.end());
    const std::string appended = folder.path("appended.mp3");
    test::writeBytes(appended, twice);
    const test::Pcm both = playedFrames(appended);
    ASSERT_EQ(both.frames(), 2 * clean.frames());
    EXPECT_TRUE(sameSamples(both, clean.frames() + kRate, clean, kRate, side));
}

TEST_F(DamagedFileTest, FilesWithScrambledBytesAreRefusedOrEnd) {
    const test::Pcm pcm = test::makeSignal(2, kRate, kRate / 2);
    const std::string wav = folder.path("good.wav");
    test::writeSndfile(wav, pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string flac = folder.path("good.flac");
    test::writeSndfile(flac, pcm, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string ogg = folder.path("good.ogg");
    test::writeSndfile(ogg, pcm, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    const std::string mp3 = folder.path("good.mp3");
    test::encodeMp3(wav, mp3, "-t");
    const std::string mod = folder.path("good.mod");
    test::writeBytes(mod, test::makeModule(1));

    std::mt19937 random(2024);
    for (const auto& path : {wav, flac, ogg, mp3, mod}) {
        const auto good = test::readBytes(path);
        const Kind kind = path == mod ? Kind::Module : Kind::Stream;
        for (int variant = 0; variant < 24; ++variant) {
            auto bytes = good;
            // A few bytes anywhere, often in the headers, sometimes cut short as well.
            for (unsigned n = 1 + random() % 8; n > 0; --n) {
                const size_t span =
                    random() % 4 ? bytes.size() : std::min<size_t>(bytes.size(), 2048);
                bytes[random() % span] = random() % 3 ? static_cast<unsigned char>(random()) : 0xff;
            }
            if (random() % 5 == 0) bytes.resize(1 + random() % bytes.size());
            const std::string damaged =
                folder.path("damaged" + std::filesystem::path(path).extension().string());
            test::writeBytes(damaged, bytes);
            expectRefusedOrEnds(damaged, kind);
        }
    }
}

TEST_F(DamagedFileTest, AbsurdWavSizesAreCappedByTheFile) {
    const std::string wav = folder.path("small.wav");
    test::writeSndfile(wav, test::makeSignal(2, kRate, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    auto bytes = test::readBytes(wav);
    putLe32(bytes, 4, 0xfffffff0);  // RIFF size
    putLe32(bytes, 40, 0xfffffff0); // data size: far beyond the file
    const std::string liar = folder.path("liar.wav");
    test::writeBytes(liar, bytes);
    auto track = PcmTrack::open(liar, Kind::Stream, false);
    if (track) {
        EXPECT_LE(track->lengthFrames() * 4, std::int64_t(bytes.size()));
    }
    expectRefusedOrEnds(liar, Kind::Stream);

    // RF64 claiming 2^40 frames.
    std::vector<unsigned char> rf64 = {'R', 'F', '6', '4', 0xff, 0xff, 0xff, 0xff, 'W', 'A',
                                       'V', 'E', 'd', 's', '6',  '4',  28,   0,    0,   0};
    std::vector<unsigned char> ds64(28, 0);
    ds64[5] = 0x04;  // RIFF size 2^42
    ds64[13] = 0x04; // data size 2^42 bytes = 2^40 stereo 16-bit frames
    ds64[21] = 0x01; // sample count 2^40
    rf64.insert(rf64.end(), ds64.begin(), ds64.end());
    const unsigned char fmt[] = {'f',  'm',  't', ' ', 16,   0,    0, 0, 1, 0, 2,  0,
                                 0x44, 0xac, 0,   0,   0x10, 0xb1, 2, 0, 4, 0, 16, 0};
    rf64.insert(rf64.end(), std::begin(fmt), std::end(fmt));
    const unsigned char data[] = {'d', 'a', 't', 'a', 0xff, 0xff, 0xff, 0xff};
    rf64.insert(rf64.end(), std::begin(data), std::end(data));
    const auto body = randomBytes(4000, 7);
    rf64.insert(rf64.end(), body.begin(), body.end());
    const std::string huge = folder.path("huge.wav");
    test::writeBytes(huge, rf64);
    auto hugeTrack = PcmTrack::open(huge, Kind::Stream, false);
    if (hugeTrack) {
        EXPECT_LE(hugeTrack->lengthFrames() * 4, std::int64_t(rf64.size()));
    }
    expectRefusedOrEnds(huge, Kind::Stream);
}

TEST_F(DamagedFileTest, LengthBeyondThirtyTwoBitPositionsIsRefused) {
    // A sparse file: 2.4 GB of real PCM data, holding no disk space.
    const std::string wav = folder.path("long.wav");
    test::writeSndfile(wav, test::makeSignal(2, kRate, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    constexpr std::uint32_t kDataBytes = 2400000000u;
    auto bytes = test::readBytes(wav);
    bytes.resize(44);
    putLe32(bytes, 4, kDataBytes + 36);
    putLe32(bytes, 40, kDataBytes);
    test::writeBytes(wav, bytes);
    std::filesystem::resize_file(wav, 44 + std::uintmax_t(kDataBytes));

    std::string why;
    EXPECT_FALSE(PcmTrack::open(wav, Kind::Stream, false, &why));
    EXPECT_FALSE(why.empty());
    // Mixed to mono it is half as many bytes, and fits.
    auto mono = PcmTrack::open(wav, Kind::Stream, true);
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->lengthFrames(), kDataBytes / 4);
}

TEST_F(DamagedFileTest, ModuleWithHeadersBeyondItsDataIsSafe) {
    auto bytes = test::makeModule(1);
    bytes[950] = 16; // orders of a pattern that is not there
    for (int i = 0; i < 16; ++i)
        bytes[952 + size_t(i)] = 127;
    for (int s = 0; s < 31; ++s) {
        unsigned char* sample = &bytes[20 + size_t(s) * 30];
        sample[22] = sample[23] = 0xff; // 128 KB each
        sample[25] = 64;
        sample[28] = sample[29] = 0xff;
    }
    const std::string path = folder.path("liar.mod");
    test::writeBytes(path, bytes);
    std::string why;
    auto track = PcmTrack::open(path, Kind::Module, false, &why);
    if (!track) {
        EXPECT_FALSE(why.empty());
        return;
    }
    // Whatever it renders to fits the positions, and the rendering can be abandoned midway.
    EXPECT_LE(track->lengthFrames() * 4, 0x7fffffff);
    EXPECT_GE(track->waitDecoded(kRate), std::min<std::int64_t>(kRate, track->lengthFrames()));
}

TEST_F(DamagedFileTest, FreeingATrackMidDecodeStopsTheWorker) {
    const std::string wav = folder.path("long.wav");
    test::writeSndfile(wav, test::makeSignal(2, kRate, 20 * kRate),
                       SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    for (int i = 0; i < 5; ++i) {
        auto track = PcmTrack::open(wav, Kind::Stream, false);
        ASSERT_TRUE(track);
        track.reset();
    }
}

} // namespace
} // namespace zen::audio

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Audio files written at run time for the decoder tests, into a folder removed afterwards.
namespace zen::audio::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path(const std::string& name) const { return (root_ / name).string(); }

private:
    std::filesystem::path root_;
};

struct Pcm {
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples; // interleaved
    std::int64_t frames() const { return channels ? std::int64_t(samples.size()) / channels : 0; }
};

// A busy signal (two tones over seeded noise) so that any shift by a frame shows.
Pcm makeSignal(int channels, int rate, std::int64_t frames);
// Writes through libsndfile; `format` is an SF_FORMAT_* combination.
void writeSndfile(const std::string& path, const Pcm& pcm, int format);
// Everything libsndfile decodes from the file, read straight through from the start.
Pcm decodeAll(const std::string& path);
// Encodes a WAV to MP3 with the lame command; `extraArgs` such as "-t" (no LAME/Xing frame).
void encodeMp3(const std::string& wav, const std::string& mp3, const std::string& extraArgs);
// What the mpg123 program decodes from an MPEG audio file (mixed to mono with `mono`).
Pcm decodeWithMpg123(const std::string& path, bool mono);
// A four-channel ProTracker module of `patterns` patterns of a looped tone, with speed and tempo
// changes so that its rendered length does not follow from a fixed tick length.
std::vector<unsigned char> makeModule(int patterns);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> readBytes(const std::string& path);

} // namespace zen::audio::test

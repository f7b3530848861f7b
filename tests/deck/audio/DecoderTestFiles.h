#pragma once

#include "deck/audio/PcmTrack.h"

#include <cstdint>
#include <filesystem>
#include <sndfile.h>
#include <string>
#include <vector>

// Audio files written at run time for the decoder tests, into a folder removed afterwards.
namespace zen::audio::test {

struct TempFolder {
    TempFolder();
    ~TempFolder();
    std::string path(const std::string& name) const { return (root / name).string(); }
    std::filesystem::path root;
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
std::string writeSndfile(const std::string& path, const Pcm& pcm,
                         int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16);
// Encodes a WAV to MP3 with the lame command; `extraArgs` such as "-t" (no LAME/Xing frame).
void encodeMp3(const std::string& wav, const std::string& mp3, const std::string& extraArgs);
// The file as the deck opens it (modules by their extension), once the whole decode is done,
// which must hold exactly the length told at the open.
Pcm decodeTrack(const std::string& path, bool mono = false);
PcmTrack::Kind kindOf(const std::string& path);
// A four-channel ProTracker module of `patterns` patterns of a looped tone, with speed and tempo
// changes so that its rendered length does not follow from a fixed tick length.
std::vector<unsigned char> makeModule(int patterns);
// Silent MPEG-1 layer I frames at 44100 Hz (nothing allocated to any subband), first `slow` at
// 128 then `fast` at 448 kbit/s.
std::vector<unsigned char> layerOneFrames(int slow, int fast);
std::string writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> readBytes(const std::string& path);

} // namespace zen::audio::test

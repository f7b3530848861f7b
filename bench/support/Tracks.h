#pragma once

#include <string>
#include <vector>

// Tracks the benchmarks play, generated so that every run hears the same music.
namespace zen::bench {

// Something like music for the decoders and the displays: chords, a kick every half second and
// some noise, 16-bit stereo at 44.1 kHz.
void writeMusicWav(const std::string& path, int seconds);
// A steady sine at half of full scale, 16-bit stereo at 44.1 kHz; false when it cannot be
// written.
bool writeSineWav(const std::string& path, double hz, int seconds);
// White noise at a quarter of full scale in one channel (0 left, 1 right) and silence in the
// other, 16-bit stereo at 44.1 kHz: where it plays from can be told from any short stretch of it.
// Returns the noise channel as written; empty when it could not be written.
std::vector<float> writeNoiseWav(const std::string& path, int seconds, int channel, unsigned seed);
// Encodes a WAV as a 320 kbit/s MP3 with lame; false when lame failed.
bool encodeMp3(const std::string& wav, const std::string& mp3);

} // namespace zen::bench

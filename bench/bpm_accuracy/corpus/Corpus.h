#pragma once

#include <string>

// The tempo corpus: pieces of every style at known tempos, written as WAV files (and a few MP3s
// through lame) with `corpus.csv` holding "file,bpm" lines of the expected detection: the true
// tempo, doubled when it is below 90 as the deck's detection doubles it.
namespace zen::corpus {

inline constexpr const char* kCsvName = "corpus.csv";

// Writes the corpus into dir (created when missing); false when a file could not be written.
// Another seed base gives a different corpus of the same make-up.
bool writeCorpus(const std::string& dir, int perStyle, int seedBase = 0);

} // namespace zen::corpus

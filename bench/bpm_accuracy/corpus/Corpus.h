#pragma once

#include <string>
#include <vector>

// The tempo corpus: pieces of every style at known tempos, written as WAV files (and a few MP3s
// through lame) with `corpus.csv` holding "file,bpm,kind" lines of the expected detection (the
// mean tempo over the first 90 s, doubled when it is below 90 as the deck's detection doubles it)
// and the kind of material.
namespace zen::corpus {

inline constexpr const char* kCsvName = "corpus.csv";

// Writes the corpus into dir (created when missing); false when a file could not be written.
// Another seed base gives a different corpus of the same make-up. Given kinds of material (by
// name), only the pieces of those are written, under the names they have in the whole corpus.
bool writeCorpus(const std::string& dir, int perStyle, int seedBase = 0,
                 const std::vector<std::string>& kinds = {});
// A kind's name as the benchmark's figures spell it: "three-four rock" is three_four_rock.
std::string kindKey(std::string name);
// Whether a name, spelt either way, is one of the kinds of material.
bool isKind(const std::string& name);
// How many files writeCorpus writes for perStyle pieces of each style.
int corpusSize(int perStyle);

} // namespace zen::corpus

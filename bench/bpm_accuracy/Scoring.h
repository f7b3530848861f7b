#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Reading the expected tempos and tallying how a detector did against them.
namespace zen::bench {

// The deck's range of tempos (its default, 45..230 BPM).
constexpr double kDeckMinBpm = 45, kDeckMaxBpm = 230;

// The deck's conventions on a detector that knows no range: fold into the range, then double
// below twice the minimum; 0 for no tempo.
double asDeck(double bpm);

struct Expected {
    std::string file;
    double bpm;
    std::string kind; // the kind of material, "all" when the line names none
};

// "file,bpm" or "file,bpm,kind" lines; lines that do not parse are skipped.
std::vector<Expected> readExpected(const std::string& csvPath);

// The arguments every scoring program takes: <folder> [<csv>], the csv by default the folder's
// corpus.csv. The folder and its expected tempos, or nothing (after saying why) when the arguments
// or the csv are wrong. Nothing is ever written: a corpus is made only by bpm_corpus_gen.
std::optional<std::pair<std::string, std::vector<Expected>>> corpusArguments(int argc, char** argv);

class Tally {
public:
    // A hit is within 0.5 BPM of the expected tempo, or within relativeTolerance of it when that
    // is given (for a tempo that wanders, a share of its mean).
    explicit Tally(std::string name, double relativeTolerance = 0)
        : name_(std::move(name)), relativeTolerance_(relativeTolerance) {}
    // Records one result; prints a line for a miss when verbose.
    void add(const std::string& file, double expected, double got, bool verbose);
    int files() const { return files_; }
    double withinPercent() const { return files_ ? 100.0 * hits_ / files_ : 0.0; }
    int hits() const { return hits_; }
    // Misses at another metrical level: double or half, 3:2, 4:3 and their inverses.
    int octaveErrors() const { return octave_; }
    int tripleErrors() const { return triple_; }
    int levelErrors() const { return octave_ + triple_; }
    // One line: hits and the kinds of misses (octave, 3:2 and 4:3 relatives, off, none).
    std::string summary() const;

private:
    std::string name_;
    double relativeTolerance_;
    int files_ = 0, hits_ = 0, octave_ = 0, triple_ = 0, other_ = 0, none_ = 0;
    double worstNear_ = 0; // largest error among results within 2 % of the expected
    double sumAbsNear_ = 0;
    int near_ = 0;
};

// A tally for each kind of material, in the order the kinds first come; a wandering tempo counts
// within 0.5 % of its mean, every other within 0.5 BPM.
class KindTallies {
public:
    // Records one result, printing a line for a miss.
    void add(const Expected& expected, double got);
    // A summary line for each kind, then as name=value pairs: for each kind its share within the
    // tolerance (<kind>_pct, "triplet feel" as triplet_feel) and its misses at double or half and
    // at 3:2 or 4:3; the misses at another level in all; and last the share of all files (all_pct).
    // Extra figures go before all_pct.
    void print(const std::vector<std::pair<std::string, std::string>>& extra = {}) const;

private:
    std::vector<std::string> kinds_;
    std::vector<Tally> tallies_;
};

} // namespace zen::bench

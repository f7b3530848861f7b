#pragma once

#include <string>
#include <vector>

// Reading the expected tempos and tallying how a detector did against them.
namespace zen::bench {

struct Expected {
    std::string file;
    double bpm;
};

// "file,bpm" lines; lines that do not parse are skipped.
std::vector<Expected> readExpected(const std::string& csvPath);

class Tally {
public:
    explicit Tally(std::string name) : name_(std::move(name)) {}
    // Records one result; prints a line for a miss when verbose.
    void add(const std::string& file, double expected, double got, bool verbose);
    int files() const { return files_; }
    double withinPercent() const { return files_ ? 100.0 * hits_ / files_ : 0.0; }
    // One line: hits and the kinds of misses (octave, 3:2 and 4:3 relatives, off, none).
    std::string summary() const;

private:
    std::string name_;
    int files_ = 0, hits_ = 0, octave_ = 0, triple_ = 0, other_ = 0, none_ = 0;
    double worstNear_ = 0; // largest error among results within 2 % of the expected
    double sumAbsNear_ = 0;
    int near_ = 0;
};

} // namespace zen::bench

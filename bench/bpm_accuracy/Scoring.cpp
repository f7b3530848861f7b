#include "Scoring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

namespace zen::bench {

double asDeck(double bpm) {
    if (!(bpm > 0)) return 0;
    while (bpm > kDeckMaxBpm)
        bpm /= 2;
    while (bpm < kDeckMinBpm)
        bpm *= 2;
    return bpm < 2 * kDeckMinBpm ? bpm * 2 : bpm;
}

namespace {

// A wandering tempo is found within this share of its mean.
constexpr double kWanderTolerance = 0.005;

// A name=value name for a kind of material: "triplet feel" gives "triplet_feel".
std::string key(std::string kind) {
    for (char& c : kind)
        if (c == ' ' || c == '-') c = '_';
    return kind;
}

// The whole of text as a number, or nothing.
std::optional<double> number(const std::string& text) {
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
        // not a number
    }
    return std::nullopt;
}

} // namespace

std::vector<Expected> readExpected(const std::string& csvPath) {
    std::vector<Expected> out;
    std::ifstream in(csvPath);
    std::string line;
    while (std::getline(in, line)) {
        // File names may hold commas, so the fields are taken from the end.
        std::string kind = "all";
        auto comma = line.rfind(',');
        if (comma == std::string::npos) continue;
        std::optional<double> bpm = number(line.substr(comma + 1));
        if (!bpm) {
            kind = line.substr(comma + 1);
            line.resize(comma);
            comma = line.rfind(',');
            if (comma == std::string::npos) continue;
            bpm = number(line.substr(comma + 1));
        }
        if (bpm) out.push_back({line.substr(0, comma), *bpm, kind}); // else a header or damage
    }
    return out;
}

std::optional<std::pair<std::string, std::vector<Expected>>> corpusArguments(int argc,
                                                                             char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr,
                     "usage: %s <folder> [<csv of file,bpm[,kind]>]\n"
                     "  a generated corpus is written with: bpm_corpus_gen <folder>\n",
                     argv[0]);
        return std::nullopt;
    }
    const std::string folder = argv[1];
    const std::string csv = argc == 3 ? argv[2] : folder + "/corpus.csv";
    auto expected = readExpected(csv);
    if (expected.empty()) {
        std::fprintf(stderr, "no expected tempos in %s (bpm_corpus_gen %s writes a corpus)\n",
                     csv.c_str(), folder.c_str());
        return std::nullopt;
    }
    return std::pair{folder, std::move(expected)};
}

void Tally::add(const std::string& file, double expected, double got, bool verbose) {
    ++files_;
    const double error = got - expected;
    const double tolerance = relativeTolerance_ > 0 ? relativeTolerance_ * expected : 0.5;
    if (std::fabs(error) <= tolerance) {
        ++hits_;
    } else if (got <= 0) {
        ++none_;
    } else {
        const double ratio = got / expected;
        auto near = [&](double r) { return std::fabs(ratio / r - 1) < 0.02; };
        if (near(2) || near(0.5))
            ++octave_;
        else if (near(1.5) || near(2.0 / 3) || near(4.0 / 3) || near(0.75))
            ++triple_;
        else
            ++other_;
    }
    if (got > 0 && std::fabs(got / expected - 1) < 0.02) {
        ++near_;
        sumAbsNear_ += std::fabs(error);
        worstNear_ = std::max(worstNear_, std::fabs(error));
    }
    if (verbose && std::fabs(error) > tolerance)
        std::printf("  %-10s miss %-28s expected %8.3f got %8.3f (x%.3f)\n", name_.c_str(),
                    file.c_str(), expected, got, expected > 0 ? got / expected : 0.0);
}

std::string Tally::summary() const {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(1);
    s << name_ << ": " << withinPercent() << " % within 0.5 BPM of " << files_
      << " files; misses: " << octave_ << " double/half, " << triple_ << " 3:2/4:3, " << other_
      << " other, " << none_ << " none";
    s.precision(3);
    if (near_)
        s << "; right level: mean error " << sumAbsNear_ / near_ << " BPM, worst " << worstNear_;
    return s.str();
}

void KindTallies::add(const Expected& expected, double got) {
    auto it = std::find(kinds_.begin(), kinds_.end(), expected.kind);
    if (it == kinds_.end()) {
        kinds_.push_back(expected.kind);
        tallies_.emplace_back(expected.kind, expected.kind == "wandering" ? kWanderTolerance : 0);
        it = kinds_.end() - 1;
    }
    tallies_[static_cast<std::size_t>(it - kinds_.begin())].add(expected.file, expected.bpm, got,
                                                                true);
}

void KindTallies::print(const std::vector<std::pair<std::string, std::string>>& extra) const {
    int files = 0, hits = 0, levelErrors = 0;
    for (const Tally& tally : tallies_) {
        std::printf("%s\n", tally.summary().c_str());
        files += tally.files();
        hits += tally.hits();
        levelErrors += tally.levelErrors();
    }
    std::printf("files=%d\n", files);
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
        const std::string name = key(kinds_[k]);
        std::printf("%s_pct=%.1f\n%s_octave_errors=%d\n%s_triple_errors=%d\n", name.c_str(),
                    tallies_[k].withinPercent(), name.c_str(), tallies_[k].octaveErrors(),
                    name.c_str(), tallies_[k].tripleErrors());
    }
    std::printf("level_errors=%d\n", levelErrors);
    for (const auto& [name, value] : extra)
        std::printf("%s=%s\n", name.c_str(), value.c_str());
    std::printf("all_pct=%.1f\n", files ? 100.0 * hits / files : 0.0);
}

} // namespace zen::bench

#include "Scoring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace zen::bench {

std::vector<Expected> readExpected(const std::string& csvPath) {
    std::vector<Expected> out;
    std::ifstream in(csvPath);
    std::string line;
    while (std::getline(in, line)) {
        const auto comma = line.rfind(',');
        if (comma == std::string::npos) continue;
        try {
            out.push_back({line.substr(0, comma), std::stod(line.substr(comma + 1))});
        } catch (const std::exception&) {
            // a header or a damaged line
        }
    }
    return out;
}

void Tally::add(const std::string& file, double expected, double got, bool verbose) {
    ++files_;
    const double error = got - expected;
    if (std::fabs(error) <= 0.5) {
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
    if (verbose && std::fabs(error) > 0.5)
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

} // namespace zen::bench

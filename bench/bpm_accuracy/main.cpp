// Tempo detection accuracy and speed, called through the engine as the deck calls it on load:
// a decode-only stream, 0 to 90 s, default range, doubled below 90.
//   bpm_accuracy <folder> [<csv>]   scores the files of folder against the "file,bpm[,kind]" lines
//                                   of csv (by default the folder's corpus.csv, as bpm_corpus_gen
//                                   writes it)
// Each kind of material is scored apart; a wandering tempo counts as found within 0.5 % of its
// mean, every other within 0.5 BPM.
#include "Scoring.h"
#include "deck/audio/TestClock.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

constexpr std::uint32_t kDeckFlags = 3;
constexpr double kWanderTolerance = 0.005;

// A name=value name for a kind of material: "triplet feel" gives "triplet_feel".
std::string key(std::string kind) {
    for (char& c : kind)
        if (c == ' ' || c == '-') c = '_';
    return kind;
}

} // namespace

int main(int argc, char** argv) {
    using namespace zen;
    const auto corpus = bench::corpusArguments(argc, argv);
    if (!corpus) return 2;
    const auto& [folder, expected] = *corpus;
    auto engine = audio::createTestClockEngine();
    if (!engine->init(0, 44100, 0)) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    std::vector<std::string> kinds; // in the corpus's order
    std::map<std::string, bench::Tally> tallies;
    double audioSeconds = 0;
    double wallSeconds = 0;
    for (const auto& e : expected) {
        const std::string path = folder + "/" + e.file;
        const auto start = std::chrono::steady_clock::now();
        audio::Handle h = engine->streamCreateFile(path, 0, 0, audio::kDecodeOnly);
        if (!h) h = engine->musicLoad(path, 0, 0, audio::kDecodeOnly | audio::kMusicCalcLength);
        const float bpm =
            h ? engine->bpmDecodeGet(h, 0, 90, 0, kDeckFlags, [](audio::Handle, float) {}) : 0.0f;
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (h) {
            const double seconds = engine->channelBytes2Seconds(
                h, static_cast<std::int32_t>(engine->streamGetLength(h)));
            audioSeconds += std::min(90.0, seconds);
            engine->bpmFree(h);
        }
        if (!tallies.contains(e.kind)) {
            kinds.push_back(e.kind);
            tallies.emplace(e.kind,
                            bench::Tally(e.kind, e.kind == "wandering" ? kWanderTolerance : 0));
        }
        tallies.at(e.kind).add(e.file, e.bpm, bpm, true);
    }
    engine->free();
    int levelErrors = 0;
    for (const auto& kind : kinds) {
        std::printf("%s\n", tallies.at(kind).summary().c_str());
        levelErrors += tallies.at(kind).levelErrors();
    }
    std::printf("files=%zu\n", expected.size());
    for (const auto& kind : kinds)
        std::printf("%s_pct=%.1f\n", key(kind).c_str(), tallies.at(kind).withinPercent());
    std::printf("level_errors=%d\n", levelErrors);
    std::printf("realtime_factor=%.0f\n", wallSeconds > 0 ? audioSeconds / wallSeconds : 0.0);
    return 0;
}

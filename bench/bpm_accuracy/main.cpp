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

namespace {

constexpr std::uint32_t kDeckFlags = 3;

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
    bench::KindTallies tallies;
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
        tallies.add(e, bpm);
    }
    engine->free();
    tallies.print({{"realtime_factor", std::to_string(static_cast<long>(
                                           wallSeconds > 0 ? audioSeconds / wallSeconds : 0.0))}});
    return 0;
}

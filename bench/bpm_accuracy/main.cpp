// Tempo detection accuracy and speed, called through the engine as the deck calls it on load:
// a decode-only stream, 0 to 90 s, default range, doubled below 90.
//   bpm_accuracy                  generates the corpus (once) and scores it
//   bpm_accuracy <folder> <csv>   scores the files of folder against "file,bpm" lines of csv
#include "Corpus.h"
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
    std::string folder = BPM_CORPUS_DIR;
    std::string csv = folder + "/" + corpus::kCsvName;
    if (argc == 3) {
        folder = argv[1];
        csv = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [<folder> <csv of file,bpm>]\n", argv[0]);
        return 2;
    } else if (!std::filesystem::exists(csv)) {
        std::printf("writing the corpus to %s\n", folder.c_str());
        if (!corpus::writeCorpus(folder, 20)) {
            std::fprintf(stderr, "could not write the corpus\n");
            return 1;
        }
    }

    const auto expected = bench::readExpected(csv);
    if (expected.empty()) {
        std::fprintf(stderr, "no expected tempos in %s\n", csv.c_str());
        return 1;
    }
    auto engine = audio::createTestClockEngine();
    if (!engine->init(0, 44100, 0)) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    bench::Tally tally("detector");
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
        tally.add(e.file, e.bpm, bpm, true);
    }
    engine->free();
    std::printf("%s\n", tally.summary().c_str());
    std::printf("files=%d\n", tally.files());
    std::printf("within_0_5_bpm_pct=%.1f\n", tally.withinPercent());
    std::printf("realtime_factor=%.0f\n", wallSeconds > 0 ? audioSeconds / wallSeconds : 0.0);
    return 0;
}

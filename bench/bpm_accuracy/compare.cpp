// Compares tempo detectors on identical decoded input, 0 to 90 s of each file, with the deck's
// conventions applied to every result (range 45..230, doubled below 90):
//   SoundTouch's BPMDetect, aubio's tempo tracker (its own estimate, and the median of its beat
//   periods), and the engine's detector.
//   bpm_compare <folder> [<csv>]   scores the files of folder against "file,bpm[,kind]" lines of
//                                  csv (by default the folder's corpus.csv)
#include "DecodedFile.h"
#include "Scoring.h"
#include "deck/audio/BpmAnalysis.h"

#include <BPMDetect.h>
#include <aubio/aubio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

double soundTouch(const std::vector<float>& mono, int rate) {
    soundtouch::BPMDetect detect(1, rate);
    constexpr std::size_t kBlock = 4096;
    std::vector<float> block(kBlock); // BPMDetect may overwrite its input
    for (std::size_t at = 0; at < mono.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, mono.size() - at);
        std::copy_n(mono.begin() + static_cast<long>(at), n, block.begin());
        detect.inputSamples(block.data(), static_cast<int>(n));
    }
    return detect.getBpm();
}

// aubio's tracker: its final tempo estimate (first) and the median beat period (second).
std::pair<double, double> aubio(const std::vector<float>& mono, int rate) {
    constexpr uint_t kWindow = 1024, kHop = 512;
    aubio_tempo_t* tempo = new_aubio_tempo("default", kWindow, kHop, static_cast<uint_t>(rate));
    fvec_t* in = new_fvec(kHop);
    fvec_t* out = new_fvec(1);
    std::vector<double> beats;
    for (std::size_t at = 0; at + kHop <= mono.size(); at += kHop) {
        std::copy_n(mono.begin() + static_cast<long>(at), kHop, in->data);
        aubio_tempo_do(tempo, in, out);
        if (out->data[0] != 0) beats.push_back(aubio_tempo_get_last_s(tempo));
    }
    const double own = aubio_tempo_get_bpm(tempo);
    del_fvec(out);
    del_fvec(in);
    del_aubio_tempo(tempo);
    std::vector<double> periods;
    for (std::size_t i = 1; i < beats.size(); ++i)
        periods.push_back(beats[i] - beats[i - 1]);
    double median = 0;
    if (!periods.empty()) {
        std::nth_element(periods.begin(), periods.begin() + static_cast<long>(periods.size() / 2),
                         periods.end());
        median = 60.0 / periods[periods.size() / 2];
    }
    return {own, median};
}

struct Contender {
    zen::bench::Tally tally;
    double seconds = 0;
};

} // namespace

int main(int argc, char** argv) {
    using namespace zen;
    const auto corpus = bench::corpusArguments(argc, argv);
    if (!corpus) return 2;
    const auto& [folder, expected] = *corpus;

    Contender touch{bench::Tally("soundtouch"), 0}, aubioOwn{bench::Tally("aubio"), 0},
        aubioBeats{bench::Tally("aubio-beats"), 0}, ours{bench::Tally("ours"), 0};
    double audioSeconds = 0;
    auto timed = [](const std::function<void()>& run) {
        const auto start = std::chrono::steady_clock::now();
        run();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (const auto& e : expected) {
        const auto file = bench::DecodedFile::open(folder + "/" + e.file, 90);
        if (!file) {
            for (Contender* c : {&touch, &aubioOwn, &aubioBeats, &ours})
                c->tally.add(e.file, e.bpm, 0, true);
            continue;
        }
        const std::vector<float> mono = file->mono();
        const int rate = file->sampleRate();
        audioSeconds += static_cast<double>(mono.size()) / rate;

        double bpm = 0;
        touch.seconds += timed([&] { bpm = soundTouch(mono, rate); });
        touch.tally.add(e.file, e.bpm, bench::asDeck(bpm), false);

        std::pair<double, double> both;
        const double aubioTime = timed([&] { both = aubio(mono, rate); });
        aubioOwn.seconds += aubioTime;
        aubioBeats.seconds += aubioTime;
        aubioOwn.tally.add(e.file, e.bpm, bench::asDeck(both.first), false);
        aubioBeats.tally.add(e.file, e.bpm, bench::asDeck(both.second), false);

        ours.seconds += timed([&] {
            bpm = audio::analyseBpm(*file, 0, 90, bench::kDeckMinBpm, bench::kDeckMaxBpm,
                                    audio::kBpmMultiply, {});
        });
        ours.tally.add(e.file, e.bpm, bpm, false);
    }
    for (Contender* c : {&touch, &aubioOwn, &aubioBeats, &ours})
        std::printf("%s; analysis %.0fx real time\n", c->tally.summary().c_str(),
                    c->seconds > 0 ? audioSeconds / c->seconds : 0.0);
    std::printf("soundtouch_pct=%.1f\naubio_pct=%.1f\naubio_beats_pct=%.1f\nours_pct=%.1f\n",
                touch.tally.withinPercent(), aubioOwn.tally.withinPercent(),
                aubioBeats.tally.withinPercent(), ours.tally.withinPercent());
    return 0;
}

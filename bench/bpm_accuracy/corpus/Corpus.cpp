#include "Corpus.h"

#include "Styles.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <thread>
#include <vector>

namespace zen::corpus {

namespace {

// The mix on both channels, or on one.
bool writeWav(const std::string& path, const std::vector<float>& mono, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> frames(mono.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = mono[i / static_cast<std::size_t>(channels)];
    const auto count = static_cast<sf_count_t>(mono.size());
    const bool ok = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && ok;
}

struct Entry {
    std::string file;
    double expected = 0;
    Kind kind = Kind::Common;
    bool ok = false;
};

Entry writeOne(const std::string& dir, int index, int perStyle, int seedBase) {
    const int style = index / perStyle;
    const TrackPlan plan = randomPlan(style, static_cast<std::uint64_t>(seedBase) * 100000 +
                                                 1000 * style + index % perStyle + 1);
    // Most files at 44100 Hz; some at 48000 and 22050 so the detector meets other rates too.
    const int rate = index % 10 == 3 ? 48000 : index % 10 == 7 ? 22050 : 44100;
    char base[96];
    std::snprintf(base, sizeof base, "%03d_%s", index, styleName(style).c_str());
    for (char* c = base; *c; ++c)
        if (*c == ' ') *c = '_';
    Entry entry;
    entry.expected = expectedBpm(plan);
    entry.kind = styleKind(style);
    const std::vector<float> audio = renderTrack(plan, rate);
    const std::string wav = dir + "/" + base + ".wav";
    if (!writeWav(wav, audio, rate, plan.mono ? 1 : 2)) return entry;
    entry.file = std::string(base) + ".wav";
    entry.ok = true;
    if (index % 5 == 2) {
        // A few MP3s, at the bit rates DJs meet, to include a lossy codec's smearing.
        const int kbps = index % 3 == 0 ? 128 : 320;
        const std::string mp3 = dir + "/" + base + ".mp3";
        const std::string command =
            "lame --quiet -b " + std::to_string(kbps) + " '" + wav + "' '" + mp3 + "'";
        if (std::system(command.c_str()) != 0) entry.ok = false;
        std::filesystem::remove(wav);
        entry.file = std::string(base) + ".mp3";
    }
    return entry;
}

} // namespace

std::string kindKey(std::string name) {
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == ' ' || c == '-'; }, '_');
    return name;
}

bool isKind(const std::string& name) {
    for (int k = 0; k < kKindCount; ++k)
        if (kindKey(kindName(static_cast<Kind>(k))) == kindKey(name)) return true;
    return false;
}

int corpusSize(int perStyle) {
    return styleCount() * perStyle;
}

bool writeCorpus(const std::string& dir, int perStyle, int seedBase,
                 const std::vector<std::string>& kinds) {
    std::filesystem::create_directories(dir);
    const int total = corpusSize(perStyle);
    std::vector<Entry> entries(static_cast<std::size_t>(total));
    auto wanted = [&](int i) {
        const std::string kind = kindKey(kindName(styleKind(i / perStyle)));
        return kinds.empty() || std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) {
                                    return kindKey(k) == kind;
                                }) != kinds.end();
    };
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i; (i = next++) < total;)
            if (wanted(i))
                entries[static_cast<std::size_t>(i)] = writeOne(dir, i, perStyle, seedBase);
    };
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    for (auto& t : pool)
        t.join();

    std::ofstream csv(dir + "/" + kCsvName);
    bool ok = true;
    for (int i = 0; i < total; ++i) {
        const Entry& e = entries[static_cast<std::size_t>(i)];
        ok = ok && (e.ok || !wanted(i));
        if (e.ok) csv << e.file << ',' << e.expected << ',' << kindName(e.kind) << '\n';
    }
    return ok && static_cast<bool>(csv);
}

} // namespace zen::corpus

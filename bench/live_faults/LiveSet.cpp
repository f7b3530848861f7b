#include "LiveSet.h"

#include "DeckRecorder.h"
#include "Desktop.h"
#include "Tracks.h"

#include <QThread>
#include <cmath>

using namespace zen::desktop;

namespace {

// Silence on the sound server is exact zeros; the noise is at least this loud nearly everywhere.
constexpr float kSilent = 1e-4f;
// A stretch of noise this long is found in the whole track at once, and confirmed on a longer one.
// The engine's resampler puts its output a fraction of a frame off the track's samples, which
// takes the correlation of white noise down (to 0.64 at half a frame); a stretch found anywhere
// else correlates near 0.
constexpr std::size_t kSearchWindow = 256;
constexpr std::size_t kConfirmWindow = 4096;
constexpr double kFound = 0.4;
// Longer than the few periods a busy sound server drops now and then.
constexpr double kPlayingGapMs = 100;

double correlation(const float* a, const float* b, std::size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

} // namespace

bool LiveSet::start(QString& error) {
    if (!server_.start("live", int(kRate), 2)) {
        error = "jackd did not start";
        return false;
    }
    // Everything the set starts (the console, its decks, the recorder) plays on it.
    qputenv("JACK_DEFAULT_SERVER", server_.name().toUtf8());
    for (int deck : {1, 2}) {
        const QString name = QString("%1/%2 noise.wav").arg(console_.musicFolder()).arg(deck);
        tracks_[std::size_t(deck - 1)] =
            zen::bench::writeNoiseWav(name.toStdString(), kTrackSeconds, deck - 1, unsigned(deck));
        if (track(deck).empty()) {
            error = "cannot write the tracks";
            return false;
        }
    }
    return console_.start(console_.settings(), error) && startDecks(error);
}

bool LiveSet::startDecks(QString& error) {
    if (!console_.pressEngine()) return false;
    const QString deck1 = deckOneWindow();
    QStringList decks = visibleWindows("Zentari DJ System");
    if (deck1.isEmpty() || decks.size() != 2) {
        error = "START showed no deck windows";
        return false;
    }
    decks.removeAll(deck1);
    // A deck loads once it listens; its window shows a moment before.
    QThread::msleep(1000);
    const bool loaded =
        doubleClickIn(deck1, kDeckFirstFile) && doubleClickIn(decks[0], kDeckSecondFile);
    QThread::msleep(1500);
    if (!loaded || !clickIn(deck1, kDeckPlay) || !clickIn(decks[0], kDeckPlay)) {
        error = "cannot load and play the decks";
        return false;
    }
    // Both must be heard, all along, before a fault strikes.
    if (!bothPlaying()) {
        error = "the decks do not both play";
        return false;
    }
    return true;
}

bool LiveSet::bothPlaying() {
    const auto take = recordWhile(1.5, [] {});
    return !take[0].empty() && live::longestGapMs(take[0]) <= kPlayingGapMs &&
           live::longestGapMs(take[1]) <= kPlayingGapMs;
}

std::array<std::vector<float>, 2> LiveSet::recordWhile(double seconds,
                                                       const std::function<void()>& act) {
    DeckRecorder recorder;
    if (!recorder.start(seconds)) return {};
    QThread::msleep(1000);
    act();
    auto take = recorder.finish();
    lastSkipMs_ = 1000.0 * double(recorder.longestSkip()) / kRate;
    return take;
}

namespace live {

std::optional<std::pair<std::size_t, std::size_t>> longestGap(const std::vector<float>& channel) {
    std::optional<std::pair<std::size_t, std::size_t>> longest;
    std::size_t run = 0;
    for (std::size_t i = 0; i <= channel.size(); ++i) {
        if (i < channel.size() && std::abs(channel[i]) < kSilent) {
            ++run;
            continue;
        }
        if (run >= kShortestGap && (!longest || run > longest->second - longest->first))
            longest = std::pair{i - run, i};
        run = 0;
    }
    return longest;
}

double longestGapMs(const std::vector<float>& channel) {
    const auto gap = longestGap(channel);
    return gap ? 1000.0 * double(gap->second - gap->first) / LiveSet::kRate : 0;
}

std::optional<long> trackOffset(const std::vector<float>& channel, std::size_t at,
                                const std::vector<float>& track) {
    if (at + kConfirmWindow > channel.size() || track.size() < kConfirmWindow) return std::nullopt;
    const float* stretch = channel.data() + at;
    std::size_t best = 0;
    double bestScore = 0;
    for (std::size_t offset = 0; offset + kSearchWindow <= track.size(); ++offset) {
        float score = 0;
        for (std::size_t i = 0; i < kSearchWindow; ++i)
            score += stretch[i] * track[offset + i];
        if (score > bestScore) {
            bestScore = score;
            best = offset;
        }
    }
    if (best + kConfirmWindow > track.size() ||
        correlation(stretch, track.data() + best, kConfirmWindow) < kFound)
        return std::nullopt;
    return long(best) - long(at);
}

std::optional<std::pair<long, long>> offsetsAround(const std::vector<float>& channel,
                                                   std::pair<std::size_t, std::size_t> gap,
                                                   const std::vector<float>& track) {
    if (gap.first < kBeforeGap) return std::nullopt;
    // As many stretches as the channel holds that way, up to kStretches.
    const auto near = [&](long at, long step) -> std::optional<long> {
        for (int i = 0; i < kStretches && at >= 0; ++i, at += step)
            if (auto offset = trackOffset(channel, std::size_t(at), track)) return offset;
        return std::nullopt;
    };
    const auto before = near(long(gap.first - kBeforeGap), -long(kNextStretch));
    const auto after = near(long(gap.second + kAfterGap), long(kNextStretch));
    if (!before || !after) return std::nullopt;
    return std::pair{*before, *after};
}

} // namespace live

#include "MetricalLevel.h"

#include "Correlation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zen::audio {

namespace {

// A bar is where a drum pattern repeats: no other lag tells the metrical level as surely.
constexpr double kBarWeight = 8.0;
// The kick plays every part of a beat when the autocorrelation of its band stays at least this
// high at one, two and three parts: a kick on every beat reaches 0.4 to 0.9, a kick and a bass
// line that merely share eighths stay near 0.3 or below.
constexpr double kKickPulse = 0.3;
// A backbeat: the snare bands' autocorrelation at two and four beats reaches kFirmSnare and
// exceeds the one at one beat by kBackbeat. Snares on two and four reach 0.6 to 0.9; the pattern
// that hi-hats and percussion leave in those bands stays below 0.45.
constexpr double kFirmSnare = 0.5;
constexpr double kBackbeat = 0.2;
// A band whose tempo drifts smears the snare's repetition four beats on more than two beats on:
// 0.3 to 0.5 where two beats on still reaches kFirmSnare. Among the levels a factor of two apart,
// where only the backbeat chooses, four beats on may fall this far short of it.
constexpr double kDriftedSnare = 0.2;
// Where grouping eighths in threes or in twos fits about equally (within this much
// autocorrelation), a compound reading is kept and the kick's and the bass's bars of three beats
// count for nothing.
constexpr double kGroupingMargin = 0.05;
// A waltz's beat groups its eighths in twos unless they repeat clearly more in threes: chords on
// every eighth of two and three, whose bar of six eighths reads as evenly either way, leave the
// two groupings within this of each other.
constexpr double kGroupingTie = 0.02;
// The metrical score's best peaks among which the family of related tempos is chosen.
constexpr std::size_t kFamilyCandidates = 8;
// A 3/4 bar: the kick and the bass repeat every three beats by at least this much more than at any
// shorter lag and than every four (a waltz's kick on one stands 0.35 and more above, a 4/4 pattern
// read in threes stays below 0.05); every beat's onsets repeat at least kEvenBeats of the bar's
// where the beats are as fast as a slow 12/8's eighths, from kSlowTwelveEighths (its dotted-quarter
// beat at 55: with no snare, its eighths carry hats and chords as a waltz's beats do, 0.45), and at
// least kEvenBeatsSlower where they are slower (a waltz whose chords alone mark two and three: 0.38
// and more); and the snare bursts repeat from beat to beat at least kSnareOnBeats of the bar's (a
// waltz's snare, rim or chords on two and three: 0.4 and more; the one snare of a 6/8 bar read in
// three: 0.25 and less), which themselves repeat every bar at least kMarkedBar (0.25 and more; a
// triplet groove with no snare or rim read in threes: 0).
constexpr double kBarOfThree = 0.2;
constexpr double kEvenBeats = 0.55;
constexpr double kEvenBeatsSlower = 0.3;
constexpr double kSlowTwelveEighths = 165;
constexpr double kSnareOnBeats = 1.0 / 3;
constexpr double kMarkedBar = 0.1;
// Where such beats are as fast as a slow 12/8's eighths, the kick and the bass repeat every two
// bars of three less than kTwoBarPattern more than every one: a waltz's pattern repeats every bar
// (0.01 to 0.08 less), a slow 12/8's kick on one and three of its bar every other dotted quarter
// (0.11 and more).
constexpr double kTwoBarPattern = 0.08;
// A backbeat's bar: the kick repeats there at least kKickBar (a kick pattern: 0.3 and more;
// percussion three against the kick leaves the snare a bar the kick does not have: below 0). The
// kick plays every half beat of it at kKickEveryBeat (a drum machine's kick on every fast beat:
// 0.85 and more; a bass line's eighths under a kick: 0.7 and less).
constexpr double kKickBar = 0.2;
constexpr double kKickEveryBeat = 0.8;
// A kick whose own beat lies four thirds of the backbeat's repeats there within this of its
// repetition in the bar (a kick on every beat under percussion every dotted eighth, whose bar of
// three beats carries a backbeat of its own: 0.8 at both; a 6/8's kick: 0.45 and less there, 0.8
// and more in its bar).
constexpr double kKickOwnBeat = 0.1;
// The bar of such a backbeat holds three beats when the onsets around the snare lie on them
// kBarOfThreeMargin more than half a bar from it: all onsets', and the low band's and the
// harmony's changes' at kCueShare each (3/4 rock and pop, a waltz with a snare: 0.1 and more; a
// 4/4, 6/8 or 12/8 bar, a triplet feel: -0.06 and less, most below -0.1). And where the snare
// repeats between the eighths of such a bar kOffTheEighths more than on them, it plays a
// syncopated pattern in a bar of two (the dembow's: 0.3 and more; the snare of a 3/4 bar: 0 and
// less).
constexpr double kBarOfThreeMargin = 0.05;
constexpr double kCueShare = 0.5;
constexpr double kOffTheEighths = 0.1;
// Nor does the kick of such a bar of three repeat every half of the backbeat's beats, where its
// own beats lie at thirds of two: a 3/4 song's at 0.13 and less, below kKickOnHalves; a
// four-on-the-floor kick under triplet percussion, with a bass between its hits, at 0.22 and more.
constexpr double kKickOnHalves = 0.2;
// Long kicks at a fast tempo ring into one another, so that their band's repetition fades from
// beat to beat (0.55, 0.45 and 0.3 at one, two and three fast beats) where a drum machine's stays
// level. Such a kick still plays every half beat of a slower level where it repeats there and a
// beat on at kKickPulse, the whole rhythm repeats every half beat at kHalfBeatRhythm (a kick, an
// off-beat bass and hats: 0.5 and more; a band's bass guitar on the kick's band, its snare blurred
// by the players' timing: 0.3 and less) and no snare lands on two and four, however blurred: its
// repetition two and four beats on at kBlurredSnare and kBackbeat above the lags between (a
// drummer's ghost notes and timing: 0.44, 0.42 above; a clap that lands with a fast kick: 0.1 above
// at most).
constexpr double kHalfBeatRhythm = 0.4;
constexpr double kBlurredSnare = 0.3;
// Two of the score's peaks, 0.1 % apart, are the same level within this.
constexpr double kSameLevel = 0.01;
// Above this a quarter note in bars of three is rarely a waltz's beat and more often a compound
// meter's eighth, whose dotted-quarter beat and backbeat the steps after the waltz's decide.
constexpr double kFastestWaltz = 200;

double beatLag(const Periodicities& p, double bpm) {
    return 60.0 * p.framesPerSecond / bpm;
}

// The autocorrelation averaged over every lag of a part of the beat (divided into `division`
// parts) up to two bars of four beats, beat lags counting twice and bar lags eight times. A tempo
// at the wrong metrical level puts many of its lags where nothing repeats, which pulls its
// average down.
double divisionScore(const std::vector<double>& acf, double lag, int division) {
    const int perBar = 4 * division;
    double sum = 0;
    double weights = 0;
    for (int k = 1; k <= 2 * perBar; ++k) {
        const double partLag = lag * k / division;
        if (partLag >= static_cast<double>(acf.size() - 1)) break;
        const double w = k % perBar == 0 ? kBarWeight : k % division == 0 ? 2.0 : 1.0;
        sum += w * atLag(acf, partLag);
        weights += w;
    }
    return weights > 0 ? sum / weights : 0.0;
}

// How firmly the kick plays every 1/parts of a beat: the least of its autocorrelation at one, two
// and three such parts.
double kickPulse(const Periodicities& p, double lag, int parts) {
    const double step = lag / parts;
    return std::min({atLag(p.kick, step), atLag(p.kick, 2 * step), atLag(p.kick, 3 * step)});
}

// The snare's repetition where a backbeat's is low: every beat, two thirds of two (the snare of a
// bar of three beats) and every half beat (a snare on every beat of a slower level read here).
double snareBetween(const Periodicities& p, double lag) {
    return std::max({atLag(p.snare, lag / 2), atLag(p.snare, lag * 2 / 3), atLag(p.snare, lag)});
}

// How firmly the snare lands on two and four of this beat: its repetition every two and four
// beats, where that is at least `firm` (four beats on `drifted` less, for a band whose tempo
// drifts) and kBackbeat more than between them; else 0.
double backbeat(const Periodicities& p, double lag, double drifted = 0, double firm = kFirmSnare) {
    const double two = atLag(p.snare, 2 * lag), four = atLag(p.snare, 4 * lag);
    const double everyOther = std::min(two, four);
    return two >= firm && four >= firm - drifted && everyOther - snareBetween(p, lag) >= kBackbeat
               ? everyOther
               : 0;
}

// Whether a kick, however much its repetition fades, and the whole rhythm play every half beat,
// with no snare on two and four, however blurred.
bool drivesHalfBeats(const Periodicities& p, double lag) {
    return std::min(atLag(p.kick, lag / 2), atLag(p.kick, lag)) >= kKickPulse &&
           atLag(p.all, lag / 2) >= kHalfBeatRhythm && backbeat(p, lag, 0, kBlurredSnare) == 0;
}

// Whether the kick repeats in the bar of a backbeat at this level, every two or four beats, and
// does not keep a beat of its own four thirds of this one. A bar of three beats read as two such
// beats (`beatOfThree`) has its beats every two thirds of one, where the kick may well repeat.
bool kickMarksBar(const Periodicities& p, double lag, bool beatOfThree) {
    const double bar = std::max(atLag(p.kick, 2 * lag), atLag(p.kick, 4 * lag));
    return bar >= kKickBar &&
           (beatOfThree || atLag(p.kick, lag * 4 / 3) < std::max(kKickBar, bar - kKickOwnBeat));
}

// How much more the onsets of a signal lie around the snare (before or after it) a third and two
// thirds of a bar of two such beats away than half of it: on the beats of a 3/4 bar with the snare
// on three (or on two and three) rather than on the other beat of a bar of two.
double aroundSnareInThrees(const std::vector<double>& toSnare, double lag) {
    const auto around = [&](double distance) {
        const double centre = static_cast<double>(toSnare.size() / 2);
        return atLag(toSnare, centre + distance) + atLag(toSnare, centre - distance);
    };
    return (around(lag * 2 / 3) + around(lag * 4 / 3)) / 2 - around(lag);
}

// Whether the kick and the bass repeat every six beats (and twelve) by kBarOfThree more than every
// four and every eight: a 3/4 bar of half this tempo whose snare on two and three lands on every
// other of these beats, as a backbeat's on two and four would (0.24 where hats on its beats blur
// the snare; a 4/4 backbeat's bar: 0.02 and less).
bool isBarOfSix(const Periodicities& p, double lag) {
    return std::min(atLag(p.low, 6 * lag), atLag(p.low, 12 * lag)) >=
           std::max(atLag(p.low, 4 * lag), atLag(p.low, 8 * lag)) + kBarOfThree;
}

// Whether the snare repeats between the eighths of a 3/4 bar as long as two such beats clearly
// more than on them (lags of a quarter to seven quarters of the beat, in twelfths of it): the
// snare of such a bar plays on its beats, or where its eighths fall, and the dembow's, three and
// five sixteenths apart, plays between them.
bool snareOffTheEighths(const Periodicities& p, double lag) {
    double on = -1, off = -1;
    for (int twelfths = 3; twelfths <= 21; ++twelfths) {
        double& best = twelfths % 4 == 0 ? on : off;
        best = std::max(best, atLag(p.snare, lag * twelfths / 12));
    }
    return off >= on + kOffTheEighths;
}

// Whether the bar of two such beats rather holds three, told by where the bar's marks lie around
// the snare: the kick and the bass on one, the chords on the beats, and where the harmony changes,
// on the bar line. All onsets count whole, the low band and the harmony's changes at kCueShare:
// a kick on every beat under a snare pattern of its own can make the low band alone say so, and
// the harmony's changes say nothing where the chords stay. Eighths played evenly lie as much at
// either distance. A snare syncopated between the bar's eighths makes no bar of three, and nor
// does a kick on every half of such a beat: the thirds that triplet percussion plays over a
// four-on-the-floor kick are no bar.
bool isBarOfThree(const Periodicities& p, double lag) {
    return !snareOffTheEighths(p, lag) && kickPulse(p, lag, 2) < kKickOnHalves &&
           aroundSnareInThrees(p.allToSnare, lag) +
                   kCueShare * (aroundSnareInThrees(p.lowToSnare, lag) +
                                aroundSnareInThrees(p.harmonyToSnare, lag)) >=
               kBarOfThreeMargin;
}

// Whether the rhythm repeats on the beat by a margin more than at three quarters of it (four of
// those span a bar of three beats) and than at one and a half beats (two of those do): a waltz
// groups its eighths in twos, a 6/8 bar in threes.
bool groupsInTwos(const Periodicities& p, double lag, double margin) {
    return atLag(p.all, lag) >= atLag(p.all, lag * 3 / 4) + margin &&
           atLag(p.all, lag) >= atLag(p.all, lag * 3 / 2) + margin;
}

// How much the kick and the bass repeat on this level's beats, half bars and bars (weighted 1, 2
// and 4) up to two bars of four beats, or of three: their patterns repeat in bars of the beat's
// tempo, not of a 3:2 or 4:3 relative. Bars of three count only where the eighths group in twos,
// a snare, a rim or chords mark the bar as well (a triplet groove's bass repeating every two
// beats makes bars of three at 3:2 of its tempo, which nothing else marks) and no snare lands on
// two and four of a 4/4 bar as long (an even triplet groove, whose bar read in three has beats of
// four triplet eighths).
double lowBars(const Periodicities& p, double lag) {
    double best = -1;
    for (int beatsPerBar : {4, 3}) {
        if (beatsPerBar == 3 &&
            (!groupsInTwos(p, lag, kGroupingMargin) || backbeat(p, lag * 3 / 4) > 0 ||
             atLag(p.snare, 3 * lag) < kMarkedBar))
            continue;
        double sum = 0, total = 0;
        for (int k = 1; k <= 2 * beatsPerBar; ++k) {
            if (lag * k >= static_cast<double>(p.low.size() - 1)) break;
            const double w = k % beatsPerBar == 0 ? 4 : 2 * k % beatsPerBar == 0 ? 2 : 1;
            sum += w * atLag(p.low, lag * k);
            total += w;
        }
        if (total > 0) best = std::max(best, sum / total);
    }
    return best;
}

// Whether this level's beats make bars of three, as a waltz's quarter notes do. Its bar looks like
// a compound meter's beat at a third of its tempo (three parts, the first the kick's), so what
// tells them apart is how the beats are marked: the kick and the bass repeat once a bar, at no
// shorter lag, not every four beats and, as fast as a slow 12/8's eighths, not every two bars
// clearly more; every beat carries onsets about as strong as the first
// (chords on two and three, where a 12/8 has hats between its beats); the noise bursts of a
// snare, a rim or the chords mark the bar, and play on two and three rather than once a bar (a 6/8
// bar heard in three), on every other bar (a 12/8's backbeat) or on two and four of a 4/4 bar as
// long; and the eighths group in twos, or as evenly in threes, since the marks before already
// tell a compound meter.
bool isTripleMeter(const Periodicities& p, double lag) {
    const double bar = std::min(atLag(p.low, 3 * lag), atLag(p.low, 6 * lag));
    double elsewhere = std::max(atLag(p.low, 4 * lag), atLag(p.low, 8 * lag));
    for (double shorter = lag / 2; shorter < 2.75 * lag; shorter += 1)
        elsewhere = std::max(elsewhere, atLag(p.low, shorter));
    const bool asFastAsEighths = 60.0 * p.framesPerSecond / lag >= kSlowTwelveEighths;
    const double evenBeats = asFastAsEighths ? kEvenBeats : kEvenBeatsSlower;
    const bool barRepeats =
        !asFastAsEighths || atLag(p.low, 6 * lag) < atLag(p.low, 3 * lag) + kTwoBarPattern;
    const bool everyBeat = atLag(p.all, lag) >= evenBeats * atLag(p.all, 3 * lag);
    const bool snareOnBeats = atLag(p.snare, 3 * lag) >= kMarkedBar &&
                              atLag(p.snare, lag) >= kSnareOnBeats * atLag(p.snare, 3 * lag) &&
                              atLag(p.snare, 6 * lag) < atLag(p.snare, 3 * lag) + kBackbeat &&
                              backbeat(p, lag * 3 / 4) == 0;
    return bar >= elsewhere + kBarOfThree && everyBeat && snareOnBeats && barRepeats &&
           groupsInTwos(p, lag, -kGroupingTie);
}

// Whether the onsets repeat on this level's beats at all. A 12/8 groove whose snare and kick play
// on every dotted quarter has the snare of a backbeat at twice that tempo, whose beats fall every
// eighth and a half, where nothing repeats.
bool repeatsOnBeats(const Periodicities& p, double lag) {
    return atLag(p.all, lag) >= 0;
}

// Whether two tempos are levels of one metrical hierarchy: a power of two apart, or that times
// 3:2 or 4:3 (the beat grouped in threes, the bar of three read in four).
bool isRelative(double bpm, double other) {
    double ratio = bpm / other;
    while (ratio >= 2)
        ratio /= 2;
    while (ratio < 1)
        ratio *= 2;
    for (double r : {1.0, 4.0 / 3, 3.0 / 2, 2.0})
        if (std::fabs(ratio / r - 1) < kSameLevel) return true;
    return false;
}

// The beat that a backbeat marks, or 0 where there is none. Among the score's best peaks and the
// double and the half of each within the range, the level where the snare lands on two and four
// most firmly, in a bar that the kick repeats in too (percussion playing three against the kick
// has a bar of its own). Three readings of that level remain: where the kick plays every half beat
// as firmly as a drum machine's on every beat, the snare is a half-time one under the kick's
// faster beat; where the kick and the bass make bars of six such beats, the snare plays on two
// and three of a 3/4 bar at half the tempo; and a 3/4 bar with the snare on three has the snare
// of a bar of two such beats, told by where the other onsets lie around it.
double backbeatLevel(const Periodicities& p, const std::vector<double>& peaks, double minBpm,
                     double maxBpm) {
    double marked = 0, firmest = 0;
    for (std::size_t i = 0; i < std::min(kFamilyCandidates, peaks.size()); ++i)
        for (double bpm : {peaks[i] / 2, peaks[i], peaks[i] * 2}) {
            if (bpm < minBpm || bpm > maxBpm) continue;
            const double lag = beatLag(p, bpm);
            const double firm = backbeat(p, lag);
            // Where the bar of two such beats holds three, the beats are a beat and a half of
            // it, on which nothing need repeat.
            const bool beatOfThree =
                bpm * 1.5 <= std::min(maxBpm, kFastestWaltz) && isBarOfThree(p, lag);
            if (firm > firmest && kickMarksBar(p, lag, beatOfThree) &&
                isRelative(bpm, peaks.front()) && (repeatsOnBeats(p, lag) || beatOfThree)) {
                firmest = firm;
                marked = bpm;
            }
        }
    if (marked == 0) return 0;
    const double lag = beatLag(p, marked);
    // A kick on every half beat: the beat is faster, as often as it does.
    if (kickPulse(p, lag, 2) >= kKickEveryBeat) {
        while (marked * 2 <= maxBpm && kickPulse(p, beatLag(p, marked), 2) >= kKickEveryBeat)
            marked *= 2;
        return marked;
    }
    // Bars of six: the snare lands on two and three of a 3/4 bar of half the tempo.
    if (marked / 2 >= minBpm && isBarOfSix(p, lag)) return marked / 2;
    // A bar of three faster than a waltz's is a compound meter's beat of three eighths.
    if (marked * 1.5 <= std::min(maxBpm, kFastestWaltz) && isBarOfThree(p, lag))
        return marked * 1.5;
    return marked;
}

} // namespace

double metricalScore(const Periodicities& p, double bpm) {
    const double lag = beatLag(p, bpm);
    const double simple = divisionScore(p.all, lag, 4);
    // A compound beat groups its eighths 3 + 3, so the rhythm repeats at the beat at least about
    // as much as at two thirds of it (a 3/4 bar groups the same six eighths 2 + 2 + 2). And a kick
    // on every third of the beat is no compound meter but a faster beat read in threes.
    if (atLag(p.all, lag) < atLag(p.all, lag * 2 / 3) - kGroupingMargin ||
        kickPulse(p, lag, 3) >= kKickPulse)
        return simple;
    return std::max(simple, divisionScore(p.all, lag, 6));
}

double beatLevel(const Periodicities& p, const std::vector<double>& peaks, double minBpm,
                 double maxBpm) {
    if (peaks.empty()) return 0;
    if (const double marked = backbeatLevel(p, peaks, minBpm, maxBpm)) return marked;
    // A waltz's beat is the fastest level, up to kFastestWaltz, whose beats make bars of three:
    // half its tempo does too (in bars of six), a compound reading of its bar does not.
    double triple = 0;
    for (std::size_t i = 0; i < std::min(kFamilyCandidates, peaks.size()); ++i)
        if (peaks[i] > triple && peaks[i] <= kFastestWaltz &&
            isTripleMeter(p, beatLag(p, peaks[i])))
            triple = peaks[i];
    if (triple > 0) return triple;

    double family = peaks.front();
    double best = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < std::min(kFamilyCandidates, peaks.size()); ++i) {
        const double score = metricalScore(p, peaks[i]) + lowBars(p, beatLag(p, peaks[i]));
        if (score > best) {
            best = score;
            family = peaks[i];
        }
    }

    // The family's tempos a factor of two apart within the range, slowest first; the metrical
    // score picks among them unless the kick or the snare says otherwise.
    std::vector<double> levels;
    double slowest = family;
    while (slowest / 2 >= minBpm)
        slowest /= 2;
    for (double bpm = slowest; bpm <= maxBpm; bpm *= 2)
        levels.push_back(bpm);
    std::size_t level = 0;
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (metricalScore(p, levels[i]) > metricalScore(p, levels[level])) level = i;
    // A level whose half beats the kick plays as firmly as its beats is half the tempo, and so is
    // one whose half beats a fading kick and the whole rhythm play.
    std::size_t fastEnough = 0;
    while (fastEnough + 1 < levels.size() &&
           kickPulse(p, beatLag(p, levels[fastEnough]), 2) >= kKickPulse)
        ++fastEnough;
    for (std::size_t i = fastEnough; i + 1 < levels.size(); ++i)
        if (drivesHalfBeats(p, beatLag(p, levels[i]))) fastEnough = i + 1;
    level = std::max(level, fastEnough);
    // The snare on two and four: of the levels where it lands every other beat and not on every
    // beat, the one where it repeats most firmly, a drifting band's included. It may be slower
    // than the kick's half beats asked for (a bass guitar's eighths on the kick's band: 0.3 to
    // 0.6), unless the kick plays those as firmly as a drum machine's on every beat.
    double firmest = 0;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const double lag = beatLag(p, levels[i]);
        if (i < fastEnough && kickPulse(p, lag, 2) >= kKickEveryBeat) continue;
        const double firm = backbeat(p, lag, kDriftedSnare);
        if (firm > 0 && firm >= firmest && repeatsOnBeats(p, lag)) {
            firmest = firm;
            level = i;
        }
    }
    return levels[level];
}

} // namespace zen::audio

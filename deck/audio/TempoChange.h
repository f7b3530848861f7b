#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// Where a tempo changes once: a DJ's edit pushed a few percent after a minute, a band that plays
// its bridge faster, drum and bass that falls to 140 at a breakdown. Found without knowing either
// tempo, so that a whole whose two tempos blur each other cannot mislead it: the rhythm of the
// onsets before a place and after it, each as its autocorrelation, differ by a stretch of the lag
// axis when the tempo changes there, and only in shape when the drums come in or a breakdown
// begins.
namespace zen::audio {

// The two sections of the onset envelope around the place found: frames [0, firstEnd) before it
// and [secondStart, n) after it, with the stretches next to the place, which may hold some of
// either tempo, left out between them.
struct Split {
    std::size_t firstEnd = 0, secondStart = 0;
};

// The place where the onsets' rhythm after it matches the rhythm before it best stretched by a
// tempo ratio 1 % to 30 % away from 1, and clearly better so than unstretched; nothing when no
// place does (a steady tempo, or one that wanders, whose stretches match best unstretched).
std::optional<Split> tempoChange(const std::vector<float>& onsets, double framesPerSecond);

} // namespace zen::audio

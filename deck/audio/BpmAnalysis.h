#pragma once

#include <cstdint>
#include <functional>

// Tempo detection over a stretch of a decoded track, as the deck's load asks for it.
namespace zen::audio {

class PcmTrack;

// Result below twice the minimum is doubled (the deck always sets it).
inline constexpr std::uint32_t kBpmMultiply = 0x2;

// Streams the track's PCM between the two times (clamped to the track) in chunks as it is
// decoded, mixed to mono, through the tempo detector; calls progress with 0..100 on the caller's
// thread along the way. Returns the tempo within [minBpm, maxBpm] (doubled when below twice the
// minimum with kBpmMultiply), or 0 for silence, no tempo or an empty stretch.
float analyseBpm(const PcmTrack& track, double startSec, double endSec, float minBpm, float maxBpm,
                 std::uint32_t flags, const std::function<void(float percent)>& progress);

} // namespace zen::audio

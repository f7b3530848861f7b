#pragma once

#include "AudioFile.h"

#include <cstdint>
#include <memory>

namespace zen::audio {

// Exact decoded length in frames of an MPEG audio file (layers 1 to 3), counted by a scan over
// every frame header with the gapless handling libsndfile decodes with; the file's own header is
// only an estimate when it has no LAME/Xing frame. -1 when nothing decodable is found.
std::int64_t scanMpegLength(const std::shared_ptr<const AudioFile>& file);

} // namespace zen::audio

#include "deck/audio/ScopeReader.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace zen::audio {

namespace {
// Ring frames converted at a time.
constexpr std::size_t kChunk = 1024;
// A fresh converter's filter holds back its first frames: this many more go in, so that
// kMaxCount come out.
constexpr std::size_t kPriming = 1024;
static_assert(2 * kChunk <= ScopeRing::kSize / 2, "a chunk is copied while the voice writes");

// The ring frames a fresh start converts, no further back than the voice surely keeps while they
// are read; a backlog beyond them starts afresh too.
std::size_t freshFrames(double rate) {
    return std::min(
        static_cast<std::size_t>(std::ceil(ScopeReader::kMaxCount * rate / ScopeReader::kRate)) +
            kPriming,
        ScopeRing::kSize / 2);
}
} // namespace

void ScopeReader::Deleter::operator()(soxr* converter) const {
    soxr_delete(converter);
}

void ScopeReader::restart(double rate, std::size_t written) {
    if (rate != rate_ || !converter_) {
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        converter_.reset(soxr_create(rate, kRate, 1, nullptr, nullptr, &quality, nullptr));
        rate_ = rate;
    } else {
        soxr_clear(converter_.get());
    }
    const std::size_t wanted = freshFrames(rate);
    cursor_ = written > wanted ? written - wanted : 0;
    // Only a channel whose spectrum is read at another rate than 44.1 kHz holds these.
    in_.resize(kChunk);
    out_.resize(2 * kChunk);
    converted_.assign(kMaxCount, 0.0f);
    head_ = 0;
}

void ScopeReader::append(const float* frames, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        converted_[(head_ + i) % kMaxCount] = frames[i];
    head_ = (head_ + count) % kMaxCount;
}

bool ScopeReader::convert(const ScopeRing& ring, std::size_t written) {
    while (cursor_ < written) {
        const std::size_t n = std::min(written - cursor_, kChunk);
        if (!ring.copy(cursor_, n, in_.data())) return false;
        std::size_t done = 0;
        soxr_process(converter_.get(), in_.data(), n, nullptr, out_.data(), out_.size(), &done);
        append(out_.data(), done);
        cursor_ += n;
    }
    return true;
}

void ScopeReader::latest(const ScopeRing& ring, float* out, std::size_t count) {
    count = std::min(count, kMaxCount);
    const double rate = ring.rate();
    if (rate == kRate) {
        ring.copyLatest(out, count);
        return;
    }
    const std::size_t written = ring.written();
    // A new rate, frames the voice has already overwritten, or more than a fresh start needs
    // (the spectrum was not read for a while): start afresh from the latest.
    if (rate != rate_ || !converter_ || written < cursor_ || written - cursor_ > freshFrames(rate))
        restart(rate, written);
    if (converter_ && !convert(ring, written)) {
        restart(rate, written);
        if (converter_) convert(ring, written);
    }
    for (std::size_t i = 0; i < count; ++i)
        out[i] = converted_[(head_ + kMaxCount - count + i) % kMaxCount];
}

} // namespace zen::audio

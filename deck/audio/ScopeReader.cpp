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
} // namespace

void ScopeReader::Deleter::operator()(soxr* converter) const {
    soxr_delete(converter);
}

ScopeReader::ScopeReader() : in_(kChunk), out_(2 * kChunk) {}

void ScopeReader::restart(const ScopeRing& ring, std::size_t written) {
    const double rate = ring.rate();
    if (rate != rate_ || !converter_) {
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        converter_.reset(soxr_create(rate, kRate, 1, nullptr, nullptr, &quality, nullptr));
        rate_ = rate;
    } else {
        soxr_clear(converter_.get());
    }
    // No further back than the voice surely keeps while this reads.
    const std::size_t wanted =
        std::min(static_cast<std::size_t>(std::ceil(kMaxCount * rate / kRate)) + kPriming,
                 ScopeRing::kSize / 2);
    cursor_ = written > wanted ? written - wanted : 0;
    converted_.fill(0.0f);
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
    if (ring.rate() == kRate) {
        ring.copyLatest(out, count);
        return;
    }
    const std::size_t written = ring.written();
    // A new rate, frames the voice has already overwritten, or more than a fresh start needs
    // (the spectrum was not read for a while): start afresh from the latest.
    const auto fresh = static_cast<std::size_t>(std::ceil(kMaxCount * ring.rate() / kRate));
    if (ring.rate() != rate_ || !converter_ || written < cursor_ ||
        written - cursor_ > std::min(fresh + kPriming, ScopeRing::kSize / 2))
        restart(ring, written);
    if (converter_ && !convert(ring, written)) {
        restart(ring, written);
        if (converter_) convert(ring, written);
    }
    for (std::size_t i = 0; i < count; ++i)
        out[i] = converted_[(head_ + kMaxCount - count + i) % kMaxCount];
}

} // namespace zen::audio

#include "PcmTrack.h"

#include "PcmSource.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace zen::audio {

namespace {

static_assert(std::atomic<std::int64_t>::is_always_lock_free,
              "the audio callback reads the decoded count without locking");

// A small first chunk lets playback start at once; later chunks are larger to keep the wake-ups
// of waiting threads rare.
constexpr std::int64_t kFirstChunkFrames = 4096;
constexpr std::int64_t kChunkFrames = 65536;

class DecodedTrack final : public PcmTrack {
public:
    DecodedTrack(std::unique_ptr<PcmSource> source, std::unique_ptr<std::int16_t[]> pcm)
        : source_(std::move(source)), pcm_(std::move(pcm)), channels_(source_->channels()),
          rate_(source_->sampleRate()), length_(source_->lengthFrames()) {}

    ~DecodedTrack() override {
        cancel_.store(true, std::memory_order_relaxed);
        if (worker_.joinable()) worker_.join();
    }

    void start() {
        worker_ = std::thread([this] { run(); });
    }

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    std::int64_t lengthFrames() const override { return length_; }
    std::int64_t decodedFrames() const override { return decoded_.load(std::memory_order_acquire); }
    bool finished() const override { return finished_.load(std::memory_order_acquire); }
    const std::int16_t* data() const override { return pcm_.get(); }

    std::int64_t waitDecoded(std::int64_t frames) const override {
        std::unique_lock lock(mutex_);
        progress_.wait(lock, [&] { return finished() || decodedFrames() >= frames; });
        return decodedFrames();
    }

private:
    void run() {
        std::int64_t done = 0;
        std::int64_t chunk = kFirstChunkFrames;
        while (done < length_ && !cancel_.load(std::memory_order_relaxed)) {
            const std::int64_t got =
                source_->read(pcm_.get() + done * channels_, std::min(chunk, length_ - done));
            if (got <= 0) break; // the end of a damaged or truncated file
            done += got;
            if (done == length_) break;
            publish(done, false);
            chunk = kChunkFrames;
        }
        publish(done, true);
        source_.reset(); // the file is no longer needed: close it now, not when the track goes
    }

    void publish(std::int64_t done, bool last) {
        {
            std::lock_guard lock(mutex_);
            decoded_.store(done, std::memory_order_release);
            if (last) finished_.store(true, std::memory_order_release);
        }
        progress_.notify_all();
    }

    std::unique_ptr<PcmSource> source_;
    const std::unique_ptr<std::int16_t[]> pcm_;
    const int channels_;
    const int rate_;
    const std::int64_t length_;
    std::atomic<std::int64_t> decoded_{0};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable progress_;
    std::thread worker_;
};

} // namespace

std::shared_ptr<PcmTrack> PcmTrack::open(const std::string& path, Kind kind, bool mono,
                                         std::string* why) {
    auto file = AudioFile::open(path, why);
    if (!file) return nullptr;
    auto source = kind == Kind::Module ? openModuleSource(std::move(file), mono, why)
                                       : openSndfileSource(std::move(file), mono, why);
    if (!source) return nullptr;
    try {
        // Left uninitialised on purpose: pages are only touched as the decode reaches them, so a
        // file that ends early costs no more memory than it holds.
        std::unique_ptr<std::int16_t[]> pcm(
            new std::int16_t[static_cast<size_t>(source->lengthFrames() * source->channels())]);
        auto track = std::make_shared<DecodedTrack>(std::move(source), std::move(pcm));
        track->start();
        return track;
    } catch (const std::bad_alloc&) {
        if (why) *why = "not enough memory";
    } catch (const std::system_error&) {
        if (why) *why = "cannot start the decoder";
    }
    return nullptr;
}

} // namespace zen::audio

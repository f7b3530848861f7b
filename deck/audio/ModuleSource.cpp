#include "PcmSource.h"

#include <cmath>
#include <cstddef>
#include <exception>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <ostream>
#include <vector>

namespace zen::audio {

namespace {

constexpr int kModuleRate = 44100;
// Far beyond any real module (the largest ones with sampled vocals stay well below).
constexpr std::int64_t kMaxModuleFileBytes = 256 << 20;
constexpr std::size_t kCountChunkFrames = 8192;
// How far the rendering may run past libopenmpt's own estimate before we call it endless.
constexpr double kEstimateSlackSeconds = 60;

bool fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

// At the song's end libopenmpt fades out briefly instead of cutting off mid-note.
void setEndBehaviour(openmpt::module& module) {
    module.ctl_set_text("play.at_end", "fadeout");
}

class ModuleSource final : public PcmSource {
public:
    explicit ModuleSource(bool mono) : mono_(mono) {}

    bool open(const AudioFile& file, std::string* why);

    int channels() const override { return mono_ ? 1 : 2; }
    int sampleRate() const override { return kModuleRate; }
    std::int64_t lengthFrames() const override { return length_; }

    std::int64_t read(std::int16_t* out, std::int64_t frames) override {
        try {
            const auto count = static_cast<std::size_t>(frames);
            return static_cast<std::int64_t>(
                mono_ ? module_->read(kModuleRate, count, out)
                      : module_->read_interleaved_stereo(kModuleRate, count, out));
        } catch (const std::exception&) {
            return 0;
        }
    }

private:
    std::int64_t countFrames(const std::vector<std::byte>& bytes, std::int64_t limit);

    bool mono_;
    // libopenmpt keeps a reference to its log stream; this one swallows the messages and must
    // outlive the modules.
    std::ostream quiet_{nullptr};
    std::unique_ptr<openmpt::module> module_;
    std::int64_t length_ = 0;
};

// The exact length is only known by rendering: libopenmpt's duration is computed at another
// mixing rate and rounds differently per tick. A silent, uninterpolated mono pass gives the same
// count as the real rendering at a fraction of its cost. Returns -1 past `limit`.
std::int64_t ModuleSource::countFrames(const std::vector<std::byte>& bytes, std::int64_t limit) {
    openmpt::module_ext counter(bytes, quiet_);
    setEndBehaviour(counter);
    counter.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
    auto* interactive = static_cast<openmpt::ext::interactive*>(
        counter.get_interface(openmpt::ext::interactive_id));
    if (interactive) {
        for (std::int32_t c = 0; c < counter.get_num_channels(); ++c)
            interactive->set_channel_mute_status(c, true);
    }
    std::vector<std::int16_t> scratch(kCountChunkFrames);
    std::int64_t frames = 0;
    while (const std::size_t got = counter.read(kModuleRate, kCountChunkFrames, scratch.data())) {
        frames += static_cast<std::int64_t>(got);
        if (frames > limit) return -1;
    }
    return frames;
}

bool ModuleSource::open(const AudioFile& file, std::string* why) {
    if (file.size() > kMaxModuleFileBytes) return fail(why, "module file too large");
    std::vector<std::byte> bytes(static_cast<std::size_t>(file.size()));
    if (file.readAt(bytes.data(), file.size(), 0) != file.size())
        return fail(why, "cannot be read");
    try {
        module_ = std::make_unique<openmpt::module>(bytes, quiet_);
        setEndBehaviour(*module_);
        const double estimate = module_->get_duration_seconds();
        const std::int64_t maxFrames = kMaxDecodedBytes / (2 * channels());
        if (!std::isfinite(estimate) || estimate < 0 ||
            estimate * kModuleRate > static_cast<double>(maxFrames))
            return fail(why, "too long: positions would not fit 32 bits");
        const double slack = (estimate + kEstimateSlackSeconds) * kModuleRate;
        length_ = countFrames(bytes, std::min(maxFrames, static_cast<std::int64_t>(slack)));
    } catch (const std::exception&) {
        return fail(why, "not a playable module");
    }
    if (length_ < 0) return fail(why, "module does not end");
    if (length_ == 0) return fail(why, "no audio in the file");
    return true;
}

} // namespace

std::unique_ptr<PcmSource> openModuleSource(std::shared_ptr<const AudioFile> file, bool mono,
                                            std::string* why) {
    auto source = std::make_unique<ModuleSource>(mono);
    if (!source->open(*file, why)) return nullptr;
    return source;
}

} // namespace zen::audio

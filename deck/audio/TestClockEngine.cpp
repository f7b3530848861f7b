#include "deck/audio/TestClock.h"

#include "deck/audio/Engine.h"
#include "deck/audio/Mixer.h"

namespace zen::audio {

namespace {

class TestClockOutput final : public OutputBackend {
public:
    explicit TestClockOutput(double rate) : rate_(rate) {}
    bool open(int device, Mixer& mixer) override {
        if (gone_) {
            problem_ = "The test clock's output is gone.";
            return false;
        }
        if (hung_) {
            problem_ = kHung;
            return false;
        }
        if (device < 0 || device >= TestClockEngine::kDevices) {
            problem_ = "Output " + std::to_string(device) + " is missing: the test clock has " +
                       "outputs 0 to " + std::to_string(TestClockEngine::kDevices - 1) + " only.";
            return false;
        }
        mixer_ = &mixer;
        failed_ = false;
        return true;
    }
    bool failed() const override { return failed_ || hung_; }
    void setGone(bool gone, double rate) {
        gone_ = gone;
        rate_ = rate;
        if (gone && !failed_) {
            failed_ = true;
            problem_ = "The test clock's output stopped.";
        }
    }
    void setHung(bool hung) { hung_ = hung; }
    std::string problem() const override { return hung_ && !failed_ ? kHung : problem_; }
    bool start() override { return started_ = mixer_ != nullptr; }
    bool stop() override {
        started_ = false;
        return mixer_ != nullptr;
    }
    void close() override {
        started_ = false;
        mixer_ = nullptr;
    }
    // render() runs on the caller's thread, so there is never an audio thread to race.
    bool running() const override { return false; }
    double latencySeconds() const override { return 0; }
    double sampleRate() const override { return rate_; }
    bool realTime() const override { return false; }
    std::uint32_t platformVersion() const override { return 9; }

    bool started() const { return started_; }
    Mixer* mixer() const { return mixer_; }

private:
    static constexpr const char* kHung = "The test clock's output does not answer.";

    double rate_;
    std::string problem_;
    bool gone_ = false;
    bool failed_ = false;
    bool hung_ = false;
    Mixer* mixer_ = nullptr;
    bool started_ = false;
};

class ClockEngine final : public BasicEngine<TestClockEngine> {
public:
    explicit ClockEngine(double rate) : ClockEngine(std::make_unique<TestClockOutput>(rate)) {}

    std::vector<float> render(int frames) override {
        std::vector<float> out(2 * static_cast<std::size_t>(std::max(frames, 0)), 0.0f);
        if (!clock_->started() || clock_->failed()) return out;
        constexpr int kBlock = 256;
        for (int done = 0; done < frames; done += kBlock) {
            const int n = std::min(kBlock, frames - done);
            mixer_->forEachNeed(
                n, [](const Voice& v, std::int64_t need) { v.track().waitDecoded(need); });
            mixer_->process(out.data() + 2 * static_cast<std::size_t>(done), n, 2);
        }
        collectRetired();
        return out;
    }
    void setOutputGone(bool gone, double rate) override { clock_->setGone(gone, rate); }
    void setOutputHung(bool hung) override { clock_->setHung(hung); }

private:
    explicit ClockEngine(std::unique_ptr<TestClockOutput> clock)
        : BasicEngine<TestClockEngine>(nullptr), clock_(clock.get()) {
        output_ = std::move(clock);
    }
    TestClockOutput* clock_;
};

} // namespace

std::unique_ptr<TestClockEngine> createTestClockEngine(double outputRate) {
    return std::make_unique<ClockEngine>(outputRate);
}

} // namespace zen::audio

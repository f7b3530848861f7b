#pragma once

#include "deck/audio/AudioEngine.h"

#include <algorithm>
#include <vector>

// An engine that plays nothing: the displays' tests choose the level, the spectrum and the load
// it reports, and see which channel was asked.
class FakeEngine : public zen::audio::AudioEngine {
public:
    std::int32_t level = -1;
    std::vector<float> spectrum; // empty: not playing
    float cpu = 0;
    mutable zen::audio::Handle askedChannel = 0;
    int analyses = 0;

    std::int32_t channelGetLevel(zen::audio::Handle channel) const override {
        askedChannel = channel;
        return level;
    }
    std::int32_t channelGetData(zen::audio::Handle channel, float* buffer,
                                std::uint32_t what) override {
        askedChannel = channel;
        ++analyses;
        if (spectrum.empty() || what != zen::audio::kDataFft2048) return -1;
        std::copy_n(spectrum.begin(), std::min<std::size_t>(spectrum.size(), 1024), buffer);
        return 4096;
    }
    float getCpu() const override { return cpu; }

    std::uint32_t getVersion() const override { return 0x00080001; }
    bool init(int, int, std::uint32_t) override { return true; }
    bool start() override { return true; }
    bool stop() override { return true; }
    void free() override {}
    bool getInfo(zen::audio::EngineInfo&) const override { return false; }
    void setBufferLength(float) override {}
    zen::audio::Handle streamCreateFile(const std::string&, std::uint32_t, std::uint32_t,
                                        std::uint32_t) override {
        return 0;
    }
    zen::audio::Handle musicLoad(const std::string&, std::uint32_t, std::uint32_t,
                                 std::uint32_t) override {
        return 0;
    }
    void streamFree(zen::audio::Handle) override {}
    void musicFree(zen::audio::Handle) override {}
    std::int64_t streamGetLength(zen::audio::Handle) const override { return -1; }
    bool streamPlay(zen::audio::Handle, int, std::uint32_t) override { return false; }
    bool streamPreBuf(zen::audio::Handle) override { return false; }
    bool channelStop(zen::audio::Handle) override { return false; }
    zen::audio::BytePosition channelGetPosition(zen::audio::Handle) const override { return -1; }
    bool channelSetPosition(zen::audio::Handle, zen::audio::BytePosition) override { return false; }
    float channelBytes2Seconds(zen::audio::Handle, zen::audio::BytePosition) const override {
        return -1;
    }
    bool channelGetAttributes(zen::audio::Handle, int*, int*, int*) const override { return false; }
    bool channelSlideAttributes(zen::audio::Handle, int, int, int, int) override { return false; }
    void setGlobalVolumes(int, int, int) override {}
    zen::audio::Handle channelSetFx(zen::audio::Handle, int) override { return 0; }
    bool fxSetParameters(zen::audio::Handle, const zen::audio::ParamEq&) override { return false; }
    bool fxGetParameters(zen::audio::Handle, zen::audio::ParamEq&) const override { return false; }
    float bpmDecodeGet(zen::audio::Handle, double, double, std::uint32_t, std::uint32_t,
                       const zen::audio::BpmProgress&) override {
        return 0;
    }
    void bpmFree(zen::audio::Handle) override {}
    void tempoFree(zen::audio::Handle) override {}
    float tempoGetApproxPercents(zen::audio::Handle) const override { return -1; }
    float bpmPercents2Bpm(zen::audio::Handle, float) const override { return 0; }
};

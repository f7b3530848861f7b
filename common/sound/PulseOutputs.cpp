#include "common/sound/PulseServer.h"
#include "common/sound/ServerOutputs.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>

namespace zen::sound {

namespace {

struct Sink {
    std::string name;
    std::string description;
    int channels = 2;
};

struct Listing {
    std::vector<Sink> sinks;
    bool done = false;
};

void onSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* listing = static_cast<Listing*>(self);
    if (eol) {
        listing->done = true;
        return;
    }
    if (!info) return;
    listing->sinks.push_back(Sink{info->name ? info->name : "",
                                  info->description ? info->description : info->name,
                                  static_cast<int>(info->channel_map.channels)});
}

} // namespace

bool listPulseOutputs(std::vector<Output>& list, std::string& why) {
    using Clock = std::chrono::steady_clock;
    // A server that answers at all answers within this; a stalled one must not hold up a start.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(2000);
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = newPulseContext(pa_mainloop_get_api(loop), "Zentari DJ");
    const auto runUntil = [&](auto&& finished) {
        while (!finished()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return false;
            if (pa_mainloop_prepare(loop, static_cast<int>(left)) < 0 ||
                pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
                return false;
        }
        return true;
    };
    Listing listing;
    bool answered = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto settled = [&] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ||
                   pa_context_get_state(context) == PA_CONTEXT_READY;
        };
        if (runUntil(settled) && pa_context_get_state(context) == PA_CONTEXT_READY) {
            pa_operation* op = pa_context_get_sink_info_list(context, &onSink, &listing);
            answered = op && runUntil([&] { return listing.done; });
            if (op) pa_operation_unref(op);
            if (!answered) why = pulseServerName() + " did not list its outputs in time";
        } else {
            why = pulseProblem(context);
        }
    } else {
        why = pulseProblem(context);
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    if (!answered) return false;
    std::sort(listing.sinks.begin(), listing.sinks.end(),
              [](const Sink& a, const Sink& b) { return a.name < b.name; });
    for (const Sink& sink : listing.sinks) {
        Output proto;
        proto.server = Server::Pulse;
        proto.device = sink.name;
        proto.deviceChannels = sink.channels;
        addPairs(list, sink.description, sink.channels, proto);
    }
    if (listing.sinks.empty()) why = pulseServerName() + " has no output";
    return !listing.sinks.empty();
}

} // namespace zen::sound

#include "deck/audio/SoundOutput.h"

#include "deck/audio/AlsaStream.h"
#include "deck/audio/JackStream.h"
#include "deck/audio/PulseStream.h"

#include <chrono>
#include <future>

namespace zen::audio {

namespace {

// How long a close may keep the deck: a deck quits within a second of being told, whatever its
// sound server does.
constexpr auto kCloseWait = std::chrono::milliseconds(400);
// A callback this late hangs with its server. Any server calls many times a second (every 6 ms
// for JACK's 256 frames at 44.1 kHz); the deck's output watch looks every 250 ms, so a hang shows
// within 750 ms.
constexpr std::int64_t kHungAfterNs = 500'000'000;

std::unique_ptr<OutputStream> streamFor(zen::sound::Server server) {
    switch (server) {
    case zen::sound::Server::Jack:
        return std::make_unique<JackStream>();
    case zen::sound::Server::Pulse:
        return std::make_unique<PulseStream>();
    case zen::sound::Server::Alsa:
        break;
    }
    return std::make_unique<AlsaStream>();
}

// Closes the stream on a thread of its own and waits for it a while; one that takes longer is
// left to finish by itself (its callback plays silence behind the shut gate meanwhile).
void closeInTime(std::unique_ptr<OutputStream> stream) {
    if (!stream) return;
    stream->gate().shut();
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    std::thread([s = std::move(stream), closed]() mutable {
        s->close();
        s.reset();
        closed->set_value();
    }).detach();
    done.wait_for(kCloseWait);
}

} // namespace

SoundOutput::~SoundOutput() {
    close();
    closeInTime(std::move(hung_));
}

bool SoundOutput::hangs(const OutputStream& stream) {
    return !stream.failed() && steadyNs() - stream.lastCallNs() > kHungAfterNs;
}

bool SoundOutput::failed() const {
    if (!stream_) return false;
    if (stream_->failed()) return true;
    if (!hangs(*stream_)) return false;
    hangSeen_.store(true);
    return true;
}

bool SoundOutput::open(int device, Mixer& mixer) {
    if (stream_) return false;
    problem_.clear();
    if (hung_) {
        if (hangs(*hung_)) {
            problem_ = gone_;
            return false;
        }
        // Its server answers again: the stream plays on as it was, connections and all.
        if (!hung_->failed() && device == playedDevice_) {
            stream_ = std::move(hung_);
            gone_.clear();
            hangSeen_ = false;
            return true;
        }
        if (hung_->failed()) gone_ = hung_->lostReason();
        closeInTime(std::move(hung_));
    }
    // Opened again, only the server it played on is asked: probing the others (ALSA's cards
    // above all) would hold the deck for as long as the server stays away.
    const bool again = playedOn_ && device == playedDevice_;
    const std::string missing =
        again ? "\"" + playedOn_->description +
                    "\" is missing: plug in the interface again or start its sound server."
              : std::string();
    // An unplugged card is seen without a list, which would open every ALSA device each look.
    if (again && !zen::sound::cardPresent(*playedOn_)) {
        problem_ = missing;
        return false;
    }
    const zen::sound::OutputList list =
        again ? zen::sound::listOutputsOf(playedOn_->server) : zen::sound::listOutputs();
    if (list.outputs.empty()) {
        // A server that went away is named first: that is what the DJ has to bring back.
        problem_ = gone_.empty() ? list.problem : gone_ + ": " + list.problem;
        return false;
    }
    const zen::sound::Output* found = nullptr;
    if (again) {
        // Opened again after its server came back: the output it played on, wherever the list
        // puts it now, and never another one in its place (the room's, for the headphones').
        for (const zen::sound::Output& o : list.outputs)
            if (!found && o.server == playedOn_->server && o.description == playedOn_->description)
                found = &o;
        if (!found) {
            problem_ = missing;
            return false;
        }
    } else if (device >= 0 && device < static_cast<int>(list.outputs.size())) {
        found = &list.outputs[static_cast<std::size_t>(device)];
    } else {
        problem_ = "Output " + std::to_string(device) + " is missing: the sound server lists " +
                   "outputs 0 to " + std::to_string(list.outputs.size() - 1) +
                   " only. Plug in the interface it named or start its sound server, or choose "
                   "another output in the console's options (Config), then START again.";
        return false;
    }
    const zen::sound::Output& output = *found;
    std::unique_ptr<OutputStream> stream = streamFor(output.server);
    std::string why;
    if (!stream->open(output, name_, mixer, why)) {
        problem_ = "\"" + std::to_string(device) + " - " + output.description +
                   "\" cannot be opened: " + why + ".";
        closeInTime(std::move(stream));
        return false;
    }
    stream_ = std::move(stream);
    gone_.clear();
    hangSeen_ = false;
    playedOn_ = output;
    playedDevice_ = device;
    return true;
}

std::string SoundOutput::problem() const {
    if (!failed()) return problem_;
    return stream_->failed() ? stream_->lostReason() : stream_->hungReason();
}

bool SoundOutput::start() {
    if (!stream_) return false;
    stream_->gate().open();
    return true;
}

bool SoundOutput::stop() {
    if (!stream_) return false;
    stream_->gate().shut();
    return true;
}

void SoundOutput::close() {
    if (stream_ && !stream_->failed() && (hangSeen_.load() || hangs(*stream_))) {
        // Closing would wait on the hung server, and one that answers again plays on through the
        // same stream: it waits aside for the next open().
        gone_ = stream_->hungReason();
        closeInTime(std::move(hung_));
        hung_ = std::move(stream_);
        return;
    }
    if (failed()) gone_ = stream_->lostReason();
    closeInTime(std::move(stream_));
}

bool SoundOutput::running() const {
    return stream_ && stream_->gate().isOpen();
}

double SoundOutput::latencySeconds() const {
    return stream_ ? stream_->latencySeconds() : 0;
}

double SoundOutput::sampleRate() const {
    return stream_ ? stream_->sampleRate() : 44100;
}

} // namespace zen::audio

#pragma once

#include "console/KeyReading.h"

#include <atomic>
#include <memory>
#include <string>

namespace zen::console {

// Reads the whole keyboard from the X server on a connection of its own, whichever X11 window
// has the focus: XInput 2 raw key events as they come (each press and release, also a tap
// shorter than any poll), the keymap as a check (at every connection, and while keys are held,
// so a release that never came cannot keep a nudge going). A server without XInput 2 is polled
// every few ms instead. A lost connection reads as no key held (so a nudge in progress ends)
// and is opened anew once a second.
class X11KeySource final : public KeySource {
public:
    static constexpr int kReconnectMs = 1000;
    static constexpr int kHeldCheckMs = 250;
    static constexpr int kPollMs = 5;

    // The display DISPLAY names, unless another is given.
    explicit X11KeySource(std::string display = {});
    ~X11KeySource() override;

    void start(QWidget& window, KeyThread& thread, Report report, Note note) override;
    void stop(KeyThread& thread) override;
    QString reading() const override;

    enum class Mode { None, RawEvents, Polled };

private:
    class Reader;

    std::string display_;
    std::unique_ptr<Reader> reader_; // on the key thread
    std::atomic<Mode> mode_{Mode::None};
};

} // namespace zen::console

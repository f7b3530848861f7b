#pragma once

#include "console/KeyPress.h"
#include "console/NewestKey.h"

#include <chrono>
#include <string>

struct xcb_connection_t;

namespace zen::console {

// Reads the whole keyboard from the X server on a connection of its own, whichever window has
// the focus. A lost connection reads as no key held (so a nudge in progress ends) and is opened
// anew at most once a second.
class X11KeyPress final : public KeyPress {
public:
    // The display DISPLAY names, unless another is given.
    explicit X11KeyPress(std::string display = {});
    ~X11KeyPress() override;

    void start(QWidget& window) override;
    void poll() override;
    int keyCode() const override { return keyCode_; }
    void stop() override;

private:
    KeySet heldKeys();
    bool connect();
    void disconnect();

    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    std::chrono::steady_clock::time_point nextConnect_{};
    NewestKey newest_;
    int keyCode_ = 0;
    bool started_ = false;
};

} // namespace zen::console

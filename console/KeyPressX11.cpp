#include "console/KeyPressX11.h"

#include "console/ScanCodes.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <utility>

namespace zen::console {

namespace {

// X keycodes start at 8; keycode - 8 is the Linux input code.
constexpr int firstKeycode = 8;
constexpr auto reconnectPause = std::chrono::seconds(1);

} // namespace

X11KeyPress::X11KeyPress(std::string display) : display_(std::move(display)) {}

X11KeyPress::~X11KeyPress() {
    disconnect();
}

void X11KeyPress::start(QWidget&) {
    started_ = true;
    nextConnect_ = {};
    connect();
}

void X11KeyPress::poll() {
    if (!started_) return;
    newest_.observe(heldKeys());
    keyCode_ = newest_.poll();
}

void X11KeyPress::stop() {
    started_ = false;
    disconnect();
    newest_ = {};
    keyCode_ = 0;
}

KeySet X11KeyPress::heldKeys() {
    KeySet held;
    if (!connection_ && !connect()) return held;
    // One round trip to the X server: the state of all 256 keycodes, one bit each. A server that
    // went away shows as a hang-up that xcb reads before it writes, so it comes back as an error
    // here, never as SIGPIPE.
    xcb_query_keymap_reply_t* reply =
        xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr);
    if (!reply) {
        if (xcb_connection_has_error(connection_)) disconnect();
        return held;
    }
    for (int byte = firstKeycode / 8; byte < 32; ++byte) {
        if (reply->keys[byte] == 0) continue;
        for (int bit = 0; bit < 8; ++bit)
            if (reply->keys[byte] & (1 << bit))
                if (const int code = setOneScanCode(byte * 8 + bit - firstKeycode)) held.set(code);
    }
    std::free(reply);
    return held;
}

bool X11KeyPress::connect() {
    const auto now = std::chrono::steady_clock::now();
    if (now < nextConnect_) return false;
    nextConnect_ = now + reconnectPause;
    connection_ = xcb_connect(display_.empty() ? nullptr : display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) disconnect();
    return connection_ != nullptr;
}

void X11KeyPress::disconnect() {
    if (connection_) xcb_disconnect(connection_);
    connection_ = nullptr;
}

} // namespace zen::console

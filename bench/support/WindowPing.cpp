#include "WindowPing.h"

#include "Measure.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

namespace zen::bench {

namespace {

unsigned atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const unsigned value = reply ? reply->atom : 0;
    std::free(reply);
    return value;
}

} // namespace

WindowPing::WindowPing(const QString& window) : window_(window.toUInt()) {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    protocols_ = atom(connection_, "WM_PROTOCOLS");
    ping_ = atom(connection_, "_NET_WM_PING");
    // The answer goes to the root window, to those who watch its structure.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
}

WindowPing::~WindowPing() {
    stop();
    if (connection_) xcb_disconnect(connection_);
}

void WindowPing::start() {
    if (!connection_ || running_) return;
    longest_ = -1;
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

double WindowPing::stop() {
    if (running_) {
        running_ = false;
        thread_.join();
    }
    return longest_;
}

void WindowPing::run() {
    std::uint32_t serial = 0;
    while (running_) {
        xcb_client_message_event_t ping{};
        ping.response_type = XCB_CLIENT_MESSAGE;
        ping.format = 32;
        ping.window = window_;
        ping.type = protocols_;
        ping.data.data32[0] = ping_;
        ping.data.data32[1] = ++serial;
        ping.data.data32[2] = window_;
        const Clock::time_point sent = Clock::now();
        xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&ping));
        xcb_flush(connection_);
        bool answered = false;
        while (running_ && !answered) {
            pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&fd, 1, 5);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                answered |= (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                            message->data.data32[0] == ping_ && message->data.data32[1] == serial;
                std::free(event);
            }
            if (xcb_connection_has_error(connection_)) return;
        }
        if (answered) longest_ = std::max(longest_.load(), msSince(sent));
        std::this_thread::sleep_until(sent + std::chrono::milliseconds(1));
    }
}

} // namespace zen::bench

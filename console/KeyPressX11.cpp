#include "console/KeyPressX11.h"

#include "console/ScanCodes.h"

#include <QSocketNotifier>
#include <QTimer>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>
#include <utility>

namespace zen::console {

namespace {

// X keycodes start at 8; keycode - 8 is the Linux input code.
constexpr int firstKeycode = 8;

template <typename T> struct Freed {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, Freed<T>>;

} // namespace

// The connection and what it has seen; lives on the key thread.
class X11KeySource::Reader {
public:
    Reader(const std::string& display, Report report, std::atomic<Mode>& mode)
        : display_(display), report_(std::move(report)), mode_(mode) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { timeout(); });
        connect();
    }
    ~Reader() {
        // Leaving is no key release: nothing is sent on the way out.
        report_ = nullptr;
        disconnect();
    }

private:
    void connect();
    void disconnect();
    bool selectRawEvents(xcb_window_t root);
    void readEvents();
    void handle(const xcb_generic_event_t& event);
    void timeout();
    // One keymap query; the events the wait for it brought are read after it.
    void check();
    void set(const KeySet& held);
    void schedule();

    std::string display_;
    Report report_;
    std::atomic<Mode>& mode_;
    xcb_connection_t* connection_ = nullptr;
    std::unique_ptr<QSocketNotifier> readable_;
    QTimer timer_;
    std::uint8_t inputOpcode_ = 0;
    KeySet held_;
};

void X11KeySource::Reader::connect() {
    connection_ = xcb_connect(display_.empty() ? nullptr : display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) {
        disconnect();
        schedule();
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    mode_ = selectRawEvents(root) ? Mode::RawEvents : Mode::Polled;
    readable_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                  QSocketNotifier::Read);
    QObject::connect(readable_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    check();
}

bool X11KeySource::Reader::selectRawEvents(xcb_window_t root) {
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection_, &xcb_input_id);
    if (!extension || !extension->present) return false;
    inputOpcode_ = extension->major_opcode;
    // Raw events reach a listener whatever window has the focus, grabs included, from 2.1 on.
    Reply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
        connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
    if (!version || (version->major_version < 2) ||
        (version->major_version == 2 && version->minor_version < 1))
        return false;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    Reply<xcb_generic_error_t> error(xcb_request_check(
        connection_, xcb_input_xi_select_events_checked(connection_, root, 1, &mask.head)));
    return !error;
}

void X11KeySource::Reader::disconnect() {
    readable_.reset();
    if (connection_) xcb_disconnect(connection_);
    connection_ = nullptr;
    mode_ = Mode::None;
    set(KeySet());
}

void X11KeySource::Reader::readEvents() {
    if (!connection_) return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        handle(*event);
        std::free(event);
    }
    // A server that went away shows as a hang-up that xcb reads before it writes, so it comes
    // back as an error here, never as SIGPIPE.
    if (xcb_connection_has_error(connection_)) disconnect();
    schedule();
}

void X11KeySource::Reader::handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_GE_GENERIC) return;
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != inputOpcode_) return;
    if (generic.event_type != XCB_INPUT_RAW_KEY_PRESS &&
        generic.event_type != XCB_INPUT_RAW_KEY_RELEASE)
        return;
    const auto& key = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
    // A repeat is no new press: the key is held already.
    if (key.flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT) return;
    const int code = setOneScanCode(static_cast<int>(key.detail) - firstKeycode);
    if (code == 0) return;
    KeySet held = held_;
    held.set(static_cast<std::size_t>(code), generic.event_type == XCB_INPUT_RAW_KEY_PRESS);
    set(held);
}

void X11KeySource::Reader::timeout() {
    if (!connection_)
        connect();
    else
        check();
}

void X11KeySource::Reader::check() {
    Reply<xcb_query_keymap_reply_t> reply(
        xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr));
    if (reply) {
        KeySet held;
        for (int byte = firstKeycode / 8; byte < 32; ++byte) {
            if (reply->keys[byte] == 0) continue;
            for (int bit = 0; bit < 8; ++bit)
                if (reply->keys[byte] & (1 << bit))
                    if (const int code = setOneScanCode(byte * 8 + bit - firstKeycode))
                        held.set(static_cast<std::size_t>(code));
        }
        // The events read while waiting came before the reply or after it; taken after it,
        // each only repeats or follows the state the reply gave, so no press is made up.
        set(held);
    }
    readEvents();
}

void X11KeySource::Reader::set(const KeySet& held) {
    if (held == held_) return;
    held_ = held;
    if (report_) report_(held_);
}

void X11KeySource::Reader::schedule() {
    int wait = -1;
    if (!connection_)
        wait = kReconnectMs;
    else if (mode_ == Mode::Polled)
        wait = kPollMs;
    else if (held_.any())
        wait = kHeldCheckMs;
    if (wait < 0)
        timer_.stop();
    else if (!timer_.isActive() || mode_ == Mode::Polled)
        timer_.start(wait);
}

X11KeySource::X11KeySource(std::string display) : display_(std::move(display)) {}

X11KeySource::~X11KeySource() = default;

void X11KeySource::start(QWidget&, KeyThread& thread, Report report, Note) {
    thread.runHere([&] { reader_ = std::make_unique<Reader>(display_, std::move(report), mode_); });
}

void X11KeySource::stop(KeyThread& thread) {
    thread.runHere([this] { reader_.reset(); });
}

QString X11KeySource::reading() const {
    switch (mode_.load()) {
    case Mode::RawEvents:
        return QStringLiteral("any X11 window");
    case Mode::Polled:
        return QStringLiteral("any X11 window, polled");
    case Mode::None:
        break;
    }
    return {};
}

} // namespace zen::console

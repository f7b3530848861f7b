#include "KeyInjector.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>

namespace zen::bench {

KeyInjector::KeyInjector() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
    }
}

KeyInjector::~KeyInjector() {
    if (connection_) xcb_disconnect(connection_);
}

std::uint8_t KeyInjector::keycodeOf(std::uint32_t keysym) {
    if (!connection_) return 0;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection_,
        xcb_get_keyboard_mapping(connection_, static_cast<xcb_keycode_t>(first),
                                 static_cast<std::uint8_t>(count)),
        nullptr);
    if (!mapping) return 0;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perKey = mapping->keysyms_per_keycode;
    std::uint8_t found = 0;
    for (int key = 0; key < count && found == 0; ++key)
        if (perKey > 0 && keysyms[key * perKey] == keysym)
            found = static_cast<std::uint8_t>(first + key);
    std::free(mapping);
    return found;
}

Clock::time_point KeyInjector::press(std::uint8_t keycode) {
    xcb_test_fake_input(connection_, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    const Clock::time_point sent = Clock::now();
    xcb_flush(connection_);
    return sent;
}

void KeyInjector::release(std::uint8_t keycode) {
    xcb_test_fake_input(connection_, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(connection_);
}

} // namespace zen::bench

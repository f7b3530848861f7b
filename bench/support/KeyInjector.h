#pragma once

#include "Measure.h"

#include <cstdint>

struct xcb_connection_t;

namespace zen::bench {

// Presses keys through the X server's XTEST extension on one connection that stays open: the
// server releases whatever a client holds when the client goes, so a client per key (as a run of
// xdotool gives) would cut keys short.
class KeyInjector {
public:
    KeyInjector();
    ~KeyInjector();
    KeyInjector(const KeyInjector&) = delete;
    KeyInjector& operator=(const KeyInjector&) = delete;

    bool connected() const { return connection_ != nullptr; }
    // The keycode of the key that types this keysym unshifted, 0 when no key does.
    std::uint8_t keycodeOf(std::uint32_t keysym);
    // Sends the key down or up; the time is taken just before the event leaves for the server.
    Clock::time_point press(std::uint8_t keycode);
    void release(std::uint8_t keycode);

private:
    xcb_connection_t* connection_ = nullptr;
};

// The keysyms of the function keys F5 to F8, which a deck window does nothing with, of the
// letter a and of Return.
inline constexpr std::uint32_t kKeysymF5 = 0xffc2;
inline constexpr std::uint32_t kKeysymF6 = 0xffc3;
inline constexpr std::uint32_t kKeysymF7 = 0xffc4;
inline constexpr std::uint32_t kKeysymF8 = 0xffc5;
inline constexpr std::uint32_t kKeysymA = 0x61;
inline constexpr std::uint32_t kKeysymReturn = 0xff0d;
inline constexpr std::uint32_t kKeysymHome = 0xff50;
inline constexpr std::uint32_t kKeysymDown = 0xff54;

} // namespace zen::bench

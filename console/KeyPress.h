#pragma once

#include <memory>

class QWidget;

namespace zen::console {

// The keyboard component the console polls every 5 ms: the PC set-1 scan code of the key that
// counts as held, 0 when none. With several keys held, the newest key still held counts; when it
// is released the code is 0 even if older keys are still held, and a key already reported is not
// reported again until it is pressed anew.
class KeyPress {
public:
    virtual ~KeyPress() = default;

    // Begins watching the keyboard on behalf of the console window.
    virtual void start(QWidget& window) = 0;
    // Reads the keyboard's state now; keyCode() reports what this poll saw.
    virtual void poll() = 0;
    // 0..255.
    virtual int keyCode() const = 0;
    virtual void stop() = 0;
};

// Reads the whole keyboard through the X server when the console runs on X11, so keys work
// while a deck (or any other) window has the focus; elsewhere the console's own key events.
std::unique_ptr<KeyPress> createKeyPress();

} // namespace zen::console

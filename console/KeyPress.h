#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace zen::console {

// A key the console maps, offered to the desktop as a shortcut of every window: its set-1 code
// and what it does ("D1 PLAY/PAUSE").
struct KeyShortcut {
    int code = 0;
    QString description;

    bool operator==(const KeyShortcut&) const = default;
};

// The keyboard component: the PC set-1 scan code of the key that counts as held, 0 when none.
// With several keys held, the newest key still held counts; when it is released the code is 0
// even if older keys are still held, and a key already reported is not reported again until it
// is pressed anew.
//
// Keys are read on a thread of their own, the key thread: whenever keys go down or up the
// component calls `changed` there, and the console polls it there until the code stands still.
class KeyPress {
public:
    using Changed = std::function<void()>;
    // A line for the monitor: how reading keys changed since START said it ("Keys: ...").
    using Note = std::function<void(const QString& line)>;

    virtual ~KeyPress() = default;

    // Window thread: begins watching the keyboard on behalf of the console window. `changed`
    // and `note` are called on the key thread.
    virtual void start(QWidget& window, Changed changed, Note note) = 0;
    // Key thread: reads what changed; keyCode() reports what this poll saw.
    virtual void poll() = 0;
    // 0..255.
    virtual int keyCode() const = 0;
    // Window thread: once it returns, `changed` is not running and is not called again.
    virtual void stop() = 0;

    // Window thread: what reads the keys now, for the monitor ("Keys: ...").
    virtual QString reading() const = 0;
    // Window thread: the keys to offer the desktop as shortcuts of every window, where it has a
    // way to take them; none takes them back.
    virtual void offerShortcuts(const std::vector<KeyShortcut>& shortcuts) = 0;
};

// Reads the whole keyboard through the X server when the console runs on X11, so keys work
// while a deck (or any other X11) window has the focus, and in a Wayland session also through
// the desktop's shortcuts where it offers them; elsewhere the console's own key events.
std::unique_ptr<KeyPress> createKeyPress();

} // namespace zen::console

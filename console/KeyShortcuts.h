#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <functional>

class ConsolePorts;
class MonitorText;
class OptionsPanel;
class QWidget;

namespace zen::console {
class KeyPress;
} // namespace zen::console

// The keyboard shortcuts: each change of the keyboard component's key acts once, on the key
// thread, as soon as the key goes down or up. A new key is captured into the marked key box while
// the options panel is shown, or sent to the decks it is mapped to while the engine runs; the
// release of the keys sends the key-released command to both decks whatever the state, so no
// nudge outlives its key. The key thread reads the mapping and the panel's and the engine's state
// from a copy the window thread keeps up to date, sends at once, and hands the window thread what
// it shows (the monitor's line) or changes (a captured key) afterwards.
class KeyShortcuts : public QObject {
    Q_OBJECT
public:
    // The set-1 code of Backspace: it empties the marked box, so it cannot itself be mapped.
    static constexpr int kBackspace = 14;

    KeyShortcuts(zen::console::KeyPress& keyPress, OptionsPanel& panel, ConsolePorts& ports,
                 MonitorText& monitor);
    ~KeyShortcuts() override;

    // Starts the keyboard component for the console window, for the rest of the console's life.
    void start(QWidget& window);
    void stop();
    // One look at the keyboard component, acting on a change of its key; true when it changed.
    // The key thread calls it until the key stands still (a test's thread may instead).
    bool tick();

    // Window thread: the engine started or stopped. START says in the monitor how keys are read
    // and offers the mapped keys to the desktop; STOP takes them back.
    void setEngineRunning(bool running);

private:
    static constexpr int kEntries = 10;

    // Window thread.
    void copyMapping(int entry);
    void capture(int key);
    void erase();
    // Key thread.
    void route(int key);
    void released();
    // Runs `work` on the window thread: now when called there, else as soon as it is free.
    void toWindow(std::function<void()> work);

    zen::console::KeyPress& keyPress_;
    OptionsPanel& panel_;
    ConsolePorts& ports_;
    MonitorText& monitor_;
    // The copy the key thread reads: each key entry's number ("none" and empty read as 0), and
    // the states that decide what a key does.
    std::array<std::atomic<double>, kEntries> mapping_{};
    std::atomic<bool> panelShown_{false};
    std::atomic<bool> engineRunning_{false};
    // The key code seen at the previous change, 0 for none; the key thread's.
    int lastKey_ = 0;
};

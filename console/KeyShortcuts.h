#pragma once

#include <QObject>
#include <QTimer>

class ConsolePorts;
class EngineControl;
class MonitorText;
class OptionsPanel;

namespace zen::console {
class KeyPress;
} // namespace zen::console

// tmrKeys: the keyboard component is polled every 5 ms, and each change of the current key acts
// once. A new key is captured into the marked key box while the options panel is shown, or sent
// to the decks it is mapped to while the engine runs; the release of the keys sends the
// key-released command to both decks whatever the state, so no nudge outlives its key.
class KeyShortcuts : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 5;
    // The set-1 code of Backspace: it empties the marked box, so it cannot itself be mapped.
    static constexpr int kBackspace = 14;

    KeyShortcuts(zen::console::KeyPress& keyPress, OptionsPanel& panel, EngineControl& engine,
                 ConsolePorts& ports, MonitorText& monitor);

    // Begins polling, for the rest of the console's life.
    void start();
    // One tick of tmrKeys.
    void tick();

    QTimer& tmrKeys() { return tmrKeys_; }

private:
    void capture(int key);
    void route(int key);
    void erase();
    void released();

    zen::console::KeyPress& keyPress_;
    OptionsPanel& panel_;
    EngineControl& engine_;
    ConsolePorts& ports_;
    MonitorText& monitor_;
    QTimer tmrKeys_;
    // The key code seen at the previous change, 0 for none.
    int lastKey_ = 0;
};

#pragma once

#include "console/KeyPress.h"
#include "console/KeyThread.h"
#include "console/NewestKey.h"

#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace zen::console {

// One way of seeing keys: the X server, the desktop's shortcuts, the console's own windows. It
// tells the keys it sees held, on the key thread, whenever they change.
class KeySource {
public:
    using Report = std::function<void(const KeySet& held)>;
    using Note = KeyPress::Note;

    virtual ~KeySource() = default;

    // Window thread: begins reading; reports and notes run on `thread`.
    virtual void start(QWidget& window, KeyThread& thread, Report report, Note note) = 0;
    // Window thread, while `thread` still runs: no report follows.
    virtual void stop(KeyThread& thread) = 0;
    // Window thread: where this source sees keys ("any X11 window"); empty while it sees none.
    virtual QString reading() const = 0;
    virtual void offerShortcuts(KeyThread&, const std::vector<KeyShortcut>&) {}
};

// The keyboard component over one or more sources: a key counts as held while any source sees
// it held, and the newest-key rule picks the code.
class KeyReading final : public KeyPress {
public:
    explicit KeyReading(std::vector<std::unique_ptr<KeySource>> sources);
    ~KeyReading() override;

    void start(QWidget& window, Changed changed, Note note) override;
    void poll() override { keyCode_ = newest_.poll(); }
    int keyCode() const override { return keyCode_; }
    void stop() override;
    QString reading() const override;
    void offerShortcuts(const std::vector<KeyShortcut>& shortcuts) override;

private:
    // Key thread.
    void report(std::size_t source, const KeySet& held);

    std::vector<std::unique_ptr<KeySource>> sources_;
    std::vector<KeySet> held_;
    NewestKey newest_;
    int keyCode_ = 0;
    Changed changed_;
    KeyThread thread_;
    bool started_ = false;
};

} // namespace zen::console

#pragma once

#include "console/KeyPress.h"
#include "console/NewestKey.h"

#include <QObject>

namespace zen::console {

// The keys the console program itself receives, in whichever of its windows has the focus, for
// platforms where the whole keyboard cannot be read. Auto-repeat is not a new press.
class EventKeyPress final : public QObject, public KeyPress {
    Q_OBJECT
public:
    void start(QWidget& window) override;
    void poll() override { keyCode_ = newest_.poll(); }
    int keyCode() const override { return keyCode_; }
    void stop() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeySet held_;
    NewestKey newest_;
    int keyCode_ = 0;
};

} // namespace zen::console

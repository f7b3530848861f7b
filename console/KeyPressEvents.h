#pragma once

#include "console/KeyReading.h"

#include <QObject>

namespace zen::console {

// The keys the console program itself receives, in whichever of its windows has the focus, for
// platforms where the whole keyboard cannot be read. Auto-repeat is not a new press. The events
// arrive on the window thread and are handed to the key thread as they come.
class EventKeySource final : public QObject, public KeySource {
    Q_OBJECT
public:
    void start(QWidget& window, KeyThread& thread, Report report, Note note) override;
    void stop(KeyThread& thread) override;
    QString reading() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void changed();

    KeySet held_;
    KeyThread* thread_ = nullptr;
    Report report_;
};

} // namespace zen::console

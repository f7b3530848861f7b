#pragma once

#include "deck/audio/AudioEngine.h"
#include "deck/displays/PacedTimer.h"

#include <QObject>
#include <QString>

class QLabel;

namespace zen::deck {

// lblCPU: the engine's processor load, refreshed by tmrCPU every 200 ms once start-up switches it
// on.
class CpuLoadDisplay : public QObject {
    Q_OBJECT
public:
    CpuLoadDisplay(audio::AudioEngine& engine, QLabel& label, QObject* parent = nullptr);

    // Start-up switches tmrCPU on.
    void start();
    // One tick of tmrCPU.
    void refresh();

    const PacedTimer& timer() const { return tmrCPU_; }

    // One decimal with "." whatever the desktop's locale, then " %": "12.3 %".
    static QString format(float percent);

private:
    audio::AudioEngine& engine_;
    QLabel& label_;
    PacedTimer tmrCPU_;
};

} // namespace zen::deck

#pragma once

#include "deck/Deck.h"

#include <QString>

// The BPM read-out after a load: the engine's tempo detection over the start of the file, and the
// two BPM labels it fills. The detection holds the window thread; its progress is drawn into the
// file-name label as it goes.
class BpmReadout {
public:
    explicit BpmReadout(Deck& deck) : d_(deck) {}

    // Opens a decode channel on the file when newChannel is set (a stream, else a module), runs
    // the detection from startSec to endSec and shows the result in lblBPMs and lblOrigBPM.
    void DetectBPM(bool newChannel, float startSec, float endSec, const QString& path);
    // "BPM detection N%" in the file-name label, drawn at once.
    void BPMProgress(zen::audio::Handle channel, float percent);
    // The tempo the labels are computed from, rounded to two decimals.
    float TempoBPM(zen::audio::Handle handle);

private:
    Deck& d_;
};

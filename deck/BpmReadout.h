#pragma once

#include "deck/audio/AudioEngine.h"

#include <QString>

class QLabel;
class SongPanel;

// The BPM read-out after a load: the engine's tempo detection over the start of the file, and the
// two BPM labels it fills. The detection holds the window thread; its progress is drawn into the
// song panel as it goes.
class BpmReadout {
public:
    struct Controls {
        QLabel* Label9 = nullptr; // the caption "BPM" of lblBPMs
        QLabel* lblBPMs = nullptr;
        QLabel* lblOrigBPM = nullptr;
    };

    BpmReadout(zen::audio::AudioEngine& engine, const Controls& controls, SongPanel& songPanel);

    // Opens a decode channel on the file when newChannel is set (a stream, else a module), runs
    // the detection from startSec to endSec and shows the result in lblBPMs and lblOrigBPM.
    void DetectBPM(bool newChannel, float startSec, float endSec, const QString& path);
    // "BPM detection N%" in the song panel, drawn at once.
    void BPMProgress(zen::audio::Handle channel, float percent);
    // The tempo the labels are computed from, rounded to two decimals.
    float TempoBPM(zen::audio::Handle handle);

    // The configuration's BPM option shows or hides lblBPMs and its caption.
    void showReadouts(bool shown);
    // A pitch change of p hundredths of a percent: once a track was loaded, lblBPMs shows the
    // detected tempo scaled by it.
    void followPitch(int p);

    // The decode channel of the last detection, kept until the next load releases it.
    zen::audio::Handle detectionChannel() const { return bpmChannel_; }

private:
    zen::audio::AudioEngine& engine_;
    Controls controls_;
    SongPanel& songPanel_;
    zen::audio::Handle bpmChannel_ = 0;
    // The engine's result of the last detection: kept, not shown (the labels come from TempoBPM).
    float detectedBpm_ = 0;
};

#pragma once

#include "deck/ChannelSource.h"
#include "deck/displays/PacedTimer.h"

#include <QTimer>

class DeckSlider;
struct DeckSnapshot;
class Loop;
class QCheckBox;
class QLabel;
class ZenButton;

// Play/pause, stop to the cue point, the latching cue with its stutter, cue set and cue play,
// repeat at the end of the track, the seek slider and the position display. Positions are those
// of the loaded channel.
class Transport {
public:
    struct Controls {
        ZenButton* cmdPlay = nullptr;
        ZenButton* cmdPause = nullptr; // shown exactly while the deck plays, over cmdPlay
        ZenButton* cmdStop = nullptr;
        ZenButton* cmdCUE = nullptr;
        DeckSlider* trkPosition = nullptr;
        QLabel* lblPosition = nullptr;
        QCheckBox* chkRepeat = nullptr;
    };

    // The position watch also runs the loop's watch.
    Transport(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
              const Controls& controls, Loop& loop);

    void Zen_Pause();
    void Zen_Stop();
    void Zen_CUE();
    void Zen_CueSet();
    void Zen_CuePlay();
    // The user moved trkPosition.
    void seekToSlider();

    // Timer1 (10 ms): position display.
    void positionTick();
    // FXTimer2 (2 ms): loop watch and end of track. The engine wraps a loop at its exact sample
    // itself, so this watch only holds a loop the engine does not wrap (no length, or the position
    // at or past its end) and stops the track at its end. Its 2 ms are a schedule: where nothing
    // can fall due before the next frame, its ticks ride the frame clock with the displays; a
    // close watch wakes every 2 ms only while a loop needs the watch, for the last second of a
    // playing track, and after a seek or a loop change until it finds nothing to do.
    void loopTick();
    // tmrCue (75 ms, while the cue is held): back to the cue point.
    void cueTick();

    // Runs or stops the position timers. The loop watch ticks only while a track is loaded: with
    // no channel it has nothing to watch.
    void setTimersRunning(bool running);
    // The shutdown: every timer of the transport stops, tmrCue included.
    void stopTimers();
    // The load opened a new channel (or none) of `length` bytes: the slider spans it, and the
    // deck waits stopped at its start, so that the next play/pause starts it.
    void trackLoaded(zen::audio::BytePosition length);

    // While the cue is latched the touch buttons nudge the cue point; the channel follows it.
    void nudgeCue(int bytes);
    // The stop command's red dot on cmdStop, until the activity light goes off.
    void flashStop();
    // The activity light went off: the dots of the transport buttons go back to idle, but a
    // latched cue keeps its light.
    void dimLights();

    // The deck's record: whether it plays, where, its cue point and repeat.
    void save(DeckSnapshot& snapshot) const;
    // A relaunched deck: the cue point and repeat of the record, and the position where the track
    // is `elapsedSeconds` after the record was taken, at `speed` (1 = the track's own rate), the
    // loop and the end of the track as the watch would have taken them; playing if it played.
    void resume(const DeckSnapshot& snapshot, double elapsedSeconds, double speed);

    bool stopped() const { return stopped_; }
    zen::audio::BytePosition cuePoint() const { return cuePoint_; }
    bool cueHeld() const { return cueHeld_; }
    const zen::deck::PacedTimer& FXTimer2() const { return fxTimer2_; }
    bool watchingClosely() const { return closeWatch_.isActive(); }
    const QTimer& tmrCue() const { return tmrCue_; }

private:
    zen::audio::BytePosition position() const;
    void seek(zen::audio::BytePosition bytes);
    // True while the pause button shows, that is while the deck plays.
    bool pauseShown() const;
    void setPlaying(bool playing);
    // FXTimer2 runs while the timers do and a track is loaded.
    void watchTrack();
    // The watch's rule, once: the loop, then the end of the track.
    void watchOnce();
    void endOfTrack();
    // Wakes the close watch; its next tick decides whether it goes on.
    void watchClosely();
    bool watchMustBeClose(zen::audio::BytePosition p) const;

    zen::audio::AudioEngine& engine_;
    zen::deck::ChannelSource channel_;
    Controls controls_;
    Loop& loop_;
    zen::deck::PacedTimer timer1_;
    zen::deck::PacedTimer fxTimer2_;
    QTimer closeWatch_;
    QTimer tmrCue_;
    bool timersRunning_ = false;
    bool stopped_ = true;
    zen::audio::BytePosition cuePoint_ = 0;
    bool cueHeld_ = false;
};

#pragma once

#include "deck/Deck.h"

#include <QString>
#include <QTimer>
#include <cstdint>

// Play/pause, stop to the cue point, the latching cue with its stutter, cue set and cue play,
// the loop, repeat at the end of the track, the seek slider and the position display. Positions
// are byte offsets of the loaded channel.
//
// While the loop is on, the engine plays it itself and jumps back at the exact sample; the loop
// watch keeps its rule on top (at or past the loop end: back to the start), which is what holds
// the position at the start of an empty loop and brings back a seek past the end.
class Transport {
public:
    explicit Transport(Deck& deck);

    void Zen_Pause();
    void Zen_Stop();
    void Zen_CUE();
    void Zen_CueSet();
    void Zen_CuePlay();
    QString Zen_LoopStart();
    QString Zen_LoopEnd();
    QString Zen_FineDw(std::int16_t& Pwr);
    QString Zen_FineUp(std::int16_t& Pwr);
    // cmdLooped: switches the loop off, or seeks to its start and switches it on.
    void toggleLoop();
    // The user moved trkPosition.
    void seekToSlider();

    // Timer1 (10 ms): position display.
    void positionTick();
    // FXTimer2 (2 ms): loop watch and end of track. The engine wraps a loop at its exact sample
    // itself, so this watch only holds a loop whose end lies at or before its start and stops the
    // track at its end; 2 ms serves both with half the wakeups of a 1 ms pace.
    void loopTick();
    // tmrCue (75 ms, while the cue is held): back to the cue point.
    void cueTick();

    // Runs or stops the position timers. The loop watch ticks only while a track is loaded: with
    // no channel it has nothing to watch, and a 1 ms timer would wake an idle deck for nothing.
    void setTimersRunning(bool running);
    // The load opened a new channel (or none).
    void trackChanged();
    QTimer& Timer1() { return timer1_; }
    QTimer& FXTimer2() { return fxTimer2_; }
    QTimer& tmrCue() { return tmrCue_; }

    // True while the pause button shows, that is while the deck plays.
    bool pauseShown() const;
    void showPause(bool shown);

private:
    zen::audio::BytePosition position() const;
    void seek(zen::audio::BytePosition bytes);
    void setLight(ZenButton* button, bool on);
    // Hands the loop to the engine while it is on and has a length, and takes it back otherwise.
    void applyLoop();

    Deck& d_;
    QTimer timer1_;
    QTimer fxTimer2_;
    QTimer tmrCue_;
    bool timersRunning_ = false;
};

#pragma once

#include "deck/ChannelSource.h"

#include <QString>
#include <cstdint>
#include <functional>

struct DeckSnapshot;
class QLabel;
class ZenButton;

// The loop: its start and end points (positions of the loaded channel), the switch cmdLooped, the
// fine steps of its end, and the loop watch. The points and the switch outlive a load.
//
// While the loop is on, the engine plays it itself and jumps back at the exact sample; the loop
// watch keeps its rule on top (at or past the loop end: back to the start), which is what holds
// the position at the start of an empty loop and brings back a seek past the end.
class Loop {
public:
    // What cmdFineDw and cmdFineUp move the loop end by.
    static constexpr std::int16_t kFineStep = 500;

    struct Controls {
        ZenButton* cmdLooped = nullptr;
        QLabel* startTime = nullptr; // lblinfo(6)
        QLabel* endTime = nullptr;   // lblinfo(7)
    };

    Loop(zen::audio::AudioEngine& engine, zen::deck::ChannelSource channel,
         const Controls& controls);

    // The loop points at the position, or moved by `step` bytes; each returns the point's time.
    QString Zen_LoopStart();
    QString Zen_LoopEnd();
    QString Zen_FineDw(std::int16_t step);
    QString Zen_FineUp(std::int16_t step);

    // The buttons: each shows the time its operation returns, cmdStartLoop's in lblinfo(6), the
    // others' in lblinfo(7).
    void startPressed();
    void endPressed();
    void fineDownClicked();
    void fineUpClicked();
    // cmdLooped: switches the loop off, or seeks to its start and switches it on.
    void toggleLoop();

    // The loop watch, on every tick of the position watch: at or past the loop end, back to the
    // start.
    void watch(zen::audio::BytePosition position);
    // True where only the watch can act: the loop is on but the engine does not wrap it, because
    // it has no length or the position lies at or past its end.
    bool needsWatch(zen::audio::BytePosition position) const;
    // The load opened a new channel (or none): a loop that is on is handed to it.
    void trackChanged();
    // Called after every seek of the loop and every change of what the engine loops.
    void onChange(std::function<void()> changed) { changed_ = std::move(changed); }

    // The deck's record: the points and the switch; a relaunched deck takes them back.
    void save(DeckSnapshot& snapshot) const;
    void restore(const DeckSnapshot& snapshot);

    zen::audio::BytePosition loopStart() const { return loopStart_; }
    zen::audio::BytePosition loopEnd() const { return loopEnd_; }
    bool loopOn() const { return loopOn_; }

private:
    zen::audio::BytePosition position() const;
    void seek(zen::audio::BytePosition bytes);
    QString timeOf(zen::audio::BytePosition bytes) const;
    // Hands the loop to the engine while it is on and has a length, and takes it back otherwise.
    void applyLoop();
    // The end moved: the engine plays to the new end at once while the loop is on.
    QString endMoved();

    zen::audio::AudioEngine& engine_;
    zen::deck::ChannelSource channel_;
    Controls controls_;
    zen::audio::BytePosition loopStart_ = 0;
    zen::audio::BytePosition loopEnd_ = 0;
    bool loopOn_ = false;
    std::function<void()> changed_;
};

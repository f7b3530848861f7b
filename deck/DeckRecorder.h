#pragma once

#include "common/DeckRecord.h"
#include "deck/DeckSnapshot.h"
#include "deck/RecordWriter.h"

#include <QTimer>
#include <memory>
#include <optional>

class DeckHost;
struct DeckUi;
class Equalizer;
class Loop;
class Pitch;
class TrackLoader;
class Transport;

// The deck's record in the runtime folder (see common/DeckRecord.h): written when what the deck
// does changes, at most once a second while it plays, off the window thread, and removed when the
// deck ends on its own way out. A deck the console relaunched after one died resumes from the
// dead one's record: the same track, cue and loop points, pitch, equalizer, faders and view, and,
// if it was playing, playing from where the track would be now. A deck started afresh (by START
// or by hand) starts as it always did.
class DeckRecorder {
public:
    // How often the deck looks whether its record is still what it does.
    static constexpr int kLookMs = 250;
    // While playing, the position changes all the time: the record follows it this often.
    static constexpr int kPlayingWriteMs = 1000;

    struct Parts {
        Transport& transport;
        Loop& loop;
        Pitch& pitch;
        Equalizer& equalizer;
        TrackLoader& loader;
        // For the spectrum's view, which the window puts in after the concerns are made.
        const DeckUi& ui;
    };

    DeckRecorder(DeckHost& host, const Parts& parts);

    // At start-up, once the deck number is known: takes the record to resume from, if the deck
    // was relaunched, and puts this deck's own record in its place.
    void begin(const QString& deckArgument);
    // At the end of start-up: resumes what the record held, if any, then keeps the record.
    void resume();
    // The deck ends on its own way out: the record goes, so that nobody takes the end for a crash.
    void end();

    // What the deck does now.
    DeckSnapshot snapshot() const;
    // Writes what the deck does now, and waits until the record holds it.
    void writeNow();

private:
    void look();
    void write(const DeckSnapshot& snapshot);

    DeckHost& host_;
    Parts parts_;
    zen::runtime::ProcessIdentity identity_;
    std::unique_ptr<RecordWriter> writer_;
    std::optional<DeckSnapshot> resumeFrom_;
    std::optional<DeckSnapshot> written_;
    qint64 writtenAtMs_ = 0;
    QTimer look_;
};

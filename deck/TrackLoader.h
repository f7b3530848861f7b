#pragma once

#include "deck/Deck.h"

#include <QString>

class Equalizer;
class BpmReadout;
class Transport;

// Loading a track from the file list: the previous track is released, a channel with the
// equalizer chain is opened and the song panel, length, rate and tempo are shown. The deck is
// left stopped at the start. A step that fails is skipped without a word; a file that opens as
// nothing leaves the deck with no channel.
class TrackLoader {
public:
    TrackLoader(Deck& deck, Equalizer& equalizer, BpmReadout& bpmReadout, Transport& transport)
        : d_(deck), equalizer_(equalizer), bpmReadout_(bpmReadout), transport_(transport) {}

    void load(const QString& folder, const QString& fileName);

    // The name shown for a loaded file: without its extension (from the last dot).
    static QString displayName(const QString& fileName);

private:
    void releaseTrack();
    void openChannel(const std::string& path);
    void attachEqualizer();
    void showLengthAndRate();

    Deck& d_;
    Equalizer& equalizer_;
    BpmReadout& bpmReadout_;
    Transport& transport_;
};

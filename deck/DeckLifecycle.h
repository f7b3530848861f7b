#pragma once

#include "deck/Deck.h"

#include <QString>

class Equalizer;
class RemoteControl;
class Transport;

// The deck's start-up and its single way out.
class DeckLifecycle {
public:
    // Window placement in pixels: deck 2 opens right of deck 1; any other deck keeps this left.
    static constexpr int kDeck2Left = 579;
    static constexpr int kDesignLeft = 40;

    DeckLifecycle(Deck& deck, Equalizer& equalizer, Transport& transport, RemoteControl& remote)
        : d_(deck), equalizer_(equalizer), transport_(transport), remote_(remote) {}

    // The start-up steps in order, before the window is first shown. False when the deck ended
    // on the way (in the program the process is gone by then).
    bool startUp(const QString& deckArgument);

    // Applies the fixed deck palette.
    void DoColors();
    // Fills cmbDevices with "n - description", numbered from 0.
    void ListDevices();
    // Selects in cmbDevices the device the deck plays on. The list is for information only, so
    // this also puts back any other choice made in it.
    void showDevice();
    // Opens the output on the configured device. False, after the message, when the deck must end.
    bool StartAudio();
    // The shutdown: stops and releases the output and the track, then ends the process. Harmless
    // on whatever was never opened.
    void salir();

    // The audio library's version as "major.minor".
    QString BassVersion() const;

private:
    void fatal(const QString& text, const QString& title);

    Deck& d_;
    Equalizer& equalizer_;
    Transport& transport_;
    RemoteControl& remote_;
};

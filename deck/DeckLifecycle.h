#pragma once

#include "common/DeckPlaces.h"
#include "deck/DeckConfig.h"

#include <QString>

class BpmReadout;
class DeckHost;
class DeckRecorder;
class Equalizer;
class RemoteControl;
class Touch;
class TrackLoader;
class Transport;
struct DeckUi;

namespace zen::audio {
class AudioEngine;
}

// The deck's start-up and its single way out.
class DeckLifecycle {
public:
    // Window placement in pixels: deck 2 opens right of deck 1; any other deck keeps this left.
    static constexpr int kDeck2Left = ::kDeck2Left;
    static constexpr int kDesignLeft = 40;

    struct Parts {
        zen::audio::AudioEngine& engine;
        DeckHost& host;
        // The window's own controls and the palette of them all.
        const DeckUi& ui;
        Transport& transport;
        Equalizer& equalizer;
        Touch& touch;
        TrackLoader& loader;
        BpmReadout& bpmReadout;
        RemoteControl& remote;
        DeckRecorder& recorder;
    };

    explicit DeckLifecycle(const Parts& parts) : p_(parts) {}

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
    // The shutdown: stops and releases the output and the track, removes the deck's record, then
    // ends the process. Harmless on whatever was never opened.
    void salir();

    // The audio library's version as "major.minor".
    QString BassVersion() const;

    // The command-line argument, unchanged, and its leading number.
    const QString& deckText() const { return deckText_; }
    double deckNumber() const { return deckNumber_; }
    // What the configuration copy gave the deck.
    const DeckConfig& config() const { return config_; }

private:
    void place();
    void applyConfig();
    void fatal(const QString& text, const QString& title);

    Parts p_;
    QString deckText_;
    double deckNumber_ = 0;
    DeckConfig config_;
};

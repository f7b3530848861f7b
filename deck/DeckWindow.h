#pragma once

#include "deck/BpmReadout.h"
#include "deck/Deck.h"
#include "deck/DeckLifecycle.h"
#include "deck/Equalizer.h"
#include "deck/Pitch.h"
#include "deck/RemoteControl.h"
#include "deck/Touch.h"
#include "deck/TrackLoader.h"
#include "deck/Transport.h"

#include <QWidget>

// frmMain of the deck program: builds the controls and wires them to the deck's operations,
// which live in the files of their concerns.
class DeckWindow : public QWidget {
    Q_OBJECT
public:
    DeckWindow(zen::audio::AudioEngine& engine, DeckHost& host, QWidget* parent = nullptr);

    // The start-up steps; false when the deck ended on the way.
    bool startUp(const QString& deckArgument);

    // The public deck operations the console's commands also reach.
    void Zen_Pause() { transport_.Zen_Pause(); }
    void Zen_Stop() { transport_.Zen_Stop(); }
    void Zen_CUE() { transport_.Zen_CUE(); }
    void Zen_TouchB2() { touch_.Zen_TouchB2(); }
    void Zen_TouchF2() { touch_.Zen_TouchF2(); }
    void Zen_TouchUp() { touch_.Zen_TouchUp(); }
    void salir() { lifecycle_.salir(); }

    Deck& deck() { return deck_; }
    DeckUi& ui() { return deck_.ui; }
    DeckState& state() { return deck_.state; }
    Transport& transport() { return transport_; }
    Pitch& pitch() { return pitch_; }
    Touch& touch() { return touch_; }
    Equalizer& equalizer() { return equalizer_; }
    TrackLoader& loader() { return loader_; }
    BpmReadout& bpmReadout() { return bpmReadout_; }
    DeckLifecycle& lifecycle() { return lifecycle_; }
    RemoteControl& remote() { return remote_; }

    // The file list's double-click: loads the named file of the current folder.
    void loadFile(const QString& fileName);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wireTransport();
    void wirePitchAndFaders();
    void wireBrowser();
    void wireRemote();

    Deck deck_;
    Transport transport_;
    Pitch pitch_;
    Touch touch_;
    Equalizer equalizer_;
    BpmReadout bpmReadout_;
    TrackLoader loader_;
    RemoteControl remote_;
    DeckLifecycle lifecycle_;
};

#pragma once

#include "deck/BpmReadout.h"
#include "deck/DeckLifecycle.h"
#include "deck/DeckRecorder.h"
#include "deck/DeckUi.h"
#include "deck/Equalizer.h"
#include "deck/Loop.h"
#include "deck/OutputWatch.h"
#include "deck/Pitch.h"
#include "deck/RemoteControl.h"
#include "deck/Touch.h"
#include "deck/TrackLoader.h"
#include "deck/Transport.h"

#include <QWidget>

// frmMain of the deck program: builds the controls, hands each concern the ones it owns and wires
// them to the deck's operations, which live in the files of their concerns.
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

    DeckUi& ui() { return ui_; }
    Transport& transport() { return transport_; }
    Loop& loop() { return loop_; }
    Pitch& pitch() { return pitch_; }
    Touch& touch() { return touch_; }
    Equalizer& equalizer() { return equalizer_; }
    TrackLoader& loader() { return loader_; }
    BpmReadout& bpmReadout() { return bpmReadout_; }
    DeckLifecycle& lifecycle() { return lifecycle_; }
    DeckRecorder& recorder() { return recorder_; }
    RemoteControl& remote() { return remote_; }
    OutputWatch& outputWatch() { return outputWatch_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The loaded track's channel, as every concern that plays it asks for it.
    zen::deck::ChannelSource channel();
    void wireTransport();
    void wirePitchAndFaders();
    void wireBrowser();
    void wireRemote();

    DeckUi ui_;
    Loop loop_;
    Transport transport_;
    BpmReadout bpmReadout_;
    Equalizer equalizer_;
    Pitch pitch_;
    Touch touch_;
    TrackLoader loader_;
    RemoteControl remote_;
    DeckRecorder recorder_;
    DeckLifecycle lifecycle_;
    OutputWatch outputWatch_;
};

#pragma once

#include "deck/DeckState.h"

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QWidget;
class DeckHost;
class DeckSlider;
class DriveList;
class FileList;
class FolderList;
class ShapeWidget;
class SongPanel;
class ZenButton;

namespace zen::audio {
class AudioEngine;
}
namespace zen::deck {
class CpuLoadDisplay;
class LevelMeter;
class SpectrumView;
} // namespace zen::deck

// The controls of frmMain that the deck's concerns read and write. The window owns them.
struct DeckUi {
    QWidget* frmMain = nullptr;
    QLabel* lblWindowTitle = nullptr;
    std::array<QLabel*, 14> lblinfo{};
    std::array<QLabel*, 6> tagCaptions{};
    std::vector<ShapeWidget*> shpBack;

    SongPanel* pctSongInfo = nullptr;
    QLabel* lblFileName = nullptr;
    QLabel* lblQuality = nullptr;
    QLabel* lblLength = nullptr;
    QLabel* Label9 = nullptr; // caption of the tempo label
    QLabel* lblBPMs = nullptr;
    QLabel* lblOrigBPM = nullptr;
    QLabel* lblBPM = nullptr;
    QLabel* lblPosition = nullptr;

    zen::deck::SpectrumView* pctSpectrum = nullptr; // with tmrSpectrum
    QLabel* lblVU = nullptr;                        // names the spectrum's view
    zen::deck::LevelMeter* pctVU = nullptr;
    QLabel* lblCPU = nullptr;
    zen::deck::CpuLoadDisplay* cpuLoad = nullptr; // tmrCPU

    ZenButton* cmdPlay = nullptr;
    ZenButton* cmdPause = nullptr;
    ZenButton* cmdStop = nullptr;
    ZenButton* cmdCUE = nullptr;
    ZenButton* cmdBack = nullptr;
    ZenButton* cmdForward = nullptr;
    ZenButton* cmdCuePause = nullptr;
    ZenButton* cmdCueSet = nullptr;
    ZenButton* cmdStartLoop = nullptr;
    ZenButton* cmdEndLoop = nullptr;
    ZenButton* cmdLooped = nullptr;
    ZenButton* cmdFineDw = nullptr;
    ZenButton* cmdFineUp = nullptr;
    ZenButton* cmdPitchDw = nullptr;
    ZenButton* cmdPitchUp = nullptr;
    QCheckBox* chkRepeat = nullptr;
    QRadioButton* optActivity = nullptr; // the remote control's activity light

    DeckSlider* trkPosition = nullptr;
    DeckSlider* vscPitch = nullptr;
    std::array<DeckSlider*, 3> vscEQ{};
    std::array<DeckSlider*, 3> hscEQ{};
    std::array<QLabel*, 3> lblEQR{};

    DriveList* drvFile = nullptr;
    FolderList* dirFile = nullptr;
    FileList* filFile = nullptr;
    QCheckBox* chkMono = nullptr;
    QComboBox* cmbDevices = nullptr;
};

// What every concern of the deck works on: the engine, the surroundings, the deck's fields and
// its controls.
struct Deck {
    zen::audio::AudioEngine& engine;
    DeckHost& host;
    DeckState state;
    DeckUi ui;
};

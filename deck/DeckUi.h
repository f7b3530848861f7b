#pragma once

#include "common/DeckPlaces.h"

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QWidget;
class DeckSlider;
class DriveList;
class FileList;
class FolderList;
class ShapeWidget;
class SongPanel;
class ZenButton;

namespace zen::deck {
class CpuLoadDisplay;
class LevelMeter;
class SpectrumView;
} // namespace zen::deck

// The controls of frmMain. The window owns them and hands each concern of the deck the ones it
// owns.
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
    QLabel* lblStatus = nullptr; // over cmbDevices while the sound output is lost
};

// Creates the controls of frmMain at their design places and sizes (pixels), with their captions,
// ranges and start values. A compact deck, 579 pixels wide. Places are kept free for the spectrum
// view, the level meter and the processor load, which the displays put there.
DeckUi createDeckControls(QWidget* frmMain);

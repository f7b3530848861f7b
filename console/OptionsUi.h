#pragma once

#include <array>
#include <vector>

class DriveList;
class FolderList;
class MappingBox;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QScrollBar;
class QWidget;
class ShapeWidget;
class ZenButton;

// The controls of frmOptions. The panel owns them.
struct OptionsUi {
    QCheckBox* chkBPM = nullptr;
    QCheckBox* chkScroll = nullptr;
    QCheckBox* chkControl = nullptr;
    QCheckBox* chkTracking = nullptr;
    QComboBox* cmbExternal = nullptr;
    QLineEdit* txtJoyID1 = nullptr;
    QLineEdit* txtJoyID2 = nullptr;
    QScrollBar* vscID1 = nullptr;
    QScrollBar* vscID2 = nullptr;
    DriveList* drvFile = nullptr;
    FolderList* dirFile = nullptr;
    QComboBox* cmbDevices1 = nullptr;
    QComboBox* cmbInternal1 = nullptr;
    QComboBox* cmbDevices2 = nullptr;
    QComboBox* cmbInternal2 = nullptr;
    std::array<MappingBox*, 26> txtMapping{};
    QCheckBox* chkMapping = nullptr;
    ZenButton* Command1 = nullptr;
    ZenButton* Command2 = nullptr;
    std::vector<ShapeWidget*> shpBack;
};

// Creates the panel's controls at their places (pixels) with their captions and start values.
void createOptionsControls(QWidget* frmOptions, OptionsUi& ui);

inline constexpr int kOptionsWidth = 640;
inline constexpr int kOptionsHeight = 556;

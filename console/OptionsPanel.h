#pragma once

#include "common/ConfigRecord.h"
#include "console/OptionsUi.h"

#include <QStringList>
#include <QWidget>
#include <map>

// frmOptions, "ZentariMix OPTIONS": the console's live settings. Loaded hidden at start-up and
// shown modeless by the Config button; hiding keeps every control's state. Its controls are read
// through these operations: the device lists and the record's fields (with the rules by which
// each control's state becomes a field and back), the external input the ports open, and the
// mapping boxes that capture writes.
class OptionsPanel : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPanel(QWidget* parent = nullptr);

    // Fills the device lists with their item texts.
    void fillDeviceLists(const QStringList& soundItems, const QStringList& externalItems,
                         const QStringList& internalItems);

    // Sets the controls from the record's fields. A value the lists cannot show (a device or
    // port that is not there, a folder that does not exist) leaves its control as it was, and
    // the save writes the stored text back unless the user picks another item or folder.
    void load(const zen::config::ConfigRecord& record);
    // The fields the save writes.
    zen::config::ConfigRecord settings() const;

    // The external input's device number, -1 for "<none>".
    qint16 externalDevice() const;
    bool captureTicked() const;
    // The mapping box that carries the focus marker, -1 when none does.
    int markedEntry() const;
    MappingBox* txtMapping(int index) const { return ui_.txtMapping[index]; }

    // The console palette on the panel.
    void DoColors();

    OptionsUi& ui() { return ui_; }

signals:
    void captureClicked(bool checked);
    void saveRequested();
    // Shown or hidden, as isVisible() tells.
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void wire();
    void driveChanged(const QString& root);
    void openMusicFolder(const QString& folder);
    // The stored text of a field whose value the list could not show, until the user picks.
    QString keptOr(const QComboBox* list, const QString& field) const;
    void keep(QComboBox* list, const QString& field);

    OptionsUi ui_;
    std::map<const QComboBox*, QString> kept_;
    QString storedFolder_;
    bool folderChosen_ = false;
};

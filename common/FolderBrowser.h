#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>

// The drive list (mounted volumes) and the folder list (the path from the root down to the
// current folder, then its subfolders) of the deck's browser and the console's music folder
// setting. Each list only changes its own path; the window joins them.

namespace browser {

// The absolute, cleaned form of a path.
QString cleanPath(const QString& path);
// An existing folder that may be listed and entered.
bool readableFolder(const QString& path);

} // namespace browser

class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // Re-reads the mounted volumes, keeping the selection when it is still there.
    void refresh();
    QString drive() const;
    // Selects the volume that holds `path` (the deepest mount point above it). False, and the
    // selection unchanged, when none does.
    bool setDriveOf(const QString& path);

    // A stick plugged in during a set shows up the next time the list opens.
    void showPopup() override;

signals:
    // The user or the program picked another volume; carries its root path.
    void driveChanged(const QString& root);
};

class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // False, and the list unchanged, when the folder does not exist or cannot be read.
    bool setPath(const QString& path);

signals:
    void pathChanged(const QString& path);

private:
    QString path_;
};

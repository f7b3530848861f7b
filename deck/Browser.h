#pragma once

#include <QComboBox>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QStringList>

// The deck's file browser: the drive list (mounted volumes), the folder list (the path from the
// root down to the current folder, then its subfolders) and the file list (the audio files of
// the current folder). Each list only changes its own path; the window joins them.

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

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Lists the audio files of the folder; false, and the list unchanged, when it cannot be read.
    bool setPath(const QString& path);
    // The file name of the current entry, empty when there is none.
    QString fileName() const;

    // Lower-case extensions the list shows: the stream formats and the tracker modules the
    // engine reads.
    static const QStringList& audioExtensions();
    static bool isAudioFile(const QString& fileName);

signals:
    // A double-click with the left button on an entry: the only way a file is loaded. Return,
    // Enter and a desktop's single-click activation load nothing, so a key pressed while the deck
    // has the focus never throws away the playing track.
    void fileDoubleClicked(const QString& fileName);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Re-reads the folder, keeping the current entry when it is still there.
    bool list(const QString& folder);

    QString path_;
    // Files copied into the folder during a set appear without leaving it.
    QFileSystemWatcher watcher_;
};

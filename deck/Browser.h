#pragma once

#include "common/FolderBrowser.h"

#include <QFileSystemWatcher>
#include <QListWidget>
#include <QStringList>

// The deck's file browser: the drive list and the folder list shared with the console, and the
// file list (the audio files of the current folder). Each list only changes its own path; the
// window joins them.

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Lists the audio files of the folder; false, and the list unchanged, when it cannot be read.
    bool setPath(const QString& path);
    // The file name of the current entry, empty when there is none.
    QString fileName() const;

    // Lower-case extensions the list shows: those of the files the engine reads.
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

#include "deck/Browser.h"

#include "deck/audio/AudioEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>

namespace {

using browser::cleanPath;
using browser::readableFolder;

} // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        if (folder == path_) list(folder);
    });
    setToolTip(QStringLiteral("Double click to load an audio file"));
}

void FileList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    const QListWidgetItem* item = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && item) emit fileDoubleClicked(item->text());
}

const QStringList& FileList::audioExtensions() {
    static const QStringList extensions = [] {
        QStringList list;
        for (const std::string& ext : zen::audio::fileExtensions())
            list.append(QString::fromStdString(ext));
        return list;
    }();
    return extensions;
}

bool FileList::isAudioFile(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot >= 0 && audioExtensions().contains(fileName.mid(dot + 1).toLower());
}

bool FileList::setPath(const QString& path) {
    if (!list(path)) return false;
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    watcher_.addPath(path_);
    return true;
}

bool FileList::list(const QString& folder) {
    if (!readableFolder(folder)) return false;
    const QString target = cleanPath(folder);
    const QFileInfoList files =
        QDir(target).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QString current = target == path_ ? fileName() : QString();
    clear();
    for (const QFileInfo& file : files) {
        // Regular files only, also through links: a link to a device or a pipe is no track.
        if (file.isFile() && isAudioFile(file.fileName())) addItem(file.fileName());
    }
    const QList<QListWidgetItem*> kept = findItems(current, Qt::MatchExactly);
    if (!current.isEmpty() && !kept.isEmpty()) setCurrentItem(kept.first());
    path_ = target;
    return true;
}

QString FileList::fileName() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}

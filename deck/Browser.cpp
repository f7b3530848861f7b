#include "deck/Browser.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStorageInfo>
#include <libopenmpt/libopenmpt.hpp>

namespace {

constexpr int kPathRole = Qt::UserRole;

QString cleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool readableFolder(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

} // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) emit driveChanged(itemData(index).toString());
    });
}

void DriveList::refresh() {
    const QString current = drive();
    QSignalBlocker block(this);
    clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (findData(root) < 0) addItem(root, root);
    }
    const int keep = findData(current);
    setCurrentIndex(keep >= 0 ? keep : (count() > 0 ? 0 : -1));
}

void DriveList::showPopup() {
    refresh();
    QComboBox::showPopup();
}

QString DriveList::drive() const {
    return currentIndex() >= 0 ? currentData().toString() : QString();
}

bool DriveList::setDriveOf(const QString& path) {
    if (path.isEmpty()) return false;
    const QString target = cleanPath(path);
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool holds = root == QLatin1String("/") || target == root ||
                           target.startsWith(root.endsWith('/') ? root : root + '/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best < 0) return false;
    setCurrentIndex(best);
    return true;
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
}

bool FolderList::setPath(const QString& path) {
    if (!readableFolder(path)) return false;
    const QString target = cleanPath(path);
    QDir dir(target);
    QStringList subfolders;
    // Folders only, also through links (a linked music folder stays); a link to a device is none.
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        if (entry.isDir()) subfolders << entry.fileName();

    QStringList chain;
    for (QDir up(target);;) {
        chain.prepend(up.absolutePath());
        if (!up.cdUp()) break;
    }

    clear();
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = folder == QLatin1String("/") ? folder : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);
    for (const QString& sub : subfolders) {
        auto* item = new QListWidgetItem(QString(depth * 2, ' ') + sub, this);
        item->setData(kPathRole, dir.filePath(sub));
    }
    const bool changed = target != path_;
    path_ = target;
    if (changed) emit pathChanged(path_);
    return true;
}

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
        QStringList list{"wav", "mp3", "mp2", "mp1", "ogg", "flac", "aiff", "aif"};
        for (const std::string& ext : openmpt::get_supported_extensions()) {
            const QString e = QString::fromStdString(ext).toLower();
            if (!list.contains(e)) list.append(e);
        }
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

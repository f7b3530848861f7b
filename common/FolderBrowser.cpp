#include "common/FolderBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace browser {

QString cleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool readableFolder(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

} // namespace browser

namespace {

constexpr int kPathRole = Qt::UserRole;

using browser::cleanPath;
using browser::readableFolder;

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

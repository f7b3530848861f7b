#include "deck/SongPanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

SongPanel::SongPanel(QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), scroller_(*label_) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    // File names, dropped names and paths are shown as they are, never read as markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setText(QStringLiteral("None"));
    label_->move(kTextLeft, 0);
    label_->adjustSize();
}

void SongPanel::showProgress(const QString& text) {
    label_->setText(text);
    label_->setGeometry(kTextLeft, 0, 369, height());
    label_->repaint();
}

void SongPanel::showName(const QString& name) {
    label_->setText(name);
    label_->resize(label_->width(), height());
    scroller_.placeName();
}

void SongPanel::dragEnterEvent(QDragEnterEvent* event) {
    showDragged(event->mimeData());
    event->acceptProposedAction();
}

void SongPanel::dragMoveEvent(QDragMoveEvent* event) {
    showDragged(event->mimeData());
    event->acceptProposedAction();
}

void SongPanel::dropEvent(QDropEvent* event) {
    showDragged(event->mimeData());
    event->acceptProposedAction();
}

void SongPanel::showDragged(const QMimeData* data) {
    QString name;
    if (data->hasUrls() && !data->urls().isEmpty()) {
        const QUrl url = data->urls().first();
        name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.fileName();
    } else if (data->hasText()) {
        name = data->text();
    }
    if (name.isEmpty()) return;
    label_->setText(name);
    label_->resize(label_->sizeHint().width(), height());
}

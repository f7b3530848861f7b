#include "deck/SongPanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

SongPanel::SongPanel(QWidget* parent) : QWidget(parent), label_(new QLabel(this)) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    label_->setText(QStringLiteral("None"));
    label_->move(kTextLeft, 0);
    label_->adjustSize();
    tmrScroll_.setInterval(150);
    tmrScroll_.callOnTimeout(this, &SongPanel::scrollTick);
}

void SongPanel::showProgress(const QString& text) {
    label_->setText(text);
    label_->setGeometry(kTextLeft, 0, 369, height());
    label_->repaint();
}

void SongPanel::showName(const QString& name) {
    label_->setText(name);
    label_->resize(label_->sizeHint().width(), height());
    if (label_->width() > kWidth) {
        label_->move(kScrollStart, 0);
        tmrScroll_.start();
    } else {
        label_->move(kTextLeft, 0);
    }
}

void SongPanel::scrollTick() {
    label_->move(label_->x() - kScrollStep, 0);
    if (label_->x() < -label_->width()) label_->move(kScrollReenter, 0);
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

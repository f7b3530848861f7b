#include "console/MappingBox.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace {

const QString kNone = QStringLiteral("none");

} // namespace

MappingBox::MappingBox(int index, QWidget* parent) : QLineEdit(kNone, parent), index_(index) {
    setReadOnly(index_ >= kFirstKeyBox);
    setAlignment(Qt::AlignCenter);
}

void MappingBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    marked_ = true;
    if (text() == kNone) clear();
}

void MappingBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Another window taking the focus leaves the box focused within the panel: it keeps its
    // marker, as capture from the keyboard needs while a deck window is active.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    marked_ = false;
    if (text().isEmpty()) setText(kNone);
}

QString MappingBox::committedText() const {
    return marked_ && text().isEmpty() ? kNone : text();
}

void MappingBox::contextMenuEvent(QContextMenuEvent* event) {
    // In a key box the Menu key is a key to capture, not a call for the box's menu, which would
    // take the clicks and keys after it. The mouse still opens it.
    if (index_ >= kFirstKeyBox && event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        return;
    }
    QLineEdit::contextMenuEvent(event);
}

void MappingBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool character = typed.size() == 1 && typed.at(0).isPrint();
    if (character && index_ >= kFirstCodeBox && index_ < kFirstKeyBox) {
        setText(QString::number(typed.at(0).unicode()));
        return;
    }
    QLineEdit::keyPressEvent(event);
}

#include "console/MonitorText.h"

#include <QPlainTextEdit>
#include <QTextCursor>

MonitorText::MonitorText(QPlainTextEdit& txtMonitor) : txtMonitor_(txtMonitor) {
    // Nobody undoes an echo; a history of every edit would grow for as long as the console runs.
    txtMonitor_.setUndoRedoEnabled(false);
    hold_.setSingleShot(true);
    hold_.setInterval(kHoldMs);
    connect(&hold_, &QTimer::timeout, this, &MonitorText::flush);
}

void MonitorText::append(const QString& text) {
    held_.append(text);
    if (!hold_.isActive()) flush();
}

QString MonitorText::text() {
    flush();
    return txtMonitor_.toPlainText();
}

void MonitorText::flush() {
    if (held_.isEmpty()) return;
    // The separator's blank ends the line before, its carriage return and line feed are the
    // view's line break. Only the end of the document is touched, never its whole text.
    QTextCursor end(txtMonitor_.document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    for (const QString& line : std::as_const(held_)) {
        end.insertText(QStringLiteral(" "));
        end.insertBlock();
        end.insertText(line);
    }
    end.endEditBlock();
    held_.clear();
    // The newest line comes into view, also when the DJ had scrolled back.
    txtMonitor_.moveCursor(QTextCursor::End);
    hold_.start();
}

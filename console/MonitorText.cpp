#include "console/MonitorText.h"

#include <QPlainTextEdit>
#include <QTextCursor>

MonitorText::MonitorText(QPlainTextEdit& txtMonitor) : txtMonitor_(txtMonitor) {
    // Nobody undoes an echo; a history of every edit would grow for as long as the console runs.
    txtMonitor_.setUndoRedoEnabled(false);
}

void MonitorText::append(const QString& text) {
    // The separator's blank ends the line before, its carriage return and line feed are the
    // view's line break. Only the end of the document is touched, never its whole text.
    QTextCursor end(txtMonitor_.document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    end.insertText(QStringLiteral(" "));
    end.insertBlock();
    end.insertText(text);
    end.endEditBlock();
    // The newest line comes into view, also when the DJ had scrolled back.
    txtMonitor_.moveCursor(QTextCursor::End);
}

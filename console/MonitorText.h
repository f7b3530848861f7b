#pragma once

#include <QString>

class QPlainTextEdit;

// The console's monitor txtMonitor: every echoed event is the separator followed by one line of
// text, and the view always shows the newest line. The view keeps the latest kMonitorLines
// lines; appending costs the same however long the console has run, so a streaming controller
// never holds up the key timer.
class MonitorText {
public:
    explicit MonitorText(QPlainTextEdit& txtMonitor);

    // The separator (a blank, then a line break) and the text.
    void append(const QString& text);

private:
    QPlainTextEdit& txtMonitor_;
};

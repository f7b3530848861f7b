#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QPlainTextEdit;

// The console's monitor txtMonitor: every echoed event is the separator followed by one line of
// text, and the view always shows the newest line. The view keeps the latest kMonitorLines
// lines, and appending costs the same however long the console has run.
//
// A line comes into view at once; lines that follow within kHoldMs join it at the end of that
// time, so a streaming controller repaints the view 25 times a second rather than once a message
// and never holds up the key timer.
class MonitorText : public QObject {
    Q_OBJECT
public:
    static constexpr int kHoldMs = 40;

    explicit MonitorText(QPlainTextEdit& txtMonitor);

    // The separator (a blank, then a line break) and the text.
    void append(const QString& text);
    // The whole text, with the lines still held back.
    QString text();

private:
    void flush();

    QPlainTextEdit& txtMonitor_;
    QStringList held_;
    QTimer hold_;
};

#pragma once

#include <QTimer>

class QLabel;

namespace zen::audio {
class AudioEngine;
}

// The deck's watch on its sound output. When the sound server goes away or the stream breaks,
// the status line over the device list says so within a quarter of a second (when the server
// hangs, within a second of its last call), with no message box over a live set; the deck goes
// on obeying every command, and the output is opened again four times a second until the server
// is back; then the deck plays on, playing if it was playing, from where its track would be by
// then, and the line goes.
class OutputWatch {
public:
    struct Controls {
        QLabel* lblStatus;
    };

    OutputWatch(zen::audio::AudioEngine& engine, const Controls& controls);

    // From the end of the start-up on.
    void start();
    // One look, as the timer takes it.
    void check();

private:
    void show(const QString& problem);

    zen::audio::AudioEngine& engine_;
    Controls c_;
    QTimer timer_;
    int looksLost_ = 0;
};

// A second process for the cable tests: opens and starts MIDI input <device>, prints "ready",
// then one line "status data1 data2" per message, and exits after <count> messages (or after
// ten seconds, so a failing test never leaves it behind).

#include "common/midi/MIDIInput.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: midi_probe <device> <count>\n");
        return 2;
    }
    const auto device = static_cast<qint16>(std::atoi(argv[1]));
    const int count = std::atoi(argv[2]);
    int received = 0;
    zen::MIDIInput input;
    QObject::connect(&input, &zen::MIDIInput::messageReceived, [&] {
        std::printf("%d %d %d\n", input.status(), input.data1(), input.data2());
        std::fflush(stdout);
        if (++received == count) app.exit(0);
    });
    QObject::connect(&input, &zen::MIDIInput::error, [&](qint16 number, const QString& text) {
        std::printf("error %d %s\n", number, qPrintable(text));
        std::fflush(stdout);
        app.exit(3);
    });
    input.action(device, zen::MidiAction::Open);
    input.action(device, zen::MidiAction::Start);
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(10000, &app, [&] { app.exit(4); });
    return app.exec();
}

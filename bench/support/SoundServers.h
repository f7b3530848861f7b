#pragma once

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Sound servers of a test's or a benchmark's own, beside the one of scripts/services: a JACK
// server on its dummy back end at any rate and with any number of outputs, and PipeWire with its
// session manager and PulseAudio server in a runtime folder of its own. Each is stopped by its
// process id when it goes.
namespace zen::e2e {

class JackServer {
public:
    JackServer() = default;
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;
    ~JackServer() { stop(); }

    // Starts "<the run's server name>-<suffix>": JACK keeps only a few servers in its registry
    // and reclaims a dead one's place only for a server of the same name, so the names come from
    // a small fixed set. True once it takes clients.
    bool start(const QString& suffix, int rate, int outputs);
    // Ends it, SIGKILL when `abruptly` (as a crash would), else as its user would.
    void stop(bool abruptly = false);
    bool running() const { return server_.state() != QProcess::NotRunning; }
    QString name() const { return name_; }
    qint64 pid() const { return server_.processId(); }
    // The system's environment with this server as the JACK server.
    QProcessEnvironment environment() const;

private:
    QProcess server_;
    QString base_;
    QString name_;
    QStringList arguments_;
};

class PipeWireServer {
public:
    PipeWireServer() = default;
    PipeWireServer(const PipeWireServer&) = delete;
    PipeWireServer& operator=(const PipeWireServer&) = delete;
    ~PipeWireServer() { stop(); }

    // False, with the reason in `error`, when the machine cannot run it.
    bool start(QString& error);
    void stop();
    // Adds a null sink of `channels` channels (front left and right, then rear left and right).
    bool addSink(const QString& name, const QString& description, int channels);
    // The address a PulseAudio client is given (PULSE_SERVER) to reach it.
    QString pulseServer() const;
    // The names of the applications whose streams it plays, as a patchbay shows them.
    QStringList applications() const;

private:
    QProcessEnvironment environment() const;
    QProcess* startProgram(const QString& program, const QStringList& arguments);

    QTemporaryDir runtime_;
    std::vector<std::unique_ptr<QProcess>> programs_; // in the order they started
};

// What one recording holds: its rate and each channel's samples.
struct Take {
    double rate = 0;
    std::vector<std::vector<float>> channels;
};

// The channels of a sound file; an empty take when it cannot be read.
Take readTake(const QString& file);
// What `jack_lsp -c` shows on the JACK server of `environment`: each port and the ports it is
// connected to.
QMap<QString, QStringList> jackConnections(const QProcessEnvironment& environment);
// Records `seconds` of what the JACK server of `environment` plays into these ports, a channel
// each, through `file`; an empty take when it cannot.
Take recordPorts(const QString& file, double seconds, const QStringList& ports,
                 const QProcessEnvironment& environment);
// Records `seconds` of what the PulseAudio server plays into a sink of `channels` channels.
Take recordSink(const QString& server, const QString& sink, int channels, double seconds);

} // namespace zen::e2e

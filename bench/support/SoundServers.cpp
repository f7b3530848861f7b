#include "SoundServers.h"

#include "Programs.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/prctl.h>

#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <thread>

namespace zen::e2e {

namespace {

// Waits up to 5 s for `ready`, however long each look takes.
template <typename Ready> bool waitFor(Ready&& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QThread::msleep(50);
    }
    return true;
}

// A server of a run that ends without stopping it (a test killed by its time limit) goes with it.
void endWithThisProcess(QProcess& server) {
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

Take split(const float* frames, std::size_t count, int channels, double rate) {
    Take take;
    take.rate = rate;
    take.channels.resize(static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < count; ++i)
        take.channels[i % static_cast<std::size_t>(channels)].push_back(frames[i]);
    return take;
}

} // namespace

bool JackServer::start(const QString& suffix, int rate, int outputs) {
    stop();
    // The run's name as it was at the first start: a set may name this server the default since.
    if (base_.isEmpty()) base_ = qEnvironmentVariable("JACK_DEFAULT_SERVER", "zentari");
    name_ = base_ + "-" + suffix;
    // Benchmarks run the server as a DJ's machine does, at real-time priority, when
    // ZENTARI_JACK_REALTIME is set (scripts/services honours it too); tests leave it off.
    arguments_ = {qEnvironmentVariableIsSet("ZENTARI_JACK_REALTIME") ? "--realtime"
                                                                     : "--no-realtime",
                  "-n",
                  name_,
                  "-d",
                  "dummy",
                  "-r",
                  QString::number(rate),
                  "-p",
                  "256",
                  "-P",
                  QString::number(outputs)};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JACK_NO_AUDIO_RESERVATION", "1");
    server_.setProcessEnvironment(environment);
    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.setStandardErrorFile(QProcess::nullDevice());
    endWithThisProcess(server_);
    server_.start("jackd", arguments_);
    if (!server_.waitForStarted(5000)) return false;
    return waitFor([&] { return running() && run("jack_lsp", {}, this->environment(), 5000); });
}

void JackServer::stop(bool abruptly) {
    if (!running()) return;
    if (abruptly)
        server_.kill();
    else
        server_.terminate();
    if (!server_.waitForFinished(5000)) {
        server_.kill();
        server_.waitForFinished(5000);
    }
}

QProcessEnvironment JackServer::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JACK_DEFAULT_SERVER", name_);
    return environment;
}

QProcessEnvironment PipeWireServer::environment() const {
    const QString folder = runtime_.path();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", folder);
    environment.insert("XDG_CONFIG_HOME", folder + "/config");
    environment.insert("XDG_STATE_HOME", folder + "/state");
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder + "/bus");
    // Nothing of the desktop around it: no display to find a session bus on, no other server.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER", "PIPEWIRE_REMOTE"})
        environment.remove(name);
    return environment;
}

QProcess* PipeWireServer::startProgram(const QString& program, const QStringList& arguments) {
    const QString folder = runtime_.path();
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->setStandardOutputFile(folder + "/" + program + ".log");
    process->setStandardErrorFile(folder + "/" + program + ".log");
    endWithThisProcess(*process);
    process->start(program, arguments);
    if (!process->waitForStarted(5000)) return nullptr;
    return programs_.emplace_back(std::move(process)).get();
}

bool PipeWireServer::start(QString& error) {
    for (const QString program : {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse"})
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            error = program + " is not installed (scripts/setup installs it)";
            return false;
        }
    if (!runtime_.isValid()) {
        error = "no runtime folder";
        return false;
    }
    const QString folder = runtime_.path();
    const auto exists = [&](const QString& name) {
        return [path = folder + "/" + name] { return QFile::exists(path); };
    };
    // wireplumber needs a session bus; pipewire-pulse needs pipewire.
    const bool started = startProgram("dbus-daemon", {"--session", "--nofork",
                                                      "--address=unix:path=" + folder + "/bus"}) &&
                         waitFor(exists("bus")) && startProgram("pipewire", {}) &&
                         waitFor(exists("pipewire-0")) && startProgram("wireplumber", {}) &&
                         startProgram("pipewire-pulse", {}) && waitFor(exists("pulse/native"));
    if (!started) error = "PipeWire did not start; its logs are in " + folder;
    return started;
}

void PipeWireServer::stop() {
    // The last one started goes first.
    for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(5000)) {
            (*it)->kill();
            (*it)->waitForFinished(5000);
        }
    }
    programs_.clear();
}

bool PipeWireServer::addSink(const QString& name, const QString& description, int channels) {
    const QStringList positions = QStringList{"FL", "FR", "RL", "RR"}.mid(0, channels);
    const QString node = QString("{ factory.name=support.null-audio-sink node.name=%1 "
                                 "node.description=\"%2\" media.class=Audio/Sink "
                                 "audio.channels=%3 audio.position=[%4] object.linger=true }")
                             .arg(name, description)
                             .arg(channels)
                             .arg(positions.join(' '));
    if (!run("pw-cli", {"create-node", "adapter", node}, environment())) return false;
    // Ready once its monitor can be recorded.
    return waitFor([&] { return recordSink(pulseServer(), name, channels, 0.01).rate != 0; });
}

QString PipeWireServer::pulseServer() const {
    return "unix:" + runtime_.path() + "/pulse/native";
}

QStringList PipeWireServer::applications() const {
    QProcess cli;
    cli.setProcessEnvironment(environment());
    cli.start("pw-cli", {"ls", "Node"});
    cli.waitForFinished(5000);
    QStringList names;
    for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split('\n')) {
        const QString field = line.trimmed();
        if (field.startsWith("application.name = ")) names << field.section('"', 1, 1);
    }
    return names;
}

QMap<QString, QStringList> jackConnections(const QProcessEnvironment& environment) {
    QProcess lsp;
    lsp.setProcessEnvironment(environment);
    lsp.start("jack_lsp", {"-c"});
    lsp.waitForFinished(5000);
    QMap<QString, QStringList> connections;
    QString port;
    for (const QString& line : QString::fromUtf8(lsp.readAllStandardOutput()).split('\n')) {
        if (line.isEmpty()) continue;
        if (line.startsWith(' '))
            connections[port] << line.trimmed();
        else
            connections[port = line];
    }
    return connections;
}

Take readTake(const QString& file) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.toLocal8Bit().constData(), SFM_READ, &info);
    if (!sf) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(sf, frames.data(), info.frames);
    sf_close(sf);
    return split(frames.data(), frames.size(), info.channels, info.samplerate);
}

Take recordPorts(const QString& file, double seconds, const QStringList& ports,
                 const QProcessEnvironment& environment) {
    QStringList arguments{"--daemon", "-d", QString::number(seconds),     "-f",
                          "wav",      "-c", QString::number(ports.size())};
    for (const QString& port : ports)
        arguments << "-p" << port;
    if (!run("jack_capture", arguments << file, environment,
             static_cast<int>((seconds + 10) * 1000)))
        return {};
    return readTake(file);
}

Take recordSink(const QString& server, const QString& sink, int channels, double seconds) {
    // pa_simple waits without end on a server that takes the connection but never readies the
    // stream (a PipeWire whose session manager died): the recording runs on a thread of its own,
    // left behind if it does not finish in time.
    auto recording = std::make_shared<std::packaged_task<Take()>>([=] {
        // PipeWire runs at 48 kHz unless told otherwise; recording at its rate converts nothing.
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, 48000,
                                    static_cast<std::uint8_t>(channels)};
        pa_channel_map map;
        pa_channel_map_init_auto(&map, static_cast<unsigned>(channels), PA_CHANNEL_MAP_AUX);
        int error = 0;
        pa_simple* stream =
            pa_simple_new(server.toUtf8().constData(), "Zentari test", PA_STREAM_RECORD,
                          (sink + ".monitor").toUtf8().constData(), "what the sink plays", &format,
                          &map, nullptr, &error);
        if (!stream) return Take{};
        std::vector<float> frames(static_cast<std::size_t>(seconds * format.rate) *
                                  static_cast<std::size_t>(channels));
        const bool read =
            pa_simple_read(stream, frames.data(), frames.size() * sizeof(float), &error) == 0;
        pa_simple_free(stream);
        return read ? split(frames.data(), frames.size(), channels, format.rate) : Take{};
    });
    std::future<Take> take = recording->get_future();
    std::thread([recording] { (*recording)(); }).detach();
    const auto limit = std::chrono::milliseconds(static_cast<int>(seconds * 1000) + 10000);
    return take.wait_for(limit) == std::future_status::ready ? take.get() : Take{};
}

} // namespace zen::e2e

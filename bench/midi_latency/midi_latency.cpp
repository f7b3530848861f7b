// Cable latency and burst behaviour between two processes, the way the console drives a deck:
// this process sends on "MIDI Yoke 1"; a child process (this program with --receive) handles
// the messages on its window thread. Prints its figures as name=value lines at the end.

#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kLatencyMessages = 10000;
constexpr int kBurstMessages = 100000;
constexpr int kSequenceMask = 0x3FFF; // 14 bits travel in the two data bytes
constexpr qint16 kData = 176;         // messages carrying a sequence number
constexpr qint16 kMarker = 177;       // data 1 says which phase ended
constexpr qint16 kLatencyDone = 1;
constexpr qint16 kBurstDone = 2;
constexpr qint16 kCable = 0;

qint64 nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The receiving deck: records arrival times, counts the burst and watches how long its window
// thread is kept from a 1 ms timer while the burst is handed out.
int receive(QCoreApplication& app) {
    zen::MIDIInput input;
    std::vector<std::pair<int, qint64>> arrivals;
    arrivals.reserve(kLatencyMessages);
    bool inBurst = false;
    int burstReceived = 0;
    int burstOutOfOrder = 0;
    int expected = 0;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    qint64 quietLongestGap = 0; // the same during the 1 kHz phase, for comparison

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = nowNs();
        if (lastTick) {
            qint64& gap = inBurst ? longestGap : quietLongestGap;
            gap = std::max(gap, now - lastTick);
        }
        lastTick = now;
    });
    ticker.start(1);

    QObject::connect(&input, &zen::MIDIInput::messageReceived, [&] {
        const qint64 now = nowNs();
        if (input.status() == kData) {
            const int seq = input.data1() | (input.data2() << 7);
            if (!inBurst) {
                arrivals.emplace_back(seq, now);
                return;
            }
            if (seq != expected) ++burstOutOfOrder;
            expected = (seq + 1) & kSequenceMask;
            ++burstReceived;
            return;
        }
        if (input.data1() == kLatencyDone) {
            for (const auto& [seq, t] : arrivals)
                std::printf("r %d %lld\n", seq, (long long)t);
            std::printf("latency-done\n");
            std::fflush(stdout);
            inBurst = true;
            lastTick = 0;
        } else if (input.data1() == kBurstDone) {
            std::printf("burst %d %d %lld %lld\n", burstReceived, burstOutOfOrder,
                        (long long)longestGap, (long long)quietLongestGap);
            std::fflush(stdout);
            app.exit(0);
        }
    });
    QObject::connect(&input, &zen::MidiPort::error, [&](qint16 number, const QString& text) {
        std::fprintf(stderr, "receiver: MIDI error %d: %s\n", number, qPrintable(text));
        app.exit(1);
    });
    input.action(kCable, zen::MidiAction::Open);
    input.action(kCable, zen::MidiAction::Start);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

QByteArray readLineFrom(QProcess& child) {
    while (!child.canReadLine())
        if (!child.waitForReadyRead(30000)) return {};
    return child.readLine().trimmed();
}

void sendSequence(zen::MIDIOutput& output, int seq) {
    output.send(kCable, kData, static_cast<qint16>(seq & 0x7F),
                static_cast<qint16>((seq >> 7) & 0x7F));
}

int run(QCoreApplication& app) {
    QTemporaryDir runtime; // a private cable folder: nobody else's cables are disturbed
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QProcess receiver;
    receiver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    receiver.start(app.applicationFilePath(), {"--receive"});
    if (readLineFrom(receiver) != "ready") {
        std::fprintf(stderr, "the receiver did not start\n");
        return 1;
    }
    zen::MIDIOutput output;
    output.action(kCable, zen::MidiAction::Open);
    output.action(kCable, zen::MidiAction::Start);

    // 10 000 messages at 1 kHz.
    std::vector<qint64> sent(kLatencyMessages);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < kLatencyMessages; ++i) {
        next.tv_nsec += 1000000;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        sent[i] = nowNs();
        sendSequence(output, i);
    }
    output.send(kCable, kMarker, kLatencyDone, 0);
    std::vector<qint64> latencies;
    for (QByteArray line = readLineFrom(receiver); line.startsWith("r ");
         line = readLineFrom(receiver)) {
        const QList<QByteArray> f = line.split(' ');
        latencies.push_back(f[2].toLongLong() - sent[f[1].toInt()]);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        if (latencies.empty()) return 0.0;
        return latencies[std::min(latencies.size() - 1, size_t(p * latencies.size()))] / 1000.0;
    };
    const int lost = kLatencyMessages - int(latencies.size());

    // 100 000 messages back to back.
    QElapsedTimer sending;
    sending.start();
    for (int i = 0; i < kBurstMessages; ++i)
        sendSequence(output, i);
    const double sendMs = sending.nsecsElapsed() / 1e6;
    output.send(kCable, kMarker, kBurstDone, 0);
    const QList<QByteArray> burst = readLineFrom(receiver).split(' ');
    const double totalMs = sending.nsecsElapsed() / 1e6;
    receiver.waitForFinished(5000);
    if (burst.size() != 5) {
        std::fprintf(stderr, "the receiver gave no burst report\n");
        return 1;
    }
    const int burstLost = kBurstMessages - burst[1].toInt();

    std::printf("latency: %d messages at 1 kHz, %zu received\n", kLatencyMessages,
                latencies.size());
    std::printf("burst: %d messages queued in %.1f ms by the sender's window thread, all "
                "handled %.1f ms after the first; %d out of order\n",
                kBurstMessages, sendMs, totalMs, burst[2].toInt());
    std::printf("p50_us=%.1f\n", percentile(0.50));
    std::printf("p99_us=%.1f\n", percentile(0.99));
    std::printf("max_us=%.1f\n", latencies.empty() ? 0.0 : latencies.back() / 1000.0);
    std::printf("lost=%d\n", lost);
    std::printf("burst_lost=%d\n", burstLost);
    std::printf("burst_out_of_order=%d\n", burst[2].toInt());
    std::printf("burst_sender_ms=%.1f\n", sendMs);
    std::printf("burst_total_ms=%.1f\n", totalMs);
    std::printf("paced_receiver_max_stall_ms=%.2f\n", burst[4].toLongLong() / 1e6);
    std::printf("burst_receiver_max_stall_ms=%.2f\n", burst[3].toLongLong() / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && QByteArray(argv[1]) == "--receive") return receive(app);
    return run(app);
}

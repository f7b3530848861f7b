#include "MidiTestSupport.h"

#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"

#include <QFile>
#include <QProcess>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CableTest : public CableFixture {
protected:
    // Starts a probe process listening on an input device; returns once its port is open.
    std::unique_ptr<QProcess> startProbe(int device, int count) {
        auto probe = std::make_unique<QProcess>();
        probe->start(MIDI_PROBE, {QString::number(device), QString::number(count)});
        EXPECT_TRUE(probe->waitForReadyRead(5000));
        EXPECT_EQ(probe->readLine().trimmed(), "ready");
        return probe;
    }
    static QStringList probeLines(QProcess& probe) {
        EXPECT_TRUE(probe.waitForFinished(5000));
        return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    static void end(QProcess& probe) {
        probe.kill(); // SIGKILL: the reader cannot remove its own socket
        probe.waitForFinished(5000);
    }
    static int runSender(const QStringList& args, QString* errors = nullptr) {
        QProcess sender;
        sender.start(ZENTARI_PROGRAM_DIR "/zentari-midi-send", args);
        if (!sender.waitForFinished(5000)) return -1;
        if (errors) *errors = QString::fromUtf8(sender.readAllStandardError());
        return sender.exitStatus() == QProcess::NormalExit ? sender.exitCode() : -1;
    }
    // Sends `count` control changes through `output` on `device`; returns the probe's lines.
    static QStringList sendSequence(zen::MIDIOutput& output, qint16 device, int count) {
        QStringList lines;
        for (int i = 0; i < count; ++i) {
            output.send(device, 176, static_cast<qint16>(i % 128), static_cast<qint16>(i / 128));
            lines << QString("176 %1 %2").arg(i % 128).arg(i / 128);
        }
        return lines;
    }
    static mode_t modeOf(const QString& path) {
        struct stat st {};
        return lstat(path.toUtf8().constData(), &st) == 0 ? st.st_mode : 0;
    }
};

TEST_F(CableTest, SendReachesEveryReaderOfTheCableInOrderAndNoOther) {
    constexpr int kMessages = 300;
    auto first = startProbe(2, kMessages);
    auto second = startProbe(2, kMessages);
    auto other = startProbe(3, 1);
    zen::MIDIOutput output;
    output.action(2, zen::MidiAction::Open);
    const QStringList expected = sendSequence(output, 2, kMessages);
    output.action(2, zen::MidiAction::Close);
    EXPECT_EQ(probeLines(*first), expected);
    EXPECT_EQ(probeLines(*second), expected);
    // The reader of cable 4 has seen nothing of it: its first message is this marker.
    ASSERT_EQ(runSender({"MIDI Yoke 4", "99", "1"}), 0);
    EXPECT_EQ(probeLines(*other), QStringList{"176 99 1"});
}

TEST_F(CableTest, SenderToolSendsAControlChangeAndRefusesBadArguments) {
    QString errors;
    EXPECT_EQ(runSender({"MIDI Yoke 8", "16"}, &errors), 1) << "a message nobody received";
    EXPECT_TRUE(errors.contains("nobody listens on MIDI Yoke 8")) << errors.toStdString();
    auto probe = startProbe(0, 2);
    ASSERT_EQ(runSender({"MIDI Yoke 1", "16"}), 0);
    ASSERT_EQ(runSender({"MIDI Yoke 1", "40", "0"}), 0);
    EXPECT_EQ(probeLines(*probe), (QStringList{"176 16 126", "176 40 0"}));

    const QList<QStringList> bad = {{"MIDI Yoke 1"},
                                    {"MIDI Yoke 9", "16"},
                                    {"midi yoke 1", "16"},
                                    {"MIDI Yoke 1", "128"},
                                    {"MIDI Yoke 1", "16x"},
                                    {"MIDI Yoke 1", "16", "200"},
                                    {"MIDI Yoke 1", "16", "1", "2"}};
    for (const QStringList& args : bad) {
        EXPECT_EQ(runSender(args, &errors), 2) << args.join(',').toStdString();
        EXPECT_TRUE(errors.contains("usage: zentari-midi-send")) << errors.toStdString();
    }
}

// A killed reader leaves its socket behind: the next sender removes it, whether it opens the
// cable afresh or already held the reader.
TEST_F(CableTest, SocketOfAKilledReaderIsRemovedBySenders) {
    auto probe = startProbe(1, 1000);
    zen::MIDIOutput output;
    output.action(1, zen::MidiAction::Open);
    output.send(1, 176, 1, 0);
    ASSERT_TRUE(probe->waitForReadyRead(5000));
    EXPECT_EQ(probe->readLine().trimmed(), "176 1 0");
    end(*probe);
    ASSERT_EQ(socketFiles(2).size(), 1);
    output.send(1, 176, 2, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socketFiles(2).isEmpty(); }));

    probe = startProbe(1, 1);
    end(*probe);
    auto fresh = startProbe(1, 1);
    ASSERT_EQ(socketFiles(2).size(), 2);
    EXPECT_EQ(runSender({"MIDI Yoke 2", "17"}), 0);
    EXPECT_EQ(probeLines(*fresh), QStringList{"176 17 126"});
    EXPECT_EQ(socketFiles(2).size(), 0) << "the stale one by the sender, the live one on exit";
}

// A missing folder is made private. A first choice that others may write to, or a link planted
// in its place, is passed over by every program alike: they meet in the private fallback and
// leave the refused one untouched. With neither usable, opening fails, from the event loop, and
// says why.
TEST_F(CableTest, CableFolderIsMadePrivateAndARefusedOneIsPassedOverByEveryProgram) {
    EXPECT_EQ(runSender({"MIDI Yoke 1", "16"}), 1) << "nobody listens";
    EXPECT_EQ(modeOf(cableFolder()), S_IFDIR | 0700u);
    QTemporaryDir target;
    for (const bool link : {false, true}) {
        if (link) {
            ASSERT_EQ(rmdir(cableFolder().toUtf8().constData()), 0);
            ASSERT_TRUE(QFile::link(target.path(), cableFolder()));
        } else {
            ASSERT_EQ(chmod(cableFolder().toUtf8().constData(), 0770), 0);
        }
        auto probe = startProbe(0, 1);
        EXPECT_EQ(socketFiles(1, fallbackFolder()).size(), 1) << link;
        EXPECT_EQ(runSender({"MIDI Yoke 1", "16"}), 0);
        EXPECT_EQ(probeLines(*probe), QStringList{"176 16 126"});
        EXPECT_TRUE(socketFiles(1).isEmpty() && QDir(target.path()).isEmpty()) << link;
    }
    EXPECT_EQ(modeOf(fallbackFolder()), S_IFDIR | 0700u);

    // The link is still there; another user has made the fallback.
    zen::midi::cableFolderOwner = [this](const std::string& folder, uid_t owner) {
        return folder == fallbackFolder().toStdString() ? owner + 1 : owner;
    };
    zen::MIDIInput input;
    zen::MIDIOutput output;
    QString description;
    for (zen::MidiPort* port : std::initializer_list<zen::MidiPort*>{&input, &output})
        QObject::connect(port, &zen::MidiPort::error, [&](qint16 number, const QString& text) {
            errors.push_back(number);
            description = text;
        });
    output.action(0, zen::MidiAction::Open);
    input.action(0, zen::MidiAction::Open);
    EXPECT_TRUE(errors.empty()) << "raised inside the action, not from the event loop";
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() == 2; }));
    output.send(0, 176, 16, 126);
    QTest::qWait(20);
    EXPECT_EQ(errors, std::vector<int>(2, static_cast<int>(zen::MidiError::CableFolder)));
    EXPECT_TRUE(description.contains(cableFolder() + " is not a folder") &&
                description.contains(fallbackFolder() + " belongs to another user"))
        << description.toStdString();
    EXPECT_FALSE(output.isOpen() || input.isOpen());

    // A runtime folder variable naming a missing folder counts as unset.
    qputenv("XDG_RUNTIME_DIR", (cableFolder() + "/missing").toUtf8());
    EXPECT_EQ(zen::midi::firstCableFolder(), "/tmp/zentari-midi-" + std::to_string(geteuid()));
}

// A frozen deck must cost the other reader of the cable nothing, and must get messages again
// once it runs: no sender waits on it for ever.
TEST_F(CableTest, FrozenReaderHoldsUpNeitherTheSenderNorOtherReaders) {
    auto frozen = startProbe(4, 100000);
    auto live = startProbe(4, 200);
    // Stopped, and each of its threads seen stopped: a thread still running may read.
    const QString tasks = QString("/proc/%1/task").arg(frozen->processId());
    ASSERT_EQ(kill(static_cast<pid_t>(frozen->processId()), SIGSTOP), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks + "/" + task + "/stat");
            if (!stat.open(QIODevice::ReadOnly)) return false;
            const QByteArray fields = stat.readAll();
            if (fields.mid(fields.lastIndexOf(')') + 2, 1) != "T") return false;
        }
        return true;
    }));
    zen::MIDIOutput output;
    output.action(4, zen::MidiAction::Open);
    const QStringList expected = sendSequence(output, 4, 200);
    EXPECT_EQ(probeLines(*live), expected);
    // Its socket is full: the one message of the command-line sender is dropped, and said so.
    QString errors;
    EXPECT_EQ(runSender({"MIDI Yoke 5", "99"}, &errors), 1);
    EXPECT_TRUE(errors.contains("did not take the message")) << errors.toStdString();

    ASSERT_EQ(kill(static_cast<pid_t>(frozen->processId()), SIGCONT), 0);
    QStringList thawed;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        output.send(4, 176, 127, 127);
        frozen->waitForReadyRead(20);
        while (frozen->canReadLine())
            thawed << QString::fromUtf8(frozen->readLine().trimmed());
        return thawed.contains("176 127 127");
    }));
    // What it got before the marker is the start of the sequence, in order.
    const qsizetype kept = thawed.indexOf("176 127 127");
    EXPECT_GT(kept, 0);
    EXPECT_EQ(thawed.mid(0, kept), expected.mid(0, kept));
    end(*frozen);
}

} // namespace

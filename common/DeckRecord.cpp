#include "common/DeckRecord.h"

#include "common/ConfigFormat.h"
#include "common/midi/CableFolder.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace zen::runtime {

namespace {

const QString kPid = QStringLiteral("pid");
const QString kStart = QStringLiteral("start");
// Values are stored percent-encoded, so a track whose name holds a quote or a line break reads
// back whole. More fields than any record holds: a damaged file is read no further.
constexpr int kMaxFields = 256;

QByteArray procFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

ProcessIdentity currentProcess() {
    return processOf(::getpid());
}

ProcessIdentity processOf(qint64 pid) {
    if (pid <= 0) return {};
    // The name is in parentheses and may hold anything; the state follows it, the start time is
    // the 20th field after. A process that has ended but not been reaped yet runs no more.
    const QByteArray stat = procFile(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return {};
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields[0] == "Z" || fields[0] == "X") return {};
    bool ok = false;
    const quint64 start = fields.value(19).toULongLong(&ok);
    return ok ? ProcessIdentity{pid, start} : ProcessIdentity{};
}

bool isRunningDeck(const ProcessIdentity& process) {
    return process.pid > 0 && processOf(process.pid) == process &&
           procFile(process.pid, "comm").trimmed() == kDeckProgram &&
           QFileInfo(QStringLiteral("/proc/%1").arg(process.pid)).ownerId() == ::geteuid();
}

QString runtimeFolder() {
    std::string error;
    return QString::fromStdString(zen::midi::openCableFolder(error));
}

QString deckRecordPath(const QString& folder, const QString& deckArgument) {
    return folder + QStringLiteral("/deck") + deckArgument + QStringLiteral(".state");
}

bool readDeckRecord(const QString& path, DeckRecord& record) {
    QStringList fields;
    if (!config::readFields(path, kMaxFields, fields)) return false;
    record = {};
    for (const QString& field : fields) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        if (equals > 0)
            record.state.insert(field.left(equals),
                                QString::fromUtf8(QByteArray::fromPercentEncoding(
                                    field.mid(equals + 1).toLatin1())));
    }
    record.process = {record.state.take(kPid).toLongLong(),
                      record.state.take(kStart).toULongLong()};
    return record.process.pid > 0;
}

QByteArray encodeDeckRecord(const DeckRecord& record) {
    QStringList fields{kPid + QLatin1Char('=') + QString::number(record.process.pid),
                       kStart + QLatin1Char('=') + QString::number(record.process.startTime)};
    for (auto it = record.state.begin(); it != record.state.end(); ++it)
        fields.append(it.key() + QLatin1Char('=') +
                      QString::fromLatin1(it.value().toUtf8().toPercentEncoding()));
    return config::encodeFields(fields);
}

} // namespace zen::runtime

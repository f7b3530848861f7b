#include "common/ConfigFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::config {

namespace {

// Settings files are a few hundred bytes; reading at most this much keeps a huge or endless file
// from exhausting memory. Anything beyond reads as past the end.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// Unlike QString::fromUtf8, keeps a U+FEFF that begins a field: it is part of the value.
QString decode(QByteArrayView field) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(field);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Reads a regular file whole (up to kMaxFileBytes). Non-blocking open so that a FIFO or device
// under the file's name cannot hang the caller; such entries are refused.
bool readRegularFile(const QString& path, QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    bytes.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size, kMaxFileBytes)));
    const qint64 got = file.read(bytes.data(), bytes.size());
    if (got < 0) {
        bytes.clear();
        return false;
    }
    bytes.resize(static_cast<qsizetype>(got));
    return true;
}

// Makes a rename inside the folder durable; a settings change must survive a power cut.
void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

FieldReader::FieldReader(QByteArrayView bytes) : bytes_(bytes) {
    if (bytes_.startsWith("\xEF\xBB\xBF"))
        pos_ = 3; // a byte-order mark an editor may have put in front
}

QString FieldReader::next() {
    const qsizetype n = bytes_.size();
    while (pos_ < n && isBlank(bytes_[pos_]))
        ++pos_;
    if (pos_ >= n) return {};

    if (bytes_[pos_] == '"') {
        const qsizetype start = pos_ + 1;
        qsizetype end = start;
        while (end < n && bytes_[end] != '"')
            ++end;
        const QByteArrayView field = bytes_.sliced(start, end - start);
        pos_ = std::min(end + 1, n);
        while (pos_ < n && bytes_[pos_] != ',' && !isLineEnd(bytes_[pos_]))
            ++pos_;
        if (pos_ < n && bytes_[pos_] == ',')
            ++pos_;
        else
            skipLineEnd();
        return decode(field);
    }

    const qsizetype start = pos_;
    while (pos_ < n && bytes_[pos_] != ',' && !isLineEnd(bytes_[pos_]))
        ++pos_;
    qsizetype end = pos_;
    while (end > start && isBlank(bytes_[end - 1]))
        --end;
    const QByteArrayView field = bytes_.sliced(start, end - start);
    if (pos_ < n && bytes_[pos_] == ',')
        ++pos_;
    else
        skipLineEnd();
    return decode(field);
}

void FieldReader::skipLineEnd() {
    if (pos_ < bytes_.size() && bytes_[pos_] == '\r') ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
}

bool isRepresentable(const QString& text) {
    return !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
           !text.contains(QLatin1Char('\n'));
}

QByteArray encodeFields(const QStringList& fields) {
    QByteArray bytes;
    for (const QString& field : fields) {
        bytes += '"';
        bytes += field.toUtf8();
        bytes += "\"\r\n";
    }
    return bytes;
}

bool readFields(const QString& path, int count, QStringList& out) {
    QByteArray bytes;
    const bool ok = readRegularFile(path, bytes);
    FieldReader reader(bytes);
    out.clear();
    for (int i = 0; i < count; ++i)
        out.append(reader.next());
    return ok;
}

bool writeFields(const QString& path, const QStringList& fields) {
    if (!std::all_of(fields.begin(), fields.end(), isRepresentable)) return false;
    // Unbuffered, so that a failing write (full disk) shows here: QSaveFile does not report a
    // write error that only appears when its buffer is flushed at commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const QByteArray bytes = encodeFields(fields);
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0) {
        file.cancelWriting(); // the temporary file is dropped, the old file stays
        return false;
    }
    if (!file.commit()) return false;
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

double leadingNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string number;
    bool point = false;
    bool nonZeroWhole = false;
    bool anyDigit = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            nonZeroWhole = nonZeroWhole || (!point && c != u'0');
            number += static_cast<char>(c);
        } else if (c == u'.' && !point) {
            point = true;
            number += '.';
        } else {
            break;
        }
    }
    if (!anyDigit) return 0.0;
    double value = 0.0;
    const std::errc ec = std::from_chars(number.data(), number.data() + number.size(), value,
                                         std::chars_format::fixed)
                             .ec;
    if (ec == std::errc::result_out_of_range)
        value = nonZeroWhole ? std::numeric_limits<double>::max() : 0.0;
    else if (ec != std::errc())
        value = 0.0;
    return negative && value != 0.0 ? -value : value;
}

} // namespace zen::config

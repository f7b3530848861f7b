#include "common/ConfigFormat.h"

#include "common/AtomicFile.h"

#include <QFile>
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

// A byte that is not part of valid UTF-8 (a Latin-1 folder name from an old disk) stands in the
// text as the lone low surrogate U+DC80 + (byte - 0x80), and is written back as that byte, so any
// bytes survive a read and a save unchanged. Valid text never holds a lone surrogate.
constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(char16_t unit) {
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// The length of the valid UTF-8 sequence at `at` (shortest form, no surrogates, at most
// U+10FFFF); 0 when there is none.
int utf8Sequence(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    const int length = lead >= 0xF8   ? 0
                       : lead >= 0xF0 ? 4
                       : lead >= 0xE0 ? 3
                       : lead >= 0xC0 ? 2
                                      : 0;
    if (length == 0 || at + length > bytes.size()) return 0;
    char32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

QString decode(QByteArrayView field) {
    QString text;
    qsizetype run = 0;
    // Runs of valid UTF-8 at once. Unlike QString::fromUtf8, keeps a U+FEFF that begins a field:
    // it is part of the value.
    const auto takeRun = [&](qsizetype end) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless |
                                   QStringConverter::Flag::ConvertInitialBom);
        text += decoder.decode(field.sliced(run, end - run));
    };
    for (qsizetype at = 0; at < field.size();) {
        const int length = utf8Sequence(field, at);
        if (length > 0) {
            at += length;
            continue;
        }
        takeRun(at);
        text += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(field[at])));
        run = ++at;
    }
    takeRun(field.size());
    return text;
}

// The bytes the text was read from; false when it holds a lone surrogate that no byte stands for.
bool encode(QStringView text, QByteArray& bytes) {
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!QChar::isSurrogate(unit)) continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (!isEscape(unit)) return false;
        bytes += text.sliced(run, i - run).toUtf8();
        bytes += static_cast<char>(unit - kEscapeBase);
        run = i + 1;
    }
    bytes += text.sliced(run).toUtf8();
    return true;
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
    QByteArray bytes;
    return !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
           !text.contains(QLatin1Char('\n')) && encode(text, bytes);
}

QByteArray encodeFields(const QStringList& fields) {
    QByteArray bytes;
    for (const QString& field : fields) {
        bytes += '"';
        encode(field, bytes);
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
    // The user's own file may be a link into a dotfiles folder: its target is what is replaced.
    QString error;
    return replaceFile(linkTarget(path), encodeFields(fields), error);
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

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The sequential text format of ZentariDJ.ini, its deck copies and styles.ini: one field per
// line, double-quoted, CRLF line ends, UTF-8 text. Bytes that are not UTF-8 (a folder name in an
// older encoding) are kept as they are: they read as text that writes back the same bytes.
namespace zen::config {

// Reads fields in order from a byte buffer. A field that begins with a double quote runs to the
// next double quote (line ends included) and the rest of its line up to a comma or the line end
// is skipped; any other field runs to the next comma or line end, trimmed of blanks. Empty lines
// are empty fields and fields past the end read as "". Any bytes give fields; nothing is refused.
class FieldReader {
public:
    // The bytes must outlive the reader.
    explicit FieldReader(QByteArrayView bytes);

    QString next();
    bool atEnd() const { return pos_ >= bytes_.size(); }

private:
    void skipLineEnd();

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

// True when the writer can store the text so that it reads back unchanged: no double quote,
// carriage return or line feed, and no lone surrogate other than one that stands for a byte.
bool isRepresentable(const QString& text);

// The writer's bytes for the fields: each one double-quoted on its own CRLF-ended line, UTF-8.
// Fields must be representable.
QByteArray encodeFields(const QStringList& fields);

// Reads exactly `count` fields from the file into `out`. False when the file cannot be opened or
// read (it must be a regular file); `out` then holds `count` empty texts.
bool readFields(const QString& path, int count, QStringList& out);

// Replaces the file with the fields, atomically: the data reaches the disk in a temporary file
// beside it before it takes the file's name, so a failed save leaves the previous file whole. A
// link at `path` is followed: its target is replaced. Refuses (false, nothing written) when any
// field is not representable; false on any failure.
bool writeFields(const QString& path, const QStringList& fields);

// The leading decimal number of a text, as BASIC's Val reads it: leading blanks skipped, an
// optional sign, digits with at most one decimal point; 0 when there is none. Always finite.
double leadingNumber(const QString& text);

} // namespace zen::config

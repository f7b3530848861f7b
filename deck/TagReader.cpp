#include "deck/TagReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

constexpr int kTagSize = 128;

// Windows-1252 where the Qt build has it, Latin-1 (its subset) otherwise.
QString decode1252(const QByteArray& bytes) {
    QStringDecoder decoder("windows-1252");
    if (decoder.isValid()) return decoder.decode(bytes);
    return QString::fromLatin1(bytes);
}

} // namespace

bool ReadTag(const QString& path, TagRecord& tag) {
    // Only regular files: reading a pipe or a device would block the deck.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size < kTagSize || !file.seek(size - kTagSize)) return false;
    const QByteArray record = file.read(kTagSize);
    if (record.size() != kTagSize) return false;
    tag.tag = record.mid(0, 3);
    tag.title = record.mid(3, 30);
    tag.artist = record.mid(33, 30);
    tag.album = record.mid(63, 30);
    tag.year = record.mid(93, 4);
    tag.comment = record.mid(97, 30);
    tag.genre = static_cast<std::uint8_t>(record.at(127));
    return tag.tag == "TAG";
}

QString tagText(const QByteArray& field) {
    QString text = decode1252(field);
    text.replace(QChar(0), QChar(' '));
    return text;
}

void showTag(bool found, const TagRecord& tag, const QStringList& genres,
             const std::array<QLabel*, 6>& lines) {
    const QString blank = QStringLiteral(" ");
    if (found) {
        lines[0]->setText(blank + tagText(tag.title));
        lines[1]->setText(blank + tagText(tag.artist));
        lines[2]->setText(blank + tagText(tag.album));
        lines[3]->setText(blank + tagText(tag.year));
        lines[5]->setText(blank + genres.value(tag.genre));
        lines[4]->setText(blank + tagText(tag.comment));
    } else {
        lines[0]->setText(QStringLiteral(" ID3 info unavalaible or not exists."));
        for (int i = 1; i < 6; ++i)
            lines[i]->clear();
    }
    lines[0]->repaint();
}

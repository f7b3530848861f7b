#pragma once

#include <QByteArray>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// The ID3 version 1 trailer: the last 128 bytes of a file, fields fixed-width and taken as stored.
struct TagRecord {
    QByteArray tag;     // 3 bytes, "TAG" when present
    QByteArray title;   // 30
    QByteArray artist;  // 30
    QByteArray album;   // 30
    QByteArray year;    // 4
    QByteArray comment; // 30
    std::uint8_t genre = 0;
};

// ReadTag: true when the file is a regular file of at least 128 bytes whose last 128 bytes begin
// with "TAG". Anything else (missing, not a regular file, shorter, unreadable) gives false.
bool ReadTag(const QString& path, TagRecord& tag);

// The text of a tag field: Windows-1252 bytes as stored, NUL bytes drawn as blanks.
QString tagText(const QByteArray& field);

// Fills the six tag lines (title, artist, album, year, comment, genre) and draws the first at
// once. Without a tag the first line says so and the others are emptied.
void showTag(bool found, const TagRecord& tag, const QStringList& genres,
             const std::array<QLabel*, 6>& lines);

#pragma once

#include <QString>
#include <QStringList>

namespace zen::config {

inline constexpr int kStyleCount = 256;

// The genre names of styles.ini, entry i for ID3v1 genre number i: always exactly 256 entries;
// a missing or unreadable file gives 256 empty texts.
QStringList readStyles(const QString& path);

QString stylesFilePath(const QString& folder);
QString stylesFilePath();

} // namespace zen::config

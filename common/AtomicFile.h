#pragma once

#include <QByteArrayView>
#include <QString>

namespace zen::config {

// Replaces the file at `path` with `bytes`, whole or not at all: they are written to a temporary
// file beside it, flushed and synced, and only then renamed over it, so a full disk or a crash
// leaves the old file as it was and no temporary file behind. A symbolic link standing at `path`
// is replaced by the file, never written through. An existing file keeps its permissions. False
// and the reason in `error` on failure.
bool replaceFile(const QString& path, QByteArrayView bytes, QString& error);

// The file a chain of symbolic links at `path` ends in (`path` itself when it is no link), even
// when that file does not exist yet: what a save writes when the user's file is a link.
QString linkTarget(const QString& path);

} // namespace zen::config

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

// The stored form of a window's controls: named values, kept in the order they were first written,
// with keys matched without regard to case (so "dotx" finds a value stored as "DotX").
class PropertyBag {
public:
    // The stored value, or defaultValue when the key has never been written.
    QVariant read(const QString& key, const QVariant& defaultValue = {}) const;

    // Stores the value; a key already present keeps its place and its spelling.
    void write(const QString& key, const QVariant& value);

    // Keys in the order they were first written.
    QStringList keys() const;

private:
    QList<std::pair<QString, QVariant>> entries_;
};

#include "common/PropertyBag.h"

#include <algorithm>

namespace {

auto findKey(auto& entries, const QString& key) {
    return std::find_if(entries.begin(), entries.end(), [&key](const auto& entry) {
        return entry.first.compare(key, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

QVariant PropertyBag::read(const QString& key, const QVariant& defaultValue) const {
    const auto it = findKey(entries_, key);
    return it == entries_.end() ? defaultValue : it->second;
}

void PropertyBag::write(const QString& key, const QVariant& value) {
    const auto it = findKey(entries_, key);
    if (it == entries_.end())
        entries_.append({key, value});
    else
        it->second = value;
}

QStringList PropertyBag::keys() const {
    QStringList result;
    result.reserve(entries_.size());
    for (const auto& entry : entries_)
        result.append(entry.first);
    return result;
}

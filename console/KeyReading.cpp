#include "console/KeyReading.h"

#include <QStringList>

namespace zen::console {

KeyReading::KeyReading(std::vector<std::unique_ptr<KeySource>> sources)
    : sources_(std::move(sources)), held_(sources_.size()) {}

KeyReading::~KeyReading() {
    stop();
}

void KeyReading::start(QWidget& window, Changed changed, Note note) {
    if (started_) return;
    started_ = true;
    changed_ = std::move(changed);
    thread_.begin();
    for (std::size_t i = 0; i < sources_.size(); ++i)
        sources_[i]->start(
            window, thread_, [this, i](const KeySet& held) { report(i, held); }, note);
}

void KeyReading::stop() {
    if (!started_) return;
    started_ = false;
    for (const auto& source : sources_)
        source->stop(thread_);
    thread_.end();
    std::fill(held_.begin(), held_.end(), KeySet());
    newest_ = {};
    keyCode_ = 0;
}

void KeyReading::report(std::size_t source, const KeySet& held) {
    held_[source] = held;
    KeySet any;
    for (const KeySet& keys : held_)
        any |= keys;
    newest_.observe(any);
    if (changed_) changed_();
}

QString KeyReading::reading() const {
    QStringList parts;
    for (const auto& source : sources_)
        if (const QString part = source->reading(); !part.isEmpty()) parts.append(part);
    return QStringLiteral("Keys: ") +
           (parts.isEmpty() ? QStringLiteral("none read") : parts.join(QStringLiteral(" + ")));
}

void KeyReading::offerShortcuts(const std::vector<KeyShortcut>& shortcuts) {
    if (!started_) return;
    for (const auto& source : sources_)
        source->offerShortcuts(thread_, shortcuts);
}

} // namespace zen::console

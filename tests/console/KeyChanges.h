#pragma once

#include "console/KeyReading.h"

#include <QStringList>
#include <QTest>
#include <QWidget>
#include <mutex>
#include <vector>

namespace zen::test {

// What the console sees of a keyboard component: the code at every change, as the key thread
// polls it there, and the monitor's notes.
class KeyChanges {
public:
    explicit KeyChanges(zen::console::KeyReading& keys) : keys_(keys) {
        keys_.start(
            window_, [this] { changed(); },
            [this](const QString& line) {
                std::lock_guard lock(mutex_);
                notes_.append(line);
            });
    }
    // The codes seen once `count` of them have come (or the time is up).
    std::vector<int> after(std::size_t count, int timeoutMs = 5000) {
        return waitFor([&] { return codes_.size() >= count; }, timeoutMs, codes_);
    }
    QStringList notes(qsizetype count) {
        return waitFor([&] { return notes_.size() >= count; }, 5000, notes_);
    }

private:
    void changed() {
        for (;;) {
            keys_.poll();
            std::lock_guard lock(mutex_);
            if (codes_.empty() ? keys_.keyCode() == 0 : codes_.back() == keys_.keyCode()) return;
            codes_.push_back(keys_.keyCode());
        }
    }
    template <typename Done, typename Seen> Seen waitFor(Done done, int timeoutMs, Seen& seen) {
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex_);
                return done();
            },
            timeoutMs);
        std::lock_guard lock(mutex_);
        return seen;
    }

    zen::console::KeyReading& keys_;
    QWidget window_;
    std::mutex mutex_;
    std::vector<int> codes_;
    QStringList notes_;
};

} // namespace zen::test

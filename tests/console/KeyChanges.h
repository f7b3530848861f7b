#pragma once

#include "console/KeyReading.h"

#include <QTest>
#include <mutex>
#include <vector>

namespace zen::test {

// What the console sees of a keyboard component: the code at every change, as the key thread
// polls it there.
class KeyChanges {
public:
    explicit KeyChanges(zen::console::KeyReading& keys) : keys_(keys) {}
    void changed() {
        for (;;) {
            keys_.poll();
            std::lock_guard lock(mutex_);
            if (!codes_.empty() && codes_.back() == keys_.keyCode()) return;
            if (codes_.empty() && keys_.keyCode() == 0) return;
            codes_.push_back(keys_.keyCode());
        }
    }
    // The codes seen once `count` of them have come (or the time is up).
    std::vector<int> after(std::size_t count, int timeoutMs = 5000) {
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex_);
                return codes_.size() >= count;
            },
            timeoutMs);
        std::lock_guard lock(mutex_);
        return codes_;
    }

private:
    zen::console::KeyReading& keys_;
    std::mutex mutex_;
    std::vector<int> codes_;
};

} // namespace zen::test

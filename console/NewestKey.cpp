#include "console/NewestKey.h"

#include <algorithm>
#include <utility>

namespace zen::console {

void NewestKey::observe(const KeySet& held) {
    if (current_ != 0 && held_[current_] && !held[current_]) currentReleased_ = true;
    const KeySet pressed = held & ~held_;
    if (pressed.any())
        for (int code = 1; code < static_cast<int>(pressed.size()); ++code)
            if (pressed[code] &&
                std::find(unreported_.begin(), unreported_.end(), code) == unreported_.end())
                unreported_.push_back(code);
    held_ = held;
}

int NewestKey::poll() {
    if (std::exchange(currentReleased_, false) && !unreported_.empty() &&
        unreported_.front() == current_) {
        // Released and pressed again since the last poll: the release counts first.
        current_ = 0;
        return 0;
    }
    if (!unreported_.empty()) {
        current_ = unreported_.front();
        unreported_.erase(unreported_.begin());
    } else if (!held_[current_]) {
        current_ = 0;
    }
    return current_;
}

} // namespace zen::console

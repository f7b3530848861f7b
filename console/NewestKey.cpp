#include "console/NewestKey.h"

namespace zen::console {

void NewestKey::observe(const KeySet& held) {
    std::erase_if(unreported_, [&held](int code) { return !held[code]; });
    const KeySet pressed = held & ~held_;
    if (pressed.any())
        for (int code = 1; code < static_cast<int>(pressed.size()); ++code)
            if (pressed[code]) unreported_.push_back(code);
    held_ = held;
}

int NewestKey::poll() {
    if (!unreported_.empty()) {
        current_ = unreported_.front();
        unreported_.erase(unreported_.begin());
    } else if (!held_[current_]) {
        current_ = 0;
    }
    return current_;
}

} // namespace zen::console

#include "deck/displays/LevelMeterModel.h"

#include <algorithm>
#include <cmath>

namespace zen::deck {

int LevelMeterModel::percent(int side) {
    // The engine never reads above 128; a wilder value must not throw the shapes off the area.
    const int clamped = std::clamp(side, 0, 128);
    return static_cast<int>(std::nearbyint(clamped * 100.0 / 127.0));
}

bool LevelMeterModel::read(std::int32_t level) {
    if (level < 0) {
        tops_[kRightBar] = kHiddenTop;
        tops_[kLeftBar] = kHiddenTop;
        return false;
    }
    const auto word = static_cast<std::uint32_t>(level);
    leftLevel_ = percent(static_cast<int>(word & 0xFFFF));
    rightLevel_ = percent(static_cast<int>(word >> 16));
    bool reached = false;
    // Each side follows its own reading, so a signal on one side only still shows.
    if (leftLevel_ >= leftThreshold_) {
        leftThreshold_ = leftLevel_;
        tops_[kLeftBar] = 106 - leftLevel_;
        tops_[kLeftMarker] = 100 - leftLevel_;
        reached = true;
    }
    if (rightLevel_ >= rightThreshold_) {
        rightThreshold_ = rightLevel_;
        tops_[kRightBar] = 106 - rightLevel_;
        tops_[kRightMarker] = 100 - rightLevel_;
        reached = true;
    }
    return reached;
}

void LevelMeterModel::fall() {
    for (int shape : {kRightMarker, kLeftMarker, kRightBar, kLeftBar}) {
        if (tops_[shape] < kRestTop) tops_[shape] += kShapes[shape].fallStep;
    }
}

void LevelMeterModel::dropThresholds() {
    leftThreshold_ = 1;
    rightThreshold_ = 1;
}

} // namespace zen::deck

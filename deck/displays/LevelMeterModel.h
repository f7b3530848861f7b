#pragma once

#include "common/Colors.h"

#include <array>
#include <cstdint>

namespace zen::deck {

// The two-column level meter of pctVU: bars that jump up to a reading and sink, and peak markers
// above them. Tops are y coordinates of the shapes' upper edges in pixels, growing downwards.
class LevelMeterModel {
public:
    struct Shape {
        int column;
        int width;
        int height;
        Rgb fill;
        double startTop;
        double fallStep; // pixels per tmrVU tick
    };

    static constexpr int kWidth = 25;
    static constexpr int kHeight = 100;
    static constexpr Rgb kBarFill = rgb(0, 192, 0);
    static constexpr Rgb kMarkerFill = rgb(255, 0, 0);
    // shpVU(0..3): right bar, left bar, right marker, left marker.
    static constexpr std::array<Shape, 4> kShapes = {{
        {0, 11, 100, kBarFill, 97, 2.5},
        {12, 11, 100, kBarFill, 97, 2.5},
        {0, 11, 4, kMarkerFill, 0, 1},
        {12, 11, 4, kMarkerFill, 0, 1},
    }};
    static constexpr int kRightBar = 0;
    static constexpr int kLeftBar = 1;
    static constexpr int kRightMarker = 2;
    static constexpr int kLeftMarker = 3;
    // Where a bar goes when the channel gives no level: below the area.
    static constexpr double kHiddenTop = 101;
    // Shapes at or below this top no longer fall.
    static constexpr double kRestTop = 96;

    // One side's reading 0..128 in percent, to the nearest integer (0..101).
    static int percent(int side);

    // One reading (FXTimer1): the engine's level word, negative when nothing plays. Each side
    // moves its own bar and marker when its percent reaches that side's threshold. Returns true
    // when a side did, which is when tmrVUReset is to be switched on.
    bool read(std::int32_t level);
    // One fall step (tmrVU) in the order 2, 3, 0, 1: markers sink 1 pixel, bars 2.5.
    void fall();
    // tmrVUReset: from now on any reading of 1 or more moves the meter again.
    void dropThresholds();

    double top(int shape) const { return tops_[shape]; }
    const std::array<double, 4>& tops() const { return tops_; }
    int leftLevel() const { return leftLevel_; }
    int rightLevel() const { return rightLevel_; }
    int leftThreshold() const { return leftThreshold_; }
    int rightThreshold() const { return rightThreshold_; }

private:
    std::array<double, 4> tops_ = {kShapes[0].startTop, kShapes[1].startTop, kShapes[2].startTop,
                                   kShapes[3].startTop};
    int leftLevel_ = 0;
    int rightLevel_ = 0;
    int leftThreshold_ = 0;
    int rightThreshold_ = 0;
};

} // namespace zen::deck

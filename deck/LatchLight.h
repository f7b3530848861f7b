#pragma once

#include "common/Colors.h"
#include "common/ZenButton.h"

// The light of a latching button (cmdCUE, cmdLooped): on or off, resting and under the pointer.
inline void showLatched(ZenButton& button, bool on) {
    button.setDotColor(on ? zen::kLightOnDot : zen::kLightOffDot);
    button.setOverColor(on ? zen::kLightOnOver : zen::kLightOffOver);
}

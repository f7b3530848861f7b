#pragma once

#include <QColor>
#include <cstdint>

// Colours are held as 24-bit values with red in the low byte (red + 256 x green + 65536 x blue),
// the form every stored setting and palette of the programs uses.
namespace zen {

using Rgb = std::uint32_t;

constexpr Rgb rgb(int r, int g, int b) {
    return static_cast<Rgb>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(Rgb c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(Rgb c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(Rgb c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

QColor toQColor(Rgb c);
Rgb fromQColor(const QColor& c);

// Latching button lights.
inline constexpr Rgb kLightOnDot = rgb(192, 192, 0);
inline constexpr Rgb kLightOnOver = rgb(255, 255, 0);
inline constexpr Rgb kLightOffDot = rgb(128, 0, 0);
inline constexpr Rgb kLightOffOver = rgb(255, 0, 0);

} // namespace zen

#include "common/midi/ShortMessage.h"

namespace zen::midi {

int shortMessageLength(int status) {
    if (status < 0x80 || status > 0xFF) return 0;
    if (status < 0xC0) return 3; // note off/on, aftertouch, control change
    if (status < 0xE0) return 2; // program change, channel pressure
    if (status < 0xF0) return 3; // pitch bend
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
    case 0xFF:
        return 1;
    default: // 0xF0 and 0xF7 frame system exclusive; 0xF4, 0xF5, 0xF9, 0xFD are undefined
        return 0;
    }
}

std::optional<ShortMessage> parseShortMessage(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0 || size > 3) return std::nullopt;
    if (static_cast<std::size_t>(shortMessageLength(bytes[0])) != size) return std::nullopt;
    for (std::size_t i = 1; i < size; ++i)
        if (bytes[i] >= 0x80) return std::nullopt;
    ShortMessage m;
    m.status = bytes[0];
    m.data1 = size > 1 ? bytes[1] : 0;
    m.data2 = size > 2 ? bytes[2] : 0;
    m.size = static_cast<std::uint8_t>(size);
    return m;
}

std::optional<ShortMessage> makeShortMessage(int status, int data1, int data2) {
    const int size = shortMessageLength(status);
    if (size == 0) return std::nullopt;
    if (size > 1 && (data1 < 0 || data1 > 0x7F)) return std::nullopt;
    if (size > 2 && (data2 < 0 || data2 > 0x7F)) return std::nullopt;
    ShortMessage m;
    m.status = static_cast<std::uint8_t>(status);
    m.data1 = size > 1 ? static_cast<std::uint8_t>(data1) : 0;
    m.data2 = size > 2 ? static_cast<std::uint8_t>(data2) : 0;
    m.size = static_cast<std::uint8_t>(size);
    return m;
}

} // namespace zen::midi

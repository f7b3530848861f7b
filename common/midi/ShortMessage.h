#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zen::midi {

// A MIDI short message: a status byte and up to two data bytes, unused ones 0.
struct ShortMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint8_t size = 0; // bytes on the wire, 1..3

    bool operator==(const ShortMessage&) const = default;
};

// Bytes on the wire for a status byte; 0 when it does not start a short message (a data byte,
// system exclusive or an undefined system status).
int shortMessageLength(int status);

// A message from bytes off the wire: exactly the length its status asks for, data bytes below
// 0x80. Anything else is not a short message and is refused.
std::optional<ShortMessage> parseShortMessage(const std::uint8_t* bytes, std::size_t size);

// A message from the ports' 16-bit fields; refused when a field is outside its byte range.
std::optional<ShortMessage> makeShortMessage(int status, int data1, int data2);

} // namespace zen::midi

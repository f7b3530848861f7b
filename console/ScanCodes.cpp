#include "console/ScanCodes.h"

#include <array>
#include <utility>

namespace zen::console {

namespace {

// Input code -> set-1 code for the keys past the main block. The extended keys report their
// code without the E0 prefix, so Right arrow gives 77 as the keypad's 6 does; the language keys
// and F13..F24 have codes of their own above the main block.
constexpr std::array<std::pair<int, int>, 36> beyondMainBlock{{
    {89, 115},  // Ro
    {92, 121},  // Henkan
    {93, 112},  // Katakana/Hiragana
    {94, 123},  // Muhenkan
    {96, 28},   // keypad Enter
    {97, 29},   // right Ctrl
    {98, 53},   // keypad /
    {99, 55},   // Print Screen
    {100, 56},  // right Alt
    {102, 71},  // Home
    {103, 72},  // Up
    {104, 73},  // Page Up
    {105, 75},  // Left
    {106, 77},  // Right
    {107, 79},  // End
    {108, 80},  // Down
    {109, 81},  // Page Down
    {110, 82},  // Insert
    {111, 83},  // Delete
    {121, 126}, // keypad comma
    {124, 125}, // Yen
    {125, 91},  // left Windows
    {126, 92},  // right Windows
    {127, 93},  // Menu
    {183, 100}, // F13
    {184, 101}, {185, 102}, {186, 103}, {187, 104}, {188, 105},
    {189, 106}, {190, 107}, {191, 108}, {192, 109}, {193, 110}, // F23
    {194, 118},                                                 // F24
}};

} // namespace

int setOneScanCode(int inputCode) {
    // The main block, the keypad and F1..F12 carry their set-1 code.
    if (inputCode > 0 && inputCode < 89) return inputCode;
    for (const auto& [input, scanCode] : beyondMainBlock)
        if (input == inputCode) return scanCode;
    // Media, power, Pause and the like: their set-1 codes would repeat a main-block key's.
    return 0;
}

} // namespace zen::console

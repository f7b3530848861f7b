#include "console/ScanCodes.h"

#include <QStringList>
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

// The names of the main block's and the keypad's keys by set-1 code from 0, "-" for modifiers and
// gaps.
constexpr const char* mainBlockNames =
    "- Escape 1 2 3 4 5 6 7 8 9 0 minus equal BackSpace Tab q w e r t y u i o p "
    "bracketleft bracketright Return - a s d f g h j k l semicolon apostrophe grave - "
    "backslash z x c v b n m comma period slash - KP_Multiply - space Caps_Lock F1 F2 "
    "F3 F4 F5 F6 F7 F8 F9 F10 Num_Lock Scroll_Lock Home Up Prior KP_Subtract Left "
    "KP_5 Right KP_Add End Down Next Insert Delete - - less F11 F12";

} // namespace

QString keyName(int setOneCode) {
    static const QStringList names = QString::fromLatin1(mainBlockNames).split(QLatin1Char(' '));
    if (setOneCode >= 0 && setOneCode < names.size())
        return names[setOneCode] == QLatin1String("-") ? QString() : names[setOneCode];
    if (setOneCode >= 100 && setOneCode <= 110) return QStringLiteral("F%1").arg(setOneCode - 87);
    switch (setOneCode) {
    case 91:
        return QStringLiteral("Super_L");
    case 92:
        return QStringLiteral("Super_R");
    case 93:
        return QStringLiteral("Menu");
    case 118:
        return QStringLiteral("F24");
    default:
        return {};
    }
}

int setOneScanCode(int inputCode) {
    // The main block, the keypad and F1..F12 carry their set-1 code.
    if (inputCode > 0 && inputCode < 89) return inputCode;
    for (const auto& [input, scanCode] : beyondMainBlock)
        if (input == inputCode) return scanCode;
    // Media, power, Pause and the like: their set-1 codes would repeat a main-block key's.
    return 0;
}

} // namespace zen::console

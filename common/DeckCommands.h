#pragma once

// Deck commands travel as MIDI Control Change on channel 1 with value 126; the controller number
// is the command.
namespace zen::cmd {

inline constexpr int kStatus = 176;
inline constexpr int kValue = 126;

inline constexpr int kPlayPause = 16;
inline constexpr int kStop = 17;
inline constexpr int kCue = 18;
inline constexpr int kTouchBack = 19;
inline constexpr int kTouchForward = 20;
inline constexpr int kTouchRelease = 35;
inline constexpr int kQuit = 40;

} // namespace zen::cmd

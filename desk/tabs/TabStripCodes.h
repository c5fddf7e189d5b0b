#pragma once

// What the mouse is over (the strip's hover code) and what its button does (the press state).
namespace qm::codes {

inline constexpr int kNothing = -1000;
inline constexpr int kListButton = 0;
// Tab i is kFirstTab + i; its close button kFirstClose + i.
inline constexpr int kFirstTab = 1;
inline constexpr int kFirstClose = 1001;

inline constexpr int kPressNone = 0;
inline constexpr int kPressOverButton = 1; // the mouse is over the list button or a close button
inline constexpr int kPressDown = 2;       // the left button went down on the strip

} // namespace qm::codes

#pragma once

#include <cstdint>

/// The matte's colours as packed 0x00BBGGRR values (red in the low byte), the form in
/// which the canvas is read back and compared, always for exact equality.
namespace MatteColour {
inline constexpr std::int32_t Maze = 0xFF0000;    // blue: the cell is part of the maze
inline constexpr std::int32_t Paper = 0xFFFFFF;   // white: the cell is masked out
inline constexpr std::int32_t Start = 0x00FF00;   // green
inline constexpr std::int32_t Finish = 0x0000FF;  // red
inline constexpr std::int32_t Linked = 0x000000;  // black: reached by the path check
/// What a pixel read outside a picture or the canvas gives: no pen colour.
inline constexpr std::int32_t Outside = -1;

constexpr std::int32_t pack(int red, int green, int blue)
{
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr int red(std::int32_t packed) { return packed & 0xFF; }
constexpr int green(std::int32_t packed) { return packed >> 8 & 0xFF; }
constexpr int blue(std::int32_t packed) { return packed >> 16 & 0xFF; }
} // namespace MatteColour

#pragma once

#include <cstdint>

/// The solution line and the start and finish marks, drawn over a maze by the scene and
/// the vector writers and composed into rows by the monochrome writer. Sizes in node units:
/// a node is a unit square and every piece stays in the middle of its passage node, clear
/// of the walls' tiles.
namespace overlay {

/// Width of the line through the centres of the solution's nodes.
inline constexpr double PathWidth = 0.25;
/// Radius of the filled disc on the start cell.
inline constexpr double StartRadius = 0.36;
/// Outer and inner radius of the ring on the finish cell.
inline constexpr double FinishOuter = 0.40;
inline constexpr double FinishInner = 0.22;

/// Colours on colour outputs, as 0xRRGGBB: the solution red, the start in the matte
/// editor's green and the finish in its red.
inline constexpr std::uint32_t SolutionRgb = 0xDC0000;
inline constexpr std::uint32_t StartRgb = 0x00A000;
inline constexpr std::uint32_t FinishRgb = 0xDC0000;

} // namespace overlay

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The choices of the main window as data, shared by the window and the command line.
namespace params {

/// Largest dimension in cells: 2 x 16383 + 1 = 32767 nodes fills a 16-bit coordinate.
inline constexpr std::int64_t MaxCells = 16383;

struct Choice {
    const char *caption;
    int value;
};

/// The maze type list, in list order, with each type's MazeType code.
inline constexpr std::array<Choice, 3> MazeTypes{{
    {"Top left to bottom right", 1},
    {"Grid", 3},
    {"Custom (using matte)", 0},
}};

/// The run style list, in list order; the value is RunBias, or 3 for a random run.
inline constexpr std::array<Choice, 4> RunStyles{{
    {"Normal", 0},
    {"Horizontal bias", 1},
    {"Vertical bias", 2},
    {"Random run", 3},
}};

/// The twelve appearances in the order of their option buttons, each with the tile
/// set it draws with; City plan has none (-1) and is printed as slabs.
inline constexpr std::array<Choice, 12> Appearances{{
    {"Thin lines", 1},
    {"Thick lines", 7},
    {"Thin rounded", 6},
    {"Electronic circuits", 3},
    {"Medium lines", 0},
    {"Plumbing", 5},
    {"Fences", 4},
    {"Double line", 2},
    {"Shaded", 8},
    {"Planks", 9},
    {"Tiny bricks", 10},
    {"City plan", -1},
}};
inline constexpr int CityPlanIndex = 11;

/// The leading numeric part of a typed text: optional blanks and sign, digits, an
/// optional fraction. Text that does not start with a number reads as 0.
double leading_number(std::string_view text);

/// Nodes across (or down) for a typed number of cells: 2 x Int(value) + 1, Int rounding
/// toward minus infinity, saturated far beyond any size Generate accepts.
std::int64_t node_count(double cells);

/// RunLength for a position 0..10 of the Run slider.
int run_length(int slider);

/// Why Generate refuses a size, with the message it shows and the smallest number of
/// cells each box is then raised to (0 when the boxes are left alone).
struct SizeRefusal {
    std::string message;
    int minimumCells = 0;
};

/// The size check of Generate for a maze type, on dimensions in nodes.
std::optional<SizeRefusal> check_size(int mazeType, std::int64_t gridWidth, std::int64_t gridHeight);

} // namespace params

#pragma once

#include "maze/state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The choices of the main window as data, shared by the window and the command line.
namespace params {

/// Largest dimension in cells: 2 x 16383 + 1 = 32767 nodes fills a 16-bit coordinate.
inline constexpr std::int64_t MaxCells = 16383;

/// The positions of the maze type list.
enum class MazeTypeChoice { TopLeftToBottomRight, Grid, CustomMatte };
/// The positions of the run style list.
enum class RunStyleChoice { Normal, HorizontalBias, VerticalBias, RandomRun };
/// The appearances in the order of their option buttons.
enum class AppearanceChoice {
    ThinLines, ThickLines, ThinRounded, ElectronicCircuits, MediumLines, Plumbing,
    Fences, DoubleLine, Shaded, Planks, TinyBricks, CityPlan
};
/// The two difficulties, "Easier" first.
enum class DifficultyChoice { Easier, Harder };

/// A list position as an index into its caption table (and back, for a list widget).
template <typename E>
constexpr std::size_t position(E choice)
{
    return static_cast<std::size_t>(choice);
}

struct Choice {
    const char *caption;
    int value;
};

/// The maze type list, in list order, with each type's MazeType code.
inline constexpr std::array<Choice, 3> MazeTypes{{
    {"Top left to bottom right", TopLeftToBottomRight},
    {"Grid", GridMaze},
    {"Custom (using matte)", CustomMatte},
}};

/// The run style list, in list order, with each style's RunBias.
inline constexpr std::array<Choice, 4> RunStyles{{
    {"Normal", 0},
    {"Horizontal bias", 1},
    {"Vertical bias", 2},
    {"Random run", 0},
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

/// The difficulties, in the order of their option buttons.
inline constexpr std::array<Choice, 2> Difficulties{{
    {"Easier", 0},
    {"Harder (slower)", 1},
}};

/// What the user chose for one maze, in the window's terms and with its start-up values.
/// A matte is in use exactly when the type is CustomMatte: the window and the command
/// line both tie the two together.
struct Choices {
    double widthCells = 50;   // as typed; the grid truncates it
    double heightCells = 70;
    MazeTypeChoice type = MazeTypeChoice::TopLeftToBottomRight;
    int runSlider = 3;        // 0..10
    RunStyleChoice runStyle = RunStyleChoice::Normal;
    AppearanceChoice appearance = AppearanceChoice::ThinLines;
    bool loops = false;
    double loopPercent = 10;  // read only while loops are on
    DifficultyChoice difficulty = DifficultyChoice::Easier;
    std::optional<std::uint32_t> seed{};  // none: the caller seeds from the clock
    // What the outputs draw besides the maze; the walk never reads these.
    bool marks = false;      // "Mark start and finish"
    bool answerKey = false;  // "Answer key": the solution beside every output

    bool usesMatte() const { return type == MazeTypeChoice::CustomMatte; }
};

/// Writes the choices into the state as Generate reads its controls: dimensions in
/// nodes, MazeType, RunLength, RunBias, RandomRun, MazeStyle, CityPlan, LoopChance
/// and Harder. City plan has no tile set, so MazeStyle keeps its previous value.
/// The seed and the matte are left to the caller.
void apply_choices(const Choices &choices, MazeState &s);

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

/// The size check of Generate for a MazeType code, on dimensions in nodes.
std::optional<SizeRefusal> check_size(int mazeType, std::int64_t gridWidth, std::int64_t gridHeight);
/// The size check of Generate for the chosen type and typed dimensions.
std::optional<SizeRefusal> check_size(const Choices &choices);

} // namespace params

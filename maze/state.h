#pragma once

#include "maze/grid.h"
#include "maze/random.h"

#include <array>
#include <cstdint>
#include <vector>

/// Direction codes shared by every walk: one step in direction d moves by (dx[d], dy[d]).
enum Direction : std::uint8_t { NoDirection = 0, Right = 1, Down = 2, Left = 3, Up = 4 };
inline constexpr std::array<int, 5> StepX{0, 1, 0, -1, 0};
inline constexpr std::array<int, 5> StepY{0, 0, 1, 0, -1};

/// Maze types as Generate stores them.
enum MazeTypeCode : std::uint8_t { CustomMatte = 0, TopLeftToBottomRight = 1, GridMaze = 3 };

/// The program state record: the parameters of a maze, the grid and the start and
/// finish points. The window, the walks, the outputs and the matte editor all read
/// and write this one record; the command line and the tests make their own.
struct MazeState {
    // Dimensions in nodes (2 x cells + 1). Wider than the grid's 16 bits so that a
    // silly number typed into a box is held, shown and refused rather than wrapped.
    std::int64_t GridWidth = 101;
    std::int64_t GridHeight = 141;
    std::int64_t MatteCols = 0;
    std::int64_t MatteRows = 0;

    bool UseMatte = false;
    std::int16_t StartX = -1, StartY = -1;
    std::int16_t FinishX = -1, FinishY = -1;

    std::uint8_t MazeType = 0;
    std::uint8_t MazeStyle = 0;
    std::uint8_t RunBias = 0;  // 0 none, 1 horizontal, 2 vertical
    bool RandomRun = false;
    std::int16_t RunLength = 0;
    float LoopChance = 0.0f;
    bool Harder = false;     // "Harder (slower)" chosen: Retraced holds row flags
    bool CityPlan = false;   // the "City plan" appearance, drawn only on a printed page
    bool MonochromeChosen = false;

    // The grid: Carved, Blocked and Retraced (the "Easier" layout) as flags per node.
    NodeGrid grid;
    // Retraced in the "Harder (slower)" layout: one flag per row of nodes, 0..GridHeight.
    std::vector<std::uint8_t> RowFlags;

    // The carving walk's working variables.
    std::int16_t CurX = 0, CurY = 0;
    std::uint8_t LastDir = 0;
    std::array<std::uint8_t, 5> DirList{};
    std::int16_t CornerWidth = 0, CornerHeight = 0;

    Random rng;

    /// One uniform number 0 <= r < 1 from the program's sequence.
    float Rnd() { return rng.next(); }
};

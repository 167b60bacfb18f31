#pragma once

#include <cstddef>

struct MazeState;

/// What a finished maze measures, in cells, worked out once by solve_maze.
struct MazeMeasures {
    bool solved = false;              ///< a path joins the start to the finish
    long long solutionLength = 0;     ///< cells on the path, start and finish included; 0 when unsolved
    long long deadEnds = 0;           ///< carved cells with exactly one open side
    long long junctions = 0;          ///< carved cells with three or four open sides
    long long solutionJunctions = 0;  ///< junctions on the path
    long long solutionTurns = 0;      ///< changes of direction between consecutive steps of the path
    long long longestCorridor = 0;    ///< the longest run of joined carved cells in one row or column
};

/// Share of the cells the search's queue may hold at once: four bytes an entry keep it
/// within half a byte a cell. A maze's frontier is far smaller (a few thousand cells on the
/// largest grid); only a shape built to fan out evenly could reach it.
inline constexpr std::size_t FrontierCellsPerEntry = 8;

/// Finds a shortest path of cells from the start to the finish (end_points) by breadth-first
/// search, ties going to the first of right, down, left, up, and measures the maze.
/// A side of a cell is open when the wall node and the cell beyond it are both carved.
/// Leaves NodeGrid::Mark on exactly the path's nodes (its cells and the passages between
/// them) and Retraced clear on every node: the walks' flag is free once a maze is carved and
/// holds the search's marks meanwhile, so the only memory added is the queue, then two bits
/// a step of the path. Throws std::length_error, leaving no marks, when the queue would
/// outgrow one entry per FrontierCellsPerEntry cells.
MazeMeasures solve_maze(MazeState &s);

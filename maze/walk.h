#pragma once

struct MazeState;
class Progress;

/// Counts of one walk's work, for benchmarks and tests.
struct WalkStats {
    long long passes = 0;    ///< passes of the main loop
    long long hunts = 0;     ///< "Harder (slower)": scans for a new source
    long long rowDraws = 0;  ///< "Harder (slower)": random row draws made by the hunts
};

/// The "Easier" walk: carves the framed grid by backtracking, reporting to `progress`, and
/// returns the number of cell nodes carved (NodesDrawn). Expects the grid framed (odd sizes,
/// CurX, CurY on the carved start) and the per-node Retraced flags clear. Returns early, with
/// the count so far, when the progress reports a stop request. The progress hooks must not
/// touch the state. Throws std::invalid_argument, changing nothing, when the grid cannot be
/// walked (an even or too small size, a start that is not a cell node of the grid) or
/// RunLength lies outside 0..4095.
long long make_maze(MazeState &s, Progress &progress);
long long make_maze(MazeState &s, Progress &progress, WalkStats *stats);

/// The "Harder (slower)" walk: as make_maze, but at a dead end it hunts for a carved cell
/// with a free neighbour, row by row from a random origin, using s.RowFlags (one flag per
/// row of nodes, resized and cleared when its size is not GridHeight + 1). Per-node Retraced
/// flags are neither read nor written.
long long make_maze_2(MazeState &s, Progress &progress);
long long make_maze_2(MazeState &s, Progress &progress, WalkStats *stats);

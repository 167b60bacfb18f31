#pragma once

struct MazeState;
class Progress;

/// Allocates the arrays of a new maze from GridWidth and GridHeight: Carved, Retraced and Mark
/// afresh, Blocked afresh unless a matte is in use (then the matte's Blocked is kept).
/// Throws std::length_error for a size the grid cannot hold, std::bad_alloc when memory
/// runs out; the old maze is gone either way.
void allocate_arrays(MazeState &s);

/// Frames the allocated grid and carves it with the chosen difficulty (s.Harder).
/// Returns NodesDrawn; the walk stops early when progress.stopRequested().
long long carve_maze(MazeState &s, Progress &progress);

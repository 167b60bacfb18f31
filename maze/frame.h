#pragma once

struct MazeState;

/// Marks the nodes the maze type leaves out, places the start and finish and carves
/// the start node, leaving CurX, CurY on it. The grid must be allocated; with a matte
/// Blocked and the points are the matte editor's and are kept.
void make_frame(MazeState &s);

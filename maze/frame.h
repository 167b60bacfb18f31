#pragma once

struct MazeState;

/// Marks the nodes the maze type leaves out, places the start and finish and carves
/// the start node, leaving CurX, CurY on it. The grid must be allocated; with a matte
/// Blocked and the points are the matte editor's and are kept.
void make_frame(MazeState &s);

/// The start and finish nodes of a maze; -1 where a maze has none.
struct EndPoints {
    int startX = -1, startY = -1;
    int finishX = -1, finishY = -1;
};

/// The state's start and finish, or, once Generate has reset them after a framed maze,
/// the frame's own points for the grid's size and MazeType.
EndPoints end_points(const MazeState &s);

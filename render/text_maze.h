#pragma once

#include <string>

struct MazeState;

/// The maze as plain text, one character per node of 1..GridWidth x 1..GridHeight and
/// one line per row: '#' a wall (a node any picture draws a tile on), ' ' a passage,
/// '.' a node outside the maze, 'S' and 'F' the start and the finish. With `solution`, the
/// nodes solve_maze marked, other than S and F, are '+'.
std::string maze_text(const MazeState &s, bool solution = false);

/// Writes maze_text to `path` through a temporary file, so a failure leaves nothing
/// under that name. Throws std::runtime_error naming the file and the cause.
void write_maze_text(const MazeState &s, const std::string &path, bool solution = false);

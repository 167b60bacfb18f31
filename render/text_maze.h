#pragma once

#include <cstdint>
#include <string>

class AtomicFile;
struct MazeState;

/// The maze as plain text, one character per node of 1..GridWidth x 1..GridHeight and
/// one line per row: '#' a wall (a node any picture draws a tile on), ' ' a passage,
/// '.' a node outside the maze, 'S' and 'F' the start and the finish. With `solution`, the
/// nodes solve_maze marked, other than S and F, are '+'.
std::string maze_text(const MazeState &s, bool solution = false);

/// The length of maze_text in bytes, from GridWidth and GridHeight: known before the grid is made.
std::uint64_t maze_text_bytes(const MazeState &s);

/// Writes maze_text (with `solution`, the answer key) to `file` a block of rows at a time,
/// after checking that its disk has room; the caller commits. Throws std::runtime_error
/// naming the file and the cause.
void write_maze_text(const MazeState &s, AtomicFile &file, bool solution = false);

/// Writes maze_text to `path`, whole or not at all. Throws std::runtime_error naming
/// the file and the cause; nothing is left under that name then.
void write_maze_text(const MazeState &s, const std::string &path, bool solution = false);

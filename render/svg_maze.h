#pragma once

#include <string>

class AtomicFile;
class Progress;
class Random;
struct MazeState;

/// What an SVG drawing of a maze holds besides the tiles, and at what size.
struct SvgOptions {
    bool solution = false;       ///< the line through the nodes solve_maze marked, in red
    bool marks = false;          ///< a green disc on the start cell, a red ring on the finish cell
    int scale = 1;               ///< pixels per tile pixel of the drawing's width and height
    Random *cityPlan = nullptr;  ///< City plan: random slabs from this sequence instead of tiles
};

/// The maze as an SVG 1.1 drawing on the bitmap's canvas: the tile size times
/// (GridWidth + 2) x (GridHeight + 2), a one-node margin all round. The tiles are their
/// pixels as merged filled rectangles in the tiles' own colours, one tile pixel a unit, so
/// the drawing at one pixel a unit is the grid of tiles exactly; arrows, marks and the
/// solution are paths. Written through AtomicFile, with a report of the Rendering phase per
/// node row; false, with nothing left behind, when a stop was requested. Throws
/// std::runtime_error naming the file and the cause on failure.
bool write_maze_svg(const MazeState &s, const std::string &path, Progress &progress, const SvgOptions &options = {});

/// The same into an open `file`, which the caller commits (or drops when false).
bool write_maze_svg(const MazeState &s, AtomicFile &file, Progress &progress, const SvgOptions &options = {});

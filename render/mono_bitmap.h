#pragma once

#include "maze/frame.h"
#include "maze/grid.h"

#include <array>
#include <cstdint>
#include <string>

class AtomicFile;
class Progress;

/// Pixel size and row layout of the monochrome bitmap of a grid: the grid of tiles,
/// no margin, no arrows.
struct MonoLayout {
    std::uint32_t width = 0;     ///< pixels: tile width x grid width
    std::uint32_t height = 0;    ///< pixels: tile height x grid height
    std::uint32_t rowBytes = 0;  ///< bytes per stored pixel row, a multiple of 4
    std::uint64_t fileBytes = 0; ///< header and every pixel row
};

/// The layout for a grid of gridWidth x gridHeight nodes in tiles of tileWidth x tileHeight
/// pixels, computed in 32 bits so that the largest grid fits in every tile set.
MonoLayout mono_layout(int gridWidth, int gridHeight, int tileWidth, int tileHeight);

/// The 62-byte file header: file header, 40-byte information header, black and white
/// palette. The two size fields are 0 when the file outgrows their 32 bits.
std::array<std::uint8_t, 62> mono_header(const MonoLayout &layout);

/// The share written once node row y of gridHeight rows is on its way (rows are written
/// from the bottom up, so the first row reported is the last one).
int mono_percent(int y, int gridHeight);

/// What the monochrome file draws over the maze, in black. The writer composes these into its
/// rows from their geometry (render/overlay.h) as it composes the tiles: nothing is painted.
struct MonoOverlay {
    bool solution = false;  ///< a line through the centres of the nodes NodeGrid::Mark holds,
                            ///< dotted where the tile set has walls as thin as the line
    bool marks = false;     ///< a filled disc on the start cell, a ring on the finish cell
    EndPoints ends;         ///< where the marks go
};

/// Writes the finished grid as a 1-bit bitmap in tile set `style` (0..10) to `path`.
/// Memory use depends on the width only: the tile masks and a buffer of a few node rows.
/// The file is written whole or not at all (AtomicFile), after checking its disk has room.
/// Returns false when progress.stopRequested() ended the writing (nothing is left
/// behind); throws std::runtime_error naming the file and the cause on failure, the
/// partial file removed.
bool write_mono_bitmap(const NodeGrid &grid, int style, const std::string &path, Progress &progress,
                       const MonoOverlay &overlay = {});

/// The same into an open `out`, which the caller commits (or drops when false).
bool write_mono_bitmap(const NodeGrid &grid, int style, AtomicFile &out, Progress &progress,
                       const MonoOverlay &overlay = {});

#pragma once

#include "maze/frame.h"
#include "maze/grid.h"

#include <array>
#include <cstddef>
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

/// Where the rows of the monochrome picture go as they are composed: a file's writer.
class MonoRowSink {
public:
    virtual ~MonoRowSink() = default;
    /// True to be given the node rows from the bottom one up, false from the top down.
    virtual bool bottomUp() const = 0;
    /// Called once before any row, with the picture's layout at one pixel a tile pixel.
    virtual void start(const MonoLayout &layout, int tileHeight) = 0;
    /// Room for the next node row: tileHeight rows of layout.rowBytes.
    virtual std::uint8_t *reserve() = 0;
    /// The room last reserved holds its node row's `rows` pixel rows, bottom row first,
    /// each as the bitmap stores it: 1 for white, leftmost pixel highest, white pad bits.
    virtual void take(int rows) = 0;
    /// Called after the last row; the file is then complete.
    virtual void finish() = 0;
};

/// Composes the finished grid in tile set `style` (0..10) with its overlay into rows for
/// `sink`, a node row at a time, reporting the RenderingToDisk phase after each. False when
/// progress.stopRequested() ended it, before finish().
bool compose_mono_rows(const NodeGrid &grid, int style, MonoRowSink &sink, Progress &progress,
                       const MonoOverlay &overlay = {});

/// Throws std::invalid_argument naming `path` for an empty grid, a tile set not in 0..10 or
/// a scale below 1.
void check_mono_request(const NodeGrid &grid, int style, int scale, const std::string &path);

/// Bytes of a row of `width` pixels enlarged `scale` times, padded as the bitmap pads.
std::size_t scaled_row_bytes(std::uint32_t width, int scale);
/// Enlarges a composed row of `width` pixels `scale` times across into `out`, with white pad bits.
void scale_mono_row(const std::uint8_t *row, std::uint32_t width, int scale, std::uint8_t *out);

/// Writes the finished grid as a 1-bit bitmap in tile set `style` (0..10) to `path`,
/// each pixel as `scale` x `scale` pixels.
/// Memory use depends on the width only: the tile masks and a buffer of a few node rows.
/// The file is written whole or not at all (AtomicFile), after checking its disk has room.
/// Returns false when progress.stopRequested() ended the writing (nothing is left
/// behind); throws std::runtime_error naming the file and the cause on failure, the
/// partial file removed.
bool write_mono_bitmap(const NodeGrid &grid, int style, const std::string &path, Progress &progress,
                       const MonoOverlay &overlay = {}, int scale = 1);

/// The same into an open `out`, which the caller commits (or drops when false).
bool write_mono_bitmap(const NodeGrid &grid, int style, AtomicFile &out, Progress &progress,
                       const MonoOverlay &overlay = {}, int scale = 1);

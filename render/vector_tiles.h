#pragma once

#include "maze/grid.h"
#include "render/tiles.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

/// A rectangle of pixels of one shade, in tile pixels from the top-left corner of node (1, 1).
struct PixelRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    tiles::Shade shade = tiles::Black;

    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

/// Nodes x0..x1 across and y0..y1 down, both ends included.
struct NodeSpan {
    int x0 = 1, y0 = 1, x1 = 0, y1 = 0;
    bool empty() const { return x1 < x0 || y1 < y0; }
};

/// The exact vector form of a grid of tiles: every pixel that is not white, as few filled
/// rectangles as equal pixels allow. Runs of a shade are merged along each pixel row, across
/// the tiles' edges, and a run continues down while the rows below repeat it exactly, so a
/// straight wall of a line set is one rectangle. Every pixel lies in exactly one rectangle.
class TileRects {
public:
    /// Throws std::invalid_argument for a set without its sixteen tiles.
    explicit TileRects(const tiles::TileSet &set);

    int tileWidth() const { return tw_; }
    int tileHeight() const { return th_; }

    /// Called with each rectangle as it is complete; they come in no particular order.
    using Emit = std::function<void(const PixelRect &)>;
    /// Called after node row y; returning false stops the tracing.
    using RowDone = std::function<bool(int y)>;

    /// Traces the tiles of `nodes` (clipped to the grid), row by row from the top, holding
    /// only the rectangles still open at the current pixel row. False when `rowDone` stopped it.
    bool trace(const NodeGrid &grid, NodeSpan nodes, const Emit &emit, const RowDone &rowDone = {}) const;

private:
    struct Run {
        std::int32_t x0, x1;  // pixels x0..x1 - 1
        tiles::Shade shade;
    };
    int tw_, th_;
    /// The runs of each tile (0..16, 0 empty) in each of its pixel rows: runs_[tile * th + row].
    std::vector<std::vector<Run>> runs_;
};

/// The corner arrow as two polygons (the head and the shaft) in the picture's 128 x 128
/// pixel units: the shapes whose pixels the picture holds, to be filled together.
const std::array<std::vector<std::array<double, 2>>, 2> &corner_arrow_shape();

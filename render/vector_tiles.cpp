#include "render/vector_tiles.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

TileRects::TileRects(const tiles::TileSet &set) : tw_(set.width), th_(set.height)
{
    if (tw_ < 1 || th_ < 1 || set.count != tiles::TilesPerSet)
        throw std::invalid_argument(std::string("tile set ") + set.name + " cannot be drawn as rectangles");
    runs_.resize(static_cast<std::size_t>(tiles::TilesPerSet + 1) * th_);
    for (int t = 1; t <= tiles::TilesPerSet; ++t)
        for (int b = 0; b < th_; ++b) {
            std::vector<Run> &row = runs_[static_cast<std::size_t>(t) * th_ + b];
            for (int a = 0; a < tw_;) {
                const tiles::Shade shade = set.shade(t, a, b);
                int end = a + 1;
                while (end < tw_ && set.shade(t, end, b) == shade)
                    ++end;
                if (shade != tiles::White)
                    row.push_back({a, end, shade});
                a = end;
            }
        }
}

bool TileRects::trace(const NodeGrid &grid, NodeSpan nodes, const Emit &emit, const RowDone &rowDone) const
{
    nodes.x0 = std::max(nodes.x0, 1);
    nodes.y0 = std::max(nodes.y0, 1);
    nodes.x1 = std::min(nodes.x1, grid.width());
    nodes.y1 = std::min(nodes.y1, grid.height());
    if (nodes.empty())
        return true;

    struct Open {
        Run run;
        std::int32_t top;
    };
    std::vector<std::uint8_t> tileOf(static_cast<std::size_t>(nodes.x1 - nodes.x0 + 1));
    std::vector<Run> row;
    std::vector<Open> open, next;
    auto close = [&](const Open &o, std::int32_t bottom) {
        emit(PixelRect{o.run.x0, o.top, o.run.x1 - o.run.x0, bottom - o.top, o.run.shade});
    };

    for (int y = nodes.y0; y <= nodes.y1; ++y) {
        for (int x = nodes.x0; x <= nodes.x1; ++x)
            tileOf[static_cast<std::size_t>(x - nodes.x0)] = static_cast<std::uint8_t>(find_bitmap(grid, x, y));
        for (int b = 0; b < th_; ++b) {
            const std::int32_t pixelY = (y - 1) * th_ + b;
            // The row's runs, joined where a run ends on a tile's edge and the next tile's
            // run of the same shade starts there.
            row.clear();
            for (int x = nodes.x0; x <= nodes.x1; ++x) {
                const int t = tileOf[static_cast<std::size_t>(x - nodes.x0)];
                if (t == 0)
                    continue;
                const std::int32_t left = (x - 1) * tw_;
                for (const Run &r : runs_[static_cast<std::size_t>(t) * th_ + b]) {
                    if (!row.empty() && row.back().x1 == left + r.x0 && row.back().shade == r.shade)
                        row.back().x1 = left + r.x1;
                    else
                        row.push_back({left + r.x0, left + r.x1, r.shade});
                }
            }
            // Both lists are in order of x: a run that repeats an open rectangle exactly
            // extends it; every other open rectangle ends above this row.
            next.clear();
            std::size_t o = 0;
            for (const Run &r : row) {
                while (o < open.size() && open[o].run.x0 < r.x0)
                    close(open[o++], pixelY);
                if (o < open.size() && open[o].run.x0 == r.x0 && open[o].run.x1 == r.x1 && open[o].run.shade == r.shade) {
                    next.push_back(open[o++]);
                } else {
                    if (o < open.size() && open[o].run.x0 == r.x0)
                        close(open[o++], pixelY);
                    next.push_back({r, pixelY});
                }
            }
            while (o < open.size())
                close(open[o++], pixelY);
            std::swap(open, next);
        }
        if (rowDone && !rowDone(y)) {
            return false;
        }
    }
    for (const Open &o : open)
        close(o, nodes.y1 * th_);
    return true;
}

const std::array<std::vector<std::array<double, 2>>, 2> &corner_arrow_shape()
{
    // The picture's pixel (x, y) is black when the point (x, y) lies in the shapes the
    // drawing program fills, so the vector shapes sit on the pixels' centres, half a pixel
    // down and right of those, and the head's square sides on the edges of its last pixels.
    static const auto shape = [] {
        std::array<std::vector<std::array<double, 2>>, 2> s;
        constexpr double h = 0.5, edge = 96;
        // The head's long side, 39 x + 43 y = 39 x 95 + 43 x 56, moved onto the centres.
        const double c = 39.0 * 95 + 43.0 * 56 + (39 + 43) * h;
        s[0] = {{edge, (c - 39 * edge) / 43}, {edge, edge}, {(c - 43 * edge) / 39, edge}};
        const double ax = 31, ay = 38, bx = 84, by = 79, half = 6.5;
        const double len = std::hypot(bx - ax, by - ay);
        const double nx = -(by - ay) / len * half, ny = (bx - ax) / len * half;
        // Both turn the same way, so that filling by winding joins them instead of cutting
        // their overlap out.
        s[1] = {{ax - nx + h, ay - ny + h}, {bx - nx + h, by - ny + h}, {bx + nx + h, by + ny + h}, {ax + nx + h, ay + ny + h}};
        return s;
    }();
    return shape;
}

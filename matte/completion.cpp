#include "matte/completion.h"

#include "maze/grid.h"

#include <stdexcept>
#include <string>

namespace {

void requireMatchingGrid(const NodeGrid &grid, const CellMap &cells)
{
    if (grid.width() != 2 * cells.cols() + 1 || grid.height() != 2 * cells.rows() + 1)
        throw std::invalid_argument("grid of " + std::to_string(grid.width()) + " x "
                                    + std::to_string(grid.height()) + " nodes does not hold a matte of "
                                    + std::to_string(cells.cols()) + " x " + std::to_string(cells.rows())
                                    + " cells");
}

void requirePoint(const NodeGrid &grid, NodePoint point, const char *name)
{
    if (point.isSet() && !isCellOfMatte(point, (grid.width() - 1) / 2, (grid.height() - 1) / 2))
        throw std::invalid_argument(std::string(name) + " point (" + std::to_string(point.x) + ", "
                                    + std::to_string(point.y) + ") is not a cell of the matte");
}

} // namespace

bool isCellOfMatte(NodePoint point, int cols, int rows)
{
    return NodeGrid::isCellNode(point.x, point.y, 2 * cols + 1, 2 * rows + 1);
}

void mark_cells(NodeGrid &grid, const CellMap &paper)
{
    requireMatchingGrid(grid, paper);
    for (int cy = 0; cy < paper.rows(); ++cy)
        for (int cx = 0; cx < paper.cols(); ++cx)
            if (paper.at(cx, cy))
                grid.set(2 * cx + 2, 2 * cy + 2, NodeGrid::Blocked);
}

void close_point(NodeGrid &g, int px, int py)
{
    const int gw = g.width();
    const int gh = g.height();
    constexpr auto B = NodeGrid::Blocked;
    if (px > 2 && g.blocked(px - 2, py))
        g.set(px - 1, py, B);
    if (px < gw - 1 && g.blocked(px + 2, py))
        g.set(px + 1, py, B);
    if (py > 2 && g.blocked(px, py - 2))
        g.set(px, py - 1, B);
    if (py < gh - 1 && g.blocked(px, py + 2))
        g.set(px, py + 1, B);
    if (g.blocked(px - 1, py) && g.blocked(px, py - 1))
        g.set(px - 1, py - 1, B);
    if (g.blocked(px + 1, py) && g.blocked(px, py - 1))
        g.set(px + 1, py - 1, B);
    if (g.blocked(px - 1, py) && g.blocked(px, py + 1))
        g.set(px - 1, py + 1, B);
    if (g.blocked(px + 1, py) && g.blocked(px, py + 1))
        g.set(px + 1, py + 1, B);
}

void complete_matte(NodeGrid &g, NodePoint start, NodePoint finish)
{
    if (g.width() < 3 || g.height() < 3)
        throw std::invalid_argument("grid of " + std::to_string(g.width()) + " x " + std::to_string(g.height())
                                    + " nodes holds no matte cell");
    requirePoint(g, start, "start");
    requirePoint(g, finish, "finish");
    const int gw = g.width();
    const int gh = g.height();
    constexpr auto B = NodeGrid::Blocked;

    // C1 and C2 walk rows in the outer loop, where the grid lies in memory. C1 writes
    // only odd columns from even ones, so its order is free; C2 feeds each node to the
    // one below it in the same column, and that downward order is kept.
    for (int y = 2; y <= gh - 1; ++y)
        for (int x = 3; x <= gw - 2; x += 2)
            if (g.blocked(x - 1, y) && g.blocked(x + 1, y))
                g.set(x, y, B);
    // C2 fills walls and corners only. A cell node would need the wall below it closed
    // before C2 gets there, which happens only on the second completion of "Remove
    // unused areas", around a start or finish whose cells above and below are paper:
    // excluding it there would make the finish unreachable.
    for (int y = 2; y <= gh - 1; ++y) {
        const int step = y % 2 == 0 ? 2 : 1;
        for (int x = 1; x <= gw; x += step)
            if (g.blocked(x, y - 1) && g.blocked(x, y + 1))
                g.set(x, y, B);
    }
    for (int x = 1; x <= gw; ++x) {
        if (g.blocked(x, 2))
            g.set(x, 1, B);
        if (g.blocked(x, gh - 1))
            g.set(x, gh, B);
    }
    for (int y = 1; y <= gh; ++y) {
        if (g.blocked(2, y))
            g.set(1, y, B);
        if (g.blocked(gw - 1, y))
            g.set(gw, y, B);
    }
    if (start.isSet())
        close_point(g, start.x, start.y);
    if (finish.isSet())
        close_point(g, finish.x, finish.y);
}

void remove_unused_areas(NodeGrid &grid, const CellMap &linked, NodePoint start, NodePoint finish)
{
    requireMatchingGrid(grid, linked);
    for (int cy = 0; cy < linked.rows(); ++cy)
        for (int cx = 0; cx < linked.cols(); ++cx)
            grid.assign(2 * cx + 2, 2 * cy + 2, NodeGrid::Blocked, !linked.at(cx, cy));
    complete_matte(grid, start, finish);
}

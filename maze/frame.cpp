#include "maze/frame.h"

#include "maze/state.h"

#include <algorithm>

namespace {

// Both sides come from the width, so the corner squares are square. On a grid far
// wider than it is high they would reach past the bottom edge, putting the start
// outside the grid: there they stop one node short of it.
int cornerSide(int gw, int gh)
{
    return std::min(std::max(4, 2 * (gw / 20)), gh - 1);
}

// The last corridor of a "Grid" maze: the largest 2 + 6k not above n - 1.
int lastCorridor(int n)
{
    int last = 2;
    while (last + 6 <= n - 1)
        last += 6;
    return last;
}

void frameTopLeftToBottomRight(MazeState &s)
{
    NodeGrid &g = s.grid;
    const int gw = g.width();
    const int gh = g.height();
    const int side = cornerSide(gw, gh);
    s.CornerWidth = static_cast<std::int16_t>(side);
    s.CornerHeight = static_cast<std::int16_t>(side);

    for (int x = 1; x <= side; ++x)
        for (int y = 1; y <= side; ++y)
            g.set(x, y, NodeGrid::Blocked);
    for (int x = gw - side + 1; x <= gw; ++x)
        for (int y = gh - side + 1; y <= gh; ++y)
            g.set(x, y, NodeGrid::Blocked);

    s.StartX = static_cast<std::int16_t>(side);
    s.StartY = static_cast<std::int16_t>(side);
    s.FinishX = static_cast<std::int16_t>(gw - side + 1);
    s.FinishY = static_cast<std::int16_t>(gh - side + 1);
    g.unset(s.FinishX, s.FinishY, NodeGrid::Blocked);
}

void frameGrid(MazeState &s)
{
    NodeGrid &g = s.grid;
    const int gw = g.width();
    const int gh = g.height();
    for (int y = 1; y <= gh; ++y)
        for (int x = 1; x <= gw; ++x)
            g.set(x, y, NodeGrid::Blocked);

    const int lastX = lastCorridor(gw);
    const int lastY = lastCorridor(gh);

    g.unset(1, lastY + 1, NodeGrid::Blocked);
    g.unset(lastX + 1, 1, NodeGrid::Blocked);
    for (int x = 2; x <= gw - 1; x += 6)
        for (int y = 2; y <= lastY; ++y)
            for (int dx = -1; dx <= 1; ++dx)
                g.unset(x + dx, y, NodeGrid::Blocked);
    for (int y = 2; y <= gh - 1; y += 6)
        for (int x = 2; x <= lastX; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                g.unset(x, y + dy, NodeGrid::Blocked);

    s.StartX = 2;
    s.StartY = 2;
    g.unset(2, 2, NodeGrid::Blocked);
    g.set(1, 2, NodeGrid::Blocked);
    g.set(1, 1, NodeGrid::Blocked);
    g.set(2, 1, NodeGrid::Blocked);

    s.FinishX = static_cast<std::int16_t>(lastX);
    s.FinishY = static_cast<std::int16_t>(lastY);
    g.set(lastX, lastY + 1, NodeGrid::Blocked);
    g.set(lastX + 1, lastY + 1, NodeGrid::Blocked);
    g.set(lastX + 1, lastY, NodeGrid::Blocked);
    g.unset(lastX, lastY, NodeGrid::Blocked);
}

} // namespace

void make_frame(MazeState &s)
{
    if (s.UseMatte) {
        s.CurX = s.StartX;
        s.CurY = s.StartY;
        s.grid.set(s.CurX, s.CurY, NodeGrid::Carved);
        return;
    }
    if (s.MazeType == TopLeftToBottomRight)
        frameTopLeftToBottomRight(s);
    else if (s.MazeType == GridMaze)
        frameGrid(s);
    s.CurX = s.StartX;
    s.CurY = s.StartY;
    // A custom type without a matte has no start to carve; Generate never gets here then.
    if (s.grid.contains(s.CurX, s.CurY))
        s.grid.set(s.CurX, s.CurY, NodeGrid::Carved);
}

EndPoints end_points(const MazeState &s)
{
    if (s.StartX != -1 && s.FinishX != -1)
        return {s.StartX, s.StartY, s.FinishX, s.FinishY};
    const int gw = s.grid.width();
    const int gh = s.grid.height();
    if (s.MazeType == TopLeftToBottomRight) {
        const int side = cornerSide(gw, gh);
        return {side, side, gw - side + 1, gh - side + 1};
    }
    if (s.MazeType == GridMaze)
        return {2, 2, lastCorridor(gw), lastCorridor(gh)};
    return {};
}

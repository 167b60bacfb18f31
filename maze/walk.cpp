#include "maze/walk.h"

#include "maze/progress.h"
#include "maze/walk_steps.h"

#include <bit>
#include <stdexcept>
#include <string>

namespace walk_steps {

void checkWalkable(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    const int w = g.width();
    const int h = g.height();
    const auto size = std::to_string(w) + " x " + std::to_string(h);
    if (g.empty() || w < 3 || h < 3 || w % 2 == 0 || h % 2 == 0)
        throw std::invalid_argument("cannot carve a maze on a grid of " + size
                                    + " nodes: both sizes must be odd and at least 3");
    const auto isCell = [&](int x, int y) {
        return x >= 2 && y >= 2 && x <= w - 1 && y <= h - 1 && x % 2 == 0 && y % 2 == 0;
    };
    const auto point = [](int x, int y) {
        return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    };
    if (!isCell(s.StartX, s.StartY))
        throw std::invalid_argument("cannot carve a maze from " + point(s.StartX, s.StartY)
                                    + ": the start is not a cell of the " + size + " grid");
    if (!isCell(s.CurX, s.CurY))
        throw std::invalid_argument("cannot carve a maze from " + point(s.CurX, s.CurY)
                                    + ": the walk does not stand on a cell of the " + size + " grid");
    // Weights must stay positive and fit DirWeight's 16 bits.
    if (s.RunLength < 0 || s.RunLength > MaxRunLength)
        throw std::invalid_argument("cannot carve a maze with run length " + std::to_string(s.RunLength)
                                    + ": it must lie in 0.." + std::to_string(MaxRunLength));
}

} // namespace walk_steps

using namespace walk_steps;

void get_dirs(MazeState &s)
{
    freeDirs(Nodes(s.grid), s.CurX, s.CurY, s.DirList.data());
}

void get_exits(MazeState &s)
{
    exits(Nodes(s.grid), s.CurX, s.CurY, s.DirList.data());
}

std::uint8_t pick_dirs(MazeState &s)
{
    return pick(s.DirList.data(), s.DirWeight.data(), s.LastDir, s.RunLength, s.RunBias, s.Rnd());
}

long long make_maze(MazeState &s, Progress &progress)
{
    return make_maze(s, progress, nullptr);
}

long long make_maze(MazeState &s, Progress &progress, WalkStats *stats)
{
    checkWalkable(s);
    progress.caption("Generating...");

    const Nodes g(s.grid);
    const std::ptrdiff_t offset[5] = {0, 1, g.stride, -1, -g.stride};
    const int finishX = s.FinishX, finishY = s.FinishY;
    const int startX = s.StartX, startY = s.StartY;
    const bool loopsWanted = s.LoopChance > 0;

    long long nodesDrawn = 1;
    long long passes = 0;
    int tick = 0;
    int x = s.CurX, y = s.CurY;
    int lastDir = 0;
    if (s.RandomRun)
        s.RunLength = drawRunLength(s);
    Chooser chooser(s.RunLength, s.RunBias);

    for (;; ++passes) {
        if (++tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            if (progress.stopRequested()) {
                keepPosition(s, x, y, lastDir);
                if (stats)
                    stats->passes = passes;
                return nodesDrawn;
            }
            if (s.RandomRun) {
                s.RunLength = drawRunLength(s);
                chooser.setRun(s.RunLength, s.RunBias);
            }
        }
        if (x == finishX && y == finishY) {
            x = startX;
            y = startY;
            lastDir = 0;
        }

        std::uint8_t *p = g.at(x, y);
        if (const unsigned free = freeMask(g, x, y)) {
            const int d = chooser.pick(free, lastDir, s.Rnd());
            const std::ptrdiff_t step = offset[d];
            p[step] |= NodeGrid::Carved;
            p[2 * step] |= NodeGrid::Carved;
            x += 2 * StepX[d];
            y += 2 * StepY[d];
            ++nodesDrawn;
            lastDir = d;
            continue;
        }

        // Dead end. The chance is drawn whether or not loops are allowed; with loops off
        // (a chance of 0) a draw of exactly 0 must not open one.
        const float chance = s.Rnd();
        if (loopsWanted && percent(chance) <= s.LoopChance) {
            keepPosition(s, x, y, lastDir);
            openLoop(s, true);
        }
        const unsigned ways = exitMask(g, x, y);
        if (ways == 0)
            break;
        // Nearly always a single way back, the passage the walk came in by; the number is
        // drawn all the same.
        const float r = s.Rnd();
        const int d = (ways & (ways - 1)) == 0 ? std::countr_zero(ways) + 1
                                                : nthDir(ways, choose(r, std::popcount(ways)));
        const std::ptrdiff_t step = offset[d];
        p[0] |= NodeGrid::Retraced;
        p[step] |= NodeGrid::Retraced;
        x += 2 * StepX[d];
        y += 2 * StepY[d];
        lastDir = 0;
    }
    keepPosition(s, x, y, lastDir);
    if (stats)
        stats->passes = passes + 1;  // with the last pass, which found no way back
    // The lists as get_dirs and get_exits leave them on the last cell.
    exits(g, x, y, s.DirList.data());
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

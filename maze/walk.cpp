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

long long make_maze(MazeState &s, Progress &progress)
{
    return make_maze(s, progress, nullptr);
}

long long make_maze(MazeState &s, Progress &progress, WalkStats *stats)
{
    checkWalkable(s);
    progress.phase(Phase::Generating);

    const Nodes g(s.grid);
    const Ends ends(s);
    Position at{s.CurX, s.CurY, 0};
    long long nodesDrawn = 1;
    long long passes = 0;
    int tick = 0;
    Chooser chooser(s);

    for (;; ++passes) {
        if (stopAtReport(tick, s, progress, nodesDrawn, chooser)) {
            at.keep(s);
            if (stats)
                stats->passes = passes;
            return nodesDrawn;
        }
        ends.restartPastFinish(at);
        if (const unsigned free = freeMask(g, at.x, at.y)) {
            carveStep(g, at, chooser.pick(free, at.lastDir, s.Rnd()));
            ++nodesDrawn;
            continue;
        }

        deadEndLoop(s, at, true);
        const unsigned ways = exitMask(g, at.x, at.y);
        if (ways == 0)
            break;
        // Nearly always a single way back, the passage the walk came in by; the number is
        // drawn all the same.
        const float r = s.Rnd();
        const int d = (ways & (ways - 1)) == 0 ? std::countr_zero(ways) + 1
                                                : nthDir(ways, choose(r, std::popcount(ways)));
        std::uint8_t *p = g.at(at.x, at.y);
        p[0] |= NodeGrid::Retraced;
        p[g.offset[d]] |= NodeGrid::Retraced;
        at = {at.x + 2 * StepX[d], at.y + 2 * StepY[d], 0};
    }
    at.keep(s);
    if (stats)
        stats->passes = passes + 1;  // with the last pass, which found no way back
    s.DirList[0] = 0;  // as the last list of ways back leaves it
    report(progress, nodesDrawn);
    return nodesDrawn;
}

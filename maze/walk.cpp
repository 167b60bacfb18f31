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
    const auto point = [](int x, int y) {
        return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    };
    if (!g.isCell(s.StartX, s.StartY))
        throw std::invalid_argument("cannot carve a maze from " + point(s.StartX, s.StartY)
                                    + ": the start is not a cell of the " + size + " grid");
    if (!g.isCell(s.CurX, s.CurY))
        throw std::invalid_argument("cannot carve a maze from " + point(s.CurX, s.CurY)
                                    + ": the walk does not stand on a cell of the " + size + " grid");
    // Beyond MaxRunLength a weight would no longer fit the 16 bits it has always had.
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
    Random &rng = s.rng;
    Position at(g, s.CurX, s.CurY, 0);
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
        ends.restartPastFinish(g, at);
        const unsigned inside = g.inside(at.x, at.y);
        // The rows a step up or down leads next to: fetched now, while this step is chosen.
        __builtin_prefetch(at.word + 2 * g.stride);
        __builtin_prefetch(at.word - 2 * g.stride);
        const Around around(g, at.word);
        if (const unsigned free = around.free() & inside) {
            carveStep(g, at, chooser.pick(free, at.lastDir, rng.nextBits()));
            ++nodesDrawn;
            continue;
        }

        const unsigned ways = deadEndLoop(s, at, true) ? exitMask(g, at.x, at.y) : around.exits() & inside;
        if (ways == 0)
            break;
        // Nearly always a single way back, the passage the walk came in by; the number is
        // drawn all the same.
        int d;
        if ((ways & (ways - 1)) == 0) {
            rng.skip(1);
            d = std::countr_zero(ways) + 1;
        } else {
            d = nthDir(ways, choose(rng.nextBits(), std::popcount(ways)));
        }
        retraceStep(g, at, d);
    }
    at.keep(s);
    if (stats)
        stats->passes = passes + 1;  // with the last pass, which found no way back
    s.DirList[0] = 0;  // as the last list of ways back leaves it
    report(progress, nodesDrawn);
    return nodesDrawn;
}

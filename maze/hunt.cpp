#include "maze/walk.h"

#include "maze/hunt_index.h"
#include "maze/progress.h"
#include "maze/walk_steps.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

using namespace walk_steps;

long long make_maze_2(MazeState &s, Progress &progress)
{
    return make_maze_2(s, progress, nullptr);
}

long long make_maze_2(MazeState &s, Progress &progress, WalkStats *stats)
{
    checkWalkable(s);
    const Nodes g(s.grid);
    const Ends ends(s);

    // The flags are only kept once the index stands: a refused grid or a failed allocation
    // leaves them as they were.
    std::vector<std::uint8_t> previous;
    const bool resized = s.RowFlags.size() != static_cast<std::size_t>(g.height) + 1;
    if (resized) {
        previous.swap(s.RowFlags);
        s.RowFlags.assign(static_cast<std::size_t>(g.height) + 1, 0);
    }
    const std::uint8_t startFlag = s.RowFlags[ends.startY];
    s.RowFlags[ends.startY] = 1;
    std::optional<HuntIndex> built;
    try {
        built.emplace(g, s.RowFlags, ends.finishX, ends.finishY);
    } catch (...) {
        if (resized)
            s.RowFlags.swap(previous);
        else
            s.RowFlags[ends.startY] = startFlag;
        throw;
    }
    HuntIndex &index = *built;
    std::uint8_t *flags = s.RowFlags.data();

    progress.phase(Phase::Generating);
    const int originCols = (g.width - 3) / 2;
    const int originRows = (g.height - 3) / 2;

    Random &rng = s.rng;
    Position at(g, s.CurX, s.CurY, 0);
    long long nodesDrawn = 1;
    long long passes = 0, hunts = 0, rowDraws = 0;
    int tick = 0;
    Chooser chooser(s);

    const auto count = [&](long long allPasses) {
        if (stats) {
            stats->passes = allPasses;
            stats->hunts = hunts;
            stats->rowDraws = rowDraws;
        }
    };
    const auto advance = [&](int d) {
        carveStep(g, at, d);
        index.carve(at.x, at.y);
        ++nodesDrawn;
    };

    for (;; ++passes) {
        if (stopAtReport(tick, s, progress, nodesDrawn, chooser)) {
            at.keep(s);
            count(passes);
            return nodesDrawn;
        }
        ends.restartPastFinish(g, at);
        // The rows a step up or down leads next to, in the grid and in the index.
        __builtin_prefetch(at.word + 2 * g.stride);
        __builtin_prefetch(at.word - 2 * g.stride);
        index.prefetchAround(at.x, at.y);
        if (const unsigned free = Around(g, at.word).free() & g.inside(at.x, at.y)) {
            advance(chooser.pick(free, at.lastDir, rng.nextBits()));
            continue;
        }

        deadEndLoop(s, at, false);
        ++hunts;
        const int rx = (choose(rng.nextBits(), originCols) - 1) * 2 + 2;
        // These draws only pick the row to start in, yet each one is part of the sequence.
        int ry = 0;
        int tries = 0;
        do {
            ry = (choose(rng.nextBits(), originRows) - 1) * 2 + 2;
            ++tries;
        } while (!flags[ry] && tries <= g.height);
        rowDraws += tries;

        const HuntIndex::Result found = index.hunt(rx, ry);
        if (found.passedDeadEnd)
            at.lastDir = 0;
        if (!found.found) {
            at.moveTo(g, rx, ry, at.lastDir);
            break;
        }
        at.moveTo(g, found.x, found.y, at.lastDir);
        advance(chooser.pick(freeMask(g, at.x, at.y), at.lastDir, rng.nextBits()));
    }
    at.keep(s);
    count(passes + 1);
    s.DirList[0] = 0;  // as the scan's last get_dirs leaves it
    report(progress, nodesDrawn);
    return nodesDrawn;
}

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
    const int finishX = s.FinishX, finishY = s.FinishY;
    const int startX = s.StartX, startY = s.StartY;

    // The flags are only kept once the index stands: a refused grid or a failed allocation
    // leaves them as they were.
    std::vector<std::uint8_t> previous;
    const bool resized = s.RowFlags.size() != static_cast<std::size_t>(g.height) + 1;
    if (resized) {
        previous.swap(s.RowFlags);
        s.RowFlags.assign(static_cast<std::size_t>(g.height) + 1, 0);
    }
    const std::uint8_t startFlag = s.RowFlags[startY];
    s.RowFlags[startY] = 1;
    std::optional<HuntIndex> built;
    try {
        built.emplace(g, s.RowFlags, finishX, finishY);
    } catch (...) {
        if (resized)
            s.RowFlags.swap(previous);
        else
            s.RowFlags[startY] = startFlag;
        throw;
    }
    HuntIndex &index = *built;
    std::uint8_t *flags = s.RowFlags.data();

    progress.caption("Generating...");
    const bool loopsWanted = s.LoopChance > 0;
    const int originCols = (g.width - 3) / 2;
    const int originRows = (g.height - 3) / 2;
    const std::ptrdiff_t offset[5] = {0, 1, g.stride, -1, -g.stride};

    long long nodesDrawn = 1;
    long long passes = 0, hunts = 0, rowDraws = 0;
    int tick = 0;
    int x = s.CurX, y = s.CurY;
    int lastDir = 0;
    if (s.RandomRun)
        s.RunLength = drawRunLength(s);
    Chooser chooser(s.RunLength, s.RunBias);

    const auto count = [&](long long allPasses) {
        if (stats) {
            stats->passes = allPasses;
            stats->hunts = hunts;
            stats->rowDraws = rowDraws;
        }
    };
    const auto advance = [&](int d) {
        const std::ptrdiff_t step = offset[d];
        std::uint8_t *p = g.at(x, y);
        p[step] |= NodeGrid::Carved;
        p[2 * step] |= NodeGrid::Carved;
        x += 2 * StepX[d];
        y += 2 * StepY[d];
        index.carve(x, y);
        lastDir = d;
        ++nodesDrawn;
    };

    for (;; ++passes) {
        if (++tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            if (progress.stopRequested()) {
                keepPosition(s, x, y, lastDir);
                count(passes);
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

        if (const unsigned free = freeMask(g, x, y)) {
            advance(chooser.pick(free, lastDir, s.Rnd()));
            continue;
        }

        const float chance = s.Rnd();
        if (loopsWanted && percent(chance) <= s.LoopChance) {
            keepPosition(s, x, y, lastDir);
            openLoop(s, false);
        }
        ++hunts;
        const int rx = (choose(s.Rnd(), originCols) - 1) * 2 + 2;
        // These draws only pick the row to start in, yet each one is part of the sequence.
        int ry = 0;
        int tries = 0;
        do {
            ry = (choose(s.Rnd(), originRows) - 1) * 2 + 2;
            ++tries;
        } while (!flags[ry] && tries <= g.height);
        rowDraws += tries;

        const HuntIndex::Result found = index.hunt(rx, ry);
        if (found.passedDeadEnd)
            lastDir = 0;
        if (!found.found) {
            x = rx;
            y = ry;
            break;
        }
        x = found.x;
        y = found.y;
        advance(chooser.pick(freeMask(g, x, y), lastDir, s.Rnd()));
    }
    keepPosition(s, x, y, lastDir);
    count(passes + 1);
    s.DirList[0] = 0;  // as the scan's last get_dirs leaves it
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

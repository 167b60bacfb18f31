#include "maze/walk.h"
#include "maze/walk_steps.h"

namespace walk_steps {

void openLoop(MazeState &s, bool perNodeRetraced)
{
    NodeGrid &g = s.grid;
    const int x = s.CurX, y = s.CurY;
    // DirList[0] still holds the dead end's empty list; only the entries after it are reused.
    std::uint8_t *list = s.DirList.data();
    int n = 0;
    for (int d = Right; d <= Up; ++d) {
        const int x2 = x + 2 * StepX[d], y2 = y + 2 * StepY[d];
        if (x2 <= 1 || x2 >= g.width() || y2 <= 1 || y2 >= g.height())
            continue;
        const std::uint8_t cell = g.flags(x2, y2);
        if (perNodeRetraced && (cell & NodeGrid::Retraced))
            continue;
        if (cell & NodeGrid::Blocked)
            continue;
        if (g.flags(x + StepX[d], y + StepY[d]) & Taken)
            continue;
        list[++n] = static_cast<std::uint8_t>(d);
    }
    if (n == 0)
        return;
    const int d = list[choose(s.rng.nextBits(), n)];
    g.set(x + StepX[d], y + StepY[d], NodeGrid::Carved);
    // Marked retraced so that backtracking never runs through the loop. The hunt of the
    // harder walk has no per-node flags and does not backtrack, so it needs no mark.
    if (perNodeRetraced)
        g.set(x + StepX[d], y + StepY[d], NodeGrid::Retraced);
}

} // namespace walk_steps

#pragma once

// The steps shared by both walks and the loop maker, on raw node rows so that the hot
// loops keep their position in registers instead of in the state record.

#include "maze/progress.h"
#include "maze/state.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace walk_steps {

inline constexpr std::uint8_t Taken = NodeGrid::Carved | NodeGrid::Blocked;

/// The largest RunLength a walk accepts: 8 x 4095 + 1 still fits a 16-bit weight.
inline constexpr int MaxRunLength = 4095;

/// The grid's bytes with its row stride.
struct Nodes {
    explicit Nodes(NodeGrid &g)
        : base(g.row(0)), stride(static_cast<std::ptrdiff_t>(g.width()) + 1), width(g.width()),
          height(g.height()), offset{0, 1, stride, -1, -stride}
    {
    }
    std::uint8_t *at(int x, int y) const { return base + y * stride + x; }

    std::uint8_t *base;
    std::ptrdiff_t stride;
    int width;
    int height;
    std::ptrdiff_t offset[5];  // one step in direction d, in bytes
};

/// Int(r x n) + 1, one of 1..n. The product of a single and a 16-bit count is exact in
/// double, so it never rounds up onto the next integer as a single product can.
inline int choose(float r, int n)
{
    const double v = static_cast<double>(r) * n;
    const int whole = static_cast<int>(v);
    return whole - (whole > v) + 1;
}

/// choose() for the program's own numbers, which are whole multiples of 2^-24 (Random::next):
/// the product is then exact in integers, and quicker on the path from one step to the next.
inline int chooseDrawn(float r, int n)
{
    const auto k = static_cast<std::int64_t>(r * 16777216.0f);
    return static_cast<int>((k * n) >> 24) + 1;
}

/// Random x 100 rounded once to single precision, the loop chance draw.
inline float percent(float r)
{
    return static_cast<float>(static_cast<double>(r) * 100.0);
}

/// The free neighbours of (x, y) as a mask, bit d - 1 for direction d: the nodes two steps
/// away, inside the grid, neither carved nor blocked. The `>= 1` tests equal the "= 0" of
/// even positions and keep any other position inside the grid; the bytes are tested without
/// branching on them.
inline unsigned freeBits(const Nodes &g, int x, int y)
{
    const std::uint8_t *p = g.at(x, y);
    const std::ptrdiff_t down = 2 * g.stride;
    unsigned mask = 0;
    if (x + 2 <= g.width)
        mask |= unsigned(!(p[2] & Taken));
    if (y + 2 <= g.height)
        mask |= unsigned(!(p[down] & Taken)) << 1;
    if (x - 2 >= 1)
        mask |= unsigned(!(p[-2] & Taken)) << 2;
    if (y - 2 >= 1)
        mask |= unsigned(!(p[-down] & Taken)) << 3;
    return mask;
}

/// freeBits for the walk's next step.
inline unsigned freeMask(const Nodes &g, int x, int y)
{
    // A step down or up updates a wall node in a row that nothing has read yet: fetch both
    // rows now, alongside the rows of the cells, rather than stall on the step.
    const std::uint8_t *p = g.at(x, y);
    __builtin_prefetch(p + g.stride, 1);
    __builtin_prefetch(p - g.stride, 1);
    return freeBits(g, x, y);
}

/// freeBits(g, x, y) != 0, stopping at the first free direction: the hunt asks it of every
/// candidate, where this takes fewer instructions than the four tests without branches.
inline bool hasFreeDir(const Nodes &g, int x, int y)
{
    const std::uint8_t *p = g.at(x, y);
    const std::ptrdiff_t down = 2 * g.stride;
    return (x + 2 <= g.width && !(p[2] & Taken)) || (y + 2 <= g.height && !(p[down] & Taken))
           || (x - 2 >= 1 && !(p[-2] & Taken)) || (y - 2 >= 1 && !(p[-down] & Taken));
}

/// The ways back from (x, y) as a mask: carved, unretraced wall nodes off the border.
inline unsigned exitMask(const Nodes &g, int x, int y)
{
    constexpr std::uint8_t mask = NodeGrid::Carved | NodeGrid::Retraced;
    const std::uint8_t *p = g.at(x, y);
    unsigned m = 0;
    if (x + 1 <= g.width - 1)
        m |= unsigned((p[1] & mask) == NodeGrid::Carved);
    if (y + 1 <= g.height - 1)
        m |= unsigned((p[g.stride] & mask) == NodeGrid::Carved) << 1;
    if (x - 1 >= 2)
        m |= unsigned((p[-1] & mask) == NodeGrid::Carved) << 2;
    if (y - 1 >= 2)
        m |= unsigned((p[-g.stride] & mask) == NodeGrid::Carved) << 3;
    return m;
}

/// The k-th direction (1-based) of a mask, in direction order.
inline int nthDir(unsigned mask, int k)
{
    while (--k > 0)
        mask &= mask - 1;
    return std::countr_zero(mask) + 1;
}

/// The weight of direction d in the choice of a step: 3, or RunLength straight on; times 8 on the axis
/// RunBias favours; plus 1.
inline int weight(int d, int lastDir, int runLength, int runBias)
{
    const int w = d == lastDir ? runLength : 3;
    const bool horizontal = d == Right || d == Left;
    const bool favoured = (runBias == 1 && horizontal) || (runBias == 2 && !horizontal);
    return (favoured ? 8 * w : w) + 1;
}

/// A random RunLength, one of 0, 1, 4, ..., 49.
inline std::int16_t drawRunLength(MazeState &s)
{
    const int k = choose(s.Rnd(), 8) - 1;
    return static_cast<std::int16_t>(k * k);
}

/// The weighted choice of a step on a mask: the weights of every direction after every last direction, so that
/// a choice is a few additions and comparisons instead of a loop with early exits.
class Chooser {
public:
    /// Weighs by the walk's RunLength, drawn first for a random run.
    explicit Chooser(MazeState &s)
    {
        weigh(s);
        nextRun(s);
    }

    /// With a random run, draws the next RunLength (one number) and weighs by it.
    void nextRun(MazeState &s)
    {
        if (s.RandomRun) {
            s.RunLength = drawRunLength(s);
            weigh(s);
        }
    }

    /// The direction chosen among `mask` (not empty) with the random number r.
    int pick(unsigned mask, int lastDir, float r) const
    {
        const int *w = weight_[lastDir];
        const int c1 = w[0] & -int(mask & 1);
        const int c2 = c1 + (w[1] & -int((mask >> 1) & 1));
        const int c3 = c2 + (w[2] & -int((mask >> 2) & 1));
        const int total = c3 + (w[3] & -int((mask >> 3) & 1));
        const int at = chooseDrawn(r, total);
        // The first direction whose running total reaches `at`; absent ones add nothing.
        return 1 + (c1 < at) + (c2 < at) + (c3 < at);
    }

private:
    void weigh(const MazeState &s)
    {
        for (int last = 0; last <= 4; ++last)
            for (int d = 1; d <= 4; ++d)
                weight_[last][d - 1] = weight(d, last, s.RunLength, s.RunBias);
    }

    int weight_[5][4];
};

/// At a dead end (CurX, CurY), may open the wall to a neighbouring maze cell, drawing one
/// random number when there is a candidate. With per-node Retraced flags ("Easier") the
/// opened wall is marked Retraced and retraced cells are refused; without ("Harder") only
/// Carved is written. DirList[0] is kept.
void openLoop(MazeState &s, bool perNodeRetraced);

/// Where a walk stands and the direction it came by (0 after a dead end or a jump), kept out
/// of the state record while the hot loop runs.
struct Position {
    int x, y, lastDir;

    /// Hands the position back to the state record, for a routine that reads it there.
    void keep(MazeState &s) const
    {
        s.CurX = static_cast<std::int16_t>(x);
        s.CurY = static_cast<std::int16_t>(y);
        s.LastDir = static_cast<std::uint8_t>(lastDir);
    }
};

/// The start and the finish of a walk, read once.
struct Ends {
    explicit Ends(const MazeState &s)
        : startX(s.StartX), startY(s.StartY), finishX(s.FinishX), finishY(s.FinishY)
    {
    }

    /// Past the finish the walk goes on from the start, as from a dead end.
    void restartPastFinish(Position &at) const
    {
        if (at.x == finishX && at.y == finishY)
            at = {startX, startY, 0};
    }

    int startX, startY, finishX, finishY;
};

/// Carves the wall and the cell in direction d and steps onto the cell.
inline void carveStep(const Nodes &g, Position &at, int d)
{
    std::uint8_t *p = g.at(at.x, at.y);
    p[g.offset[d]] |= NodeGrid::Carved;
    p[2 * g.offset[d]] |= NodeGrid::Carved;
    at = {at.x + 2 * StepX[d], at.y + 2 * StepY[d], d};
}

/// The report at the end of a walk and every 100 passes: the count, then pending events.
inline void report(Progress &progress, long long nodesDrawn)
{
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
}

/// Counts a pass: every 100th reports and then, unless a stop has been requested (true: the
/// walk returns at once), draws the next random run length.
inline bool stopAtReport(int &tick, MazeState &s, Progress &progress, long long nodesDrawn, Chooser &chooser)
{
    if (++tick <= 99)
        return false;
    tick = 0;
    report(progress, nodesDrawn);
    if (progress.stopRequested())
        return true;
    chooser.nextRun(s);
    return false;
}

/// At a dead end: draws the loop chance, whether or not loops are allowed, and may open a
/// loop. With loops off (a chance of 0) a draw of exactly 0 must not open one.
inline void deadEndLoop(MazeState &s, const Position &at, bool perNodeRetraced)
{
    const float chance = s.Rnd();
    if (s.LoopChance > 0 && percent(chance) <= s.LoopChance) {
        at.keep(s);
        openLoop(s, perNodeRetraced);
    }
}

/// Throws std::invalid_argument unless the grid has odd sizes of at least 3, both the
/// walk's position and the start are cell nodes inside it, and RunLength is 0..MaxRunLength.
void checkWalkable(const MazeState &s);

} // namespace walk_steps

#pragma once

// The steps shared by both walks and the loop maker, on the grid's words so that the hot loops
// keep their position in registers instead of in the state record.

#include "maze/progress.h"
#include "maze/state.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace walk_steps {

inline constexpr unsigned Taken = NodeGrid::Carved | NodeGrid::Blocked;

/// Where a cell's walls lie in the words of its block and its neighbours' blocks: the right
/// and lower walls in the cell's own word, the left one in the word to the left, the upper one
/// in the word above.
inline constexpr int RightWall = 4, LowerWall = 8;

/// The largest RunLength a walk accepts: 8 x 4095 + 1 still fits a 16-bit weight.
inline constexpr int MaxRunLength = 4095;

/// The grid's words with their row stride, and the size of the maze in cells.
struct Nodes {
    explicit Nodes(NodeGrid &g)
        : base(g.blockRow(0)), stride(g.blockStride()), width(g.width()), height(g.height()),
          offset{0, 1, stride, -1, -stride}, wallOffset{0, 0, 0, -1, -stride},
          wallShift{0, RightWall, LowerWall, RightWall, LowerWall}
    {
    }
    /// The word of the cell node (x, y), both even.
    std::uint16_t *at(int x, int y) const { return base + (y >> 1) * stride + (x >> 1); }

    /// The directions whose neighbouring cell lies inside the maze, bit d - 1 for direction d.
    /// The same tests keep a way back off the border: x + 1 <= width - 1 is x + 2 <= width.
    unsigned inside(int x, int y) const
    {
        return unsigned(x + 2 <= width) | unsigned(y + 2 <= height) << 1 | unsigned(x - 2 >= 1) << 2
               | unsigned(y - 2 >= 1) << 3;
    }

    std::uint16_t *base;
    std::ptrdiff_t stride;
    int width;
    int height;
    std::ptrdiff_t offset[5];      // the neighbouring cell's word in direction d
    std::ptrdiff_t wallOffset[5];  // the word of the wall in direction d
    int wallShift[5];              // and the wall's place in it
};

/// Int(r x n) + 1, one of 1..n, for a draw r = bits / 2^24: the product is exact in integers.
inline int choose(std::uint32_t bits, int n)
{
    return static_cast<int>((std::uint64_t{bits} * static_cast<std::uint64_t>(n)) >> 24) + 1;
}

/// Random x 100 rounded once to single precision, the loop chance draw.
inline float percent(std::uint32_t bits)
{
    return static_cast<float>(static_cast<double>(bits) * (100.0 / 16777216.0));
}

/// The five words around a cell: its own, then its neighbours' in direction order.
struct Around {
    Around(const Nodes &g, const std::uint16_t *p)
        : here(p[0]), right(p[1]), down(p[g.stride]), left(p[-1]), up(p[-g.stride])
    {
    }

    /// Neighbouring cells neither carved nor blocked, bit d - 1 for direction d; outside the
    /// maze they read as padding or margin, which `inside` masks off.
    unsigned free() const
    {
        return unsigned(!(right & Taken)) | unsigned(!(down & Taken)) << 1 | unsigned(!(left & Taken)) << 2
               | unsigned(!(up & Taken)) << 3;
    }

    /// Carved, unretraced walls.
    unsigned exits() const
    {
        constexpr unsigned mask = NodeGrid::Carved | NodeGrid::Retraced;
        return unsigned(((here >> RightWall) & mask) == NodeGrid::Carved)
               | unsigned(((here >> LowerWall) & mask) == NodeGrid::Carved) << 1
               | unsigned(((left >> RightWall) & mask) == NodeGrid::Carved) << 2
               | unsigned(((up >> LowerWall) & mask) == NodeGrid::Carved) << 3;
    }

    unsigned here, right, down, left, up;
};

/// The free neighbours of the cell (x, y) as a mask, bit d - 1 for direction d: the cells two
/// steps away, inside the grid, neither carved nor blocked.
inline unsigned freeMask(const Nodes &g, int x, int y)
{
    return Around(g, g.at(x, y)).free() & g.inside(x, y);
}

/// The ways back from the cell (x, y) as a mask: carved, unretraced wall nodes off the border.
inline unsigned exitMask(const Nodes &g, int x, int y)
{
    return Around(g, g.at(x, y)).exits() & g.inside(x, y);
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
    const int k = choose(s.rng.nextBits(), 8) - 1;
    return static_cast<std::int16_t>(k * k);
}

/// The weighted choice of a step on a mask: the weights of every direction after every last direction, so that
/// a choice is a few additions and comparisons instead of a loop with early exits. Most choices are
/// a single lookup: for each last direction, mask and top 8 bits of the draw, the direction that
/// all draws with those bits choose, where they agree. A random run changes its weights too often
/// to tabulate them and always adds and compares. (Kept trivially destructible: the walks run
/// measurably slower around a member with a destructor.)
class Chooser {
public:
    /// Weighs by the walk's RunLength, drawn first for a random run.
    explicit Chooser(MazeState &s)
    {
        weigh(s);
        nextRun(s);
    }
    Chooser(const Chooser &) = delete;
    Chooser &operator=(const Chooser &) = delete;

    /// With a random run, draws the next RunLength (one number) and weighs by it.
    void nextRun(MazeState &s)
    {
        if (s.RandomRun) {
            s.RunLength = drawRunLength(s);
            weigh(s);
        }
    }

    /// The direction chosen among `mask` (not empty) with the draw `bits` (Random::nextBits).
    int pick(unsigned mask, int lastDir, std::uint32_t bits) const
    {
        if (const int d = quick_[(lastDir << 12) | (mask << 8) | (bits >> 16)])
            return d;
        return pickBetween(weight_[lastDir], mask, bits);
    }

private:
    static int pickBetween(const int *w, unsigned mask, std::uint32_t bits)
    {
        const int c1 = w[0] & -int(mask & 1);
        const int c2 = c1 + (w[1] & -int((mask >> 1) & 1));
        const int c3 = c2 + (w[2] & -int((mask >> 2) & 1));
        const int total = c3 + (w[3] & -int((mask >> 3) & 1));
        const int at = choose(bits, total);
        // The first direction whose running total reaches `at`; absent ones add nothing.
        return 1 + (c1 < at) + (c2 < at) + (c3 < at);
    }

    void weigh(const MazeState &s)
    {
        for (int last = 0; last <= 4; ++last)
            for (int d = 1; d <= 4; ++d)
                weight_[last][d - 1] = weight(d, last, s.RunLength, s.RunBias);
        if (s.RandomRun) {
            static constexpr std::uint8_t none[sizeof table_] = {};
            quick_ = none;
            return;
        }
        for (int last = 0; last <= 4; ++last)
            for (unsigned mask = 0; mask < 16; ++mask)
                for (std::uint32_t top = 0; top < 256; ++top) {
                    // A choice only grows with the draw: the lowest and highest draws decide.
                    const int low = pickBetween(weight_[last], mask, top << 16);
                    const int high = pickBetween(weight_[last], mask, (top << 16) | 0xFFFF);
                    table_[(last << 12) | (mask << 8) | top] = static_cast<std::uint8_t>(low == high ? low : 0);
                }
        quick_ = table_;
    }

    int weight_[5][4];
    std::uint8_t table_[5 << 12];  // [last direction][mask][top 8 bits of the draw]
    const std::uint8_t *quick_ = table_;
};

/// At a dead end (CurX, CurY), may open the wall to a neighbouring maze cell, drawing one
/// random number when there is a candidate. With per-node Retraced flags ("Easier") the
/// opened wall is marked Retraced and retraced cells are refused; without ("Harder") only
/// Carved is written. DirList[0] is kept.
void openLoop(MazeState &s, bool perNodeRetraced);

/// Where a walk stands, its cell's word, and the direction it came by (0 after a dead end or a
/// jump), kept out of the state record while the hot loop runs.
struct Position {
    Position(const Nodes &g, int x, int y, int lastDir) : x(x), y(y), lastDir(lastDir), word(g.at(x, y)) {}

    void moveTo(const Nodes &g, int toX, int toY, int toLastDir)
    {
        x = toX;
        y = toY;
        lastDir = toLastDir;
        word = g.at(x, y);
    }

    /// Hands the position back to the state record, for a routine that reads it there.
    void keep(MazeState &s) const
    {
        s.CurX = static_cast<std::int16_t>(x);
        s.CurY = static_cast<std::int16_t>(y);
        s.LastDir = static_cast<std::uint8_t>(lastDir);
    }

    int x, y, lastDir;
    std::uint16_t *word;
};

/// The start and the finish of a walk, read once.
struct Ends {
    explicit Ends(const MazeState &s)
        : startX(s.StartX), startY(s.StartY), finishX(s.FinishX), finishY(s.FinishY)
    {
    }

    /// Past the finish the walk goes on from the start, as from a dead end.
    void restartPastFinish(const Nodes &g, Position &at) const
    {
        if (at.x == finishX && at.y == finishY)
            at.moveTo(g, startX, startY, 0);
    }

    int startX, startY, finishX, finishY;
};

/// Sets `flag` on the wall and the cell in direction d and steps onto the cell, coming by d.
inline void carveStep(const Nodes &g, Position &at, int d)
{
    std::uint16_t *p = at.word;
    p[g.wallOffset[d]] |= static_cast<std::uint16_t>(NodeGrid::Carved << g.wallShift[d]);
    p[g.offset[d]] |= NodeGrid::Carved;
    at.x += 2 * StepX[d];
    at.y += 2 * StepY[d];
    at.lastDir = d;
    at.word = p + g.offset[d];
}

/// Marks the cell and the wall in direction d retraced and steps back over them.
inline void retraceStep(const Nodes &g, Position &at, int d)
{
    std::uint16_t *p = at.word;
    p[0] |= NodeGrid::Retraced;
    p[g.wallOffset[d]] |= static_cast<std::uint16_t>(NodeGrid::Retraced << g.wallShift[d]);
    at.x += 2 * StepX[d];
    at.y += 2 * StepY[d];
    at.lastDir = 0;
    at.word = p + g.offset[d];
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
    if (++tick <= 99) [[likely]]
        return false;
    tick = 0;
    report(progress, nodesDrawn);
    if (progress.stopRequested())
        return true;
    chooser.nextRun(s);
    return false;
}

/// At a dead end: draws the loop chance, whether or not loops are allowed, and may open a
/// loop; true when it did. With loops off (a chance of 0) a draw of exactly 0 must not open one.
inline bool deadEndLoop(MazeState &s, const Position &at, bool perNodeRetraced)
{
    const std::uint32_t chance = s.rng.nextBits();
    if (s.LoopChance > 0 && percent(chance) <= s.LoopChance) {
        at.keep(s);
        openLoop(s, perNodeRetraced);
        return true;
    }
    return false;
}

/// Throws std::invalid_argument unless the grid has odd sizes of at least 3, both the
/// walk's position and the start are cell nodes inside it, and RunLength is 0..MaxRunLength.
void checkWalkable(const MazeState &s);

} // namespace walk_steps

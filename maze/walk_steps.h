#pragma once

// The steps shared by both walks and the loop maker, on raw node rows so that the hot
// loops keep their position in registers instead of in the state record.

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
          height(g.height())
    {
    }
    std::uint8_t *at(int x, int y) const { return base + y * stride + x; }

    std::uint8_t *base;
    std::ptrdiff_t stride;
    int width;
    int height;
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

/// get_dirs on (x, y). The `>= 1` tests equal the "= 0" of even positions and keep any
/// other position inside the grid.
inline int freeDirs(const Nodes &g, int x, int y, std::uint8_t *list)
{
    const std::uint8_t *p = g.at(x, y);
    const std::ptrdiff_t down = 2 * g.stride;
    int n = 0;
    if (x + 2 <= g.width && !(p[2] & Taken))
        list[++n] = Right;
    if (y + 2 <= g.height && !(p[down] & Taken))
        list[++n] = Down;
    if (x - 2 >= 1 && !(p[-2] & Taken))
        list[++n] = Left;
    if (y - 2 >= 1 && !(p[-down] & Taken))
        list[++n] = Up;
    list[0] = static_cast<std::uint8_t>(n);
    return n;
}

/// True when get_dirs would list a direction from (x, y).
inline bool hasFreeDir(const Nodes &g, int x, int y)
{
    const std::uint8_t *p = g.at(x, y);
    const std::ptrdiff_t down = 2 * g.stride;
    return (x + 2 <= g.width && !(p[2] & Taken)) || (y + 2 <= g.height && !(p[down] & Taken))
           || (x - 2 >= 1 && !(p[-2] & Taken)) || (y - 2 >= 1 && !(p[-down] & Taken));
}

/// get_exits on (x, y): carved, unretraced wall nodes off the border.
inline int exits(const Nodes &g, int x, int y, std::uint8_t *list)
{
    constexpr std::uint8_t mask = NodeGrid::Carved | NodeGrid::Retraced;
    const std::uint8_t *p = g.at(x, y);
    int n = 0;
    if (x + 1 <= g.width - 1 && (p[1] & mask) == NodeGrid::Carved)
        list[++n] = Right;
    if (y + 1 <= g.height - 1 && (p[g.stride] & mask) == NodeGrid::Carved)
        list[++n] = Down;
    if (x - 1 >= 2 && (p[-1] & mask) == NodeGrid::Carved)
        list[++n] = Left;
    if (y - 1 >= 2 && (p[-g.stride] & mask) == NodeGrid::Carved)
        list[++n] = Up;
    list[0] = static_cast<std::uint8_t>(n);
    return n;
}

/// The directions of get_dirs from (x, y) as a mask: bit d - 1 stands for direction d.
/// The hot loops test the bytes without branching on them.
inline unsigned freeMask(const Nodes &g, int x, int y)
{
    const std::uint8_t *p = g.at(x, y);
    const std::ptrdiff_t down = 2 * g.stride;
    // A step down or up updates a wall node in a row that nothing has read yet: fetch both
    // rows now, alongside the rows of the cells, rather than stall on the step.
    __builtin_prefetch(p + g.stride, 1);
    __builtin_prefetch(p - g.stride, 1);
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

/// The directions of get_exits from (x, y) as a mask.
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

/// pick_dirs on a mask: the weights of every direction after every last direction, so that
/// a choice is a few additions and comparisons instead of a loop with early exits.
class Chooser {
public:
    Chooser(int runLength, int runBias) { setRun(runLength, runBias); }

    void setRun(int runLength, int runBias)
    {
        for (int last = 0; last <= 4; ++last)
            for (int d = 1; d <= 4; ++d) {
                int w = d == last ? runLength : 3;
                const bool horizontal = d == Right || d == Left;
                if ((runBias == 1 && horizontal) || (runBias == 2 && !horizontal))
                    w *= 8;
                weight_[last][d - 1] = w + 1;
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
    int weight_[5][4];
};

/// pick_dirs with the random number r already drawn.
inline std::uint8_t pick(const std::uint8_t *list, std::int16_t *weight, int lastDir,
                         int runLength, int runBias, float r)
{
    const int n = list[0];
    int total = 0;
    for (int i = 1; i <= n; ++i) {
        const int d = list[i];
        int w = d == lastDir ? runLength : 3;
        const bool horizontal = d == Right || d == Left;
        if ((runBias == 1 && horizontal) || (runBias == 2 && !horizontal))
            w *= 8;
        w += 1;
        weight[i] = static_cast<std::int16_t>(w);
        total += w;
    }
    int left = choose(r, total);
    for (int i = 1; i <= n; ++i) {
        left -= weight[i];
        if (left <= 0)
            return list[i];
    }
    return n > 0 ? list[n] : std::uint8_t{NoDirection};
}

/// Hands the walk's position back to the state record.
inline void keepPosition(MazeState &s, int x, int y, int lastDir)
{
    s.CurX = static_cast<std::int16_t>(x);
    s.CurY = static_cast<std::int16_t>(y);
    s.LastDir = static_cast<std::uint8_t>(lastDir);
}

/// A random RunLength, one of 0, 1, 4, ..., 49.
inline std::int16_t drawRunLength(MazeState &s)
{
    const int k = choose(s.Rnd(), 8) - 1;
    return static_cast<std::int16_t>(k * k);
}

/// make_loop with the layout given: per-node Retraced flags (Easier) or none (Harder).
void openLoop(MazeState &s, bool perNodeRetraced);

/// Throws std::invalid_argument unless the grid has odd sizes of at least 3, both the
/// walk's position and the start are cell nodes inside it, and RunLength is 0..MaxRunLength.
void checkWalkable(const MazeState &s);

} // namespace walk_steps

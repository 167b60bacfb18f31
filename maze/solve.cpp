#include "maze/solve.h"

#include "maze/frame.h"
#include "maze/state.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

/// A cell as y << 16 | x: both stay below 32768.
using CellKey = std::uint32_t;
constexpr CellKey key(int x, int y) { return static_cast<CellKey>(y) << 16 | static_cast<CellKey>(x); }
constexpr int keyX(CellKey k) { return static_cast<int>(k & 0xFFFF); }
constexpr int keyY(CellKey k) { return static_cast<int>(k >> 16); }

/// First in, first out, in a ring that doubles as it fills, up to a fixed number of entries.
class CellQueue {
public:
    explicit CellQueue(std::size_t limit) : limit_(limit), ring_(std::min<std::size_t>(4096, limit)) {}

    bool empty() const { return count_ == 0; }

    void push(CellKey k)
    {
        if (count_ == ring_.size())
            grow();
        ring_[(head_ + count_) & (ring_.size() - 1)] = k;
        ++count_;
    }

    CellKey pop()
    {
        const CellKey k = ring_[head_];
        head_ = (head_ + 1) & (ring_.size() - 1);
        --count_;
        return k;
    }

private:
    void grow()
    {
        if (ring_.size() * 2 > limit_)
            throw std::length_error("the maze branches too widely to be solved within its memory");
        std::vector<CellKey> wider(ring_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i)
            wider[i] = ring_[(head_ + i) & (ring_.size() - 1)];
        ring_.swap(wider);
        head_ = 0;
    }

    std::size_t limit_;
    std::vector<CellKey> ring_;  // a power of two long
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

/// The grid seen as cells: which sides are open, and the search's per-cell scratch.
class Cells {
public:
    explicit Cells(NodeGrid &g) : g_(g), gw_(g.width()), gh_(g.height()) {}

    bool open(int x, int y, int d) const
    {
        const int x2 = x + 2 * StepX[d], y2 = y + 2 * StepY[d];
        return x2 >= 2 && y2 >= 2 && x2 <= gw_ - 1 && y2 <= gh_ - 1 && g_.carved(x + StepX[d], y + StepY[d])
               && g_.carved(x2, y2);
    }

    int openSides(int x, int y) const
    {
        int n = 0;
        for (int d = Right; d <= Up; ++d)
            n += open(x, y, d);
        return n;
    }

    // A cell's post, the node below and right of it, holds "reached"; the cell itself holds the
    // way back to where it was reached from, as direction - 1 in its two scratch bits.
    bool reached(int x, int y) const { return g_.retraced(x + 1, y + 1); }
    void reach(int x, int y, int back)
    {
        g_.set(x + 1, y + 1, NodeGrid::Retraced);
        const int code = back - 1;
        if (code & 1)
            g_.set(x, y, NodeGrid::Retraced);
        if (code & 2)
            g_.set(x, y, NodeGrid::Mark);
    }
    int wayBack(int x, int y) const
    {
        const std::uint8_t f = g_.flags(x, y);
        return 1 + ((f & NodeGrid::Retraced) ? 1 : 0) + ((f & NodeGrid::Mark) ? 2 : 0);
    }

    int width() const { return gw_; }
    int height() const { return gh_; }

private:
    NodeGrid &g_;
    int gw_, gh_;
};

constexpr int opposite(int d) { return (d + 1) % 4 + 1; }

/// Directions packed four to a byte.
class Steps {
public:
    void push(int d)
    {
        if (count_ % 4 == 0)
            bytes_.push_back(0);
        bytes_.back() |= static_cast<std::uint8_t>((d - 1) << (2 * (count_ % 4)));
        ++count_;
    }
    int at(std::size_t i) const { return 1 + ((bytes_[i / 4] >> (2 * (i % 4))) & 3); }
    std::size_t size() const { return count_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
};

void measureCells(const Cells &cells, const NodeGrid &g, MazeMeasures &m)
{
    const int gw = cells.width();
    const int gh = cells.height();
    std::vector<std::int32_t> columnRun(static_cast<std::size_t>(gw / 2 + 1), 0);
    for (int y = 2; y <= gh - 1; y += 2) {
        std::int32_t rowRun = 0;
        for (int x = 2; x <= gw - 1; x += 2) {
            std::int32_t &columnAt = columnRun[static_cast<std::size_t>(x / 2)];
            if (!g.carved(x, y)) {
                rowRun = columnAt = 0;
                continue;
            }
            const int sides = cells.openSides(x, y);
            m.deadEnds += sides == 1;
            m.junctions += sides >= 3;
            rowRun = cells.open(x, y, Left) ? rowRun + 1 : 1;
            columnAt = cells.open(x, y, Up) ? columnAt + 1 : 1;
            m.longestCorridor = std::max<long long>(m.longestCorridor, std::max(rowRun, columnAt));
        }
    }
}

/// The breadth-first search from the start: true once it reaches the finish.
bool reachFinish(Cells &cells, const EndPoints &p)
{
    const std::size_t cellCount = static_cast<std::size_t>(cells.width() / 2) * static_cast<std::size_t>(cells.height() / 2);
    CellQueue queue(std::max<std::size_t>(std::size_t{1} << 16, cellCount / FrontierCellsPerEntry));
    cells.reach(p.startX, p.startY, Right);
    queue.push(key(p.startX, p.startY));
    while (!queue.empty()) {
        const CellKey k = queue.pop();
        const int x = keyX(k), y = keyY(k);
        if (x == p.finishX && y == p.finishY)
            return true;
        for (int d = Right; d <= Up; ++d) {
            if (!cells.open(x, y, d))
                continue;
            const int x2 = x + 2 * StepX[d], y2 = y + 2 * StepY[d];
            if (cells.reached(x2, y2))
                continue;
            cells.reach(x2, y2, opposite(d));
            queue.push(key(x2, y2));
        }
    }
    return false;
}

/// The path from the finish back to the start, one direction a step; none when the finish
/// is never reached. Leaves the search's scratch bits behind.
std::optional<Steps> search(Cells &cells, const EndPoints &p)
{
    // The queue is gone before the steps are kept: the two never take memory at once.
    const bool found = reachFinish(cells, p);
    if (!found)
        return std::nullopt;
    Steps back;
    for (int x = p.finishX, y = p.finishY; x != p.startX || y != p.startY;) {
        const int d = cells.wayBack(x, y);
        back.push(d);
        x += 2 * StepX[d];
        y += 2 * StepY[d];
    }
    return back;
}

} // namespace

MazeMeasures solve_maze(MazeState &s)
{
    NodeGrid &g = s.grid;
    // The search keeps its marks in the two flags the finished maze leaves free.
    const auto clearScratch = [&g] {
        g.clearFlag(NodeGrid::Retraced);
        g.clearFlag(NodeGrid::Mark);
    };
    clearScratch();
    Cells cells(g);
    MazeMeasures m;
    measureCells(cells, g, m);

    const EndPoints p = end_points(s);
    if (!g.isCell(p.startX, p.startY) || !g.isCell(p.finishX, p.finishY) || !g.carved(p.startX, p.startY)
        || !g.carved(p.finishX, p.finishY))
        return m;

    std::optional<Steps> found;
    try {
        found = search(cells, p);
    } catch (...) {
        clearScratch();
        throw;
    }
    clearScratch();
    if (!found)
        return m;
    const Steps &back = *found;

    // Forward from the start: the steps back, reversed and turned round.
    m.solved = true;
    int x = p.startX, y = p.startY;
    int last = NoDirection;
    for (std::size_t i = back.size(); i-- > 0;) {
        const int d = opposite(back.at(i));
        g.set(x, y, NodeGrid::Mark);
        g.set(x + StepX[d], y + StepY[d], NodeGrid::Mark);
        m.solutionJunctions += cells.openSides(x, y) >= 3;
        m.solutionTurns += last != NoDirection && d != last;
        last = d;
        x += 2 * StepX[d];
        y += 2 * StepY[d];
    }
    g.set(x, y, NodeGrid::Mark);
    m.solutionJunctions += cells.openSides(x, y) >= 3;
    m.solutionLength = static_cast<long long>(back.size()) + 1;
    return m;
}

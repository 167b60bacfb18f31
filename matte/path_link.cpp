#include "matte/path_link.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

void requireInside(const CellMap &open, MatteCell start)
{
    if (!open.contains(start))
        throw std::invalid_argument("start cell (" + std::to_string(start.cx + 1) + ", "
                                    + std::to_string(start.cy + 1) + ") is outside the matte");
}

/// The sweeps' state: which cells are open and linked, and how many have been linked.
class PathLinker {
public:
    PathLinker(const CellMap &open, MatteCell start)
        : cols_(open.cols()), rows_(open.rows()), open_(std::size_t(cols_) * std::size_t(rows_)),
          linked_(open_.size(), 0)
    {
        for (int cy = 0; cy < rows_; ++cy)
            for (int cx = 0; cx < cols_; ++cx)
                open_[std::size_t(cy) * cols_ + cx] = open.at(cx, cy);
        linkedAt(start.cx, start.cy) = 1;
    }

    /// One sweep; true when it linked at least one cell.
    bool sweep()
    {
        const bool byRows = rowPass();
        const bool byColumns = columnPass();
        return byRows || byColumns;
    }

    long long count() const { return count_; }

private:
    bool rowPass();
    bool columnPass();
    std::uint8_t &linkedAt(int cx, int cy) { return linked_[std::size_t(cy) * cols_ + cx]; }
    bool openAt(int cx, int cy) const { return open_[std::size_t(cy) * cols_ + cx]; }

    int cols_;
    int rows_;
    std::vector<std::uint8_t> open_;
    std::vector<std::uint8_t> linked_;
    long long count_ = 0;
};

// Along each row: a run is a stretch of open cells; once a linked cell is met, the
// run behind it back to its first cell and every open cell after it up to the run's
// end become linked.
bool PathLinker::rowPass()
{
    bool changed = false;
    for (int cy = 0; cy < rows_; ++cy) {
        int runStart = -1;
        bool runHoldsLink = false;
        for (int cx = 0; cx < cols_; ++cx) {
            if (!openAt(cx, cy)) {
                runStart = -1;
                runHoldsLink = false;
                continue;
            }
            if (runStart == -1)
                runStart = cx;
            if (!linkedAt(cx, cy) && runHoldsLink) {
                linkedAt(cx, cy) = 1;
                changed = true;
                ++count_;
            } else if (linkedAt(cx, cy)) {
                runHoldsLink = true;
                for (int back = runStart; back < cx; ++back)
                    if (!linkedAt(back, cy)) {
                        linkedAt(back, cy) = 1;
                        changed = true;
                        ++count_;
                    }
                // Everything behind is linked now: the next linked cell of this run
                // need not look back past here, which keeps a pass linear.
                runStart = cx;
            }
        }
    }
    return changed;
}

// The same down every column. Columns touch no cell of one another, so they are
// walked side by side, a row at a time, each with its own run: the order in which
// the grid lies in memory.
bool PathLinker::columnPass()
{
    bool changed = false;
    std::vector<int> runStart(std::size_t(cols_), -1);
    std::vector<std::uint8_t> runHoldsLink(std::size_t(cols_), 0);
    for (int cy = 0; cy < rows_; ++cy) {
        for (int cx = 0; cx < cols_; ++cx) {
            if (!openAt(cx, cy)) {
                runStart[cx] = -1;
                runHoldsLink[cx] = 0;
                continue;
            }
            if (runStart[cx] == -1)
                runStart[cx] = cy;
            if (!linkedAt(cx, cy) && runHoldsLink[cx]) {
                linkedAt(cx, cy) = 1;
                changed = true;
                ++count_;
            } else if (linkedAt(cx, cy)) {
                runHoldsLink[cx] = 1;
                for (int back = runStart[cx]; back < cy; ++back)
                    if (!linkedAt(cx, back)) {
                        linkedAt(cx, back) = 1;
                        changed = true;
                        ++count_;
                    }
                runStart[cx] = cy;
            }
        }
    }
    return changed;
}

} // namespace

CellMap reach_from(const CellMap &open, MatteCell start)
{
    requireInside(open, start);
    CellMap reached(open.cols(), open.rows());
    reached.set(start.cx, start.cy);
    if (!open.at(start))
        return reached;
    std::vector<MatteCell> todo{start};
    while (!todo.empty()) {
        const auto [cx, cy] = todo.back();
        todo.pop_back();
        for (const MatteCell next : {MatteCell{cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}})
            if (open.contains(next) && open.at(next) && !reached.at(next)) {
                reached.set(next.cx, next.cy);
                todo.push_back(next);
            }
    }
    return reached;
}

std::vector<long long> sweep_counts(const CellMap &open, MatteCell start, const SweepReport &report)
{
    requireInside(open, start);
    PathLinker linker(open, start);
    std::vector<long long> counts;
    bool changed = true;
    while (changed) {
        changed = linker.sweep();
        counts.push_back(linker.count());
        if (report)
            report(linker.count());
    }
    return counts;
}

#include "matte/path_link.h"

#include <stdexcept>
#include <string>

PathLinker::PathLinker(const CellMap &open, int startCx, int startCy)
    : cols_(open.cols()), rows_(open.rows()), open_(std::size_t(cols_) * std::size_t(rows_)),
      linked_(open_.size(), 0)
{
    if (!open.contains(startCx, startCy))
        throw std::invalid_argument("start cell (" + std::to_string(startCx + 1) + ", "
                                    + std::to_string(startCy + 1) + ") is outside the matte");
    for (int cy = 0; cy < rows_; ++cy)
        for (int cx = 0; cx < cols_; ++cx)
            open_[std::size_t(cy) * cols_ + cx] = open.at(cx, cy);
    linkedAt(startCx, startCy) = 1;
}

bool PathLinker::sweep()
{
    const bool byRows = rowPass();
    const bool byColumns = columnPass();
    return byRows || byColumns;
}

CellMap PathLinker::linked() const
{
    CellMap map(cols_, rows_);
    for (int cy = 0; cy < rows_; ++cy)
        for (int cx = 0; cx < cols_; ++cx)
            map.set(cx, cy, linked_[std::size_t(cy) * cols_ + cx]);
    return map;
}

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

PathCheck link_path(const CellMap &open, int startCx, int startCy)
{
    PathLinker linker(open, startCx, startCy);
    PathCheck check;
    bool changed = true;
    while (changed) {
        changed = linker.sweep();
        check.sweepCounts.push_back(linker.count());
    }
    check.linked = linker.linked();
    return check;
}

CellMap reach_from(const CellMap &open, int startCx, int startCy)
{
    if (!open.contains(startCx, startCy))
        throw std::invalid_argument("start cell (" + std::to_string(startCx + 1) + ", "
                                    + std::to_string(startCy + 1) + ") is outside the matte");
    CellMap reached(open.cols(), open.rows());
    reached.set(startCx, startCy);
    if (!open.at(startCx, startCy))
        return reached;
    std::vector<std::pair<int, int>> todo{{startCx, startCy}};
    while (!todo.empty()) {
        const auto [cx, cy] = todo.back();
        todo.pop_back();
        const std::pair<int, int> next[] = {{cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}};
        for (const auto &[nx, ny] : next)
            if (open.contains(nx, ny) && open.at(nx, ny) && !reached.at(nx, ny)) {
                reached.set(nx, ny);
                todo.push_back({nx, ny});
            }
    }
    return reached;
}

#include "matte/far_points.h"

#include <cstdint>
#include <vector>

namespace {

/// Breadth-first search through maze cells, one layer of equal distance at a time, with a
/// bit a cell and the frontier as its only memory: a matte as large as a maze can be
/// costs a few dozen megabytes, not a distance for every cell.
class Layers {
public:
    explicit Layers(const CellMap &paper) : paper_(paper), seen_(paper.cols(), paper.rows()) {}

    /// Searches from `from`, skipping cells seen by earlier searches; returns the last
    /// layer's first cell row by row, its distance, and how many cells were reached.
    FarCell search(MatteCell from, long long &reached)
    {
        std::vector<std::uint32_t> layer{index(from)}, next;
        seen_.set(from.cx, from.cy);
        reached = 1;
        FarCell far{from, 0};
        for (long long steps = 1;; ++steps) {
            next.clear();
            for (const std::uint32_t i : layer) {
                const int cx = int(i % std::uint32_t(paper_.cols())), cy = int(i / std::uint32_t(paper_.cols()));
                visit(cx + 1, cy, next);
                visit(cx - 1, cy, next);
                visit(cx, cy + 1, next);
                visit(cx, cy - 1, next);
            }
            if (next.empty())
                return far;
            reached += static_cast<long long>(next.size());
            std::uint32_t first = next.front();
            for (const std::uint32_t i : next)
                first = i < first ? i : first;
            far = {{int(first % std::uint32_t(paper_.cols())), int(first / std::uint32_t(paper_.cols()))}, steps};
            layer.swap(next);
        }
    }

    bool seen(int cx, int cy) const { return seen_.at(cx, cy); }

private:
    std::uint32_t index(MatteCell c) const { return std::uint32_t(c.cy) * std::uint32_t(paper_.cols()) + std::uint32_t(c.cx); }

    void visit(int cx, int cy, std::vector<std::uint32_t> &next)
    {
        if (!isMazeCell(paper_, {cx, cy}) || seen_.at(cx, cy))
            return;
        seen_.set(cx, cy);
        next.push_back(index({cx, cy}));
    }

    const CellMap &paper_;
    CellMap seen_;
};

} // namespace

FarCell farthest_cell(const CellMap &paper, MatteCell from)
{
    if (!isMazeCell(paper, from))
        return {};
    long long reached = 0;
    return Layers(paper).search(from, reached);
}

FarPoints far_apart_points(const CellMap &paper)
{
    // The largest region first, so the points never land on a stray island.
    Layers regions(paper);
    MatteCell largest;
    long long largestSize = 0;
    for (int cy = 0; cy < paper.rows(); ++cy)
        for (int cx = 0; cx < paper.cols(); ++cx) {
            if (paper.at(cx, cy) || regions.seen(cx, cy))
                continue;
            long long size = 0;
            regions.search({cx, cy}, size);
            if (size > largestSize) {
                largestSize = size;
                largest = {cx, cy};
            }
        }
    if (largestSize < 2)
        return {};
    const MatteCell start = farthest_cell(paper, largest).cell;
    const FarCell finish = farthest_cell(paper, start);
    return {start, finish.cell, finish.steps};
}

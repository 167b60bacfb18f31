#include "matte/acceptance.h"

#include "matte/completion.h"
#include "maze/grid.h"
#include "maze/parameters.h"

namespace {

/// The refusals that need no grid: a point missing, an impossible size, a point off the
/// matte, both points on one cell.
MatteVerdict check_painting(const MattePainting &painting)
{
    if (const MatteVerdict points = check_points(painting.start, painting.finish); points != MatteVerdict::Accepted)
        return points;
    if (const MatteVerdict size = check_matte_size(painting.paper.cols(), painting.paper.rows());
        size != MatteVerdict::Accepted)
        return size;
    if (!painting.paper.contains(painting.start))
        return MatteVerdict::StartOutside;
    if (!painting.paper.contains(painting.finish))
        return MatteVerdict::FinishOutside;
    if (painting.start == painting.finish)
        return MatteVerdict::SameCell;
    return MatteVerdict::Accepted;
}

} // namespace

long long MatteResult::linkedCount() const
{
    const auto linkedCells = static_cast<long long>(linked.count());
    return linkedCells > 0 ? linkedCells - 1 : 0;
}

MatteVerdict check_points(MatteCell start, MatteCell finish)
{
    if (!start.isSet() && !finish.isSet())
        return MatteVerdict::NoPoints;
    if (!start.isSet())
        return MatteVerdict::NoStart;
    if (!finish.isSet())
        return MatteVerdict::NoFinish;
    return MatteVerdict::Accepted;
}

MatteVerdict check_matte_size(long long cols, long long rows)
{
    if (cols < 1 || rows < 1)
        return MatteVerdict::TooFewCells;
    if (cols > params::MaxCells || rows > params::MaxCells)
        return MatteVerdict::TooManyCells;
    return MatteVerdict::Accepted;
}

MatteResult accept_matte(const MattePainting &painting, bool removeUnused, NodeGrid &blocked,
                         const SweepReport &onSweep)
{
    const CellMap &paper = painting.paper;
    MatteResult result;
    result.cols = paper.cols();
    result.rows = paper.rows();
    result.start = painting.start;
    result.finish = painting.finish;
    result.verdict = check_painting(painting);
    if (!result.accepted())
        return result;

    const NodePoint start = pointOf(painting.start);
    const NodePoint finish = pointOf(painting.finish);
    blocked.allocate(2 * paper.cols() + 1, 2 * paper.rows() + 1);
    mark_cells(blocked, paper);
    complete_matte(blocked, start, finish);

    CellMap open(paper.cols(), paper.rows());
    for (int cy = 0; cy < paper.rows(); ++cy)
        for (int cx = 0; cx < paper.cols(); ++cx)
            open.set(cx, cy, !paper.at(cx, cy));
    // The sweeps only count for the window; the flood fill, linear however winding the
    // paths of a large picture are, says which cells are linked.
    if (onSweep)
        sweep_counts(open, painting.start, onSweep);
    result.linked = reach_from(open, painting.start);
    if (!result.linked.at(painting.finish)) {
        result.verdict = MatteVerdict::NoPath;
        return result;
    }
    if (removeUnused)
        remove_unused_areas(blocked, result.linked, start, finish);
    return result;
}

#include "matte/acceptance.h"

#include "matte/path_link.h"
#include "maze/grid.h"
#include "maze/parameters.h"

#include <string>

namespace {

std::string describe(NodePoint p)
{
    std::string text = "(";
    text += std::to_string(p.x);
    text += ", ";
    text += std::to_string(p.y);
    text += ")";
    return text;
}

} // namespace

std::string verdict_message(MatteVerdict verdict)
{
    switch (verdict) {
    case MatteVerdict::NoPoints:
        return "Please choose start and finish points.";
    case MatteVerdict::NoStart:
        return "Please choose a start point.";
    case MatteVerdict::NoFinish:
        return "Please choose a finish point.";
    case MatteVerdict::NoPath:
        return "There must be a complete (blue) path from the start point to the finish point.";
    case MatteVerdict::Accepted:
    case MatteVerdict::Invalid:
        break;
    }
    return {};
}

MatteVerdict check_points(NodePoint start, NodePoint finish)
{
    if (!start.isSet() && !finish.isSet())
        return MatteVerdict::NoPoints;
    if (!start.isSet())
        return MatteVerdict::NoStart;
    if (!finish.isSet())
        return MatteVerdict::NoFinish;
    return MatteVerdict::Accepted;
}

std::string matte_size_problem(long long cols, long long rows)
{
    if (cols < 1 || rows < 1)
        return "The matte needs at least one cell across and one cell down.";
    if (cols > params::MaxCells || rows > params::MaxCells)
        return "A matte of " + std::to_string(cols) + " x " + std::to_string(rows)
               + " cells is larger than a maze can be (" + std::to_string(params::MaxCells) + " cells each way).";
    return {};
}

MatteOutcome accept_matte(const CellMap &paper, NodePoint start, NodePoint finish, bool removeUnused,
                          NodeGrid &blocked)
{
    MatteOutcome outcome;
    outcome.verdict = check_points(start, finish);
    if (outcome.verdict != MatteVerdict::Accepted) {
        outcome.message = verdict_message(outcome.verdict);
        return outcome;
    }

    const int cols = paper.cols();
    const int rows = paper.rows();
    outcome.verdict = MatteVerdict::Invalid;
    if (outcome.message = matte_size_problem(cols, rows); !outcome.message.empty())
        return outcome;
    for (const auto &[point, name] : {std::pair{start, "start"}, std::pair{finish, "finish"}})
        if (!isCellOfMatte(point, cols, rows)) {
            outcome.message = std::string("The ") + name + " point " + describe(point) + " is not a cell of the "
                              + std::to_string(cols) + " x " + std::to_string(rows) + " matte.";
            return outcome;
        }
    if (start == finish) {
        outcome.message = "The start and finish points are the same cell " + describe(start) + ".";
        return outcome;
    }

    blocked.allocate(2 * cols + 1, 2 * rows + 1);
    mark_cells(blocked, paper);
    complete_matte(blocked, start, finish);

    CellMap open(cols, rows);
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            open.set(cx, cy, !paper.at(cx, cy));
    // The flood fill links exactly the cells the editor's sweeps link, however winding
    // the paths of a large picture are.
    const CellMap linked = reach_from(open, start.cellX(), start.cellY());
    outcome.linkedCount = static_cast<long long>(linked.count()) - 1;
    if (!linked.at(finish.cellX(), finish.cellY())) {
        outcome.verdict = MatteVerdict::NoPath;
        outcome.message = verdict_message(outcome.verdict);
        return outcome;
    }
    if (removeUnused)
        remove_unused_areas(blocked, linked, start, finish);
    outcome.verdict = MatteVerdict::Accepted;
    outcome.message.clear();
    return outcome;
}

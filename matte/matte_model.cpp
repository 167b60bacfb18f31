#include "matte/matte_model.h"

#include "matte/completion.h"
#include "maze/grid.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

bool MatteChange::empty() const
{
    return flipped.empty() && startBefore == startAfter && finishBefore == finishAfter;
}

MatteChange reversed(const MatteChange &change)
{
    return {change.flipped, change.startAfter, change.startBefore, change.finishAfter, change.finishBefore};
}

std::vector<MatteCell> cells_on_line(MatteCell from, MatteCell to)
{
    // Steps across or down, whichever keeps nearer the line between the centres: the
    // cells the line passes through, a corner counting for the cell below.
    const long long dx = std::llabs(static_cast<long long>(to.cx) - from.cx);
    const long long dy = std::llabs(static_cast<long long>(to.cy) - from.cy);
    const int sx = to.cx < from.cx ? -1 : 1;
    const int sy = to.cy < from.cy ? -1 : 1;
    std::vector<MatteCell> cells;
    cells.reserve(std::size_t(dx + dy + 1));
    MatteCell at = from;
    cells.push_back(at);
    for (long long ix = 0, iy = 0; ix < dx || iy < dy;) {
        if ((1 + 2 * ix) * dy < (1 + 2 * iy) * dx) {
            at.cx += sx;
            ++ix;
        } else {
            at.cy += sy;
            ++iy;
        }
        cells.push_back(at);
    }
    return cells;
}

MatteModel::MatteModel(int cols, int rows)
{
    painting_.paper = CellMap(cols, rows);
}

std::optional<MatteModel> MatteModel::fromBlocked(const NodeGrid &grid, int cols, int rows, NodePoint start,
                                                  NodePoint finish)
{
    if (cols < 0 || rows < 0 || grid.width() != 2 * cols + 1 || grid.height() != 2 * rows + 1)
        return std::nullopt;
    if (!isCellOfMatte(start, cols, rows))
        return std::nullopt;
    if (finish.isSet() && (!isCellOfMatte(finish, cols, rows) || finish == start))
        return std::nullopt;
    MatteModel matte(cols, rows);
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            matte.painting_.paper.set(cx, cy, grid.blocked(2 * cx + 2, 2 * cy + 2));
    matte.painting_.start = {start.cellX(), start.cellY()};
    matte.painting_.paper.set(start.cellX(), start.cellY(), false);
    if (finish.isSet()) {
        matte.painting_.finish = {finish.cellX(), finish.cellY()};
        matte.painting_.paper.set(finish.cellX(), finish.cellY(), false);
    }
    return matte;
}

CellLook MatteModel::look(int cx, int cy) const
{
    const MatteCell cell{cx, cy};
    if (cell == painting_.start)
        return CellLook::Start;
    if (cell == painting_.finish)
        return CellLook::Finish;
    return painting_.paper.at(cx, cy) ? CellLook::Paper : CellLook::Maze;
}

bool MatteModel::blank() const
{
    return !painting_.start.isSet() && !painting_.finish.isSet() && painting_.paper.count() == 0;
}

MatteChange MatteModel::keepingPoints() const
{
    return {{}, painting_.start, painting_.start, painting_.finish, painting_.finish};
}

MatteChange MatteModel::unsettingPoints() const
{
    return {{}, painting_.start, {}, painting_.finish, {}};
}

bool MatteModel::paintCell(int cx, int cy, bool paper)
{
    if (!painting_.paper.contains(cx, cy))
        return false;
    MatteChange change = keepingPoints();
    if (painting_.paper.at(cx, cy) != paper)
        change.flipped.push_back(std::size_t(cy) * std::size_t(cols()) + std::size_t(cx));
    const MatteCell cell{cx, cy};
    if (change.startAfter == cell)
        change.startAfter = {};
    if (change.finishAfter == cell)
        change.finishAfter = {};
    return commit(change);
}

bool MatteModel::placeStart(int cx, int cy)
{
    MatteChange change = keepingPoints();
    return placePoint(change.startAfter, cx, cy) && commit(change);
}

bool MatteModel::placeFinish(int cx, int cy)
{
    MatteChange change = keepingPoints();
    return placePoint(change.finishAfter, cx, cy) && commit(change);
}

bool MatteModel::placePoints(MatteCell start, MatteCell finish)
{
    if (!isMazeCell(painting_.paper, start) || !isMazeCell(painting_.paper, finish) || start == finish)
        return false;
    MatteChange change = keepingPoints();
    change.startAfter = start;
    change.finishAfter = finish;
    return commit(change);
}

bool MatteModel::placePoint(MatteCell &point, int cx, int cy)
{
    if (!painting_.paper.contains(cx, cy) || look(cx, cy) != CellLook::Maze)
        return false;
    point = {cx, cy};
    return true;
}

bool MatteModel::clear()
{
    return replace(CellMap(cols(), rows()));
}

bool MatteModel::invert()
{
    // The points' cells are maze cells, so that every cell flips.
    MatteChange change = unsettingPoints();
    change.flipped.resize(std::size_t(cols()) * std::size_t(rows()));
    for (std::size_t i = 0; i < change.flipped.size(); ++i)
        change.flipped[i] = i;
    return commit(change);
}

bool MatteModel::replace(const CellMap &paper, MatteCell start, MatteCell finish)
{
    if (paper.cols() != cols() || paper.rows() != rows())
        throw std::invalid_argument("a map of " + std::to_string(paper.cols()) + " x " + std::to_string(paper.rows())
                                    + " cells cannot replace a matte of " + std::to_string(cols()) + " x "
                                    + std::to_string(rows()));
    MatteChange change = unsettingPoints();
    for (int cy = 0; cy < rows(); ++cy)
        for (int cx = 0; cx < cols(); ++cx)
            if (paper.at(cx, cy) != painting_.paper.at(cx, cy))
                change.flipped.push_back(std::size_t(cy) * std::size_t(cols()) + std::size_t(cx));
    if (isMazeCell(paper, start))
        change.startAfter = start;
    if (isMazeCell(paper, finish) && finish != change.startAfter)
        change.finishAfter = finish;
    return commit(change);
}

bool MatteModel::apply(const MatteChange &change)
{
    const std::size_t cells = std::size_t(cols()) * std::size_t(rows());
    for (const std::size_t i : change.flipped)
        if (i >= cells)
            throw std::invalid_argument("cell " + std::to_string(i) + " lies outside a matte of "
                                        + std::to_string(cells) + " cells");
    for (const MatteCell point : {change.startAfter, change.finishAfter})
        if (point.isSet() && !painting_.paper.contains(point))
            throw std::invalid_argument("a point outside the matte");
    return commit(change);
}

bool MatteModel::commit(const MatteChange &change)
{
    if (change.empty())
        return false;
    const auto width = std::size_t(cols());
    for (const std::size_t i : change.flipped) {
        const int cx = int(i % width), cy = int(i / width);
        painting_.paper.set(cx, cy, !painting_.paper.at(cx, cy));
    }
    painting_.start = change.startAfter;
    painting_.finish = change.finishAfter;
    if (observer_)
        observer_(change);
    return true;
}

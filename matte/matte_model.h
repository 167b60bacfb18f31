#pragma once

#include "matte/acceptance.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class NodeGrid;
struct NodePoint;

/// How a matte cell shows: a maze or a paper cell, or the start or the finish on it.
enum class CellLook { Maze, Paper, Start, Finish };

/// One edit of a matte, small enough to keep: the cells whose paper flag it flipped (as
/// cy x cols + cx, in increasing order) and both points before and after. Flipping the
/// same cells again and putting the points back takes the edit back.
struct MatteChange {
    std::vector<std::size_t> flipped;
    MatteCell startBefore, startAfter;
    MatteCell finishBefore, finishAfter;

    bool empty() const;
};

/// The edit that takes `change` back: the same cells flipped, the points as they were.
MatteChange reversed(const MatteChange &change);

/// The cells a stroke from the centre of `from` to the centre of `to` crosses, both ends
/// included and in order, each a step left, right, up or down from the one before: painted,
/// they join as the path check links cells, so a fast stroke leaves no gap.
std::vector<MatteCell> cells_on_line(MatteCell from, MatteCell to);

/// The matte the editor paints, without a window: which cells are paper, and the start and
/// finish cells. A set point lies on a maze cell, never on the other point's cell. Every
/// edit is one MatteChange, which the observer hears once it is made; cells outside the
/// matte are never edited.
class MatteModel {
public:
    MatteModel() = default;
    /// Every cell maze, no point. Throws std::invalid_argument for a negative count.
    MatteModel(int cols, int rows);

    /// The matte that Blocked and the points describe, as the editor opens it again: paper
    /// where a cell node is excluded, the points' cells maze. Nothing when the grid is not
    /// 2 x cols + 1 by 2 x rows + 1 nodes, the start is no cell node of it, or the finish
    /// is set and is none or the start's.
    static std::optional<MatteModel> fromBlocked(const NodeGrid &grid, int cols, int rows, NodePoint start,
                                                 NodePoint finish);

    int cols() const { return painting_.paper.cols(); }
    int rows() const { return painting_.paper.rows(); }
    const MattePainting &painting() const { return painting_; }
    MatteCell start() const { return painting_.start; }
    MatteCell finish() const { return painting_.finish; }
    /// The look of a cell of the matte.
    CellLook look(int cx, int cy) const;
    /// True when every cell is maze and no point is set: there is nothing to lose.
    bool blank() const;

    /// Heard after every edit that changed something.
    void setObserver(std::function<void(const MatteChange &)> observer) { observer_ = std::move(observer); }

    // The edits; each returns false when it changed nothing.
    /// The Maze or the Paper pen: the cell takes the pen, and a point on it is unset.
    bool paintCell(int cx, int cy, bool paper);
    /// The Start pen: only on a maze cell without a point; the old start cell stays maze.
    bool placeStart(int cx, int cy);
    /// The Finish pen, as the Start pen.
    bool placeFinish(int cx, int cy);
    /// Both points at once, wherever they were: only when each is a maze cell of the
    /// matte and they differ.
    bool placePoints(MatteCell start, MatteCell finish);
    /// Clear matte: every cell maze, no point.
    bool clear();
    /// Invert matte: paper cells become maze, every other cell (the points' too) paper; no point.
    bool invert();
    /// Import: the cells become those of `paper`, and the points `start` and `finish` where
    /// each is a maze cell of it other than the other point, else unset. Throws
    /// std::invalid_argument for a map of another size.
    bool replace(const CellMap &paper, MatteCell start = {}, MatteCell finish = {});
    /// Makes again a change that this model heard, or its reversed() (undo and redo). Throws
    /// std::invalid_argument for a cell outside the matte.
    bool apply(const MatteChange &change);

private:
    MatteChange keepingPoints() const;
    MatteChange unsettingPoints() const;
    bool placePoint(MatteCell &point, int cx, int cy);
    bool commit(const MatteChange &change);

    MattePainting painting_;
    std::function<void(const MatteChange &)> observer_;
};

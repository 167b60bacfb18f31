#pragma once

#include "matte/cell_map.h"
#include "matte/path_link.h"

class NodeGrid;

/// What acceptance reads of a matte: which cells are paper, and the start and finish cells.
struct MattePainting {
    CellMap paper;
    MatteCell start;
    MatteCell finish;

    bool operator==(const MattePainting &) const = default;
};

/// How acceptance ends.
enum class MatteVerdict {
    Accepted,
    NoPoints,       // neither point set
    NoStart,
    NoFinish,
    TooFewCells,    // fewer than one cell across or down
    TooManyCells,   // more cells either way than a maze can have
    StartOutside,   // the start is no cell of the matte
    FinishOutside,
    SameCell,       // the start and the finish are one cell
    NoPath,         // no path of maze cells joins the start cell to the finish cell
};

/// What acceptance found, for each front end to word in its own terms. Every cell in it
/// is 0-based, as MatteCell counts.
struct MatteResult {
    MatteVerdict verdict = MatteVerdict::NoPoints;
    long long cols = 0;
    long long rows = 0;
    MatteCell start;
    MatteCell finish;
    /// The cells linked to the start cell, itself included; 0 x 0 unless the path check ran.
    CellMap linked;

    bool accepted() const { return verdict == MatteVerdict::Accepted; }
    /// The path check's count: cells linked, the start cell not counted (0 when none ran).
    long long linkedCount() const;
};

/// Ok's first test: Accepted when both points are set, else which is missing.
MatteVerdict check_points(MatteCell start, MatteCell finish);

/// Whether a matte of cols x rows cells can exist: Accepted, TooFewCells or TooManyCells.
MatteVerdict check_matte_size(long long cols, long long rows);

/// Matte acceptance, one road for the editor's Ok and the command line. Checks the points
/// and the size; then allocates `blocked` anew at 2 x cols + 1 by 2 x rows + 1 nodes, marks
/// the paper cells and completes them; runs the path check, telling `onSweep` (when given)
/// the count after each sweep; and, when the finish is linked and `removeUnused` is set,
/// excludes every cell not linked to the start. A refusal before the path check leaves
/// `blocked` untouched; NoPath leaves it marked and completed.
MatteResult accept_matte(const MattePainting &painting, bool removeUnused, NodeGrid &blocked,
                         const SweepReport &onSweep = {});

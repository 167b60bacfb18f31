#pragma once

#include "matte/cell_map.h"

#include <vector>

/// The path check's linking: starting from one cell, each sweep runs a row pass and a
/// column pass, and each pass links every whole run of open cells that holds a linked
/// cell. Cells meet only left, right, above and below.
class PathLinker {
public:
    /// `open` says which cells are maze cells. The start cell is linked from the outset
    /// even when it is not open; it is not counted. Throws std::invalid_argument for a
    /// start outside the map.
    PathLinker(CellMap open, int startCx, int startCy);

    /// One sweep; returns true when it linked at least one cell.
    bool sweep();

    const CellMap &open() const { return open_; }
    const CellMap &linked() const { return linked_; }
    /// Cells linked so far, the start cell not included.
    long long count() const { return count_; }

private:
    bool pass(bool rows);

    CellMap open_;
    CellMap linked_;
    long long count_ = 0;
};

/// What a whole path check found.
struct PathCheck {
    CellMap linked;
    /// The count after each sweep, the last sweep (which links nothing) included, so
    /// its size is the number of sweeps run.
    std::vector<long long> sweepCounts;

    long long count() const { return sweepCounts.empty() ? 0 : sweepCounts.back(); }
};

/// Runs sweeps until one links nothing.
PathCheck link_path(const CellMap &open, int startCx, int startCy);

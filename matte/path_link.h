#pragma once

#include "matte/cell_map.h"

#include <cstdint>
#include <vector>

/// The path check's linking: starting from one cell, each sweep runs a row pass and a
/// column pass, and each pass links every whole run of open cells that holds a linked
/// cell. Cells meet only left, right, above and below.
class PathLinker {
public:
    /// `open` says which cells are maze cells. The start cell is linked from the outset
    /// even when it is not open; it is not counted. Throws std::invalid_argument for a
    /// start outside the map.
    PathLinker(const CellMap &open, int startCx, int startCy);

    /// One sweep; returns true when it linked at least one cell.
    bool sweep();

    /// The cells linked so far.
    CellMap linked() const;
    /// Cells linked so far, the start cell not included.
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

/// The cells the sweeps end up linking, found by a flood fill in time proportional to
/// the matte rather than to the turns of its paths: the start cell and every open cell
/// connected to it (only the start cell when it is not open). For mattes of any size
/// where no window shows the sweeps.
CellMap reach_from(const CellMap &open, int startCx, int startCy);

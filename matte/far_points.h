#pragma once

#include "matte/cell_map.h"

/// A maze cell and how many steps (left, right, up or down, through maze cells) lead to it.
struct FarCell {
    MatteCell cell;
    long long steps = -1;
};

/// The maze cell of `paper` (true = paper) farthest by path from `from`, the first row by
/// row among equals; `from` itself when no other cell is joined to it. Unset when `from` is
/// no maze cell of the matte.
FarCell farthest_cell(const CellMap &paper, MatteCell from);

/// A start and a finish the solution runs far between, as the editor and the command line
/// place them: from the first cell (row by row) of the largest joined region of maze cells,
/// the farthest cell is the start, and the cell farthest from the start the finish. Both
/// unset when the region has fewer than two cells.
struct FarPoints {
    MatteCell start;
    MatteCell finish;
    long long steps = 0;  // from the start to the finish
};
FarPoints far_apart_points(const CellMap &paper);

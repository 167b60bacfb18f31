#pragma once

#include "matte/cell_map.h"

#include <vector>

/// A point of an outline in cells: x across from the left edge of the grid, y down from
/// its top edge, so the centre of cell (cx, cy) is (cx + 0.5, cy + 0.5).
struct OutlinePoint {
    double x = 0;
    double y = 0;
};

/// Closed contours, each a list of corners joined by straight lines (the last back to the
/// first), as the outline of a word's letters.
using Outline = std::vector<std::vector<OutlinePoint>>;

/// The cells of cols x rows whose centres the outline encloses, by the non-zero winding
/// rule, so letters that overlap stay whole. Throws std::invalid_argument for a negative count.
CellMap fill_outline(const Outline &outline, int cols, int rows);

/// Widens every line of the cells true in `inside` that is one cell thin, across or down,
/// by a cell on the side that follows the line and touches no other stroke, so each cell
/// has another beside it and another above or below it wherever the grid leaves room.
/// Returns the cells it added.
CellMap thicken_lines(CellMap &inside);

/// Makes the cells true in `inside` one region joined left, right, up and down: along row
/// `baselineRow` (the letters' feet), the gaps between separate pieces are filled, a
/// corridor one cell high; any piece still apart (a dot, an accent) is joined to the rest
/// by the shortest line of cells, straight down a column where one leads to it. Returns
/// the cells it added.
CellMap join_pieces(CellMap &inside, int baselineRow);

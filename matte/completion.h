#pragma once

#include "matte/cell_map.h"

class NodeGrid;

/// A start or finish point as the state record holds it: a cell node (2i, 2j), or x = -1
/// when unset (the y of an unset point is never looked at).
struct NodePoint {
    int x = -1;
    int y = -1;

    bool isSet() const { return x != -1; }
    /// The 0-based cell (x / 2 - 1, y / 2 - 1) of a set point.
    int cellX() const { return x / 2 - 1; }
    int cellY() const { return y / 2 - 1; }
    bool operator==(const NodePoint &) const = default;
};

/// The point standing for 0-based cell (cx, cy).
inline NodePoint pointOfCell(int cx, int cy) { return {2 * cx + 2, 2 * cy + 2}; }
/// The point standing for a cell; unset for an unset cell.
inline NodePoint pointOf(MatteCell cell) { return cell.isSet() ? pointOfCell(cell.cx, cell.cy) : NodePoint{}; }

/// True when a set point is a cell node of a matte of cols x rows cells.
bool isCellOfMatte(NodePoint point, int cols, int rows);

/// Read-back: sets Blocked on the cell node of every cell that is true in `paper`.
/// The grid must have 2 x cols + 1 by 2 x rows + 1 nodes; nothing else is written.
void mark_cells(NodeGrid &grid, const CellMap &paper);

/// The eight closing rules a to h around the cell node (px, py), in order and in place:
/// the walls towards excluded neighbouring cells, then the corners between closed walls.
void close_point(NodeGrid &grid, int px, int py);

/// Completion C1 to C6 over Blocked as it stands: walls and corners between excluded
/// cells, the border beside them, then the surroundings of the start and the finish.
/// Unset points are passed over; a set point that is no cell node of the grid throws
/// std::invalid_argument before anything is written. Only ever sets Blocked, and never
/// on a cell node: which cells are excluded is the painting's (or the path check's) say.
void complete_matte(NodeGrid &grid, NodePoint start, NodePoint finish);

/// "Remove unused areas": every cell node becomes excluded unless it is linked, then the
/// completion runs again over Blocked as it now stands (nothing else is cleared first).
void remove_unused_areas(NodeGrid &grid, const CellMap &linked, NodePoint start, NodePoint finish);

#pragma once

#include "matte/cell_map.h"
#include "maze/parameters.h"

#include <array>

/// The shapes a matte can be made in without a picture. Each is stretched to fill the
/// whole grid, as the circle is an ellipse on a grid that is not square.
enum class MatteShape { Circle, Ring, Heart, Star, Triangle, Diamond, Hexagon };

/// The shapes by name, in the order the editor's menu and --help list them.
inline constexpr std::array<params::Choice, 7> MatteShapes{{
    {"Circle", int(MatteShape::Circle)},
    {"Ring", int(MatteShape::Ring)},
    {"Heart", int(MatteShape::Heart)},
    {"Star", int(MatteShape::Star)},
    {"Triangle", int(MatteShape::Triangle)},
    {"Diamond", int(MatteShape::Diamond)},
    {"Hexagon", int(MatteShape::Hexagon)},
}};

/// Whether the point (u, v) lies in the shape drawn in the square -1..1 both ways, u to
/// the right and v upwards; the outline belongs to the shape.
bool inside_shape(MatteShape shape, double u, double v);

/// The shape laid over cols x rows cells: true for each cell whose centre lies in it.
/// Throws std::invalid_argument for a negative count.
CellMap shape_cells(MatteShape shape, int cols, int rows);

/// The paper of a matte whose maze cells are those true in `inside`: every other cell.
CellMap paper_outside(const CellMap &inside);

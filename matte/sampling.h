#pragma once

#include "matte/cell_map.h"

#include <cstdint>
#include <functional>

/// Reads one pixel of a picture as a packed 0x00BBGGRR colour (red in the low byte);
/// -1 for a position outside the picture.
using PixelReader = std::function<std::int32_t(int x, int y)>;

/// The pixel column (or row) sampled for cell `cell` of `cells` laid over a picture
/// `pictureSize` pixels wide (or high): the centre of the cell's share, computed with
/// the share rounded to single precision first, as the import always has.
int sample_coordinate(int cell, int pictureSize, int cells);

/// The import's threshold: a sampled colour at or above 0xCCCCCC, compared as a signed
/// 32-bit value, is light and makes the cell paper; anything darker is maze.
constexpr bool is_light_sample(std::int32_t packed) { return packed >= 0xCCCCCC; }

/// Lays a cols x rows cell grid over a picture of width x height pixels and reads one
/// pixel per cell, row by row: true where the cell becomes paper. Throws
/// std::invalid_argument for a count below 1.
CellMap sample_picture(int width, int height, int cols, int rows, const PixelReader &pixel);

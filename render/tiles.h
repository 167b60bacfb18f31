#pragma once

#include "maze/grid.h"

#include <array>
#include <cstdint>

class Random;

/// The tile sets: sixteen square pictures per appearance, one laid on every wall node.
/// Tile numbers say which neighbours a wall piece reaches (1 east, 2 south, 3 west,
/// 4 north, 5 NE, 6 ES, 7 SW, 8 WN, 9 NS, 10 WE, 11 not east, 12 not south,
/// 13 not west, 14 not north, 15 all, 16 none); 0 draws nothing.
namespace tiles {

inline constexpr int SetCount = 11;
inline constexpr int TilesPerSet = 16;

/// The four colours any tile uses. 1-bit sets use only Black and White.
enum Shade : std::uint8_t { Black = 0, DarkGrey = 1, LightGrey = 2, White = 3 };

/// RGB of a shade as 0xRRGGBB: black, (128,128,128), (192,192,192), white.
constexpr std::uint32_t rgb(Shade s)
{
    constexpr std::uint32_t table[] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
    return table[s];
}

/// One appearance's pictures. Pixels are shades, tile-major then row-major.
struct TileSet {
    const char *name;
    int width;   ///< pixels
    int height;  ///< pixels
    int depth;   ///< bits per pixel of the picture: 1 or 24
    int count;   ///< pictures in the set
    const std::uint8_t *pixels;

    /// Shade of pixel (x, y) of tile 1..count.
    Shade shade(int tile, int x, int y) const
    {
        return static_cast<Shade>(pixels[(static_cast<std::size_t>(tile - 1) * height + y) * width + x]);
    }
    /// Only pure black is ink for the monochrome file.
    bool ink(int tile, int x, int y) const { return shade(tile, x, y) == Black; }
};

/// Tile set of appearance index `style` (MazeStyle, 0..10); std::out_of_range otherwise.
const TileSet &tile_set(int style);

/// The corner arrow: one 128 x 128 1-bit picture.
const TileSet &corner_arrow();

/// Open sides of a wall node as a mask: north 8, east 4, south 2, west 1.
enum Side : std::uint8_t { West = 1, South = 2, East = 4, North = 8 };

/// The tile for each mask of open sides: the one numbering every output shares.
inline constexpr std::uint8_t TileOfOpenSides[16] = {
    16, 3, 2, 7, 1, 10, 6, 14, 4, 8, 9, 11, 5, 12, 13, 15,
};

/// The mask of open sides that tile 1..16 stands for (0 for tile 0 and tile 16).
constexpr unsigned open_sides(int tile)
{
    for (unsigned mask = 0; mask < 16; ++mask)
        if (TileOfOpenSides[mask] == tile)
            return mask;
    return 0;
}

/// One City plan slab, in node units.
struct CitySlab {
    float left, top, right, bottom;
};

/// What City plan draws for tile 1..16 at node (x, y): a slab running north-south and one
/// running east-west, each across the node and into the neighbours the tile opens to, placed
/// and made thick by four numbers of `rnd`, taken in that order by every output that draws them.
std::array<CitySlab, 2> city_slabs(int x, int y, int tile, Random &rnd);

} // namespace tiles

/// The tile number (0..16) for node (px, py), 1 <= px <= width, 1 <= py <= height.
/// Called for every node of every output: five loads, no allocation.
inline int find_bitmap(const NodeGrid &g, int px, int py)
{
    constexpr std::uint8_t gone = NodeGrid::Carved | NodeGrid::Blocked;
    if (g.flags(px, py) & gone)
        return 0;
    const bool w = px != 1 && !(g.flags(px - 1, py) & gone);
    const bool n = py != 1 && !(g.flags(px, py - 1) & gone);
    const bool e = px != g.width() && !(g.flags(px + 1, py) & gone);
    const bool s = py != g.height() && !(g.flags(px, py + 1) & gone);
    return tiles::TileOfOpenSides[(n << 3) | (e << 2) | (s << 1) | static_cast<int>(w)];
}

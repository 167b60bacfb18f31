#include "render/tiles.h"

#include "maze/random.h"

#include "render/tile_maps.h"

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace tiles {
namespace {

template <std::size_t N>
constexpr bool onlyBlackAndWhite(const std::uint8_t (&pixels)[N])
{
    for (std::uint8_t p : pixels)
        if (p != Black && p != White)
            return false;
    return true;
}

// The table of appearances, in MazeStyle order.
constexpr std::array<TileSet, SetCount> sets = {{
    {"Medium lines", 4, 4, 1, TilesPerSet, maps::medium_lines},
    {"Thin lines", 5, 5, 1, TilesPerSet, maps::thin_lines},
    {"Double line", 36, 36, 1, TilesPerSet, maps::double_line},
    {"Electronic circuits", 36, 36, 1, TilesPerSet, maps::electronic_circuits},
    {"Fences", 36, 36, 1, TilesPerSet, maps::fences},
    {"Plumbing", 36, 36, 1, TilesPerSet, maps::plumbing},
    {"Thin rounded", 36, 36, 1, TilesPerSet, maps::thin_rounded},
    {"Thick lines", 10, 10, 1, TilesPerSet, maps::thick_lines},
    {"Shaded", 5, 5, 24, TilesPerSet, maps::shaded},
    {"Planks", 36, 36, 24, TilesPerSet, maps::planks},
    {"Tiny bricks", 28, 28, 24, TilesPerSet, maps::tiny_bricks},
}};

// A map of the wrong shape or a grey pixel in a 1-bit set fails the build, not a drawing.
#define CORVANTHEL_CHECK_MAP(style, map)                                                               \
    static_assert(sizeof(maps::map) == std::size_t(TilesPerSet) * sets[style].width * sets[style].height); \
    static_assert(sets[style].depth == 24 || onlyBlackAndWhite(maps::map))
CORVANTHEL_CHECK_MAP(0, medium_lines);
CORVANTHEL_CHECK_MAP(1, thin_lines);
CORVANTHEL_CHECK_MAP(2, double_line);
CORVANTHEL_CHECK_MAP(3, electronic_circuits);
CORVANTHEL_CHECK_MAP(4, fences);
CORVANTHEL_CHECK_MAP(5, plumbing);
CORVANTHEL_CHECK_MAP(6, thin_rounded);
CORVANTHEL_CHECK_MAP(7, thick_lines);
CORVANTHEL_CHECK_MAP(8, shaded);
CORVANTHEL_CHECK_MAP(9, planks);
CORVANTHEL_CHECK_MAP(10, tiny_bricks);
#undef CORVANTHEL_CHECK_MAP

constexpr TileSet arrow = {"Corner arrow", 128, 128, 1, 1, maps::corner_arrow};
static_assert(sizeof(maps::corner_arrow) == 128 * 128 && onlyBlackAndWhite(maps::corner_arrow));

} // namespace

const TileSet &tile_set(int style)
{
    if (style < 0 || style >= SetCount)
        throw std::out_of_range("no tile set for appearance " + std::to_string(style));
    return sets[static_cast<std::size_t>(style)];
}

const TileSet &corner_arrow()
{
    return arrow;
}

std::array<CitySlab, 2> city_slabs(int x, int y, int tile, Random &rnd)
{
    const unsigned open = open_sides(tile);
    const int n = (open & North) != 0, e = (open & East) != 0;
    const int s = (open & South) != 0, w = (open & West) != 0;
    // Sums in float, as the slabs were first drawn: outputs stay the same to the last bit.
    const float r1 = rnd.next() * 0.5f;
    const float r2 = rnd.next() * 0.5f + 0.5f;
    const float r3 = rnd.next() * 0.5f;
    const float r4 = rnd.next() * 0.5f + 0.5f;
    return {CitySlab{x + r1, float(y - n), x + r2, float(y + 1 + s)},
            CitySlab{float(x - w), y + r3, float(x + 1 + e), y + r4}};
}

} // namespace tiles

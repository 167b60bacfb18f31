#include "render/tiles.h"

#include <array>
#include <vector>

namespace tiles {
namespace {

// Open sides of tiles 1..16 as north, east, south, west.
struct Sides { bool n, e, s, w; };
constexpr Sides sidesOf[TilesPerSet + 1] = {
    {}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 1, 0},
    {0, 0, 1, 1}, {1, 0, 0, 1}, {1, 0, 1, 0}, {0, 1, 0, 1}, {1, 0, 1, 1}, {1, 1, 0, 1},
    {1, 1, 1, 0}, {0, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 0},
};

struct Canvas {
    int size;
    std::vector<std::uint8_t> &px;
    std::size_t base;
    void fill(int x0, int y0, int x1, int y1, Shade s)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                px[base + static_cast<std::size_t>(y) * size + x] = s;
    }
};

// A band lo..hi across the tile: the centre square plus one arm per open side.
void band(Canvas &c, const Sides &o, int lo, int hi, Shade s)
{
    const int last = c.size - 1;
    c.fill(lo, lo, hi, hi, s);
    if (o.n) c.fill(lo, 0, hi, hi, s);
    if (o.s) c.fill(lo, lo, hi, last, s);
    if (o.w) c.fill(0, lo, hi, hi, s);
    if (o.e) c.fill(lo, lo, last, hi, s);
}

struct Built {
    std::vector<std::uint8_t> pixels;
    TileSet set;
};

template <typename Draw>
Built build(const char *name, int size, int depth, Shade background, Draw draw)
{
    Built b;
    b.pixels.assign(static_cast<std::size_t>(TilesPerSet) * size * size, background);
    for (int t = 1; t <= TilesPerSet; ++t) {
        Canvas c{size, b.pixels, static_cast<std::size_t>(t - 1) * size * size};
        draw(c, sidesOf[t]);
    }
    b.set = {name, size, size, depth, TilesPerSet, nullptr};
    return b;
}

std::array<Built, SetCount> makeAll()
{
    std::array<Built, SetCount> all;
    all[0] = build("Medium lines", 4, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 1, 2, Black); });
    all[1] = build("Thin lines", 5, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 2, 2, Black); });
    all[2] = build("Double line", 36, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 16, 19, Black); });
    all[3] = build("Electronic circuits", 36, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 7, 28, Black); });
    all[4] = build("Fences", 36, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 10, 30, Black); });
    all[5] = build("Plumbing", 36, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 9, 17, Black); });
    all[6] = build("Thin rounded", 36, 1, White, [](Canvas &c, const Sides &o) { band(c, o, 16, 19, Black); });
    all[7] = build("Thick lines", 10, 1, White, [](Canvas &c, const Sides &o) {
        c.fill(1, 1, 8, 8, Black);
        if (o.n) c.fill(1, 0, 8, 0, Black);
        if (o.s) c.fill(1, 9, 8, 9, Black);
        if (o.w) c.fill(0, 1, 0, 8, Black);
        if (o.e) c.fill(9, 1, 9, 8, Black);
        if (!o.n && !o.w) c.fill(1, 1, 1, 1, White);
        if (!o.n && !o.e) c.fill(8, 1, 8, 1, White);
        if (!o.s && !o.w) c.fill(1, 8, 1, 8, White);
        if (!o.s && !o.e) c.fill(8, 8, 8, 8, White);
    });
    all[8] = build("Shaded", 5, 24, LightGrey, [](Canvas &c, const Sides &o) {
        band(c, o, 1, 3, DarkGrey);
        band(c, o, 2, 2, Black);
    });
    all[9] = build("Planks", 36, 24, White, [](Canvas &c, const Sides &o) { band(c, o, 3, 32, LightGrey); });
    all[10] = build("Tiny bricks", 28, 24, White, [](Canvas &c, const Sides &o) { band(c, o, 7, 20, DarkGrey); });
    for (Built &b : all)
        b.set.pixels = b.pixels.data();
    return all;
}

} // namespace

const TileSet &tile_set(int style)
{
    static const std::array<Built, SetCount> all = makeAll();
    return all.at(static_cast<std::size_t>(style)).set;
}

const TileSet &corner_arrow()
{
    static const Built arrow = [] {
        Built b;
        constexpr int n = 128;
        b.pixels.assign(n * n, White);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const bool head = x <= 95 && y <= 95 && x + y >= 151;
                const int along = x + y, across = (x - y) * (x - y);
                const bool shaft = along >= 69 && along <= 160 && across * 2 <= 13 * 13;
                if (head || shaft)
                    b.pixels[static_cast<std::size_t>(y) * n + x] = Black;
            }
        b.set = {"Corner arrow", n, n, 1, 1, b.pixels.data()};
        return b;
    }();
    return arrow.set;
}

} // namespace tiles

// Draws the eleven tile sets and the corner arrow and writes them as text pixel maps,
// one character per pixel, which the build compiles into the core (render/tiles/*.txt).
//
//   tilegen DIR           write the maps into DIR
//   tilegen --check DIR   exit 1 when a map in DIR differs from what this program draws
//
// Every set is drawn from its open sides alone. Wherever a wall continues across a tile
// edge, the drawing treats the wall as running on unchanged beyond that edge, so two
// tiles that meet across an open side show one unbroken wall.

#include "render/tiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using tiles::Shade;
using tiles::Black;
using tiles::DarkGrey;
using tiles::LightGrey;
using tiles::White;

namespace {

/// The sides of a tile its wall piece reaches.
struct Open {
    bool n, e, s, w;
    int count() const { return n + e + s + w; }
    bool straight() const { return count() == 2 && n == s; }
    bool corner() const { return count() == 2 && n != s; }
};

/// The open sides of tile t, by the numbering find_bitmap uses.
constexpr Open openSides(int t)
{
    const unsigned m = tiles::open_sides(t);
    return {(m & tiles::North) != 0, (m & tiles::East) != 0, (m & tiles::South) != 0, (m & tiles::West) != 0};
}

const char *const tileCaption[tiles::TilesPerSet + 1] = {
    "", "east", "south", "west", "north", "north, east", "east, south", "south, west",
    "west, north", "north, south", "west, east", "north, west, south", "north, west, east",
    "north, east, south", "west, east, south", "all four", "none",
};

struct Picture {
    int w, h;
    std::vector<Shade> px;

    Picture(int width, int height, Shade background)
        : w(width), h(height), px(static_cast<std::size_t>(width) * height, background) {}

    Shade &at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    void fill(int x0, int y0, int x1, int y1, Shade s)
    {
        for (int y = std::max(y0, 0); y <= std::min(y1, h - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, w - 1); ++x)
                at(x, y) = s;
    }
    /// Sets every pixel for which `inside(x, y)` holds.
    template <typename Pred>
    void paint(Pred inside, Shade s)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (inside(x, y))
                    at(x, y) = s;
    }
};

// Distances are measured between pixel centres in half pixels, so that every test
// is exact integer arithmetic: pixel (x, y) has its centre at (2x + 1, 2y + 1), and a
// tile corner of an N-pixel tile lies at 0 or 2N.
int dist2(int x, int y, int cx2, int cy2)
{
    const int dx = 2 * x + 1 - cx2;
    const int dy = 2 * y + 1 - cy2;
    return dx * dx + dy * dy;
}

/// Doubled coordinates of the tile corner between two adjacent open sides.
struct Corner {
    int cx2, cy2;
};
Corner cornerOf(bool north, bool east, int size)
{
    return {east ? 2 * size : 0, north ? 0 : 2 * size};
}

/// A band lo..hi across the tile: the centre square plus an arm for each open side,
/// the arms running on past the tile's edges.
bool inBand(const Open &o, int lo, int hi, int x, int y)
{
    const bool acrossX = x >= lo && x <= hi;
    const bool acrossY = y >= lo && y <= hi;
    return (acrossX && acrossY) || (acrossX && o.n && y <= hi) || (acrossX && o.s && y >= lo)
        || (acrossY && o.w && x <= hi) || (acrossY && o.e && x >= lo);
}

// ---------------------------------------------------------------------------------
// The line sets: every pixel position of these is fixed, the tests check each one.

Picture mediumLines(const Open &o)
{
    Picture p(4, 4, White);
    p.paint([&](int x, int y) { return inBand(o, 1, 2, x, y); }, Black);
    return p;
}

Picture thinLines(const Open &o)
{
    Picture p(5, 5, White);
    p.paint([&](int x, int y) { return inBand(o, 2, 2, x, y); }, Black);
    return p;
}

Picture thickLines(const Open &o)
{
    Picture p(10, 10, White);
    p.fill(1, 1, 8, 8, Black);
    if (o.n) p.fill(1, 0, 8, 0, Black);
    if (o.s) p.fill(1, 9, 8, 9, Black);
    if (o.w) p.fill(0, 1, 0, 8, Black);
    if (o.e) p.fill(9, 1, 9, 8, Black);
    // Rounded ends: a corner of the block is cut where both sides meeting at it are closed.
    if (!o.n && !o.w) p.at(1, 1) = White;
    if (!o.n && !o.e) p.at(8, 1) = White;
    if (!o.s && !o.w) p.at(1, 8) = White;
    if (!o.s && !o.e) p.at(8, 8) = White;
    return p;
}

Picture shaded(const Open &o)
{
    Picture p(5, 5, LightGrey);
    p.paint([&](int x, int y) { return inBand(o, 1, 3, x, y); }, DarkGrey);
    p.paint([&](int x, int y) { return inBand(o, 2, 2, x, y); }, Black);
    return p;
}

// ---------------------------------------------------------------------------------
// "Thin rounded": a 4-pixel line that turns corners in quarter circles.

Picture thinRounded(const Open &o)
{
    constexpr int n = 36, lo = 16, hi = 19;
    Picture p(n, n, White);
    // Radii 16.5 and 20.5 about a tile corner meet the edges exactly at pixels 16..19.
    const auto arc = [&](bool north, bool east) {
        const Corner c = cornerOf(north, east, n);
        p.paint([&](int x, int y) {
            const int d = dist2(x, y, c.cx2, c.cy2);
            return d >= 33 * 33 && d <= 41 * 41;
        }, Black);
    };
    const auto line = [&](bool northSouth) {
        p.paint([&](int x, int y) { return (northSouth ? x : y) >= lo && (northSouth ? x : y) <= hi; },
                Black);
    };
    const auto deadEnd = [&](bool n2, bool e2, bool s2, bool w2) {
        p.fill(lo, lo, hi, hi, Black);
        if (n2) p.fill(lo, 0, hi, hi, Black);
        if (s2) p.fill(lo, lo, hi, n - 1, Black);
        if (w2) p.fill(0, lo, hi, hi, Black);
        if (e2) p.fill(lo, lo, n - 1, hi, Black);
        // The tip: the two corner pixels of the line's end are left out.
        if (!n2 && !w2) p.at(lo, lo) = White;
        if (!n2 && !e2) p.at(hi, lo) = White;
        if (!s2 && !w2) p.at(lo, hi) = White;
        if (!s2 && !e2) p.at(hi, hi) = White;
    };

    switch (o.count()) {
    case 0:
    case 1:
        deadEnd(o.n, o.e, o.s, o.w);
        break;
    case 2:
        if (o.straight())
            line(o.n);
        else
            arc(o.n, o.e);
        break;
    case 3:
        // The branch curves into the straight line, always turning the same way round
        // (the side that follows it clockwise), so junctions read as one family.
        if (!o.e) { line(true); arc(true, false); }        // branch west, turns north
        else if (!o.s) { line(false); arc(true, true); }   // branch north, turns east
        else if (!o.w) { line(true); arc(false, true); }   // branch east, turns south
        else { line(false); arc(false, false); }           // branch south, turns west
        break;
    default:
        arc(true, true);
        arc(true, false);
        arc(false, true);
        arc(false, false);
        break;
    }
    return p;
}

// ---------------------------------------------------------------------------------
// "Double line": the wall fills the tile and only its outline is drawn.

Picture doubleLine(const Open &o)
{
    constexpr int n = 36, last = n - 1;
    Picture p(n, n, White);
    if (!o.n) p.fill(0, 0, last, 1, Black);
    if (!o.s) p.fill(0, last - 1, last, last, Black);
    if (!o.w) p.fill(0, 0, 1, last, Black);
    if (!o.e) p.fill(last - 1, 0, last, last, Black);

    // Each corner of the tile: where two closed sides meet the outline turns outward and
    // its outermost pixel is cut; where two open sides meet, a small piece turns the
    // neighbours' outlines round the inside corner.
    struct { bool a, b; int x, y, ix, iy; } corners[] = {
        {o.n, o.w, 0, 0, 1, 1},
        {o.n, o.e, last, 0, last - 1, 1},
        {o.s, o.w, 0, last, 1, last - 1},
        {o.s, o.e, last, last, last - 1, last - 1},
    };
    for (const auto &c : corners) {
        if (!c.a && !c.b) {
            p.at(c.x, c.y) = White;
        } else if (c.a && c.b) {
            p.fill(std::min(c.x, c.ix), std::min(c.y, c.iy), std::max(c.x, c.ix), std::max(c.y, c.iy), Black);
            p.at(c.ix, c.iy) = White;
        }
    }
    return p;
}

// ---------------------------------------------------------------------------------
// "Electronic circuits": copper traces 22 pixels wide, corners in quarter rings, dead
// ends in round pads, junctions with a via.

Picture electronicCircuits(const Open &o)
{
    constexpr int n = 36, lo = 7, hi = 28;
    Picture p(n, n, White);
    const auto ring = [&](bool north, bool east) {
        const Corner c = cornerOf(north, east, n);
        p.paint([&](int x, int y) {
            const int d = dist2(x, y, c.cx2, c.cy2);
            return d >= 14 * 14 && d <= 58 * 58;
        }, Black);
    };
    const auto disc = [&](int diameter, Shade s) {
        p.paint([&](int x, int y) { return dist2(x, y, n, n) <= diameter * diameter; }, s);
    };

    if (o.corner()) {
        ring(o.n, o.e);
    } else if (o.count() <= 1) {
        // A pad the full width of the tile with a 16-pixel hole; the trace leaves it
        // toward the open side.
        disc(36, Black);
        p.paint([&](int x, int y) { return inBand(o, lo, hi, x, y); }, Black);
        disc(16, White);
    } else {
        p.paint([&](int x, int y) { return inBand(o, lo, hi, x, y); }, Black);
        // Rings between adjacent open sides add nothing outside the traces except the
        // rounded fillets in the inside corners, as on an etched board.
        if (o.n && o.e) ring(true, true);
        if (o.e && o.s) ring(false, true);
        if (o.s && o.w) ring(false, false);
        if (o.w && o.n) ring(true, false);
        if (o.count() >= 3)
            disc(10, White);
    }
    return p;
}

// ---------------------------------------------------------------------------------
// "Fences": walls as blocks seen from above the south-east in oblique projection.
//
// A block's top is 20 pixels above the ground and a point at height z is drawn shifted
// (-z, -z). The footprint of the centre block is x, y = 24..30, so its top is drawn at
// 4..10 and its faces fill 10..30. Each screen pixel shows the highest wall point on its
// line of sight: the top (outlined), a south face (solid black) or an east face (rails:
// every other column black). The line of sight from a pixel of this tile reaches 20
// pixels into the east and south neighbours, where it can meet only the continuation
// of this tile's own east and south arms, so the picture depends on this tile alone.

Picture fences(const Open &o)
{
    constexpr int n = 36, lo = 24, hi = 30, height = 20;
    Picture p(n, n, White);
    const auto wall = [&](int u, int v) { return inBand(o, lo, hi, u, v); };

    for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
            int z = height;
            while (z >= 0 && !wall(sx + z, sy + z))
                --z;
            if (z < 0)
                continue;
            const int u = sx + z, v = sy + z;
            Shade s = Black;
            if (z == height) {
                bool edge = false;
                for (int dv = -1; dv <= 1; ++dv)
                    for (int du = -1; du <= 1; ++du)
                        edge = edge || !wall(u + du, v + dv);
                s = edge ? Black : White;
            } else {
                const bool eastFace = !wall(u + 1, v) && wall(u, v + 1);
                // Rails run along the face; its top edge, its foot and the block's
                // vertical edges stay solid.
                if (eastFace && z > 0 && z % 2 == 1)
                    s = White;
            }
            p.at(sx, sy) = s;
        }
    }
    return p;
}

// ---------------------------------------------------------------------------------
// "Plumbing": a wide pipe (x 9..17 / y 18..26) and a thin pipe (x 25..26 / y 9..10)
// along every wall. The wide pipe bends through an elbow and meets at a valve box, the
// thin one through small fitting boxes; dead ends are capped, a lone post is a tank.
// Fittings are white with a black rim, so they stand out from the solid pipes. Where a
// bend makes the thin pipe cross the wide one (both sides of a crossing pair open), it
// passes behind it with a pixel of clearance.

Picture plumbing(const Open &o)
{
    constexpr int n = 36;
    Picture p(n, n, White);

    if (o.count() == 0) {
        p.fill(3, 3, 32, 32, Black);
        p.paint([&](int x, int y) { return dist2(x, y, n, n) <= 26 * 26; }, White);
        p.paint([&](int x, int y) {
            const int d = dist2(x, y, n, n);
            return d <= 20 * 20 && d >= 18 * 18;
        }, Black);
        return p;
    }

    // A pipe network: a band with its own centre square, arms running past the edges.
    const auto network = [&](int x0, int x1, int y0, int y1) {
        return [=](int x, int y) {
            const bool ns = x >= x0 && x <= x1, we = y >= y0 && y <= y1;
            return (ns && we) || (ns && o.n && y <= y1) || (ns && o.s && y >= y0) || (we && o.w && x <= x1)
                || (we && o.e && x >= x0);
        };
    };
    const auto wideAt = network(9, 17, 18, 26);
    const auto thinAt = network(25, 26, 9, 10);

    // A fitting: the region is filled white and its rim, the pixels next to the outside, black.
    const auto fitting = [&](auto inside) {
        p.paint([&](int x, int y) {
            if (!inside(x, y))
                return false;
            return !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
        }, Black);
        p.paint([&](int x, int y) {
            return inside(x, y) && inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1);
        }, White);
    };
    const auto box = [](int x0, int y0, int x1, int y1) {
        return [=](int x, int y) {
            const bool corner = (x == x0 || x == x1) && (y == y0 || y == y1);
            return x >= x0 && x <= x1 && y >= y0 && y <= y1 && !corner;
        };
    };

    // The wide pipe bends round a centre 7 pixels from its junction's centre (13.5, 22.5),
    // in doubled coordinates; its elbow covers the bend and two pixels of each straight.
    const int bx2 = 27 + (o.e ? 14 : -14), by2 = 45 + (o.n ? -14 : 14);
    const auto inBendQuadrant = [&](int x, int y) {
        return (o.e ? 2 * x + 1 <= bx2 : 2 * x + 1 >= bx2) && (o.n ? 2 * y + 1 >= by2 : 2 * y + 1 <= by2);
    };
    // Outside the bend's quadrant a pixel is on the north-south run if it lies on the
    // same side of the bend centre as that run, else on the west-east run.
    const auto bentPipe = [&](int x, int y) {
        if (inBendQuadrant(x, y)) {
            const int d = dist2(x, y, bx2, by2);
            return d >= 5 * 5 && d <= 23 * 23;
        }
        const bool alongNS = o.e ? 2 * x + 1 <= bx2 : 2 * x + 1 >= bx2;
        return alongNS ? x >= 9 && x <= 17 && (o.n ? y <= 17 : y >= 18) : y >= 18 && y <= 26 && (o.e ? x >= 9 : x <= 17);
    };
    const auto elbow = [&](int x, int y) {
        const int socket = 2;
        if (inBendQuadrant(x, y)) {
            const int d = dist2(x, y, bx2, by2);
            return d >= 3 * 3 && d <= 25 * 25;
        }
        const bool alongNS = o.e ? 2 * x + 1 <= bx2 : 2 * x + 1 >= bx2;
        const int edgeY = (by2 - 1) / 2, edgeX = (bx2 - 1) / 2;
        if (alongNS)
            return x >= 8 && x <= 18 && (o.n ? y <= edgeY && y > edgeY - socket : y > edgeY && y <= edgeY + socket);
        return y >= 17 && y <= 27 && (o.e ? x > edgeX && x <= edgeX + socket : x <= edgeX && x > edgeX - socket);
    };
    const bool bend = o.corner();
    const auto widePipe = [&](int x, int y) { return bend ? bentPipe(x, y) : wideAt(x, y); };

    p.paint(widePipe, Black);
    // A highlight two pixels in from the wide pipe's upper or left edge, along its
    // straight runs and through the junction square where no other run crosses it.
    const bool onlyNS = !o.w && !o.e, onlyWE = !o.n && !o.s;
    p.paint([&](int x, int y) {
        return widePipe(x, y)
            && ((x == 11 && (onlyNS || y < 18 || y > 26)) || (y == 20 && (onlyWE || x < 9 || x > 17)));
    }, White);
    p.paint([&](int x, int y) {
        if (!thinAt(x, y))
            return false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (widePipe(x + dx, y + dy))
                    return false;
        return true;
    }, Black);

    if (o.count() == 1) {
        // The wide pipe ends in a cap, the thin one in a tap.
        fitting(box(7, 16, 19, 28));
        p.fill(11, 20, 15, 24, Black);
        fitting(box(22, 6, 29, 13));
        p.fill(25, 9, 26, 10, Black);
    } else if (o.straight()) {
        // A coupling halfway along the wide pipe.
        fitting(o.n ? box(7, 16, 19, 20) : box(11, 16, 15, 28));
    } else if (bend) {
        fitting(elbow);
        fitting(box(23, 7, 28, 12));
    } else {
        // A valve box with its hand wheel where the wide pipes meet.
        fitting(box(6, 15, 20, 29));
        p.paint([&](int x, int y) {
            const int d = dist2(x, y, 27, 45);
            return (d <= 11 * 11 && d >= 7 * 7) || (x == 13 && y >= 18 && y <= 26) || (y == 22 && x >= 9 && x <= 17);
        }, Black);
        fitting(box(23, 7, 28, 12));
    }
    return p;
}

// ---------------------------------------------------------------------------------
// "Planks": raised planks 30 pixels wide, lit from the upper right: black rim, light
// grey face, a 2-pixel dark grey shadow inside the left and bottom rims, outer corners
// rounded by a pixel. At a junction the west-east plank lies on top and the north-south
// one runs under it (as with the bricks, a single west or east arm lies under a
// north-south plank instead), so each plank keeps its own rim.

/// A plank spanning x0..x1, y0..y1; an open end runs on past the tile's edge.
struct Plank {
    int x0, y0, x1, y1;
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
    Shade shade(int x, int y) const
    {
        const bool left = x == x0, right = x == x1, top = y == y0, bottom = y == y1;
        if ((left || right) && (top || bottom))
            return White;
        if (left || right || top || bottom)
            return Black;
        return x <= x0 + 2 || y >= y1 - 2 ? DarkGrey : LightGrey;
    }
};

Picture planks(const Open &o)
{
    constexpr int n = 36, lo = 3, hi = 32, far = 1000;
    Picture p(n, n, White);
    const Plank westEast{o.w ? -far : lo, lo, o.e ? far : hi, hi};
    const Plank northSouth{lo, o.n ? -far : lo, hi, o.s ? far : hi};
    const bool hasWE = o.w || o.e || o.count() == 0, hasNS = o.n || o.s;
    const bool nsOnTop = hasNS && (o.w != o.e) && o.n && o.s;

    std::vector<Plank> order;
    if (hasWE && !nsOnTop) {
        if (hasNS) order.push_back(northSouth);
        order.push_back(westEast);
    } else {
        if (hasWE) order.push_back(westEast);
        order.push_back(northSouth);
    }
    for (const Plank &plank : order)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                if (plank.contains(x, y))
                    p.at(x, y) = plank.shade(x, y);
    return p;
}

// ---------------------------------------------------------------------------------
// "Tiny bricks": two courses in running bond. Along a course a brick is 12 pixels with a
// 2-pixel joint; across it, mortar, four white rows, one light grey row, mortar.

/// Shade of the brick band at (along, across), across = 0..13 from the band's edge
/// nearest the light, along counted on the tile and repeating every 14 pixels.
Shade brick(int along, int across)
{
    const int row = across % 7;
    if (row == 0 || row == 6)
        return Black;
    // The second course is offset by half a brick; its joints straddle the tile edges.
    const int phase = ((along + (across >= 7 ? 1 : 8)) % 14 + 14) % 14;
    if (phase < 2)
        return Black;
    return row == 5 ? LightGrey : White;
}

Picture tinyBricks(const Open &o)
{
    constexpr int n = 28, lo = 7, hi = 20;
    Picture p(n, n, White);
    // Which wall fills the centre square: the west-east one runs through junctions and
    // the north-south one butts against it, unless only one arm comes from west or east
    // while the north-south wall runs on through.
    const bool horizontalArm = o.w || o.e;
    const bool centreWE = (o.w && o.e) || (horizontalArm && !(o.n && o.s)) || o.count() == 0;

    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (!inBand(o, lo, hi, x, y))
                continue;
            const bool inCentre = x >= lo && x <= hi && y >= lo && y <= hi;
            const bool weBricks = inCentre ? centreWE : (y >= lo && y <= hi);
            Shade s = weBricks ? brick(x, y - lo) : brick(y, x - lo);
            // A wall ends at the centre square's edge in a mortar line; a wall butting
            // against the one through the centre is cut back by a 2-pixel joint.
            if (inCentre) {
                if (centreWE ? (x == lo && !o.w) || (x == hi && !o.e) : (y == lo && !o.n) || (y == hi && !o.s))
                    s = Black;
            } else if (weBricks ? !centreWE && (x == lo - 1 || x == hi + 1)
                                : centreWE && (y == lo - 1 || y == hi + 1)) {
                s = Black;
            }
            p.at(x, y) = s;
        }
    }
    return p;
}

// ---------------------------------------------------------------------------------
// The corner arrow: a shaft 13 pixels wide from (31, 38) toward the bottom-right corner,
// ending in a solid right-angled head whose right angle is at (95, 95).

Picture cornerArrow()
{
    constexpr int n = 128;
    Picture p(n, n, White);
    // The head: x <= 95, y <= 95, on the corner's side of the line through (95, 56) and (52, 95).
    p.paint([](int x, int y) { return x <= 95 && y <= 95 && 39 * x + 43 * y >= 39 * 95 + 43 * 56; }, Black);
    // The shaft: within 6.5 pixels of the segment (31, 38)-(84, 79), cut square at the tail.
    p.paint([](int x, int y) {
        const double ax = 31, ay = 38, bx = 84, by = 79;
        const double dx = bx - ax, dy = by - ay, len = std::hypot(dx, dy);
        const double along = ((x - ax) * dx + (y - ay) * dy) / len;
        const double across = std::abs((x - ax) * dy - (y - ay) * dx) / len;
        return along >= 0 && along <= len && across <= 6.5;
    }, Black);
    return p;
}

// ---------------------------------------------------------------------------------

struct SetArt {
    const char *file;
    const char *title;
    int size;
    int depth;
    std::function<Picture(const Open &)> draw;
};

const std::vector<SetArt> &allSets()
{
    static const std::vector<SetArt> sets = {
        {"medium_lines", "Medium lines", 4, 1, mediumLines},
        {"thin_lines", "Thin lines", 5, 1, thinLines},
        {"double_line", "Double line", 36, 1, doubleLine},
        {"electronic_circuits", "Electronic circuits", 36, 1, electronicCircuits},
        {"fences", "Fences", 36, 1, fences},
        {"plumbing", "Plumbing", 36, 1, plumbing},
        {"thin_rounded", "Thin rounded", 36, 1, thinRounded},
        {"thick_lines", "Thick lines", 10, 1, thickLines},
        {"shaded", "Shaded", 5, 24, shaded},
        {"planks", "Planks", 36, 24, planks},
        {"tiny_bricks", "Tiny bricks", 28, 24, tinyBricks},
    };
    return sets;
}

constexpr char glyph[] = {'#', 'x', '-', '.'};

void writeRows(std::ostream &out, const Picture &p)
{
    for (int y = 0; y < p.h; ++y) {
        for (int x = 0; x < p.w; ++x)
            out << glyph[p.px[static_cast<std::size_t>(y) * p.w + x]];
        out << '\n';
    }
}

const char *const legend = "Pixels: # black, x dark grey (128), - light grey (192), . white\n"
                           "Drawn by tools/tilegen.cpp; change the drawing there and rebuild target tiles_regenerate.\n";

std::string setText(const SetArt &set)
{
    std::ostringstream out;
    out << set.title << ": 16 tiles of " << set.size << " x " << set.size << " pixels, " << set.depth << "-bit\n"
        << legend;
    for (int t = 1; t <= tiles::TilesPerSet; ++t) {
        const Picture p = set.draw(openSides(t));
        out << "\ntile " << t << ": " << tileCaption[t] << '\n';
        writeRows(out, p);
    }
    return out.str();
}

std::string arrowText()
{
    std::ostringstream out;
    out << "Corner arrow: 1 tile of 128 x 128 pixels, 1-bit\n" << legend << '\n';
    writeRows(out, cornerArrow());
    return out.str();
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

} // namespace

int main(int argc, char **argv)
{
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: tilegen [--check] DIR\n");
        return 2;
    }
    const std::string dir = argv[argc - 1];

    std::vector<std::pair<std::string, std::string>> maps;
    for (const SetArt &set : allSets())
        maps.emplace_back(set.file, setText(set));
    maps.emplace_back("corner_arrow", arrowText());

    int failures = 0;
    for (const auto &[name, text] : maps) {
        const std::string path = dir + "/" + name + ".txt";
        if (check) {
            if (readFile(path) != text) {
                std::fprintf(stderr, "tilegen: %s differs from its drawing\n", path.c_str());
                ++failures;
            }
            continue;
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::fprintf(stderr, "tilegen: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

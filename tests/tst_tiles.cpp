#include "maze/grid.h"
#include "render/tiles.h"

#include <QtTest>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

using tiles::Shade;

namespace {

// Which sides each tile number reaches, written out from the numbering table.
struct Reach {
    int tile;
    bool n, e, s, w;
};
constexpr Reach reaches[] = {
    {1, false, true, false, false},  {2, false, false, true, false}, {3, false, false, false, true},
    {4, true, false, false, false},  {5, true, true, false, false},  {6, false, true, true, false},
    {7, false, false, true, true},   {8, true, false, false, true},  {9, true, false, true, false},
    {10, false, true, false, true},  {11, true, false, true, true},  {12, true, true, false, true},
    {13, true, true, true, false},   {14, false, true, true, true},  {15, true, true, true, true},
    {16, false, false, false, false},
};

const Reach &reachOf(int tile)
{
    for (const Reach &r : reaches)
        if (r.tile == tile)
            return r;
    qFatal("no tile %d", tile);
}

/// The rule read straight off its description: passages, blocked nodes and the outside
/// all end a wall, and the tile is the one whose reached sides are the open ones.
int oracle(const NodeGrid &g, int px, int py)
{
    const auto wall = [&](int x, int y) { return !g.carved(x, y) && !g.blocked(x, y); };
    if (!wall(px, py))
        return 0;
    const bool w = px != 1 && wall(px - 1, py);
    const bool n = py != 1 && wall(px, py - 1);
    const bool e = px != g.width() && wall(px + 1, py);
    const bool s = py != g.height() && wall(px, py + 1);
    for (const Reach &r : reaches)
        if (r.n == n && r.e == e && r.s == s && r.w == w)
            return r.tile;
    return -1;
}

/// A w x h grid (nodes 0..w, 0..h) described row by row from y = 1: '#' wall,
/// '.' carved, 'B' blocked. Row and column 0 stay blocked, outside the maze.
NodeGrid grid(const QStringList &rows)
{
    NodeGrid g;
    const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows.front().size());
    g.allocate(w, h);
    for (int x = 0; x <= w; ++x)
        g.set(x, 0, NodeGrid::Blocked);
    for (int y = 0; y <= h; ++y)
        g.set(0, y, NodeGrid::Blocked);
    for (int y = 1; y <= h; ++y)
        for (int x = 1; x <= w; ++x) {
            const QChar c = rows[y - 1][x - 1];
            if (c == u'.')
                g.set(x, y, NodeGrid::Carved);
            else if (c == u'B')
                g.set(x, y, NodeGrid::Blocked);
        }
    return g;
}

struct Expected {
    const char *name;
    int size;
    int depth;
};
// The appearance table, in MazeStyle order.
constexpr Expected table[tiles::SetCount] = {
    {"Medium lines", 4, 1},         {"Thin lines", 5, 1}, {"Double line", 36, 1}, {"Electronic circuits", 36, 1},
    {"Fences", 36, 1},              {"Plumbing", 36, 1},  {"Thin rounded", 36, 1}, {"Thick lines", 10, 1},
    {"Shaded", 5, 24},              {"Planks", 36, 24},   {"Tiny bricks", 28, 24},
};
enum Style { MediumLines = 0, ThinLines = 1, DoubleLine = 2, ElectronicCircuits = 3, ThickLines = 7, Shaded = 8 };

/// The shade a tile's picture should have at (x, y), for a set described pixel by pixel.
using Picture = std::function<Shade(const Reach &, int x, int y)>;

/// A wall piece made of a centre block lo..hi and, per open side, an arm of the same
/// width from the tile's edge to the block's far side.
bool inLines(const Reach &r, int size, int lo, int hi, int x, int y)
{
    const bool acrossX = x >= lo && x <= hi, acrossY = y >= lo && y <= hi;
    const int last = size - 1;
    if (acrossX && acrossY)
        return true;
    return (r.n && acrossX && y >= 0 && y <= hi) || (r.s && acrossX && y >= lo && y <= last)
        || (r.w && acrossY && x >= 0 && x <= hi) || (r.e && acrossY && x >= lo && x <= last);
}

QByteArray render(const tiles::TileSet &set, int tile)
{
    QByteArray rows;
    for (int y = 0; y < set.height; ++y) {
        for (int x = 0; x < set.width; ++x)
            rows += "#x-."[set.shade(tile, x, y)];
        rows += '\n';
    }
    return rows;
}

enum class Edge { North, East, South, West };

std::vector<Shade> edge(const tiles::TileSet &set, int tile, Edge side)
{
    std::vector<Shade> line;
    const int last = set.width - 1;
    for (int i = 0; i < set.width; ++i) {
        switch (side) {
        case Edge::North: line.push_back(set.shade(tile, i, 0)); break;
        case Edge::South: line.push_back(set.shade(tile, i, last)); break;
        case Edge::West: line.push_back(set.shade(tile, 0, i)); break;
        case Edge::East: line.push_back(set.shade(tile, last, i)); break;
        }
    }
    return line;
}

bool opens(int tile, Edge side)
{
    const Reach &r = reachOf(tile);
    switch (side) {
    case Edge::North: return r.n;
    case Edge::East: return r.e;
    case Edge::South: return r.s;
    case Edge::West: return r.w;
    }
    return false;
}

QString describe(const std::vector<Shade> &line)
{
    QString text;
    for (Shade s : line)
        text += QLatin1Char("#x-."[s]);
    return text;
}

/// A cross-section written as runs of one shade: {{0, 6, '.'}, {7, 28, '#'}, ...}.
struct Run {
    int from, to;
    char shade;
};
QString profile(std::initializer_list<Run> runs)
{
    QString text;
    for (const Run &r : runs)
        for (int i = r.from; i <= r.to; ++i)
            text += QLatin1Char(r.shade);
    return text;
}

/// Pixels of column x (vertical = true) or row y of a tile, as '#', 'x', '-', '.'.
QString line(const tiles::TileSet &set, int tile, int at, bool vertical)
{
    QString text;
    for (int i = 0; i < set.width; ++i)
        text += QLatin1Char("#x-."[vertical ? set.shade(tile, at, i) : set.shade(tile, i, at)]);
    return text;
}

/// Distance from the centre of pixel (x, y) to the point (cx, cy).
double distance(int x, int y, double cx, double cy)
{
    return std::hypot(x + 0.5 - cx, y + 0.5 - cy);
}

} // namespace

Q_DECLARE_METATYPE(Picture)

class TestTiles : public QObject {
    Q_OBJECT
private slots:
    void findBitmapCases_data();
    void findBitmapCases();
    void findBitmapIgnoresNeighboursOfPassages();
    void findBitmapAgreesWithOracle();

    void setShapes_data();
    void setShapes();
    void unknownStyleIsRefused();

    void lineSetsPixelExact_data();
    void lineSetsPixelExact();
    void shadedPixelExact();

    void wallsJoinAcrossEverySeam_data();
    void wallsJoinAcrossEverySeam();
    void closedSidesStayClear_data();
    void closedSidesStayClear();
    void doubleLineOutlinesClosedSides();

    void straightBands_data();
    void straightBands();
    void fenceFaces();
    void brickCoursesInRunningBond();
    void roundedShapes();

    void cornerArrow();
};

void TestTiles::findBitmapCases_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("tile");

    QTest::newRow("lone post") << QStringList{"...", ".#.", "..."} << 2 << 2 << 16;
    QTest::newRow("x = 1 with only an east wall") << QStringList{"...", "##.", "..."} << 1 << 2 << 1;
    QTest::newRow("x = 1 in a full row of walls: west is outside") << QStringList{"###"} << 1 << 1 << 1;
    QTest::newRow("last column: east is outside") << QStringList{"###"} << 3 << 1 << 3;
    QTest::newRow("corner (1, 1)") << QStringList{"##", "#."} << 1 << 1 << 6;
    QTest::newRow("blocked neighbours are passages") << QStringList{".B.", "B#B", ".B."} << 2 << 2 << 16;
    QTest::newRow("blocked east, walls north and south") << QStringList{".#.", ".#B", ".#."} << 2 << 2 << 9;
    QTest::newRow("wall ends at a blocked square") << QStringList{"#BB", "#BB", "..."} << 1 << 2 << 4;
    QTest::newRow("carved node among walls") << QStringList{"###", "#.#", "###"} << 2 << 2 << 0;
    QTest::newRow("blocked node among walls") << QStringList{"###", "#B#", "###"} << 2 << 2 << 0;
    QTest::newRow("cross") << QStringList{".#.", "###", ".#."} << 2 << 2 << 15;
    QTest::newRow("T open west, east, south") << QStringList{"...", "###", ".#."} << 2 << 2 << 14;
    QTest::newRow("T not west") << QStringList{".#.", ".##", ".#."} << 2 << 2 << 13;
    QTest::newRow("corner west and north") << QStringList{".#.", "##.", "..."} << 2 << 2 << 8;
    QTest::newRow("single node grid") << QStringList{"#"} << 1 << 1 << 16;
}

void TestTiles::findBitmapCases()
{
    QFETCH(QStringList, rows);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, tile);
    const NodeGrid g = grid(rows);
    QCOMPARE(find_bitmap(g, x, y), tile);
}

void TestTiles::findBitmapIgnoresNeighboursOfPassages()
{
    // A carved or blocked node is 0 whatever surrounds it, and the Retraced flag,
    // which the harder walk leaves behind, changes nothing.
    for (int around = 0; around < 16; ++around) {
        for (const auto flag : {NodeGrid::Carved, NodeGrid::Blocked}) {
            NodeGrid g;
            g.allocate(3, 3);
            g.set(2, 2, flag);
            if (around & 1) g.set(2, 1, NodeGrid::Carved);
            if (around & 2) g.set(3, 2, NodeGrid::Blocked);
            if (around & 4) g.set(2, 3, NodeGrid::Carved);
            if (around & 8) g.set(1, 2, NodeGrid::Blocked);
            QCOMPARE(find_bitmap(g, 2, 2), 0);
        }
    }
    NodeGrid g;
    g.allocate(3, 3);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            g.set(x, y, NodeGrid::Retraced);
    QCOMPARE(find_bitmap(g, 2, 2), 15);
    QCOMPARE(find_bitmap(g, 3, 3), 8);
}

void TestTiles::findBitmapAgreesWithOracle()
{
    std::mt19937 rng(12345u);
    std::set<int> seen;
    for (int round = 0; round < 400; ++round) {
        const int w = 1 + static_cast<int>(rng() % 9), h = 1 + static_cast<int>(rng() % 9);
        NodeGrid g;
        g.allocate(w, h);
        const unsigned carve = rng() % 60, block = rng() % 25;
        for (int y = 0; y <= h; ++y)
            for (int x = 0; x <= w; ++x) {
                const unsigned r = rng() % 100;
                if (r < carve)
                    g.set(x, y, NodeGrid::Carved);
                else if (r < carve + block)
                    g.set(x, y, NodeGrid::Blocked);
                if (rng() % 4 == 0)
                    g.set(x, y, NodeGrid::Retraced);
            }
        for (int y = 1; y <= h; ++y)
            for (int x = 1; x <= w; ++x) {
                const int expected = oracle(g, x, y);
                QVERIFY(expected >= 0);
                seen.insert(expected);
                if (find_bitmap(g, x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("node (%1, %2) of a %3 x %4 grid: got %5, expected %6")
                                         .arg(x).arg(y).arg(w).arg(h).arg(find_bitmap(g, x, y)).arg(expected)));
            }
    }
    // The random grids reached every tile number, so every entry of the rule was compared.
    QCOMPARE(static_cast<int>(seen.size()), 17);
}

void TestTiles::setShapes_data()
{
    QTest::addColumn<int>("style");
    for (int style = 0; style < tiles::SetCount; ++style)
        QTest::newRow(table[style].name) << style;
}

void TestTiles::setShapes()
{
    QFETCH(int, style);
    const Expected &want = table[style];
    const tiles::TileSet &set = tiles::tile_set(style);
    QCOMPARE(QByteArray(set.name), QByteArray(want.name));
    QCOMPARE(set.width, want.size);
    QCOMPARE(set.height, want.size);
    QCOMPARE(set.depth, want.depth);
    QCOMPARE(set.count, tiles::TilesPerSet);
    QVERIFY(set.pixels);

    std::set<int> shades;
    std::set<QByteArray> pictures;
    for (int t = 1; t <= set.count; ++t) {
        bool anyInk = false;
        for (int y = 0; y < set.height; ++y)
            for (int x = 0; x < set.width; ++x) {
                const Shade s = set.shade(t, x, y);
                QVERIFY(s <= tiles::White);
                shades.insert(s);
                anyInk = anyInk || set.ink(t, x, y);
            }
        // Every piece of wall shows in the monochrome file too.
        QVERIFY2(anyInk, qPrintable(QStringLiteral("tile %1 has no black").arg(t)));
        pictures.insert(render(set, t));
    }
    QCOMPARE(static_cast<int>(pictures.size()), tiles::TilesPerSet);
    if (want.depth == 1)
        QVERIFY(shades == (std::set<int>{tiles::Black, tiles::White}));
    else
        QVERIFY(shades.count(tiles::Black) && (shades.count(tiles::DarkGrey) || shades.count(tiles::LightGrey)));
    QCOMPARE(tiles::rgb(tiles::DarkGrey), 0x808080u);
    QCOMPARE(tiles::rgb(tiles::LightGrey), 0xC0C0C0u);
}

void TestTiles::unknownStyleIsRefused()
{
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, tiles::tile_set(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, tiles::tile_set(tiles::SetCount));
}

void TestTiles::lineSetsPixelExact_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<Picture>("picture");

    QTest::newRow("Medium lines") << int(MediumLines) << Picture([](const Reach &r, int x, int y) {
        return inLines(r, 4, 1, 2, x, y) ? tiles::Black : tiles::White;
    });
    QTest::newRow("Thin lines") << int(ThinLines) << Picture([](const Reach &r, int x, int y) {
        return inLines(r, 5, 2, 2, x, y) ? tiles::Black : tiles::White;
    });
    QTest::newRow("Thick lines") << int(ThickLines) << Picture([](const Reach &r, int x, int y) {
        const bool ring = x == 0 || y == 0 || x == 9 || y == 9;
        if (ring) {
            // The outer ring is inked only by an arm, never at the four corners.
            const bool armN = r.n && y == 0 && x >= 1 && x <= 8, armS = r.s && y == 9 && x >= 1 && x <= 8;
            const bool armW = r.w && x == 0 && y >= 1 && y <= 8, armE = r.e && x == 9 && y >= 1 && y <= 8;
            return armN || armS || armW || armE ? tiles::Black : tiles::White;
        }
        // A block corner is white where both sides meeting at it are closed.
        const bool rounded = (x == 1 && y == 1 && !r.n && !r.w) || (x == 8 && y == 1 && !r.n && !r.e)
            || (x == 1 && y == 8 && !r.s && !r.w) || (x == 8 && y == 8 && !r.s && !r.e);
        return rounded ? tiles::White : tiles::Black;
    });
}

void TestTiles::lineSetsPixelExact()
{
    QFETCH(int, style);
    QFETCH(Picture, picture);
    const tiles::TileSet &set = tiles::tile_set(style);
    for (const Reach &r : reaches) {
        for (int y = 0; y < set.height; ++y)
            for (int x = 0; x < set.width; ++x)
                if (set.shade(r.tile, x, y) != picture(r, x, y))
                    QFAIL(qPrintable(QStringLiteral("tile %1 pixel (%2, %3):\n%4")
                                         .arg(r.tile).arg(x).arg(y).arg(QString::fromLatin1(render(set, r.tile)))));
    }
}

void TestTiles::shadedPixelExact()
{
    const tiles::TileSet &set = tiles::tile_set(Shaded);
    for (const Reach &r : reaches) {
        // The black core is the thin line; its 1-pixel border (every pixel touching it,
        // diagonals included) is dark grey; the rest of the tile light grey.
        const auto core = [&](int x, int y) { return x >= 0 && y >= 0 && x < 5 && y < 5 && inLines(r, 5, 2, 2, x, y); };
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                bool border = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        border = border || core(x + dx, y + dy);
                const Shade want = core(x, y) ? tiles::Black : border ? tiles::DarkGrey : tiles::LightGrey;
                if (set.shade(r.tile, x, y) != want)
                    QFAIL(qPrintable(QStringLiteral("tile %1 pixel (%2, %3):\n%4")
                                         .arg(r.tile).arg(x).arg(y).arg(QString::fromLatin1(render(set, r.tile)))));
            }
    }
    // Tile 16 spelled out: a 3 x 3 dark grey square with a black centre on light grey.
    QCOMPARE(render(set, 16), QByteArray("-----\n-xxx-\n-x#x-\n-xxx-\n-----\n"));
    // A west-east straight: light grey, dark grey, black, dark grey, light grey rows.
    QCOMPARE(render(set, 10), QByteArray("-----\nxxxxx\n#####\nxxxxx\n-----\n"));
}

void TestTiles::wallsJoinAcrossEverySeam_data()
{
    QTest::addColumn<int>("style");
    for (int style = 0; style < tiles::SetCount; ++style)
        QTest::newRow(table[style].name) << style;
}

void TestTiles::wallsJoinAcrossEverySeam()
{
    // Two wall tiles meet across a side open in both. Every set draws a wall that runs
    // on unchanged along its length at the seam (the bricks' joints and the fences'
    // rails included), so the two pixel lines either side of the seam are the same.
    QFETCH(int, style);
    const tiles::TileSet &set = tiles::tile_set(style);
    const std::pair<Edge, Edge> seams[] = {{Edge::East, Edge::West}, {Edge::South, Edge::North}};
    for (const auto &[first, second] : seams) {
        for (int a = 1; a <= set.count; ++a) {
            if (!opens(a, first))
                continue;
            const auto near = edge(set, a, first);
            // The wall does reach the open side.
            QVERIFY(std::count(near.begin(), near.end(), tiles::Black) > 0);
            for (int b = 1; b <= set.count; ++b) {
                if (!opens(b, second))
                    continue;
                const auto far = edge(set, b, second);
                if (near != far)
                    QFAIL(qPrintable(QStringLiteral("tile %1 %2 then tile %3 %4:\n%5\n%6")
                                         .arg(a).arg(first == Edge::East ? "east" : "south")
                                         .arg(b).arg(second == Edge::West ? "west" : "north")
                                         .arg(describe(near), describe(far))));
            }
        }
    }
}

void TestTiles::closedSidesStayClear_data()
{
    QTest::addColumn<int>("style");
    // "Double line" draws its outline along the closed sides; see doubleLineOutlinesClosedSides.
    for (int style = 0; style < tiles::SetCount; ++style)
        if (style != DoubleLine)
            QTest::newRow(table[style].name) << style;
}

void TestTiles::closedSidesStayClear()
{
    QFETCH(int, style);
    const tiles::TileSet &set = tiles::tile_set(style);
    const Shade background = style == Shaded ? tiles::LightGrey : tiles::White;
    for (int t = 1; t <= set.count; ++t) {
        // The circuit pads of dead ends and lone posts are the full 36 pixels across, so
        // they touch the middle of every side; nothing else in that set comes near.
        const bool pad = style == ElectronicCircuits && reachOf(t).n + reachOf(t).e + reachOf(t).s + reachOf(t).w <= 1;
        for (const Edge side : {Edge::North, Edge::East, Edge::South, Edge::West}) {
            if (opens(t, side))
                continue;
            const auto line = edge(set, t, side);
            if (pad) {
                // Only the pad's flat: 8 pixels in the middle of the side.
                for (int i = 0; i < set.width; ++i)
                    QCOMPARE(line[i] == tiles::Black, i >= 14 && i <= 21);
                continue;
            }
            if (std::count(line.begin(), line.end(), background) != set.width)
                QFAIL(qPrintable(QStringLiteral("tile %1, closed side %2 is not clear: %3")
                                     .arg(t).arg(int(side)).arg(describe(line))));
        }
    }
}

void TestTiles::doubleLineOutlinesClosedSides()
{
    // The wall fills the tile: a closed side is a 2-pixel line along the edge, whose
    // outermost corner pixel is left white where two closed sides meet; an open side
    // is blank except for the corner pieces turning the outline round.
    const tiles::TileSet &set = tiles::tile_set(DoubleLine);
    for (const Reach &r : reaches) {
        const bool closed[4] = {!r.n, !r.e, !r.s, !r.w};
        for (int i = 0; i < 36; ++i) {
            for (int depth = 0; depth < 2; ++depth) {
                const int far = 35 - depth;
                const int xy[4][2] = {{i, depth}, {far, i}, {i, far}, {depth, i}};
                for (int side = 0; side < 4; ++side) {
                    if (!closed[side])
                        continue;
                    // Along north and south, i runs west to east; along east and west, north to south.
                    const bool horizontal = side == 0 || side == 2;
                    const int sideAtCorner = horizontal ? (i == 0 ? 3 : 1) : (i == 0 ? 0 : 2);
                    const bool outerCorner = depth == 0 && (i == 0 || i == 35) && closed[sideAtCorner];
                    const bool ink = set.ink(r.tile, xy[side][0], xy[side][1]);
                    if (ink == outerCorner)
                        QFAIL(qPrintable(QStringLiteral("tile %1 side %2 at %3, depth %4").arg(r.tile).arg(side).arg(i).arg(depth)));
                }
            }
        }
        // Inside the 2-pixel frame the tile is blank.
        for (int y = 2; y < 34; ++y)
            for (int x = 2; x < 34; ++x)
                QVERIFY(!set.ink(r.tile, x, y));
    }
    // Tile 15 has only the four corner pieces, each 2 x 2 less its innermost pixel.
    int ink = 0;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x)
            ink += set.ink(15, x, y);
    QCOMPARE(ink, 12);
    QVERIFY(set.ink(15, 0, 0) && set.ink(15, 1, 0) && set.ink(15, 0, 1) && !set.ink(15, 1, 1));
    QVERIFY(set.ink(15, 35, 35) && set.ink(15, 34, 35) && set.ink(15, 35, 34) && !set.ink(15, 34, 34));
}

void TestTiles::straightBands_data()
{
    // Straight walls (tiles 10 west-east, 9 north-south) cut across: every cross-section
    // along the wall, away from the fittings, is the same band.
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("across");      // pixels across a west-east wall, top to bottom
    QTest::addColumn<QString>("acrossNS");    // pixels across a north-south wall, left to right
    QTest::addColumn<QList<int>>("skip");     // positions along the wall that carry a fitting

    QTest::newRow("Thin rounded") << 6 << profile({{0, 15, '.'}, {16, 19, '#'}, {20, 35, '.'}})
                                  << profile({{0, 15, '.'}, {16, 19, '#'}, {20, 35, '.'}}) << QList<int>{};
    QTest::newRow("Electronic circuits") << 3 << profile({{0, 6, '.'}, {7, 28, '#'}, {29, 35, '.'}})
                                         << profile({{0, 6, '.'}, {7, 28, '#'}, {29, 35, '.'}}) << QList<int>{};
    QTest::newRow("Double line") << 2 << profile({{0, 1, '#'}, {2, 33, '.'}, {34, 35, '#'}})
                                 << profile({{0, 1, '#'}, {2, 33, '.'}, {34, 35, '#'}}) << QList<int>{};
    // Crest y = 4, the top's surface, then the solid side face y = 10..30.
    QTest::newRow("Fences") << 4 << profile({{0, 3, '.'}, {4, 4, '#'}, {5, 9, '.'}, {10, 30, '#'}, {31, 35, '.'}})
                            << QString() << QList<int>{};
    // Thin pipe y = 9..10, wide pipe y = 18..26 with its highlight at y = 20.
    QList<int> coupling;
    for (int i = 6; i <= 20; ++i)
        coupling << i;
    QTest::newRow("Plumbing") << 5
                              << profile({{0, 8, '.'}, {9, 10, '#'}, {11, 17, '.'}, {18, 19, '#'}, {20, 20, '.'},
                                          {21, 26, '#'}, {27, 35, '.'}})
                              << profile({{0, 8, '.'}, {9, 10, '#'}, {11, 11, '.'}, {12, 17, '#'}, {18, 24, '.'},
                                          {25, 26, '#'}, {27, 35, '.'}})
                              << coupling;
    // A 30-pixel plank between 3-pixel margins: rim, face, 2-pixel shadow at the bottom
    // of a west-east plank and at the left of a north-south one.
    QTest::newRow("Planks") << 9
                            << profile({{0, 2, '.'}, {3, 3, '#'}, {4, 29, '-'}, {30, 31, 'x'}, {32, 32, '#'}, {33, 35, '.'}})
                            << profile({{0, 2, '.'}, {3, 3, '#'}, {4, 5, 'x'}, {6, 31, '-'}, {32, 32, '#'}, {33, 35, '.'}})
                            << QList<int>{};
}

void TestTiles::straightBands()
{
    QFETCH(int, style);
    QFETCH(QString, across);
    QFETCH(QString, acrossNS);
    QFETCH(QList<int>, skip);
    const tiles::TileSet &set = tiles::tile_set(style);
    for (int i = 0; i < set.width; ++i) {
        if (skip.contains(i))
            continue;
        QCOMPARE(line(set, 10, i, true), across);
        if (!acrossNS.isEmpty())
            QCOMPARE(line(set, 9, i, false), acrossNS);
    }
}

void TestTiles::fenceFaces()
{
    // A north-south fence: crest x = 4, the top's surface, then the side face x = 10..30,
    // solid at its top edge and foot and hatched between in rails that run along the
    // wall: every column uniform, black and white columns alternating.
    const tiles::TileSet &set = tiles::tile_set(4);
    const QString start = profile({{0, 3, '.'}, {4, 4, '#'}, {5, 9, '.'}, {10, 10, '#'}});
    for (int y = 0; y < 36; ++y) {
        const QString row = line(set, 9, y, false);
        QCOMPARE(row.left(11), start);
        QCOMPARE(row.mid(30), profile({{30, 30, '#'}, {31, 35, '.'}}));
        for (int x = 11; x < 30; ++x)
            QCOMPARE(row[x], row[x - 1] == u'#' ? u'.' : u'#');
    }
    // Tile 16 is one block: its top is the outlined square 4..10 and nothing lies
    // above or left of it; its faces reach down to the foot at 30.
    for (int i = 4; i <= 10; ++i) {
        QVERIFY(set.ink(16, i, 4) && set.ink(16, 4, i) && set.ink(16, i, 10) && set.ink(16, 10, i));
        QVERIFY(!set.ink(16, i, 3) && !set.ink(16, 3, i));
    }
    QVERIFY(!set.ink(16, 7, 7));
    QVERIFY(set.ink(16, 30, 30));
    QVERIFY(!set.ink(16, 31, 31) && !set.ink(16, 20, 30) && !set.ink(16, 30, 20));
}

void TestTiles::brickCoursesInRunningBond()
{
    const tiles::TileSet &set = tiles::tile_set(10);
    // A west-east wall is two courses, y = 7..20: each brick has mortar above and below,
    // four white rows over one light grey row, joints 2 pixels wide every 14 pixels,
    // and the second course's joints lie halfway between the first's.
    QList<int> joints[2];
    for (int x = 0; x < 28; ++x) {
        const QString column = line(set, 10, x, true);
        QCOMPARE(column.left(7), QString(7, u'.'));
        QCOMPARE(column.mid(21), QString(7, u'.'));
        for (int course = 0; course < 2; ++course) {
            const QString brick = column.mid(7 + 7 * course, 7);
            if (brick == QLatin1String("#######"))
                joints[course] << x;
            else
                QCOMPARE(brick, QStringLiteral("#....-#"));
        }
    }
    for (int course = 0; course < 2; ++course) {
        QCOMPARE(joints[course].size(), 4);
        for (int j : joints[course]) {
            QVERIFY(joints[course].contains((j + 14) % 28));
            // Joints come in pairs of adjacent columns.
            QVERIFY(joints[course].contains((j + 1) % 28) || joints[course].contains((j + 27) % 28));
            QVERIFY(joints[1 - course].contains((j + 7) % 28));
        }
    }
    // The north-south wall is the same band turned: its columns are the rows above.
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 28; ++x)
            QCOMPARE(set.shade(9, x, y) == tiles::Black, set.shade(10, y, x) == tiles::Black);
    // A lone post is one two-course block at 7..20.
    for (int i = 0; i < 28; ++i) {
        const bool inside = i >= 7 && i <= 20;
        QCOMPARE(set.ink(16, i, 7), inside);
        QCOMPARE(set.ink(16, 7, i), inside);
        QCOMPARE(set.ink(16, i, 20), inside);
        QVERIFY(!set.ink(16, i, 6) && !set.ink(16, 6, i) && !set.ink(16, i, 21) && !set.ink(16, 21, i));
    }
}

void TestTiles::roundedShapes()
{
    // Where a shape is given by radii, pixels clearly inside are black and pixels
    // clearly outside are white; the half pixel at the boundary is the drawing's own.
    const auto ring = [](const tiles::TileSet &set, int tile, double cx, double cy, double inner, double outer) {
        for (int y = 0; y < set.height; ++y)
            for (int x = 0; x < set.width; ++x) {
                const double d = distance(x, y, cx, cy);
                if (d > inner + 0.75 && d < outer - 0.75 && !set.ink(tile, x, y))
                    return QStringLiteral("(%1, %2) should be black").arg(x).arg(y);
                if ((d < inner - 0.75 || d > outer + 0.75) && set.ink(tile, x, y))
                    return QStringLiteral("(%1, %2) should be white").arg(x).arg(y);
            }
        return QString();
    };
    const tiles::TileSet &rounded = tiles::tile_set(6);
    // Corners: quarter rings about the tile corner, radii about 16.5 and 20.5.
    QCOMPARE(ring(rounded, 5, 36, 0, 16.5, 20.5), QString());
    QCOMPARE(ring(rounded, 6, 36, 36, 16.5, 20.5), QString());
    QCOMPARE(ring(rounded, 7, 0, 36, 16.5, 20.5), QString());
    QCOMPARE(ring(rounded, 8, 0, 0, 16.5, 20.5), QString());
    // The lone post: a 4 x 4 dot at 16..19 less its corner pixels.
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x) {
            const bool dot = x >= 16 && x <= 19 && y >= 16 && y <= 19 && (x == 17 || x == 18 || y == 17 || y == 18);
            QCOMPARE(rounded.ink(16, x, y), dot);
        }

    const tiles::TileSet &circuits = tiles::tile_set(3);
    // Corners: quarter rings about the tile corner with radii 7 and 29.
    QCOMPARE(ring(circuits, 5, 36, 0, 7, 29), QString());
    QCOMPARE(ring(circuits, 6, 36, 36, 7, 29), QString());
    QCOMPARE(ring(circuits, 7, 0, 36, 7, 29), QString());
    QCOMPARE(ring(circuits, 8, 0, 0, 7, 29), QString());
    // The lone post: a pad 36 across with a hole of about 16.
    QCOMPARE(ring(circuits, 16, 18, 18, 8, 18), QString());
    // A dead end is the pad with the trace leaving it toward the open side (east).
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x) {
            const double d = distance(x, y, 18, 18);
            const bool trace = x >= 18 && y >= 7 && y <= 28;
            if (d < 7.25 || (d > 18.75 && !trace))
                QVERIFY2(!circuits.ink(1, x, y), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            else if (d > 8.75 && (d < 17.25 || trace))
                QVERIFY2(circuits.ink(1, x, y), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        }

    // Plumbing's tank: a black square with a large white disc.
    const tiles::TileSet &plumbing = tiles::tile_set(5);
    QVERIFY(plumbing.ink(16, 4, 4) && plumbing.ink(16, 31, 4) && plumbing.ink(16, 4, 31) && plumbing.ink(16, 31, 31));
    QVERIFY(!plumbing.ink(16, 18, 18) && !plumbing.ink(16, 18, 7) && !plumbing.ink(16, 7, 18));
}

void TestTiles::cornerArrow()
{
    const tiles::TileSet &arrow = tiles::corner_arrow();
    QCOMPARE(arrow.width, 128);
    QCOMPARE(arrow.height, 128);
    QCOMPARE(arrow.depth, 1);
    QCOMPARE(arrow.count, 1);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const Shade s = arrow.shade(1, x, y);
            QVERIFY(s == tiles::Black || s == tiles::White);
            // Nothing lies beyond the right angle or before the shaft's tail.
            if (x > 95 || y > 95 || x + y < 60)
                QVERIFY(s == tiles::White);
        }
    // The head's right angle at (95, 95): its vertical edge on x = 95 from y = 56, its
    // horizontal edge on y = 95 from x = 52.
    for (int y = 56; y <= 95; ++y)
        QVERIFY2(arrow.ink(1, 95, y), qPrintable(QStringLiteral("(95, %1)").arg(y)));
    for (int x = 52; x <= 95; ++x)
        QVERIFY2(arrow.ink(1, x, 95), qPrintable(QStringLiteral("(%1, 95)").arg(x)));
    QVERIFY(!arrow.ink(1, 95, 55));
    QVERIFY(!arrow.ink(1, 51, 95));
    // The head is solid, and the shaft is a band 13 pixels wide along (31, 38)-(84, 79):
    // on its first 45 pixels, everything within 5.5 pixels of that line is black and
    // everything between 7.5 and 15 pixels from it white.
    QVERIFY(arrow.ink(1, 85, 85) && arrow.ink(1, 90, 70) && arrow.ink(1, 70, 90));
    const double ux = 53 / std::hypot(53.0, 41.0), uy = 41 / std::hypot(53.0, 41.0);
    int checked = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double cx = x + 0.5 - 31.5, cy = y + 0.5 - 38.5;
            const double along = cx * ux + cy * uy, off = std::abs(cx * uy - cy * ux);
            if (along < 2 || along > 45)
                continue;
            if (off <= 5.5)
                QVERIFY2(arrow.ink(1, x, y), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            else if (off >= 7.5 && off <= 15)
                QVERIFY2(!arrow.ink(1, x, y), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            ++checked;
        }
    QVERIFY(checked > 1000);
}

QTEST_GUILESS_MAIN(TestTiles)
#include "tst_tiles.moc"

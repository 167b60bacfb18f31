#include "maze/grid.h"
#include "render/tiles.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>

namespace {

// The sides each tile number reaches, written out from the numbering table.
const char *const reach[] = {"", "E", "S", "W", "N", "NE", "ES", "SW", "WN", "NS", "WE", "NWS", "NWE", "NES", "WES", "NESW", ""};
constexpr char sides[] = "NESW";  // the side opposite side i is (i + 2) % 4
constexpr char shades[] = "#x-."; // black, dark grey, light grey, white

bool opens(int tile, int side) { return std::strchr(reach[tile], sides[side]); }

/// The rule read straight off its description: passages, blocked nodes and the outside
/// all end a wall, and the tile is the one that reaches exactly the open sides.
int oracle(const NodeGrid &g, int px, int py)
{
    const auto wall = [&](int x, int y) { return !g.carved(x, y) && !g.blocked(x, y); };
    const bool open[4] = {py != 1 && wall(px, py - 1), px != g.width() && wall(px + 1, py),
                          py != g.height() && wall(px, py + 1), px != 1 && wall(px - 1, py)};
    for (int t = 1; wall(px, py) && t <= tiles::TilesPerSet; ++t)
        if (opens(t, 0) == open[0] && opens(t, 1) == open[1] && opens(t, 2) == open[2] && opens(t, 3) == open[3])
            return t;
    return 0;
}

enum Style { MediumLines = 0, ThinLines = 1, DoubleLine = 2, ElectronicCircuits = 3, ThickLines = 7, Shaded = 8 };

/// A square picture as text: a character a pixel, '?' for no shade at all, a line a row.
template <typename ShadeAt>
QString picture(int size, ShadeAt shadeAt)
{
    QString rows;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x)
            rows += QLatin1Char(shadeAt(x, y) <= tiles::White ? shades[shadeAt(x, y)] : '?');
        rows += u'\n';
    }
    return rows;
}

} // namespace

class TestTiles : public QObject {
    Q_OBJECT
private slots:
    void findBitmapAgreesWithOracle()
    {
        std::mt19937 rng(12345u);
        std::set<int> seen;
        for (int round = 0; round < 400; ++round) {
            const int w = 1 + int(rng() % 9), h = 1 + int(rng() % 9);
            NodeGrid g;
            g.allocate(w, h);
            const unsigned carve = rng() % 60, block = rng() % 25;
            for (int y = 0; y <= h; ++y)
                for (int x = 0; x <= w; ++x) {
                    if (const unsigned r = rng() % 100; r < carve + block)
                        g.set(x, y, r < carve ? NodeGrid::Carved : NodeGrid::Blocked);
                    if (rng() % 4 == 0) // the harder walk's mark must change nothing
                        g.set(x, y, NodeGrid::Retraced);
                }
            for (int y = 1; y <= h; ++y)
                for (int x = 1; x <= w; ++x) {
                    const int expected = oracle(g, x, y), got = find_bitmap(g, x, y);
                    seen.insert(expected);
                    QVERIFY2(got == expected, qPrintable(QStringLiteral("node (%1, %2) of a %3 x %4 grid: got %5, expected %6")
                                                             .arg(x).arg(y).arg(w).arg(h).arg(got).arg(expected)));
                }
        }
        // Every tile number came up, so every entry of the rule was compared.
        QCOMPARE(int(seen.size()), 17);
    }
    void setsAndSeams_data()
    {
        QTest::addColumn<int>("style");
        for (int style = 0; style < tiles::SetCount; ++style)
            QTest::newRow(tiles::tile_set(style).name) << style;
    }
    void setsAndSeams()
    {
        QFETCH(int, style);
        const tiles::TileSet &set = tiles::tile_set(style);
        QCOMPARE(set.height, set.width);
        QCOMPARE(set.count, tiles::TilesPerSet);
        QString all;
        std::set<QString> pictures;
        for (int t = 1; t <= set.count; ++t)
            all += *pictures.insert(picture(set.width, [&](int x, int y) { return set.shade(t, x, y); })).first;
        QCOMPARE(int(pictures.size()), tiles::TilesPerSet);
        QVERIFY(!all.contains(u'?') && all.contains(u'#'));
        if (set.depth == 1)
            QVERIFY(all.contains(u'.') && !all.contains(u'x') && !all.contains(u'-'));
        else
            QVERIFY(all.contains(u'x') || all.contains(u'-'));
        // Across a side open in both tiles the wall runs on unchanged, so the pixel lines either
        // side of the seam are equal. A closed side faces a passage and stays clear, but for two
        // designed exceptions: "Double line" outlines the wall along its closed sides, and the
        // circuit pads of dead ends and posts, 36 across, touch each closed side's middle.
        const int last = set.width - 1;
        const auto edge = [&](int t, int side) {
            QString line;
            for (int i = 0; i <= last; ++i)
                line += QLatin1Char(shades[set.shade(t, side % 2 ? (side == 1) * last : i, side % 2 ? i : (side == 2) * last)]);
            return line;
        };
        for (int t = 1; t <= set.count; ++t)
            for (int side = 0; side < 4; ++side) {
                const QString line = edge(t, side);
                const QString where = QStringLiteral("tile %1, side %2: %3").arg(t).arg(QLatin1Char(sides[side])).arg(line);
                if (opens(t, side)) {
                    QVERIFY2(line.contains(u'#'), qPrintable(where + " does not reach its open side"));
                    for (int u = 1; u <= set.count; ++u)
                        if (opens(u, (side + 2) % 4) && edge(u, (side + 2) % 4) != line)
                            QFAIL(qPrintable(where + QStringLiteral(" meets tile %1: %2").arg(u).arg(edge(u, (side + 2) % 4))));
                    continue;
                }
                QString want(set.width, style == Shaded ? u'-' : u'.');
                if (style == DoubleLine) {
                    // The outline's outermost pixel is white where two closed sides meet.
                    const char *corner[] = {".", "#"};
                    want = corner[opens(t, side % 2 ? 0 : 3)] + QString(last - 1, u'#') + corner[opens(t, side % 2 ? 2 : 1)];
                } else if (style == ElectronicCircuits && std::strlen(reach[t]) <= 1) {
                    want.replace(14, 8, QString(8, u'#'));
                }
                QVERIFY2(line == want, qPrintable(where + ", expected " + want));
            }
    }
    void unknownStyleIsRefused()
    {
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, tiles::tile_set(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, tiles::tile_set(tiles::SetCount));
    }
    void piecesPixelExact_data()
    {
        // Side by side: the centre piece, then the north, east, south and west arms. A tile
        // is its centre and the arms of its open sides, the darker shade winning.
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("Medium lines") << int(MediumLines) << QStringList{
            ".... .##. .... .... ....",
            ".##. .##. .### .##. ###.",
            ".##. .##. .### .##. ###.",
            ".... .... .... .##. ....",
        };
        QTest::newRow("Thin lines") << int(ThinLines) << QStringList{
            "..... ..#.. ..... ..... .....",
            "..... ..#.. ..... ..... .....",
            "..#.. ..#.. ..### ..#.. ###..",
            "..... ..... ..... ..#.. .....",
            "..... ..... ..... ..#.. .....",
        };
        // A block corner is rounded off unless a side meeting at it is open: arms carry them.
        QTest::newRow("Thick lines") << int(ThickLines) << QStringList{
            ".......... .########. .......... .......... ..........",
            "..######.. .#......#. ........## .......... ##........",
            ".########. .......... .........# .......... #.........",
            ".########. .......... .........# .......... #.........",
            ".########. .......... .........# .......... #.........",
            ".########. .......... .........# .......... #.........",
            ".########. .......... .........# .......... #.........",
            ".########. .......... .........# .......... #.........",
            "..######.. .......... ........## .#......#. ##........",
            ".......... .......... .......... .########. ..........",
        };
        QTest::newRow("Shaded") << int(Shaded) << QStringList{
            "----- -x#x- ----- ----- -----",
            "-xxx- -x#x- --xxx ----- xxx--",
            "-x#x- -x#x- --### -x#x- ###--",
            "-xxx- ----- --xxx -x#x- xxx--",
            "----- ----- ----- -x#x- -----",
        };
    }
    void piecesPixelExact()
    {
        QFETCH(int, style);
        QFETCH(QStringList, pieces);
        const tiles::TileSet &set = tiles::tile_set(style);
        const auto piece = [&](int k, int x, int y) { return int(std::strchr(shades, pieces[y][k * (set.width + 1) + x].toLatin1()) - shades); };
        for (int t = 1; t <= set.count; ++t) {
            const QString got = picture(set.width, [&](int x, int y) { return set.shade(t, x, y); });
            const QString want = picture(set.width, [&](int x, int y) {
                int shade = piece(0, x, y);
                for (int side = 0; side < 4; ++side)
                    if (opens(t, side))
                        shade = std::min(shade, piece(side + 1, x, y));
                return shade;
            });
            QVERIFY2(got == want, qPrintable(QStringLiteral("tile %1:\n%2expected\n%3").arg(t).arg(got, want)));
        }
    }
    void cornerArrow()
    {
        const tiles::TileSet &arrow = tiles::corner_arrow();
        QCOMPARE(QList<int>({arrow.width, arrow.height, arrow.depth, arrow.count}), QList<int>({128, 128, 1, 1}));
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                // Only black and white, and nothing beyond the right angle or before the tail.
                const tiles::Shade s = arrow.shade(1, x, y);
                const bool fine = s == tiles::Black ? x <= 95 && y <= 95 && x + y >= 60 : s == tiles::White;
                QVERIFY2(fine, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            }
        // The head's right angle at (95, 95): vertical edge x = 95 from y = 56, horizontal
        // edge y = 95 from x = 52, solid between.
        for (int i = 0; i < 128; ++i) {
            QCOMPARE(arrow.ink(1, 95, i), i >= 56 && i <= 95);
            QCOMPARE(arrow.ink(1, i, 95), i >= 52 && i <= 95);
        }
        QVERIFY(arrow.ink(1, 85, 85) && arrow.ink(1, 90, 70) && arrow.ink(1, 70, 90));
        // The shaft, 13 wide, from (31, 38) toward the head: black on and 4 pixels off its axis, white 8.6 off.
        for (int f = 1; f < 13; ++f)
            for (const int off : {-9, -5, 0, 5, 9})
                QCOMPARE(arrow.ink(1, 31 + 53 * f / 20 + off * 41 / 67, 38 + 41 * f / 20 - off * 53 / 67), off > -6 && off < 6);
    }
};

QTEST_GUILESS_MAIN(TestTiles)
#include "tst_tiles.moc"

#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/shapes.h"
#include "matte/word_cells.h"
#include "tests/matte_drawing.h"
#include "tests/matte_maze.h"

#include <QtTest>

#include <cmath>
#include <deque>
#include <numbers>
#include <vector>

Q_DECLARE_METATYPE(MatteShape)

namespace {

struct Pt {
    double x, y;
};

// Crossings of a ray to the right: the outline test by another road than the program's
// half-planes and folded sectors.
bool inPolygon(const std::vector<Pt> &poly, Pt p)
{
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Pt a = poly[i], b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (b.x - a.x) * (p.y - a.y) / (b.y - a.y))
            in = !in;
    }
    return in;
}

std::vector<Pt> star()
{
    // Ten corners on circles of radius 1 and 0.5, squeezed into the square.
    using std::numbers::pi;
    const double halfWidth = std::cos(pi / 10), bottom = -std::cos(pi / 5);
    std::vector<Pt> corners;
    for (int k = 0; k < 10; ++k) {
        const double r = k % 2 ? 0.5 : 1.0, a = pi / 2 + k * pi / 5;
        corners.push_back({r * std::cos(a) / halfWidth, 2 * (r * std::sin(a) - bottom) / (1 - bottom) - 1});
    }
    return corners;
}

// Where the lines from the heart's tip touch a lobe: the lobe's circle meets the circle
// on the tip and the lobe's centre as diameter.
Pt tangentPoint(Pt centre, double radius, Pt tip)
{
    const Pt mid{(centre.x + tip.x) / 2, (centre.y + tip.y) / 2};
    const double d = std::hypot(centre.x - mid.x, centre.y - mid.y), r2 = d;
    const double a = (radius * radius - r2 * r2 + d * d) / (2 * d), h = std::sqrt(radius * radius - a * a);
    const Pt base{centre.x + a * (mid.x - centre.x) / d, centre.y + a * (mid.y - centre.y) / d};
    const Pt one{base.x + h * (mid.y - centre.y) / d, base.y - h * (mid.x - centre.x) / d};
    const Pt two{base.x - h * (mid.y - centre.y) / d, base.y + h * (mid.x - centre.x) / d};
    return std::abs(one.x) > std::abs(two.x) ? one : two;
}

// Each shape from its description: the square -1..1, v upwards.
bool oracle(MatteShape shape, Pt p)
{
    const double r2 = p.x * p.x + p.y * p.y;
    switch (shape) {
    case MatteShape::Circle:
        return r2 <= 1;
    case MatteShape::Ring:
        return r2 <= 1 && std::sqrt(r2) >= 0.5;
    case MatteShape::Heart: {
        const double radius = 0.52;
        const Pt right{1 - radius, 1 - radius}, left{-right.x, right.y}, tip{0, -1};
        const Pt t = tangentPoint(right, radius, tip);
        const auto disc = [&](Pt c) { return std::hypot(p.x - c.x, p.y - c.y) <= radius; };
        return disc(left) || disc(right) || inPolygon({tip, t, right, left, {-t.x, t.y}}, p);
    }
    case MatteShape::Star:
        return inPolygon(star(), p);
    case MatteShape::Triangle:
        return inPolygon({{0, 1}, {-1, -1}, {1, -1}}, p);
    case MatteShape::Diamond:
        return inPolygon({{0, 1}, {-1, 0}, {0, -1}, {1, 0}}, p);
    case MatteShape::Hexagon:
        return inPolygon({{-0.5, 1}, {-1, 0}, {-0.5, -1}, {0.5, -1}, {1, 0}, {0.5, 1}}, p);
    }
    return false;
}

/// The point at (x, y) cells from the grid's top left, in the shape's square.
Pt inSquare(double x, double y, int cols, int rows)
{
    return {2 * x / cols - 1, 1 - 2 * y / rows};
}

/// 1 in the shape, 0 outside, -1 for a centre on its outline (within a hair), where the
/// two ways of telling may round either way.
int centreAgainst(MatteShape shape, int cx, int cy, int cols, int rows)
{
    constexpr double hair = 1e-9;
    int in = 0;
    for (const double dx : {-hair, hair})
        for (const double dy : {-hair, hair})
            in += oracle(shape, inSquare(cx + 0.5 + dx, cy + 0.5 + dy, cols, rows));
    return in == 4 ? 1 : in == 0 ? 0 : -1;
}

/// Steps from `from` to every maze cell of the painting's paper, -1 where none lead.
std::vector<int> distances(const CellMap &paper, MatteCell from)
{
    std::vector<int> d(std::size_t(paper.cols()) * paper.rows(), -1);
    const auto at = [&](int x, int y) -> int & { return d[std::size_t(y) * paper.cols() + x]; };
    std::deque<MatteCell> todo{from};
    at(from.cx, from.cy) = 0;
    while (!todo.empty()) {
        const MatteCell c = todo.front();
        todo.pop_front();
        for (const MatteCell n : {MatteCell{c.cx + 1, c.cy}, {c.cx - 1, c.cy}, {c.cx, c.cy + 1}, {c.cx, c.cy - 1}})
            if (paper.contains(n) && !paper.at(n) && at(n.cx, n.cy) < 0) {
                at(n.cx, n.cy) = at(c.cx, c.cy) + 1;
                todo.push_back(n);
            }
    }
    return d;
}

int largest(const std::vector<int> &d)
{
    return *std::max_element(d.begin(), d.end());
}

} // namespace

class TestShapes : public QObject {
    Q_OBJECT
private slots:
    void shapesMakeMazesInsideThem_data();
    void shapesMakeMazesInsideThem();
    void shapesFillTheirSquare_data();
    void shapesFillTheirSquare();
    void farPointsOfSmallMattes_data();
    void farPointsOfSmallMattes();
    void outlinesFillCellsByTheirCentres_data();
    void outlinesFillCellsByTheirCentres();
    void lettersAreMendedInPlace_data();
    void lettersAreMendedInPlace();
};

namespace {

void shapeRows(const QList<QSize> &sizes)
{
    QTest::addColumn<MatteShape>("shape");
    QTest::addColumn<QSize>("size");
    for (const params::Choice &c : MatteShapes)
        for (const QSize size : sizes)
            QTest::addRow("%s %d x %d", c.caption, size.width(), size.height())
                << MatteShape(c.value) << size;
}

} // namespace

void TestShapes::shapesMakeMazesInsideThem_data()
{
    shapeRows({{15, 15}, {60, 60}, {80, 30}});
}

// A perfect maze inside the shape, its start and finish as far apart as the shape allows.
void TestShapes::shapesMakeMazesInsideThem()
{
    QFETCH(MatteShape, shape);
    QFETCH(QSize, size);
    const int cols = size.width(), rows = size.height();
    const CellMap inside = shape_cells(shape, cols, rows);
    FarPoints points;
    MatteVerdict verdict;
    const MazeState s = carvedInCells(inside, 5, points, verdict);
    QCOMPARE(verdict, MatteVerdict::Accepted);
    QCOMPARE(carvingFaults(s), QString());
    // The shape's cells are the other test's to check; the maze keeps to them and fills them.
    std::size_t carved = 0;
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            const bool maze = s.grid.carved(2 * cx + 2, 2 * cy + 2);
            if (maze && !inside.at(cx, cy))
                QFAIL(qPrintable(QStringLiteral("maze cell %1, %2 lies outside the shape").arg(cx).arg(cy)));
            carved += maze;
        }
    QVERIFY2(carved >= 0.9 * inside.count(), qPrintable(QStringLiteral("%1 of %2").arg(carved).arg(inside.count())));
    QVERIFY(inside.at(points.start.cx, points.start.cy));
    QVERIFY(inside.at(points.finish.cx, points.finish.cy));

    const CellMap paper = paper_outside(inside);
    const std::vector<int> fromStart = distances(paper, points.start);
    // The finish is as far from the start as any cell, and the steps say how far.
    QCOMPARE(fromStart[std::size_t(points.finish.cy) * paper.cols() + points.finish.cx], largest(fromStart));
    QCOMPARE(points.steps, largest(fromStart));
    QCOMPARE(farthest_cell(paper, points.start).cell, points.finish);
    // Given the finish, the start found is as far from it as the finish is from the start.
    const FarCell back = farthest_cell(paper, points.finish);
    QCOMPARE(back.steps, distances(paper, points.finish)[std::size_t(back.cell.cy) * paper.cols() + back.cell.cx]);
    QVERIFY(back.steps >= points.steps);
    if (size != QSize(15, 15))
        return;
    // Near the longest path the shape holds: every pair of its cells measured.
    int diameter = 0;
    for (int cy = 0; cy < paper.rows(); ++cy)
        for (int cx = 0; cx < paper.cols(); ++cx)
            if (!paper.at(cx, cy))
                diameter = std::max(diameter, largest(distances(paper, {cx, cy})));
    QVERIFY2(points.steps >= 0.95 * diameter, qPrintable(QStringLiteral("%1 of %2").arg(points.steps).arg(diameter)));
}

void TestShapes::shapesFillTheirSquare_data()
{
    shapeRows({{15, 15}, {60, 60}, {80, 30}, {7, 40}});
}

void TestShapes::shapesFillTheirSquare()
{
    QFETCH(MatteShape, shape);
    QFETCH(QSize, size);
    const int cols = size.width(), rows = size.height();
    const CellMap cells = shape_cells(shape, cols, rows);
    // Cell by cell as described, but for centres on the outline, which belong to the shape.
    long long differ = 0, outline = 0;
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            const int expected = centreAgainst(shape, cx, cy, cols, rows);
            differ += expected >= 0 && cells.at(cx, cy) != (expected == 1);
            outline += expected < 0;
            if (expected < 0 && !cells.at(cx, cy))
                QFAIL(qPrintable(QStringLiteral("cell %1, %2 on the outline is left out").arg(cx).arg(cy)));
        }
    QCOMPARE(differ, 0);
    QVERIFY(outline * 10 < cols * rows);
    QCOMPARE(cells.at(cols / 2, rows / 2), shape != MatteShape::Ring);
}

void TestShapes::farPointsOfSmallMattes_data()
{
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<MatteCell>("start");
    QTest::addColumn<MatteCell>("finish");
    QTest::addColumn<int>("steps");
    const MatteCell unset;
    QTest::newRow("all paper") << "###/###" << unset << unset << 0;
    QTest::newRow("one cell") << "#.#/###" << unset << unset << 0;
    QTest::newRow("two cells") << "#..#" << MatteCell{2, 0} << MatteCell{1, 0} << 1;
    // From the top left cell (0, 0) the far end is (2, 2); back from there, (0, 0).
    QTest::newRow("square") << ".../.../..." << MatteCell{2, 2} << MatteCell{0, 0} << 4;
    // The larger region wins over the island that comes first.
    QTest::newRow("island first") << ".#..../######/......" << MatteCell{5, 2} << MatteCell{0, 2} << 5;
}

void TestShapes::farPointsOfSmallMattes()
{
    QFETCH(QString, drawing);
    QFETCH(MatteCell, start);
    QFETCH(MatteCell, finish);
    QFETCH(int, steps);
    const FarPoints points = far_apart_points(painted(drawing).paper);
    QCOMPARE(points.start, start);
    QCOMPARE(points.finish, finish);
    QCOMPARE(points.steps, steps);
    // From paper, or from outside the matte, nothing is farthest.
    QVERIFY(!farthest_cell(painted(drawing).paper, {0, 1}).cell.isSet() || !painted(drawing).paper.at(0, 1));
    QVERIFY(!farthest_cell(painted(drawing).paper, {-1, 0}).cell.isSet());
}

void TestShapes::outlinesFillCellsByTheirCentres_data()
{
    QTest::addColumn<Outline>("outline");
    QTest::addColumn<QString>("cells");
    // A square from 0.5 to 3.5 takes the centres 0.5 (on its edge), 1.5 and 2.5, not 3.5.
    QTest::newRow("square") << Outline{{{0.5, 0.5}, {3.5, 0.5}, {3.5, 3.5}, {0.5, 3.5}}}
                            << "###./###./###./....";
    // The same square drawn the other way round fills the same cells.
    QTest::newRow("clockwise") << Outline{{{0.5, 0.5}, {0.5, 3.5}, {3.5, 3.5}, {3.5, 0.5}}}
                               << "###./###./###./....";
    // A hole drawn the other way round stays empty.
    QTest::newRow("hole") << Outline{{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{1.2, 1.2}, {1.2, 2.8}, {2.8, 2.8}, {2.8, 1.2}}}
                          << "####/#..#/#..#/####";
    // Two letters that overlap are both whole, the overlap too.
    QTest::newRow("overlap") << Outline{{{0, 0}, {3, 0}, {3, 1}, {0, 1}}, {{2, 0}, {4, 0}, {4, 1}, {2, 1}}}
                             << "####/..../..../....";
    // A triangle: centres under the slanting side only.
    QTest::newRow("triangle") << Outline{{{0, 0}, {4, 4}, {0, 4}}} << "..../#.../##../###.";
    // Partly off the grid: only the grid's cells.
    QTest::newRow("off the grid") << Outline{{{-5, 2}, {9, 2}, {9, 9}, {-5, 9}}} << "..../..../####/####";
}

void TestShapes::outlinesFillCellsByTheirCentres()
{
    QFETCH(Outline, outline);
    QFETCH(QString, cells);
    QCOMPARE(cellsDrawn(fill_outline(outline, 4, 4)), cells);
}

void TestShapes::lettersAreMendedInPlace_data()
{
    // Pieces joined along the baseline (-1: none), or for -2 thin lines widened; either
    // reports the cells it added.
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("baseline");
    QTest::addColumn<QString>("after");
    const int widen = -2;
    // Letters side by side: the gaps between them on the baseline, not inside a letter.
    QTest::newRow("join along the baseline") << "#.#..#/#.#..#/#.#..#" << 2 << "#.#..#/#.#..#/######";
    // A dot drops straight onto its letter; two dots over one letter each drop.
    QTest::newRow("join a dot") << "..#./..../..../..#." << 3 << "..#./..#./..#./..#.";
    QTest::newRow("join two dots") << "#.#/.../.../###" << 3 << "#.#/#.#/#.#/###";
    // A piece that shares no column with the rest is joined by a shortest path.
    QTest::newRow("join a piece beside") << "##.../##.../...##/...##" << -1 << "##.../####./...##/...##";
    QTest::newRow("join one piece") << "###/#.#/###" << 1 << "###/#.#/###";
    // A line one cell wide gains a second row or column, on the side with room.
    QTest::newRow("widen across") << "..../####/...." << widen << "..../####/####";
    QTest::newRow("widen down") << ".#../.#../.#.." << widen << ".##./.##./.##.";
    QTest::newRow("widen against the edge") << "..../..../####" << widen << "..../####/####";
    // Towards the line's own body rather than away from it.
    QTest::newRow("widen a tip") << "..#../####./####." << widen << ".##../####./####.";
    // Never into a gap of one cell, which would join two strokes.
    QTest::newRow("widen beside a gap of one") << "#.#../#.#../#.#.." << widen << "#.##./#.##./#.##.";
    QTest::newRow("widen a dot into a square") << "..../.#../...." << widen << "..../.##./.##.";
    QTest::newRow("already wide") << "##/##" << widen << "##/##";
    QTest::newRow("no room to widen") << "#/#/#" << widen << "#/#/#";
}

void TestShapes::lettersAreMendedInPlace()
{
    QFETCH(QString, before);
    QFETCH(int, baseline);
    QFETCH(QString, after);
    CellMap cells = painted(before).paper;
    const CellMap was = cells;
    const CellMap added = baseline == -2 ? thicken_lines(cells) : join_pieces(cells, baseline);
    QCOMPARE(cellsDrawn(cells), after);
    for (int cy = 0; cy < cells.rows(); ++cy)
        for (int cx = 0; cx < cells.cols(); ++cx)
            QCOMPARE(added.at(cx, cy), cells.at(cx, cy) && !was.at(cx, cy));
}

QTEST_APPLESS_MAIN(TestShapes)
#include "tst_shapes.moc"

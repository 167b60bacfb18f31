#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/matte_colours.h"
#include "matte/path_link.h"
#include "matte/sampling.h"
#include "maze/grid.h"

#include <QtTest>

#include <queue>
#include <random>
#include <set>
#include <utility>

using Node = std::pair<int, int>;
using NodeSet = std::set<Node>;

Q_DECLARE_METATYPE(MatteVerdict)
Q_DECLARE_METATYPE(NodePoint)

namespace {

// A matte drawn as text, one string per row of cells: '#' paper, '.' maze, 'S' the start
// cell and 'F' the finish cell (both maze).
struct Drawing {
    CellMap paper;
    NodePoint start;
    NodePoint finish;
};

Drawing draw(const QStringList &rows)
{
    Drawing d;
    d.paper = CellMap(int(rows.first().size()), int(rows.size()));
    for (int cy = 0; cy < rows.size(); ++cy)
        for (int cx = 0; cx < rows[cy].size(); ++cx) {
            const QChar c = rows[cy][cx];
            d.paper.set(cx, cy, c == u'#');
            if (c == u'S')
                d.start = pointOfCell(cx, cy);
            if (c == u'F')
                d.finish = pointOfCell(cx, cy);
        }
    return d;
}

NodeSet blockedNodes(const NodeGrid &g)
{
    NodeSet s;
    for (int y = 0; y <= g.height(); ++y)
        for (int x = 0; x <= g.width(); ++x)
            if (g.blocked(x, y))
                s.insert({x, y});
    return s;
}

// Node rectangles, both ends included, as the expected tables write them.
NodeSet nodesIn(const QList<QRect> &rects)
{
    NodeSet s;
    for (const QRect &r : rects)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                s.insert({x, y});
    return s;
}

QString show(const NodeSet &s)
{
    QStringList parts;
    for (const auto &[x, y] : s)
        parts << QStringLiteral("(%1, %2)").arg(x).arg(y);
    return parts.join(u' ');
}

// Flood fill through open cells, left, right, up and down: the path check's result by
// another road.
CellMap reachable(const CellMap &open, int sx, int sy)
{
    CellMap seen(open.cols(), open.rows());
    std::queue<Node> todo;
    seen.set(sx, sy);
    todo.push({sx, sy});
    while (!todo.empty()) {
        const auto [x, y] = todo.front();
        todo.pop();
        for (const auto &[dx, dy] : {Node{1, 0}, Node{-1, 0}, Node{0, 1}, Node{0, -1}}) {
            const int nx = x + dx, ny = y + dy;
            if (open.contains(nx, ny) && open.at(nx, ny) && !seen.at(nx, ny)) {
                seen.set(nx, ny);
                todo.push({nx, ny});
            }
        }
    }
    return seen;
}

CellMap inverted(const CellMap &m)
{
    CellMap r(m.cols(), m.rows());
    for (int cy = 0; cy < m.rows(); ++cy)
        for (int cx = 0; cx < m.cols(); ++cx)
            r.set(cx, cy, !m.at(cx, cy));
    return r;
}

CellMap randomMap(int cols, int rows, double chance, unsigned seed)
{
    std::mt19937 rng(seed);
    std::bernoulli_distribution on(chance);
    CellMap m(cols, rows);
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            m.set(cx, cy, on(rng));
    return m;
}

// What the completion without points means, stated node kind by node kind rather than
// as the loops that produce it.
bool expectedExcluded(const CellMap &paper, int x, int y)
{
    const int gw = 2 * paper.cols() + 1, gh = 2 * paper.rows() + 1;
    auto cell = [&](int nx, int ny) { return paper.at(nx / 2 - 1, ny / 2 - 1); };
    if (x == 0 || y == 0)
        return false;
    if (x == 1)
        return expectedExcluded(paper, 2, y);
    if (x == gw)
        return expectedExcluded(paper, gw - 1, y);
    if (y == 1)
        return expectedExcluded(paper, x, 2);
    if (y == gh)
        return expectedExcluded(paper, x, gh - 1);
    const bool oddX = x % 2, oddY = y % 2;
    if (!oddX && !oddY)
        return cell(x, y);
    if (oddX && !oddY)
        return cell(x - 1, y) && cell(x + 1, y);
    if (!oddX && oddY)
        return cell(x, y - 1) && cell(x, y + 1);
    return cell(x - 1, y - 1) && cell(x + 1, y - 1) && cell(x - 1, y + 1) && cell(x + 1, y + 1);
}

} // namespace

class TestMatteCore : public QObject {
    Q_OBJECT
private slots:
    void completionMatchesItsMeaning_data();
    void completionMatchesItsMeaning();
    void acceptanceCases_data();
    void acceptanceCases();
    void closingRules_data();
    void closingRules();
    void completionRefusesPointsOffTheGrid();
    void refusalsLeaveBlockedAlone_data();
    void refusalsLeaveBlockedAlone();
    void acceptanceAgreesWithFloodFill();
    void linkingAgreesWithFloodFill();
    void sweeps_data();
    void sweeps();
    void sampleCoordinates_data();
    void sampleCoordinates();
    void threshold_data();
    void threshold();
    void samplingReadsOnePixelPerCell();
};

void TestMatteCore::completionMatchesItsMeaning_data()
{
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("chance");
    QTest::newRow("1 x 1 paper") << 1 << 1 << 1.0;
    QTest::newRow("1 x 9 column") << 1 << 9 << 0.6;
    QTest::newRow("9 x 1 row") << 9 << 1 << 0.6;
    QTest::newRow("12 x 7 sparse") << 12 << 7 << 0.3;
    QTest::newRow("20 x 20 dense") << 20 << 20 << 0.8;
    QTest::newRow("31 x 17 all paper") << 31 << 17 << 1.0;
}

void TestMatteCore::completionMatchesItsMeaning()
{
    QFETCH(int, cols);
    QFETCH(int, rows);
    QFETCH(double, chance);
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const CellMap paper = randomMap(cols, rows, chance, seed);
        NodeGrid g;
        g.allocate(2 * cols + 1, 2 * rows + 1);
        mark_cells(g, paper);
        complete_matte(g, {}, {});
        for (int y = 0; y <= g.height(); ++y)
            for (int x = 0; x <= g.width(); ++x)
                if (g.blocked(x, y) != expectedExcluded(paper, x, y))
                    QFAIL(qPrintable(QStringLiteral("seed %1, node (%2, %3): blocked %4")
                                         .arg(seed).arg(x).arg(y).arg(g.blocked(x, y))));
    }
}

void TestMatteCore::acceptanceCases_data()
{
    QTest::addColumn<QStringList>("matte");
    QTest::addColumn<bool>("removeUnused");
    QTest::addColumn<MatteVerdict>("verdict");
    QTest::addColumn<QList<QRect>>("excluded");
    QTest::addColumn<int>("linked");

    auto node = [](int x, int y) { return QRect(x, y, 1, 1); };
    const auto accepted = MatteVerdict::Accepted;

    QTest::newRow("3 x 3 with the top two cells paper")
        << QStringList{"##.", "...", "F.S"} << false << accepted
        << QList<QRect>{QRect(1, 1, 4, 2)} << 6;
    QTest::newRow("no paper")
        << QStringList{"S..", "...", "..F"} << false << accepted << QList<QRect>{} << 8;
    QTest::newRow("single paper cell")
        << QStringList{"S....", ".....", "..#..", ".....", "....F"} << false << accepted
        << QList<QRect>{node(6, 6)} << 23;
    QTest::newRow("two paper cells side by side")
        << QStringList{"S....", ".....", ".##..", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(4, 6, 3, 1)} << 22;
    QTest::newRow("two paper cells one above the other")
        << QStringList{"S....", "..#..", "..#..", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(6, 4, 1, 3)} << 22;
    QTest::newRow("2 x 2 block")
        << QStringList{"S....", ".##..", ".##..", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(4, 4, 3, 3)} << 20;
    QTest::newRow("L of three leaves its corner open")
        << QStringList{"S....", ".##..", ".#...", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(4, 4, 3, 1), QRect(4, 5, 1, 2)} << 21;
    QTest::newRow("paper in column 1 closes the border beside it")
        << QStringList{"S....", ".....", "#....", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(1, 6, 2, 1)} << 23;
    QTest::newRow("paper in the top-left corner cell")
        << QStringList{"#....", ".S...", ".....", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(1, 1, 2, 2)} << 23;
    QTest::newRow("start with paper left and above")
        << QStringList{".....", "..#..", ".#S..", ".....", "....F"} << false << accepted
        << QList<QRect>{node(6, 4), node(4, 6), node(5, 6), node(6, 5), node(5, 5)} << 22;
    QTest::newRow("plain cell with paper left and above keeps its walls")
        << QStringList{"S....", "..#..", ".#...", ".....", "....F"} << false << accepted
        << QList<QRect>{node(6, 4), node(4, 6)} << 22;
    QTest::newRow("finish with paper right and below")
        << QStringList{"S....", ".....", "..F#.", "..#..", "....."} << false << accepted
        << QList<QRect>{node(8, 6), node(6, 8), node(7, 6), node(6, 7), node(7, 7)} << 22;
    QTest::newRow("start in column 1 skips rule a")
        << QStringList{".....", "#....", "S....", ".....", "....F"} << false << accepted
        << QList<QRect>{QRect(1, 4, 2, 1), node(2, 5)} << 23;
    QTest::newRow("start boxed into the bottom-right cell")
        << QStringList{"F....", ".....", ".....", "....#", "...#S"} << false << MatteVerdict::NoPath
        << QList<QRect>{QRect(10, 8, 2, 1), QRect(8, 10, 1, 2), node(9, 10), node(10, 9), node(9, 9)} << 0;
    QTest::newRow("island kept without Remove unused areas")
        << QStringList{"S....", ".###.", ".#.#.", ".###.", "....F"} << false << accepted
        << QList<QRect>{QRect(4, 4, 5, 1), QRect(4, 8, 5, 1), QRect(4, 5, 1, 3), QRect(8, 5, 1, 3)} << 15;
    QTest::newRow("island removed with Remove unused areas")
        << QStringList{"S....", ".###.", ".#.#.", ".###.", "....F"} << true << accepted
        << QList<QRect>{QRect(4, 4, 5, 5)} << 15;
    QTest::newRow("cut-off columns kept")
        << QStringList{"S.#.", "..#.", "F.#."} << false << accepted << QList<QRect>{QRect(6, 1, 1, 7)} << 5;
    QTest::newRow("cut-off columns removed up to the border")
        << QStringList{"S.#.", "..#.", "F.#."} << true << accepted << QList<QRect>{QRect(6, 1, 4, 7)} << 5;
    QTest::newRow("start in a one-cell-high corridor stays open when removing")
        << QStringList{"#####", "S...F", "#####"} << true << accepted
        << QList<QRect>{QRect(1, 1, 11, 2), QRect(1, 6, 11, 2), QRect(1, 3, 2, 1), QRect(1, 5, 2, 1),
                        QRect(10, 3, 2, 1), QRect(10, 5, 2, 1)}
        << 4;
    QTest::newRow("finish touching the start region only at a corner")
        << QStringList{"S.#", "..#", "##F"} << false << MatteVerdict::NoPath
        << QList<QRect>{QRect(6, 1, 2, 4), QRect(1, 6, 4, 2), node(5, 6), node(6, 5), node(5, 5)}
        << 3;
    QTest::newRow("line of paper between start and finish")
        << QStringList{"S.#..", "..#..", "..#.F"} << true << MatteVerdict::NoPath
        << QList<QRect>{QRect(6, 1, 1, 7)} << 5;
}

void TestMatteCore::acceptanceCases()
{
    QFETCH(QStringList, matte);
    QFETCH(bool, removeUnused);
    QFETCH(MatteVerdict, verdict);
    QFETCH(QList<QRect>, excluded);
    QFETCH(int, linked);

    const Drawing d = draw(matte);
    NodeGrid g;
    const MatteOutcome outcome = accept_matte(d.paper, d.start, d.finish, removeUnused, g);
    QCOMPARE(outcome.verdict, verdict);
    QCOMPARE(outcome.linkedCount, qint64(linked));
    QCOMPARE(g.width(), 2 * d.paper.cols() + 1);
    QCOMPARE(g.height(), 2 * d.paper.rows() + 1);
    const NodeSet got = blockedNodes(g);
    const NodeSet want = nodesIn(excluded);
    if (got != want)
        QFAIL(qPrintable(QStringLiteral("excluded %1\nexpected %2").arg(show(got), show(want))));
    QVERIFY(!g.blocked(d.start.x, d.start.y));
    QVERIFY(!g.blocked(d.finish.x, d.finish.y));
    if (verdict == MatteVerdict::NoPath)
        QCOMPARE(QString::fromStdString(outcome.message),
                 QStringLiteral("There must be a complete (blue) path from the start point to the finish point."));
    else
        QVERIFY(outcome.message.empty());
}

void TestMatteCore::closingRules_data()
{
    // Cells around a start point at node (6, 6) of a 5 x 5 matte, and what the eight
    // rules close besides the border and the walls between paper cells.
    QTest::addColumn<QStringList>("matte");
    QTest::addColumn<QList<QRect>>("closed");
    auto node = [](int x, int y) { return QRect(x, y, 1, 1); };
    QTest::newRow("a: left") << QStringList{".....", ".....", ".#S..", ".....", "....."}
                             << QList<QRect>{node(5, 6)};
    QTest::newRow("b: right") << QStringList{".....", ".....", "..S#.", ".....", "....."}
                              << QList<QRect>{node(7, 6)};
    QTest::newRow("c: above") << QStringList{".....", "..#..", "..S..", ".....", "....."}
                              << QList<QRect>{node(6, 5)};
    QTest::newRow("d: below") << QStringList{".....", ".....", "..S..", "..#..", "....."}
                              << QList<QRect>{node(6, 7)};
    QTest::newRow("e: left and above") << QStringList{".....", "..#..", ".#S..", ".....", "....."}
                                       << QList<QRect>{node(5, 6), node(6, 5), node(5, 5)};
    QTest::newRow("f: right and above") << QStringList{".....", "..#..", "..S#.", ".....", "....."}
                                        << QList<QRect>{node(7, 6), node(6, 5), node(7, 5)};
    QTest::newRow("g: left and below") << QStringList{".....", ".....", ".#S..", "..#..", "....."}
                                       << QList<QRect>{node(5, 6), node(6, 7), node(5, 7)};
    QTest::newRow("h: right and below") << QStringList{".....", ".....", "..S#.", "..#..", "....."}
                                        << QList<QRect>{node(7, 6), node(6, 7), node(7, 7)};
    QTest::newRow("walled in on all sides")
        << QStringList{".....", "..#..", ".#S#.", "..#..", "....."}
        << QList<QRect>{QRect(5, 5, 3, 1), QRect(5, 7, 3, 1), node(5, 6), node(7, 6)};
    QTest::newRow("a diagonal paper cell closes nothing")
        << QStringList{".....", ".#...", "..S..", ".....", "....."} << QList<QRect>{};
}

void TestMatteCore::closingRules()
{
    QFETCH(QStringList, matte);
    QFETCH(QList<QRect>, closed);
    const Drawing d = draw(matte);

    NodeGrid plain;
    plain.allocate(11, 11);
    mark_cells(plain, d.paper);
    complete_matte(plain, {}, {});

    NodeGrid withStart;
    withStart.allocate(11, 11);
    mark_cells(withStart, d.paper);
    complete_matte(withStart, d.start, {});

    // The same point as the finish closes exactly the same nodes.
    NodeGrid withFinish;
    withFinish.allocate(11, 11);
    mark_cells(withFinish, d.paper);
    complete_matte(withFinish, {}, d.start);

    NodeSet added;
    const NodeSet before = blockedNodes(plain);
    for (const Node &n : blockedNodes(withStart))
        if (!before.count(n))
            added.insert(n);
    QCOMPARE(show(added), show(nodesIn(closed)));
    QCOMPARE(blockedNodes(withFinish), blockedNodes(withStart));
}

void TestMatteCore::completionRefusesPointsOffTheGrid()
{
    NodeGrid g;
    g.allocate(7, 7);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, complete_matte(g, {8, 2}, {}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, complete_matte(g, {2, 2}, {3, 4}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, complete_matte(g, {0, 2}, {}));
    QVERIFY(blockedNodes(g).empty());

    NodeGrid tiny;
    tiny.allocate(1, 1);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, complete_matte(tiny, {}, {}));

    CellMap wrongSize(4, 3);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, mark_cells(g, wrongSize));
}

void TestMatteCore::refusalsLeaveBlockedAlone_data()
{
    QTest::addColumn<int>("cols");
    QTest::addColumn<NodePoint>("start");
    QTest::addColumn<NodePoint>("finish");
    QTest::addColumn<MatteVerdict>("verdict");
    QTest::addColumn<QString>("message");
    QTest::newRow("neither point") << 3 << NodePoint{} << NodePoint{} << MatteVerdict::NoPoints
                                   << "Please choose start and finish points.";
    QTest::newRow("finish only") << 3 << NodePoint{} << NodePoint{2, 2} << MatteVerdict::NoStart
                                 << "Please choose a start point.";
    QTest::newRow("start only") << 3 << NodePoint{2, 2} << NodePoint{-1, 4} << MatteVerdict::NoFinish
                                << "Please choose a finish point.";
    QTest::newRow("start y unset counts as set") << 3 << NodePoint{2, -1} << NodePoint{} << MatteVerdict::NoFinish
                                                 << "Please choose a finish point.";
    QTest::newRow("start beyond the matte") << 3 << NodePoint{8, 2} << NodePoint{2, 2} << MatteVerdict::Invalid
                                            << "The start point (8, 2) is not a cell of the 3 x 3 matte.";
    QTest::newRow("finish on a wall node") << 3 << NodePoint{2, 2} << NodePoint{3, 2} << MatteVerdict::Invalid
                                           << "The finish point (3, 2) is not a cell of the 3 x 3 matte.";
    QTest::newRow("start and finish on one cell") << 3 << NodePoint{4, 4} << NodePoint{4, 4}
                                                  << MatteVerdict::Invalid
                                                  << "The start and finish points are the same cell (4, 4).";
    QTest::newRow("no cells") << 0 << NodePoint{2, 2} << NodePoint{4, 4} << MatteVerdict::Invalid
                              << "The matte needs at least one cell across and one cell down.";
    QTest::newRow("too many cells") << 16384 << NodePoint{2, 2} << NodePoint{4, 4} << MatteVerdict::Invalid
                                    << "A matte of 16384 x 3 cells is larger than a maze can be (16383 cells "
                                       "each way).";
}

void TestMatteCore::refusalsLeaveBlockedAlone()
{
    QFETCH(int, cols);
    QFETCH(NodePoint, start);
    QFETCH(NodePoint, finish);
    QFETCH(MatteVerdict, verdict);
    QFETCH(QString, message);

    NodeGrid g;
    g.allocate(9, 5);
    g.set(3, 3, NodeGrid::Blocked);
    g.set(4, 4, NodeGrid::Carved);
    const MatteOutcome outcome = accept_matte(CellMap(cols, 3), start, finish, true, g);
    QCOMPARE(outcome.verdict, verdict);
    QCOMPARE(QString::fromStdString(outcome.message), message);
    QCOMPARE(g.width(), 9);
    QCOMPARE(g.height(), 5);
    QCOMPARE(blockedNodes(g), (NodeSet{{3, 3}}));
    QVERIFY(g.carved(4, 4));
}

void TestMatteCore::acceptanceAgreesWithFloodFill()
{
    std::mt19937 rng(7);
    int accepted = 0, refused = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const int cols = 1 + int(rng() % 14), rows = 1 + int(rng() % 14);
        if (cols * rows < 2)
            continue;
        CellMap paper = randomMap(cols, rows, 0.35, seed);
        const int sx = int(rng() % cols), sy = int(rng() % rows);
        int fx = int(rng() % cols), fy = int(rng() % rows);
        if (fx == sx && fy == sy)
            fx = (fx + 1) % cols, fy = cols == 1 ? (fy + 1) % rows : fy;
        paper.set(sx, sy, false);
        paper.set(fx, fy, false);
        const bool removeUnused = seed % 2;

        const CellMap reach = reachable(inverted(paper), sx, sy);
        NodeGrid g;
        const MatteOutcome outcome =
            accept_matte(paper, pointOfCell(sx, sy), pointOfCell(fx, fy), removeUnused, g);
        QCOMPARE(outcome.accepted(), reach.at(fx, fy));
        QCOMPARE(outcome.linkedCount, qint64(reach.count()) - 1);
        outcome.accepted() ? ++accepted : ++refused;

        // First completion alone, for "completion only ever sets".
        NodeGrid first;
        first.allocate(2 * cols + 1, 2 * rows + 1);
        mark_cells(first, paper);
        complete_matte(first, pointOfCell(sx, sy), pointOfCell(fx, fy));
        const NodeSet firstSet = blockedNodes(first);
        const NodeSet finalSet = blockedNodes(g);
        for (const Node &n : firstSet)
            if (!finalSet.count(n))
                QFAIL(qPrintable(QStringLiteral("seed %1: (%2, %3) reopened").arg(seed).arg(n.first).arg(n.second)));

        for (int cy = 0; cy < rows; ++cy)
            for (int cx = 0; cx < cols; ++cx) {
                const bool excluded = g.blocked(2 * cx + 2, 2 * cy + 2);
                const bool expected = outcome.accepted() && removeUnused ? !reach.at(cx, cy) : paper.at(cx, cy);
                if (excluded != expected)
                    QFAIL(qPrintable(QStringLiteral("seed %1: cell (%2, %3)").arg(seed).arg(cx).arg(cy)));
            }
        for (int y = 0; y <= g.height(); ++y)
            QVERIFY(!g.blocked(0, y));
        for (int x = 0; x <= g.width(); ++x)
            QVERIFY(!g.blocked(x, 0));
    }
    // Both outcomes were exercised.
    QVERIFY(accepted > 50);
    QVERIFY(refused > 50);
}

void TestMatteCore::linkingAgreesWithFloodFill()
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const int cols = 1 + int(seed % 23), rows = 1 + int(seed * 7 % 19);
        const CellMap open = randomMap(cols, rows, 0.62, seed);
        const int sx = int(seed % cols), sy = int(seed / 3 % rows);
        const PathCheck check = link_path(open, sx, sy);
        CellMap want = open.at(sx, sy) ? reachable(open, sx, sy) : CellMap(cols, rows);
        want.set(sx, sy);
        QVERIFY2(check.linked == want, qPrintable(QStringLiteral("seed %1").arg(seed)));
        // The command line's flood fill links the very same cells.
        QVERIFY(reach_from(open, sx, sy) == check.linked);
        QCOMPARE(check.count(), qint64(want.count()) - 1);
        // The last sweep links nothing, every earlier one something.
        QVERIFY(!check.sweepCounts.empty());
        for (std::size_t i = 1; i < check.sweepCounts.size(); ++i)
            QVERIFY(check.sweepCounts[i] > check.sweepCounts[i - 1] || i + 1 == check.sweepCounts.size());
        if (check.sweepCounts.size() > 1)
            QCOMPARE(check.sweepCounts.back(), check.sweepCounts[check.sweepCounts.size() - 2]);
    }
}

void TestMatteCore::sweeps_data()
{
    // '#' closed, '.' open, 'S' the start (open unless it is '*': a closed start).
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QList<qint64>>("counts");
    QTest::newRow("no paper: one sweep links all")
        << QStringList{"....", "..S.", "...."} << QList<qint64>{11, 11};
    QTest::newRow("start boxed in") << QStringList{".#..", "#S#.", ".#.."} << QList<qint64>{0};
    QTest::newRow("sideways then down: one sweep")
        << QStringList{"S...", "###.", "###.", "###."} << QList<qint64>{6, 6};
    QTest::newRow("down then sideways: two sweeps")
        << QStringList{"S###", ".###", ".###", "...."} << QList<qint64>{3, 6, 6};
    QTest::newRow("regions touching at a corner stay apart")
        << QStringList{"S.#", "..#", "##."} << QList<qint64>{3, 3};
    QTest::newRow("closed start stays alone") << QStringList{"...", ".*.", "..."} << QList<qint64>{0};
    QTest::newRow("enclosed pocket")
        << QStringList{"......", ".####.", ".#S.#.", ".####.", "......"} << QList<qint64>{1, 1};
    QTest::newRow("zigzag") << QStringList{"S#...", ".#.#.", ".#.#.", "...#."}
                            << QList<qint64>{3, 8, 13, 13};
}

void TestMatteCore::sweeps()
{
    QFETCH(QStringList, cells);
    QFETCH(QList<qint64>, counts);
    CellMap open(int(cells.first().size()), int(cells.size()));
    int sx = 0, sy = 0;
    for (int cy = 0; cy < cells.size(); ++cy)
        for (int cx = 0; cx < cells[cy].size(); ++cx) {
            open.set(cx, cy, cells[cy][cx] == u'.' || cells[cy][cx] == u'S');
            if (cells[cy][cx] == u'S' || cells[cy][cx] == u'*')
                sx = cx, sy = cy;
        }
    const PathCheck check = link_path(open, sx, sy);
    QCOMPARE(QList<qint64>(check.sweepCounts.begin(), check.sweepCounts.end()), counts);
}

void TestMatteCore::sampleCoordinates_data()
{
    QTest::addColumn<int>("pictureSize");
    QTest::addColumn<int>("cells");
    QTest::addColumn<QList<int>>("expected");

    QList<int> odd;
    for (int c = 0; c < 50; ++c)
        odd << 2 * c + 1;
    QTest::newRow("100 px across 50 cells") << 100 << 50 << odd;

    // 100 / 70 rounds up in single precision, so these stay the exact rational floors.
    QList<int> down;
    for (int c = 0; c < 70; ++c)
        down << (2 * c + 1) * 100 / 140;
    QTest::newRow("100 px down 70 cells") << 100 << 70 << down;

    QTest::newRow("picture smaller than the grid repeats pixels") << 3 << 8 << QList<int>{0, 0, 0, 1, 1, 2, 2, 2};
    // 14 / 5 = 2.8 becomes 2.7999999523 in single precision: the third cell's centre,
    // exactly 7.0 in real numbers, lands on pixel 6.
    QTest::newRow("share rounded down to single precision") << 14 << 5 << QList<int>{1, 4, 6, 9, 12};
    QTest::newRow("one cell takes the middle") << 7 << 1 << QList<int>{3};
}

void TestMatteCore::sampleCoordinates()
{
    QFETCH(int, pictureSize);
    QFETCH(int, cells);
    QFETCH(QList<int>, expected);
    QVERIFY(float(2.8) < 2.8);
    QList<int> got;
    for (int c = 0; c < cells; ++c) {
        got << sample_coordinate(c, pictureSize, cells);
        QVERIFY(got.last() >= 0 && got.last() < pictureSize);
    }
    QCOMPARE(got, expected);
}

void TestMatteCore::threshold_data()
{
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::addColumn<bool>("paper");
    QTest::newRow("white") << 255 << 255 << 255 << true;
    QTest::newRow("black") << 0 << 0 << 0 << false;
    QTest::newRow("grey 204") << 204 << 204 << 204 << true;
    QTest::newRow("grey 203") << 203 << 203 << 203 << false;
    QTest::newRow("almost white (255, 255, 203)") << 255 << 255 << 203 << false;
    QTest::newRow("pure blue") << 0 << 0 << 255 << true;
    QTest::newRow("pure red") << 255 << 0 << 0 << false;
    QTest::newRow("pure green") << 0 << 255 << 0 << false;
    QTest::newRow("yellow") << 255 << 255 << 0 << false;
    QTest::newRow("blue 204, green above") << 0 << 205 << 204 << true;
    QTest::newRow("blue and green 204, red 203") << 203 << 204 << 204 << false;
    QTest::newRow("blue 204, green 203, red 255") << 255 << 203 << 204 << false;
}

void TestMatteCore::threshold()
{
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    QFETCH(bool, paper);
    QCOMPARE(is_light_sample(MatteColour::pack(red, green, blue)), paper);
    // Blue decides first, then green, then red.
    const bool lexicographic = blue != 204 ? blue > 204 : green != 204 ? green > 204 : red >= 204;
    QCOMPARE(paper, lexicographic);
}

void TestMatteCore::samplingReadsOnePixelPerCell()
{
    // 100 x 100 picture onto 50 x 70 cells: the left half black, the right half white,
    // and the reader logs every read.
    std::vector<Node> reads;
    const CellMap paper = sample_picture(100, 100, 50, 70, [&](int x, int y) {
        reads.push_back({x, y});
        return x < 50 ? MatteColour::pack(0, 0, 0) : MatteColour::pack(255, 255, 255);
    });
    QCOMPARE(reads.size(), std::size_t(50 * 70));
    QCOMPARE(reads.front(), Node(1, 0));
    QCOMPARE(reads[1], Node(3, 0));
    QCOMPARE(reads[50], Node(1, 2));  // row by row: the second row after 50 reads
    QCOMPARE(reads.back(), Node(99, 99));
    for (int cy = 0; cy < 70; ++cy)
        for (int cx = 0; cx < 50; ++cx)
            QCOMPARE(paper.at(cx, cy), cx >= 25);

    // Reads outside a picture give -1, which is dark.
    const CellMap outside = sample_picture(4, 4, 2, 2, [](int, int) { return MatteColour::Outside; });
    QCOMPARE(outside.count(), std::size_t(0));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, sample_picture(4, 4, 0, 2, [](int, int) { return 0; }));
}

QTEST_APPLESS_MAIN(TestMatteCore)
#include "tst_matte_core.moc"

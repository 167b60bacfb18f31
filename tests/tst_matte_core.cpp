#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/matte_history.h"
#include "matte/matte_model.h"
#include "matte/path_link.h"
#include "maze/grid.h"
#include "tests/matte_drawing.h"

#include <QtTest>

#include <array>
#include <random>

Q_DECLARE_METATYPE(MatteVerdict)
Q_DECLARE_METATYPE(MatteCell)
Q_DECLARE_METATYPE(std::vector<long long>)

namespace {

// Flood fill left, right, up and down through open cells: the path check by another road.
CellMap reachable(const CellMap &open, int sx, int sy)
{
    CellMap seen(open.cols(), open.rows());
    std::vector<std::pair<int, int>> todo{{sx, sy}};
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (open.contains(x, y) && open.at(x, y) && !seen.at(x, y))
            seen.set(x, y), todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    return seen;
}

// The completion without points, stated node kind by node kind rather than as loops.
bool expectedExcluded(const CellMap &paper, int x, int y)
{
    const int gw = 2 * paper.cols() + 1, gh = 2 * paper.rows() + 1;
    auto cell = [&](int nx, int ny) { return paper.at(nx / 2 - 1, ny / 2 - 1); };
    if (x == 0 || y == 0)
        return false;
    if (x == 1 || x == gw)
        return expectedExcluded(paper, x == 1 ? 2 : gw - 1, y);
    if (y == 1 || y == gh)
        return expectedExcluded(paper, x, y == 1 ? 2 : gh - 1);
    if (x % 2 == 0 && y % 2 == 0)
        return cell(x, y);
    if (y % 2 == 0)
        return cell(x - 1, y) && cell(x + 1, y);
    if (x % 2 == 0)
        return cell(x, y - 1) && cell(x, y + 1);
    return cell(x - 1, y - 1) && cell(x + 1, y - 1) && cell(x - 1, y + 1) && cell(x + 1, y + 1);
}

// A model as a drawing: '.' maze, '#' paper, 'S' start, 'F' finish.
QString drawing(const MatteModel &m)
{
    QStringList rows;
    for (int cy = 0; cy < m.rows(); ++cy) {
        QString row;
        for (int cx = 0; cx < m.cols(); ++cx)
            row += QStringLiteral(".#SF")[int(m.look(cx, cy))];
        rows << row;
    }
    return rows.join(u'/');
}

} // namespace

class TestMatteCore : public QObject {
    Q_OBJECT
private slots:
    void randomMattesAgreeWithOracles();
    void verdicts_data();
    void verdicts();
    void sweepCounts_data();
    void sweepCounts();
    void modelEdits();
    void modelFromBlocked();
    void importKeepsPointsOnMazeCells_data();
    void importKeepsPointsOnMazeCells();
    void undoAndRedoRestoreEveryStep();
    void strokesAreOneStep();
    void historyKeepsWithinItsBudget();
    void strokeLinesAreUnbroken_data();
    void strokeLinesAreUnbroken();
    void randomStrokeLinesCrossEveryCellTheyName();
};

void TestMatteCore::randomMattesAgreeWithOracles()
{
    std::mt19937 rng(7);
    int accepted = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const int cols = 2 + int(rng() % 19), rows = 1 + int(rng() % 19);
        const int sx = int(rng() % cols), sy = int(rng() % rows);
        const int fx = (sx + 1 + int(rng() % (cols - 1))) % cols, fy = int(rng() % rows);
        std::bernoulli_distribution isPaper(std::array{0.2, 0.35, 0.5, 0.8}[seed % 4]);
        MattePainting painting{CellMap(cols, rows), {sx, sy}, {fx, fy}};
        CellMap open(cols, rows);
        for (int cy = 0; cy < rows; ++cy)
            for (int cx = 0; cx < cols; ++cx) {
                painting.paper.set(cx, cy, isPaper(rng) && !(cx == sx && cy == sy) && !(cx == fx && cy == fy));
                open.set(cx, cy, !painting.paper.at(cx, cy));
            }
        const bool removeUnused = seed % 2;
        const CellMap reach = reachable(open, sx, sy);
        const QByteArray where = QStringLiteral("seed %1").arg(seed).toLatin1();

        NodeGrid plain, g;
        plain.allocate(2 * cols + 1, 2 * rows + 1);
        mark_cells(plain, painting.paper);
        complete_matte(plain, {}, {});
        std::vector<long long> counts;
        const MatteResult result =
            accept_matte(painting, removeUnused, g, [&](long long count) { counts.push_back(count); });
        QVERIFY2(result.accepted() == reach.at(fx, fy), where);
        QVERIFY2(result.linked == reach, where);
        QCOMPARE(result.linkedCount(), qint64(reach.count()) - 1);
        // The sweeps only ever link open cells next to linked ones, so ending on the flood
        // fill's count means ending on its cells; the last sweep links nothing.
        QVERIFY2(!counts.empty(), where);
        QCOMPARE(counts.back(), result.linkedCount());
        QVERIFY2(counts.size() == 1 || counts[counts.size() - 2] == counts.back(), where);
        QVERIFY2(std::is_sorted(counts.begin(), counts.end()), where);
        QVERIFY2(sweep_counts(open, {sx, sy}) == counts, where);
        accepted += result.accepted();
        // Row 0 and column 0 lie outside every matte; a cell's node is excluded if paper, or unreached when removing.
        const bool removed = result.accepted() && removeUnused;
        for (int y = 0; y <= g.height(); ++y)
            for (int x = 0; x <= g.width(); ++x) {
                const QByteArray at = where + QStringLiteral(", node (%1, %2)").arg(x).arg(y).toLatin1();
                const int cx = x / 2 - 1, cy = y / 2 - 1;
                QVERIFY2(plain.blocked(x, y) == expectedExcluded(painting.paper, x, y), at);
                if (x == 0 || y == 0)
                    QVERIFY2(!g.blocked(x, y), at);
                else if (x % 2 == 0 && y % 2 == 0)
                    QVERIFY2(g.blocked(x, y) == (removed ? !reach.at(cx, cy) : painting.paper.at(cx, cy)), at);
            }
    }
    QCOMPARE_GT(accepted, 50);
    QCOMPARE_LT(accepted, 250);
}

void TestMatteCore::verdicts_data()
{
    // The paper of a 3 x 2 matte and its points, then the verdict; refusals before the path
    // check leave the grid alone and link nothing.
    QTest::addColumn<QString>("paper");
    QTest::addColumn<MatteCell>("start");
    QTest::addColumn<MatteCell>("finish");
    QTest::addColumn<MatteVerdict>("verdict");
    using V = MatteVerdict;
    const MatteCell unset;
    QTest::newRow("accepted") << "..#/..." << MatteCell{0, 0} << MatteCell{2, 1} << V::Accepted;
    QTest::newRow("no path") << ".#./.#." << MatteCell{0, 0} << MatteCell{2, 1} << V::NoPath;
    QTest::newRow("start on paper") << "..#/..." << MatteCell{2, 0} << MatteCell{2, 1} << V::NoPath;
    QTest::newRow("neither point") << "..#/..." << unset << unset << V::NoPoints;
    QTest::newRow("no start") << "..#/..." << unset << MatteCell{2, 0} << V::NoStart;
    QTest::newRow("no finish") << "..#/..." << MatteCell{1, 0} << unset << V::NoFinish;
    QTest::newRow("same cell") << "..#/..." << MatteCell{1, 1} << MatteCell{1, 1} << V::SameCell;
    QTest::newRow("start outside") << "..#/..." << MatteCell{3, 0} << MatteCell{0, 0} << V::StartOutside;
    QTest::newRow("finish outside") << "..#/..." << MatteCell{0, 0} << MatteCell{0, -2} << V::FinishOutside;
}

void TestMatteCore::verdicts()
{
    QFETCH(QString, paper);
    QFETCH(MatteCell, start);
    QFETCH(MatteCell, finish);
    QFETCH(MatteVerdict, verdict);
    MattePainting painting = painted(paper);
    painting.start = start;
    painting.finish = finish;
    const bool checked = verdict == MatteVerdict::Accepted || verdict == MatteVerdict::NoPath;
    NodeGrid grid;
    grid.allocate(1, 1);
    grid.set(1, 1, NodeGrid::Blocked);
    int sweeps = 0;
    const MatteResult r = accept_matte(painting, true, grid, [&](long long) { ++sweeps; });
    QCOMPARE(r.verdict, verdict);
    QCOMPARE(grid.width(), checked ? 7 : 1);
    QCOMPARE(r.linked.cols(), checked ? 3 : 0);
    QCOMPARE(sweeps > 0, checked);
    if (!checked)
        QVERIFY(grid.blocked(1, 1));
}

void TestMatteCore::sweepCounts_data()
{
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<std::vector<long long>>("counts");
    // The row pass links the start's row, the column pass every other cell; then nothing.
    QTest::newRow("no paper") << "..../.S../...." << std::vector<long long>{11, 11};
    QTest::newRow("start boxed in") << ".#../#S#./.#.." << std::vector<long long>{0};
    // Sideways then down is one sweep's row and column pass; down then sideways takes two.
    QTest::newRow("corridor sideways, then down") << "S../##./##." << std::vector<long long>{4, 4};
    QTest::newRow("corridor down, then sideways") << "S##/.##/..." << std::vector<long long>{2, 4, 4};
    // Cells touching only at a corner stay apart.
    QTest::newRow("corner only") << "S.#/..#/##." << std::vector<long long>{3, 3};
}

void TestMatteCore::sweepCounts()
{
    QFETCH(QString, drawing);
    QFETCH(std::vector<long long>, counts);
    const MattePainting p = painted(drawing);
    CellMap open(p.paper.cols(), p.paper.rows());
    for (int cy = 0; cy < open.rows(); ++cy)
        for (int cx = 0; cx < open.cols(); ++cx)
            open.set(cx, cy, !p.paper.at(cx, cy));
    std::vector<long long> heard;
    QCOMPARE(sweep_counts(open, p.start, [&](long long n) { heard.push_back(n); }), counts);
    QCOMPARE(heard, counts);
    QCOMPARE(reach_from(open, p.start).count(), std::size_t(counts.back() + 1));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, sweep_counts(open, {open.cols(), 0}));
}

void TestMatteCore::modelEdits()
{
    MatteModel m(4, 3);
    std::vector<MatteChange> heard;
    m.setObserver([&](const MatteChange &c) { heard.push_back(c); });
    const auto edit = [&](bool changed, const QString &after) {
        QCOMPARE(drawing(m), after);
        QCOMPARE(heard.size(), std::size_t(changed));
        heard.clear();
    };
    QVERIFY(m.paintCell(1, 0, true));
    edit(true, ".#../..../....");
    // The Start and Finish pens go on maze cells without a point only.
    QVERIFY(!m.placeStart(1, 0));
    edit(false, ".#../..../....");
    QVERIFY(m.placeStart(2, 1));
    edit(true, ".#../..S./....");
    QVERIFY(!m.placeFinish(2, 1));
    QVERIFY(!m.placeStart(2, 1));
    QVERIFY(!m.placeStart(4, 0));
    QVERIFY(!m.paintCell(-1, 0, true));
    edit(false, ".#../..S./....");
    QVERIFY(m.placeFinish(3, 2));
    edit(true, ".#../..S./...F");
    // Moving a point leaves its old cell maze.
    QVERIFY(m.placeStart(0, 0));
    edit(true, "S#../..../...F");
    // Painting over a point unsets it; painting maze on maze changes nothing.
    QVERIFY(!m.paintCell(2, 2, false));
    edit(false, "S#../..../...F");
    QVERIFY(m.paintCell(3, 2, false));
    edit(true, "S#../..../....");
    QVERIFY(m.paintCell(0, 0, true));
    edit(true, "##../..../....");
    // Invert flips every cell, the points' too, and unsets them.
    QVERIFY(m.placeStart(3, 1));
    edit(true, "##../...S/....");
    QVERIFY(m.invert());
    edit(true, "..##/####/####");
    QVERIFY(m.invert());
    edit(true, "##../..../....");
    // Import takes the picture's cells and unsets the points; the same cells again change nothing.
    CellMap picture(4, 3);
    picture.set(3, 2);
    QVERIFY(m.placeFinish(2, 2));
    edit(true, "##../..../..F.");
    QVERIFY(m.replace(picture));
    edit(true, "..../..../...#");
    QVERIFY(!m.replace(picture));
    edit(false, "..../..../...#");
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, m.replace(CellMap(3, 4)));
    QVERIFY(m.placeStart(0, 0));
    QVERIFY(m.clear());
    heard.clear();
    edit(false, "..../..../....");
    QVERIFY(!m.clear());
    edit(false, "..../..../....");
    // Both points at once: on maze cells and apart, as one change; in place again, none.
    QVERIFY(m.paintCell(1, 1, true));
    edit(true, "..../.#../....");
    QVERIFY(!m.placePoints({1, 1}, {3, 2}));
    QVERIFY(!m.placePoints({0, 0}, {0, 0}));
    QVERIFY(!m.placePoints({0, 0}, {4, 0}));
    edit(false, "..../.#../....");
    QVERIFY(m.placePoints({0, 0}, {3, 2}));
    edit(true, "S.../.#../...F");
    QVERIFY(m.placePoints({3, 2}, {0, 0}));
    edit(true, "F.../.#../...S");
    QVERIFY(!m.placePoints({3, 2}, {0, 0}));
    edit(false, "F.../.#../...S");
    QVERIFY(m.clear());
    heard.clear();
    // Acceptance reads the painting as it stands.
    QVERIFY(m.placeStart(0, 0));
    QVERIFY(m.placeFinish(3, 2));
    NodeGrid grid;
    QVERIFY(accept_matte(m.painting(), false, grid).accepted());
}

void TestMatteCore::modelFromBlocked()
{
    NodeGrid grid;
    accept_matte(painted("#..#/.S../..#F"), false, grid);
    const auto opened = [&](NodePoint start, NodePoint finish, int cols = 4) {
        const std::optional<MatteModel> m = MatteModel::fromBlocked(grid, cols, 3, start, finish);
        return m ? drawing(*m) : QStringLiteral("none");
    };
    QCOMPARE(opened({4, 4}, {8, 6}), "#..#/.S../..#F");
    QCOMPARE(opened({4, 4}, {}), "#..#/.S../..#.");
    // A point on a paper cell makes it maze.
    QCOMPARE(opened({2, 2}, {8, 6}), "S..#/..../..#F");
    QCOMPARE(opened({3, 4}, {8, 6}), "none");
    QCOMPARE(opened({4, 4}, {4, 4}), "none");
    QCOMPARE(opened({4, 4}, {10, 6}), "none");
    QCOMPARE(opened({4, 4}, {8, 6}, 5), "none");
}

void TestMatteCore::importKeepsPointsOnMazeCells_data()
{
    QTest::addColumn<MatteCell>("start");
    QTest::addColumn<MatteCell>("finish");
    QTest::addColumn<QString>("after");
    // The picture: paper at (1, 0) only.
    QTest::newRow("both on maze cells") << MatteCell{0, 0} << MatteCell{2, 1} << "S#./..F";
    QTest::newRow("start on paper") << MatteCell{1, 0} << MatteCell{2, 1} << ".#./..F";
    QTest::newRow("finish outside") << MatteCell{0, 1} << MatteCell{3, 1} << ".#./S..";
    QTest::newRow("one cell for both") << MatteCell{2, 0} << MatteCell{2, 0} << ".#S/...";
    QTest::newRow("none given") << MatteCell{} << MatteCell{} << ".#./...";
}

void TestMatteCore::importKeepsPointsOnMazeCells()
{
    QFETCH(MatteCell, start);
    QFETCH(MatteCell, finish);
    QFETCH(QString, after);
    MatteModel m(3, 2);
    QVERIFY(m.placeStart(1, 1));
    CellMap picture(3, 2);
    picture.set(1, 0);
    QVERIFY(m.replace(picture, start, finish));
    QCOMPARE(drawing(m), after);
    QVERIFY(!m.blank());
    QVERIFY(m.clear());
    QVERIFY(m.blank());
}

void TestMatteCore::undoAndRedoRestoreEveryStep()
{
    // Random edits of every kind; after each, the whole painting is kept to compare.
    std::mt19937 rng(5);
    MatteModel m(9, 7);
    MatteHistory history;
    m.setObserver([&](const MatteChange &c) { history.record(c); });
    auto any = [&](int n) { return int(rng() % unsigned(n)); };
    std::vector<QString> states{drawing(m)};
    std::vector<MattePainting> paintings{m.painting()};
    for (int i = 0; states.size() < 60 && i < 2000; ++i) {
        bool changed = false;
        switch (any(7)) {
        case 0:
        case 1:
            changed = m.paintCell(any(9), any(7), any(3) != 0);
            break;
        case 2:
            changed = m.placeStart(any(9), any(7));
            break;
        case 3:
            changed = m.placeFinish(any(9), any(7));
            break;
        case 4:
            changed = any(4) == 0 && m.invert();
            break;
        case 5:
            changed = any(4) == 0 && m.clear();
            break;
        case 6: {
            CellMap picture(9, 7);
            for (int k = 0; k < 20; ++k)
                picture.set(any(9), any(7));
            changed = m.replace(picture, {any(9), any(7)}, {any(9), any(7)});
            break;
        }
        }
        if (changed) {
            states.push_back(drawing(m));
            paintings.push_back(m.painting());
        }
    }
    QCOMPARE(history.undoSteps(), states.size() - 1);
    for (std::size_t k = states.size() - 1; k > 0; --k) {
        QVERIFY(history.undo(m));
        QCOMPARE(drawing(m), states[k - 1]);
        QVERIFY(m.painting().paper == paintings[k - 1].paper);
    }
    QVERIFY(!history.undo(m));
    QVERIFY(!history.canUndo());
    for (std::size_t k = 1; k < states.size(); ++k) {
        QVERIFY(history.redo(m));
        QCOMPARE(drawing(m), states[k]);
    }
    QVERIFY(!history.redo(m));
    // A new edit after an undo forgets what was undone.
    QVERIFY(history.undo(m));
    QVERIFY(history.canRedo());
    m.clear() || m.invert();
    QVERIFY(!history.canRedo());
}

void TestMatteCore::strokesAreOneStep()
{
    MatteModel m(5, 2);
    MatteHistory history;
    m.setObserver([&](const MatteChange &c) { history.record(c); });
    QVERIFY(m.placeStart(4, 1));
    const QString before = drawing(m);
    // Paper across the top, back to maze on one cell, then over the start: one step.
    history.beginStroke();
    for (int cx = 0; cx < 5; ++cx)
        m.paintCell(cx, 0, true);
    m.paintCell(2, 0, false);
    m.paintCell(4, 1, true);
    history.endStroke();
    QCOMPARE(drawing(m), "##.##/....#");
    QCOMPARE(history.undoSteps(), 2u);
    QCOMPARE(history.storedCells(), 5u);  // cell 2 went and came back
    QVERIFY(history.undo(m));
    QCOMPARE(drawing(m), before);
    QVERIFY(history.redo(m));
    QCOMPARE(drawing(m), "##.##/....#");
    // A stroke that ends where it began leaves no step; moving the start is one step.
    history.beginStroke();
    m.paintCell(0, 1, true);
    m.paintCell(0, 1, false);
    history.endStroke();
    QCOMPARE(history.undoSteps(), 2u);
    history.beginStroke();
    for (int cx = 0; cx < 4; ++cx)
        m.placeStart(cx, 1);
    history.endStroke();
    QCOMPARE(drawing(m), "##.##/...S#");
    QVERIFY(history.undo(m));
    QCOMPARE(drawing(m), "##.##/....#");
}

void TestMatteCore::historyKeepsWithinItsBudget()
{
    MatteModel m(10, 10);
    MatteHistory history(250);
    m.setObserver([&](const MatteChange &c) { history.record(c); });
    QVERIFY(m.invert());  // 100 cells a step
    QVERIFY(m.invert());
    QCOMPARE(history.undoSteps(), 2u);
    QVERIFY(m.invert());
    QCOMPARE(history.undoSteps(), 2u);  // the first is gone
    QCOMPARE(history.storedCells(), 200u);
    // The newest step stays however large it is.
    MatteHistory tiny(10);
    m.setObserver([&](const MatteChange &c) { tiny.record(c); });
    QVERIFY(m.invert());
    QVERIFY(m.invert());
    QCOMPARE(tiny.undoSteps(), 1u);
    QVERIFY(tiny.undo(m));
    QCOMPARE(m.painting().paper.count(), 0u);
    QVERIFY(!tiny.undo(m));
}

void TestMatteCore::strokeLinesAreUnbroken_data()
{
    QTest::addColumn<MatteCell>("from");
    QTest::addColumn<MatteCell>("to");
    QTest::addColumn<QString>("cells");
    // Where a line passes a corner exactly, which cell it takes, alike both ways; the rest
    // is the random lines' to check.
    QTest::newRow("diagonal: corners go down first") << MatteCell{0, 0} << MatteCell{2, 2} << "0,0 0,1 1,1 1,2 2,2";
    QTest::newRow("shallow") << MatteCell{0, 0} << MatteCell{4, 1} << "0,0 1,0 2,0 2,1 3,1 4,1";
    QTest::newRow("shallow, backwards") << MatteCell{4, 1} << MatteCell{0, 0} << "4,1 3,1 2,1 2,0 1,0 0,0";
}

void TestMatteCore::strokeLinesAreUnbroken()
{
    QFETCH(MatteCell, from);
    QFETCH(MatteCell, to);
    QFETCH(QString, cells);
    QStringList got;
    for (const MatteCell c : cells_on_line(from, to))
        got << QStringLiteral("%1,%2").arg(c.cx).arg(c.cy);
    QCOMPARE(got.join(u' '), cells);
}

void TestMatteCore::randomStrokeLinesCrossEveryCellTheyName()
{
    // Each cell a step from the last, both ends included, and the line between the centres
    // meets every cell's closed square (clipped exactly, as a line to a box).
    const auto meets = [](MatteCell a, MatteCell b, MatteCell c) {
        double lo = 0, hi = 1;
        for (const auto [from, to, centre] : {std::array{a.cx, b.cx, c.cx}, std::array{a.cy, b.cy, c.cy}}) {
            const double d = to - from;
            if (d == 0) {
                if (std::abs(from - centre) > 0.5)
                    return false;
                continue;
            }
            const double t1 = (centre - 0.5 - from) / d, t2 = (centre + 0.5 - from) / d;
            lo = std::max(lo, std::min(t1, t2));
            hi = std::min(hi, std::max(t1, t2));
        }
        return lo <= hi + 1e-12;
    };
    std::mt19937 rng(11);
    for (int i = 0; i < 2000; ++i) {
        const MatteCell a{int(rng() % 41) - 20, int(rng() % 41) - 20}, b{int(rng() % 41) - 20, int(rng() % 41) - 20};
        const std::vector<MatteCell> line = cells_on_line(a, b);
        QCOMPARE(line.front(), a);
        QCOMPARE(line.back(), b);
        QCOMPARE(qsizetype(line.size()), qsizetype(std::abs(b.cx - a.cx) + std::abs(b.cy - a.cy) + 1));
        for (std::size_t k = 1; k < line.size(); ++k)
            QCOMPARE(std::abs(line[k].cx - line[k - 1].cx) + std::abs(line[k].cy - line[k - 1].cy), 1);
        for (const MatteCell c : line)
            QVERIFY2(meets(a, b, c), qPrintable(QStringLiteral("(%1,%2) on (%3,%4)-(%5,%6)")
                                                     .arg(c.cx).arg(c.cy).arg(a.cx).arg(a.cy).arg(b.cx).arg(b.cy)));
    }
}

QTEST_APPLESS_MAIN(TestMatteCore)
#include "tst_matte_core.moc"

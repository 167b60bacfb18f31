#include "matte/acceptance.h"
#include "matte/completion.h"
#include "render/text_maze.h"
#include "tests/support.h"
#include "tests/text_oracle.h"

#include <QtTest>

#include <string>

using namespace text_oracle;

namespace {

/// A matte shaped like a ring with a bar across it, start on the left, finish on the right.
void acceptRingMatte(MazeState &s, int cols, int rows)
{
    MattePainting painting{CellMap(cols, rows, true), {1, rows / 2}, {cols - 2, rows / 2}};
    const double cx = (cols - 1) / 2.0, cy = (rows - 1) / 2.0;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            const double u = (i - cx) / (cols / 2.0), v = (j - cy) / (rows / 2.0);
            const double r = u * u + v * v;
            const bool bar = j >= rows / 2 - 1 && j <= rows / 2 + 1;
            painting.paper.set(i, j, !((r < 1.0 && r > 0.3) || (bar && r < 1.0)));
        }
    const MatteResult result = accept_matte(painting, false, s.grid);
    QVERIFY(result.accepted());
    const NodePoint start = pointOf(result.start), finish = pointOf(result.finish);
    s.UseMatte = true;
    s.StartX = std::int16_t(start.x);
    s.StartY = std::int16_t(start.y);
    s.FinishX = std::int16_t(finish.x);
    s.FinishY = std::int16_t(finish.y);
}

MazeState generated(const params::Choices &c, std::uint32_t seed)
{
    return support::carvedMaze(c, seed, [&](MazeState &s) {
        if (c.usesMatte())
            acceptRingMatte(s, int(c.widthCells), int(c.heightCells));
    });
}

} // namespace

class TestSolve : public QObject {
    Q_OBJECT
private slots:
    void agreesWithAnIndependentSearch_data();
    void agreesWithAnIndependentSearch();
    void findsTheFramesPointsOnceGenerateHasResetThem();
    void unreachableFinishLeavesNoMarks();
    void aNewMazeOnAKeptMatteStartsUnsolved();
};

void TestSolve::agreesWithAnIndependentSearch_data()
{
    using params::DifficultyChoice;
    using params::MazeTypeChoice;
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("difficulty");
    QTest::addColumn<double>("loops");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::addColumn<uint>("seed");
    const struct {
        const char *name;
        MazeTypeChoice type;
    } types[] = {{"tlbr", MazeTypeChoice::TopLeftToBottomRight}, {"grid", MazeTypeChoice::Grid},
                 {"matte", MazeTypeChoice::CustomMatte}};
    for (const auto &type : types)
        for (const auto difficulty : {DifficultyChoice::Easier, DifficultyChoice::Harder})
            for (const double loops : {0.0, 60.0}) {
                const QByteArray name = QByteArray(type.name) + (difficulty == DifficultyChoice::Harder ? " harder" : " easier")
                                        + (loops > 0 ? " loops" : " perfect");
                QTest::newRow(name.constData()) << int(type.type) << int(difficulty) << loops << 37 << 23 << 5u;
                QTest::newRow((name + " small").constData()) << int(type.type) << int(difficulty) << loops << 9 << 8 << 11u;
            }
}

void TestSolve::agreesWithAnIndependentSearch()
{
    QFETCH(int, type);
    QFETCH(int, difficulty);
    QFETCH(double, loops);
    QFETCH(int, cols);
    QFETCH(int, rows);
    QFETCH(uint, seed);
    params::Choices c;
    c.type = params::MazeTypeChoice(type);
    c.difficulty = params::DifficultyChoice(difficulty);
    c.loops = loops > 0;
    c.loopPercent = loops;
    c.widthCells = cols;
    c.heightCells = rows;
    MazeState s = generated(c, seed);
    const TextMaze plain(maze_text(s));

    const MazeMeasures m = solve_maze(s);
    const QList<QPoint> path = shortestNodePath(plain);
    QVERIFY(!path.isEmpty());
    QVERIFY(m.solved);
    QCOMPARE(m.solutionLength, path.size() / 2 + 1);
    const TextMeasures expected = measureText(plain);
    QCOMPARE(m.deadEnds, expected.deadEnds);
    QCOMPARE(m.junctions, expected.junctions);
    QCOMPARE(m.longestCorridor, expected.corridor);

    // The key's '+' nodes join S to F in one chain as long as the shortest path.
    const TextMaze key(maze_text(s, true));
    int pluses = 0;
    for (const std::string &row : key.rows)
        pluses += int(std::count(row.begin(), row.end(), '+'));
    QCOMPARE(pluses, int(path.size()) - 2);
    QPoint at = key.find('S'), came(-1, -1);
    for (int step = 0; step + 1 < path.size(); ++step) {
        QPoint next(-1, -1);
        int ways = 0;
        for (const QPoint d : {QPoint(1, 0), QPoint(0, 1), QPoint(-1, 0), QPoint(0, -1)}) {
            const char c2 = key.at(at.x() + d.x(), at.y() + d.y());
            if ((c2 == '+' || c2 == 'F') && at + d != came) {
                next = at + d;
                ++ways;
            }
        }
        QCOMPARE(ways, 1);
        came = at;
        at = next;
    }
    QCOMPARE(key.at(at.x(), at.y()), 'F');

    // In a maze without loops the path is the only one: its turns and junctions are known.
    if (loops == 0) {
        long long turns = 0, junctions = 0;
        for (int k = 0; k < path.size(); k += 2) {
            const QPoint cell = path[k];
            junctions += plain.sides(cell.x() / 2, cell.y() / 2) >= 3;
            if (k >= 2 && k + 2 < path.size())
                turns += (path[k] - path[k - 2]) != (path[k + 2] - path[k]);
        }
        QCOMPARE(m.solutionTurns, turns);
        QCOMPARE(m.solutionJunctions, junctions);
    }

    // The search's scratch is gone; a second solve marks the same path.
    for (int y = 0; y <= s.grid.height(); ++y)
        for (int x = 0; x <= s.grid.width(); ++x)
            QVERIFY(!s.grid.retraced(x, y));
    const std::string first = maze_text(s, true);
    const MazeMeasures again = solve_maze(s);
    QCOMPARE(maze_text(s, true), first);
    QCOMPARE(again.solutionTurns, m.solutionTurns);
}

void TestSolve::findsTheFramesPointsOnceGenerateHasResetThem()
{
    for (const auto type : {params::MazeTypeChoice::TopLeftToBottomRight, params::MazeTypeChoice::Grid}) {
        params::Choices c;
        c.type = type;
        c.widthCells = 31;
        c.heightCells = 12;
        MazeState s = generated(c, 3);
        const MazeMeasures withPoints = solve_maze(s);
        const EndPoints framed = end_points(s);
        s.StartX = s.StartY = s.FinishX = s.FinishY = -1;
        const EndPoints derived = end_points(s);
        QCOMPARE(QList<int>({derived.startX, derived.startY, derived.finishX, derived.finishY}),
                 QList<int>({framed.startX, framed.startY, framed.finishX, framed.finishY}));
        QCOMPARE(solve_maze(s).solutionLength, withPoints.solutionLength);
        QVERIFY(withPoints.solved);
    }
}

void TestSolve::unreachableFinishLeavesNoMarks()
{
    MazeState s;
    s.GridWidth = 7;
    s.GridHeight = 3;
    s.grid.allocate(7, 3);
    s.grid.set(2, 2, NodeGrid::Carved);
    s.grid.set(3, 2, NodeGrid::Carved);
    s.grid.set(4, 2, NodeGrid::Carved);
    s.grid.set(6, 2, NodeGrid::Carved);  // no passage from (4,2) to (6,2)
    s.StartX = 2;
    s.StartY = 2;
    s.FinishX = 6;
    s.FinishY = 2;
    const MazeMeasures m = solve_maze(s);
    QVERIFY(!m.solved);
    QCOMPARE(m.solutionLength, 0);
    QCOMPARE(m.longestCorridor, 2);
    for (int x = 0; x <= 7; ++x)
        QVERIFY(!s.grid.marked(x, 2));
}

void TestSolve::aNewMazeOnAKeptMatteStartsUnsolved()
{
    params::Choices c;
    c.type = params::MazeTypeChoice::CustomMatte;
    c.widthCells = 21;
    c.heightCells = 15;
    MazeState s = generated(c, 2);
    QVERIFY(solve_maze(s).solved);
    s.rng.seed(3);
    allocate_arrays(s);
    for (int y = 0; y <= s.grid.height(); ++y)
        for (int x = 0; x <= s.grid.width(); ++x)
            QVERIFY2(!s.grid.marked(x, y), qPrintable(QString("(%1, %2)").arg(x).arg(y)));
}

QTEST_APPLESS_MAIN(TestSolve)
#include "tst_solve.moc"

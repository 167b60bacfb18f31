#include "maze/frame.h"
#include "maze/state.h"

#include <QtTest>

namespace {

MazeState framed(int gw, int gh, std::uint8_t type)
{
    MazeState s;
    s.GridWidth = gw;
    s.GridHeight = gh;
    s.MazeType = type;
    s.grid.allocate(gw, gh);
    make_frame(s);
    return s;
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void topLeftToBottomRight_data();
    void topLeftToBottomRight();
    void gridLattice_data();
    void gridLattice();
    void matteKeepsBlockedAndStartsOnTheMatteStart();
};

void TestFrame::topLeftToBottomRight_data()
{
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("corner");
    QTest::newRow("101 x 141 default") << 101 << 141 << 10;
    QTest::newRow("9 x 9 smallest") << 9 << 9 << 4;
    QTest::newRow("41 wide") << 41 << 41 << 4;
    QTest::newRow("61 wide, 9 high") << 61 << 9 << 6;
    QTest::newRow("201 wide, 9 high: squares end inside") << 201 << 9 << 8;
    QTest::newRow("32767 wide, 15 high") << 32767 << 15 << 14;
}

void TestFrame::topLeftToBottomRight()
{
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(int, corner);
    const MazeState s = framed(gw, gh, TopLeftToBottomRight);
    QCOMPARE(QList<int>({s.CornerWidth, s.CornerHeight, s.StartX, s.StartY, s.FinishX, s.FinishY, s.CurX, s.CurY}),
             QList<int>({corner, corner, corner, corner, gw - corner + 1, gh - corner + 1, corner, corner}));
    // Exactly the two squares are blocked, less the finish; only the start is carved.
    for (int y = 0; y <= gh; ++y)
        for (int x = 0; x <= gw; ++x) {
            const bool square = (x >= 1 && x <= corner && y >= 1 && y <= corner) || (x > gw - corner && y > gh - corner);
            const bool finish = x == s.FinishX && y == s.FinishY;
            QVERIFY2(s.grid.blocked(x, y) == (square && !finish) && s.grid.carved(x, y) == (x == corner && y == corner),
                     qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        }
}

void TestFrame::gridLattice_data()
{
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("lastX");
    QTest::addColumn<int>("lastY");
    QTest::newRow("15 x 15 smallest") << 15 << 15 << 14 << 14;
    QTest::newRow("101 x 141") << 101 << 141 << 98 << 140;
    QTest::newRow("19 x 27") << 19 << 27 << 14 << 26;
}

void TestFrame::gridLattice()
{
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(int, lastX);
    QFETCH(int, lastY);
    const MazeState s = framed(gw, gh, GridMaze);

    QCOMPARE(QPoint(s.StartX, s.StartY), QPoint(2, 2));
    QCOMPARE(QPoint(s.FinishX, s.FinishY), QPoint(lastX, lastY));
    QVERIFY(s.grid.carved(2, 2) && !s.grid.blocked(2, 2));
    QVERIFY(s.grid.blocked(1, 2) && s.grid.blocked(1, 1) && s.grid.blocked(2, 1));
    QVERIFY(!s.grid.blocked(1, lastY + 1) && !s.grid.blocked(lastX + 1, 1));
    // The finish is closed off below and to the right.
    QVERIFY(s.grid.blocked(lastX, lastY + 1) && s.grid.blocked(lastX + 1, lastY + 1) && s.grid.blocked(lastX + 1, lastY));
    // The only open cells are the corridors every 6 nodes; beyond the last one all is blocked.
    for (int y = 2; y < gh; y += 2)
        for (int x = 2; x < gw; x += 2) {
            const bool corridor = ((x - 2) % 6 == 0 && y <= lastY) || ((y - 2) % 6 == 0 && x <= lastX);
            QVERIFY2(s.grid.blocked(x, y) != corridor, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        }
    for (int x = lastX + 2; x <= gw; ++x)
        for (int y = 1; y <= gh; ++y)
            QVERIFY2(s.grid.blocked(x, y), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
    QVERIFY(!s.grid.blocked(lastX + 1, lastY - 1));  // the right edge of the last corridor
}

void TestFrame::matteKeepsBlockedAndStartsOnTheMatteStart()
{
    MazeState s;
    s.grid.allocate(11, 11);
    s.grid.set(6, 6, NodeGrid::Blocked);
    s.UseMatte = true;
    s.StartX = 2;
    s.StartY = 4;
    s.FinishX = 10;
    s.FinishY = 10;
    const NodeGrid matte = s.grid;
    make_frame(s);
    QCOMPARE(QPoint(s.CurX, s.CurY), QPoint(2, 4));
    QCOMPARE(QPoint(s.FinishX, s.FinishY), QPoint(10, 10));
    // Only the start is added to the matte's grid.
    for (int y = 0; y <= 11; ++y)
        for (int x = 0; x <= 11; ++x)
            QCOMPARE(s.grid.flags(x, y), std::uint8_t(matte.flags(x, y) | ((x == 2 && y == 4) ? NodeGrid::Carved : 0)));
}

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"

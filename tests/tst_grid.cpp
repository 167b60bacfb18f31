#include "maze/grid.h"

#include <QtTest>

#include <random>
#include <stdexcept>
#include <vector>

/// The grid's four flags per node, packed by blocks of nodes, read back as a plain array of
/// one byte per node holds them.
class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void holdsEveryNodesFlagsApart_data();
    void holdsEveryNodesFlagsApart();
    void refusesSizesOutsideItsRange();
};

void TestGrid::holdsEveryNodesFlagsApart_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("a maze, odd sizes") << 21 << 13;
    QTest::newRow("even width and height") << 12 << 8;
    QTest::newRow("one node") << 0 << 0;
    QTest::newRow("a single row") << 9 << 0;
    QTest::newRow("a single column") << 0 << 7;
}

void TestGrid::holdsEveryNodesFlagsApart()
{
    QFETCH(int, width);
    QFETCH(int, height);
    NodeGrid g;
    g.allocate(width, height);
    QCOMPARE(g.nodeCount(), std::size_t(width + 1) * std::size_t(height + 1));
    std::vector<std::uint8_t> plain(g.nodeCount(), 0);
    const NodeGrid::Flag flags[] = {NodeGrid::Carved, NodeGrid::Blocked, NodeGrid::Retraced, NodeGrid::Mark};

    // Random sets, unsets and assigns, each followed by every node compared: a flag written to
    // one node must show on that node alone.
    std::mt19937 gen(width * 131u + height);
    for (int step = 0; step < 400; ++step) {
        const int x = int(gen() % unsigned(width + 1)), y = int(gen() % unsigned(height + 1));
        const NodeGrid::Flag f = flags[gen() % 4];
        std::uint8_t &p = plain[g.index(x, y)];
        switch (gen() % 3) {
        case 0: g.set(x, y, f), p |= f; break;
        case 1: g.unset(x, y, f), p &= std::uint8_t(~f); break;
        default: {
            const bool v = gen() % 2;
            g.assign(x, y, f, v);
            p = v ? std::uint8_t(p | f) : std::uint8_t(p & ~f);
        }
        }
        for (int yy = 0; yy <= height; ++yy)
            for (int xx = 0; xx <= width; ++xx)
                if (g.flags(xx, yy) != plain[g.index(xx, yy)])
                    QFAIL(qPrintable(QStringLiteral("node (%1, %2) after step %3").arg(xx).arg(yy).arg(step)));
    }
    QCOMPARE(g.carved(0, 0), bool(plain[0] & NodeGrid::Carved));
    QCOMPARE(g.marked(width, height), bool(plain[g.index(width, height)] & NodeGrid::Mark));

    // Whole rows read as the nodes do.
    std::vector<std::uint8_t> row(std::size_t(width) + 1);
    for (int y = 0; y <= height; ++y) {
        g.copyRow(y, row.data());
        QVERIFY(std::equal(row.begin(), row.end(), plain.begin() + std::ptrdiff_t(g.index(0, y))));
    }

    // A copy is equal until a node differs; clearing one flag keeps the others.
    NodeGrid copy = g;
    QVERIFY(copy == g);
    copy.assign(width, height, NodeGrid::Blocked, !g.blocked(width, height));
    QVERIFY(!(copy == g));
    g.clearFlag(NodeGrid::Retraced);
    for (int y = 0; y <= height; ++y)
        for (int x = 0; x <= width; ++x)
            QCOMPARE(g.flags(x, y), std::uint8_t(plain[g.index(x, y)] & ~NodeGrid::Retraced));

    // Allocating again leaves a clear grid.
    g.allocate(width, height);
    for (int y = 0; y <= height; ++y)
        for (int x = 0; x <= width; ++x)
            QCOMPARE(g.flags(x, y), std::uint8_t(0));
}

void TestGrid::refusesSizesOutsideItsRange()
{
    NodeGrid g;
    g.allocate(3, 3);
    g.set(1, 1, NodeGrid::Carved);
    QVERIFY_THROWS_EXCEPTION(std::length_error, g.allocate(NodeGrid::MaxNodes + 1, 3));
    QVERIFY_THROWS_EXCEPTION(std::length_error, g.allocate(3, -1));
    // The largest grid fits: its far corner is a node like any other.
    g.allocate(NodeGrid::MaxNodes, NodeGrid::MaxNodes);
    g.set(NodeGrid::MaxNodes, NodeGrid::MaxNodes, NodeGrid::Mark);
    QVERIFY(g.marked(NodeGrid::MaxNodes, NodeGrid::MaxNodes));
    QVERIFY(!g.marked(NodeGrid::MaxNodes - 1, NodeGrid::MaxNodes));
    QVERIFY(g.memoryBytes() < std::size_t(NodeGrid::MaxNodes + 1) * (NodeGrid::MaxNodes + 1) * 2 / 3);
    g.release();
    QVERIFY(g.empty());
}

QTEST_APPLESS_MAIN(TestGrid)
#include "tst_grid.moc"

#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/path_link.h"
#include "maze/grid.h"

#include <QtTest>

#include <array>
#include <random>

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

} // namespace

class TestMatteCore : public QObject {
    Q_OBJECT
private slots:
    void randomMattesAgreeWithOracles();
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
        CellMap paper(cols, rows), open(cols, rows);
        for (int cy = 0; cy < rows; ++cy)
            for (int cx = 0; cx < cols; ++cx) {
                paper.set(cx, cy, isPaper(rng) && !(cx == sx && cy == sy) && !(cx == fx && cy == fy));
                open.set(cx, cy, !paper.at(cx, cy));
            }
        const bool removeUnused = seed % 2;
        const CellMap reach = reachable(open, sx, sy);
        const QString where = QStringLiteral("seed %1").arg(seed);
        // The editor's sweeps and the command line's flood fill link the same cells.
        const PathCheck check = link_path(open, sx, sy);
        QVERIFY2(check.linked == reach && reach_from(open, sx, sy) == reach, qPrintable(where));
        QCOMPARE(check.count(), qint64(reach.count()) - 1);

        NodeGrid plain, g;
        plain.allocate(2 * cols + 1, 2 * rows + 1);
        mark_cells(plain, paper);
        complete_matte(plain, {}, {});
        const MatteOutcome outcome = accept_matte(paper, pointOfCell(sx, sy), pointOfCell(fx, fy), removeUnused, g);
        QVERIFY2(outcome.accepted() == reach.at(fx, fy), qPrintable(where));
        QCOMPARE(outcome.linkedCount, qint64(reach.count()) - 1);
        accepted += outcome.accepted();
        // Row 0 and column 0 lie outside every matte; a cell's node is excluded if paper, or unreached when removing.
        const bool removed = outcome.accepted() && removeUnused;
        for (int y = 0; y <= g.height(); ++y)
            for (int x = 0; x <= g.width(); ++x) {
                const QString at = where + QStringLiteral(", node (%1, %2)").arg(x).arg(y);
                const int cx = x / 2 - 1, cy = y / 2 - 1;
                QVERIFY2(plain.blocked(x, y) == expectedExcluded(paper, x, y) && ((x > 0 && y > 0) || !g.blocked(x, y)),
                         qPrintable(at));
                if (x > 0 && y > 0 && x % 2 == 0 && y % 2 == 0)
                    QVERIFY2(g.blocked(x, y) == (removed ? !reach.at(cx, cy) : paper.at(cx, cy)), qPrintable(at));
            }
    }
    QVERIFY2(accepted > 50 && accepted < 250, qPrintable(QString::number(accepted)));
}

QTEST_APPLESS_MAIN(TestMatteCore)
#include "tst_matte_core.moc"

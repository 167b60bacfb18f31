#include "maze/frame.h"
#include "maze/hunt_index.h"
#include "maze/progress.h"
#include "maze/walk.h"
#include "maze/walk_steps.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

enum Layout { Corners, Grid, Matte };  // top left to bottom right, grid, an irregular matte
const char *const LayoutNames[] = {"top left to bottom right", "grid", "matte"};

bool isCell(const NodeGrid &g, int x, int y)
{
    return x >= 2 && y >= 2 && x < g.width() && y < g.height() && x % 2 == 0 && y % 2 == 0;
}

/// A framed maze of cols x rows cells, run length 3. A matte has paper on about 3 cells in
/// 10 (for every third seed 6, leaving small pockets) and between paper cells, a few walls
/// closed between open cells, the start on an open cell and the finish (one time in five
/// none) on another, half the time the next one along the row.
MazeState prepare(int layout, int cols, int rows, std::uint32_t seed, bool harder = false)
{
    MazeState s;
    s.Harder = harder;
    s.RunLength = 3;
    s.rng.seed(seed);
    s.MazeType = layout == Grid ? GridMaze : TopLeftToBottomRight;
    s.UseMatte = layout == Matte;
    NodeGrid &g = s.grid;
    g.allocate(int(s.GridWidth = 2 * cols + 1), int(s.GridHeight = 2 * rows + 1));
    std::mt19937 gen(seed * 2654435761u + 17u);
    std::vector<std::pair<int, int>> open;
    for (int y = 2; y < g.height() && s.UseMatte; y += 2)
        for (int x = 2; x < g.width(); x += 2)
            if (gen() % 10 < (seed % 3 ? 3u : 6u) && x + y > 4)
                g.set(x, y, NodeGrid::Blocked);
            else
                open.emplace_back(x, y);
    for (int y = 2; y < g.height() && s.UseMatte; ++y)
        for (int x = 3 - y % 2; x < g.width(); x += 2)
            if ((g.blocked(x - x % 2, y - y % 2) && g.blocked(x + x % 2, y + y % 2)) || gen() % 20 == 0)
                g.set(x, y, NodeGrid::Blocked);
    if (s.UseMatte) {
        const std::size_t start = gen() % open.size();
        const std::size_t finish = gen() % 2 ? gen() % open.size() : (start + 1) % open.size();
        std::tie(s.StartX, s.StartY) = open[start];
        if (gen() % 5 != 0 && finish != start)
            std::tie(s.FinishX, s.FinishY) = open[finish];
    }
    make_frame(s);
    return s;
}

/// The cells reached from the start by steps that `open(x, y, d)` allows.
template <typename Open>
std::vector<char> flood(const MazeState &s, Open open)
{
    const NodeGrid &g = s.grid;
    std::vector<char> seen(g.nodeCount(), 0);
    std::vector<std::pair<int, int>> stack{{s.StartX, s.StartY}};
    for (seen[g.index(s.StartX, s.StartY)] = 1; !stack.empty();) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        for (int d = 1; d <= 4; ++d) {
            const int nx = x + 2 * StepX[d], ny = y + 2 * StepY[d];
            if (isCell(g, nx, ny) && !seen[g.index(nx, ny)] && open(x, y, d))
                stack.emplace_back(nx, ny), seen[g.index(nx, ny)] = 1;
        }
    }
    return seen;
}

/// The fault in a finished walk, if any: carved must be exactly the cells reachable from the
/// start without passing the finish (a blocked one only at the start), carved walls only
/// between carved cells, all joined; Retraced ("Easier" only) on every carved wall and on
/// carved nodes alone; without loops a tree with the finish a leaf. Counts the walls opened.
std::string census(const MazeState &s, long long drawn, bool tree, long long &walls)
{
    const NodeGrid &g = s.grid;
    const auto reach = flood(s, [&](int x, int y, int d) {
        return !(x == s.FinishX && y == s.FinishY) && !g.blocked(x + 2 * StepX[d], y + 2 * StepY[d]);
    });
    const auto joined = flood(s, [&](int x, int y, int d) { return g.carved(x + StepX[d], y + StepY[d]); });
    long long cells = 0;
    walls = 0;
    for (int y = 0; y <= g.height(); ++y)
        for (int x = 0; x <= g.width(); ++x) {
            const bool carved = g.carved(x, y), cell = isCell(g, x, y);
            const std::size_t i = g.index(x, y);
            const int ax = x - x % 2, ay = y - y % 2, bx = x + x % 2, by = y + y % 2;
            const bool joinsCarved = x % 2 != y % 2 && isCell(g, ax, ay) && isCell(g, bx, by) && g.carved(ax, ay)
                                     && g.carved(bx, by);
            const bool fault = (g.retraced(x, y) && (s.Harder || !carved))
                               || (cell && (carved != bool(reach[i]) || carved != bool(joined[i])))
                               || (cell && carved && g.blocked(x, y) && !(x == s.StartX && y == s.StartY))
                               || (!cell && carved && (!joinsCarved || (!s.Harder && !g.retraced(x, y))));
            if (fault)
                return "wrong node at " + std::to_string(x) + ", " + std::to_string(y);
            cells += cell && carved;
            walls += !cell && carved;
        }
    int openings = 0;
    for (int d = 1; d <= 4 && isCell(g, s.FinishX, s.FinishY); ++d)
        openings += g.carved(s.FinishX + StepX[d], s.FinishY + StepY[d]);
    if (cells != drawn || (tree && (walls != cells - 1 || openings > 1)))
        return std::to_string(drawn) + " nodes drawn, " + std::to_string(cells) + " cells, " + std::to_string(walls)
               + " walls, " + std::to_string(openings) + " ways into the finish";
    return {};
}

/// Records a walk's reports, and the run length and generator when events follow each; asks
/// the walk to stop at report `stopAt` (0: never).
struct Recorder : Progress {
    explicit Recorder(const MazeState *s = nullptr, std::size_t stopAt = 0) : state(s), stopAt(stopAt) {}
    void phase(Phase p, int) override { phases.push_back(p); }
    void nodesDrawn(long long n) override { reports.push_back(n); }
    void processEvents() override
    {
        atEvents.emplace_back(state ? state->RunLength : -1, state ? state->rng : Random());
    }
    bool stopRequested() const override { return stopAt > 0 && reports.size() >= stopAt; }
    const MazeState *state;
    std::size_t stopAt;
    std::vector<Phase> phases;
    std::vector<long long> reports;
    std::vector<std::pair<int, Random>> atEvents;
};

/// Int(random x n), one of 0..n - 1.
int draw(MazeState &s, int n)
{
    return static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * n));
}

// The walk's routines as written, one rule at a time, on DirList: the reference
// that the walks' own steps on masks are held to.

/// The free neighbours: the nodes two steps away inside the grid, neither carved nor blocked.
void get_dirs(MazeState &s)
{
    const NodeGrid &g = s.grid;
    int n = 0;
    for (int d = 1; d <= 4; ++d) {
        const int x = s.CurX + 2 * StepX[d], y = s.CurY + 2 * StepY[d];
        if (x == 0 || x > g.width() || y == 0 || y > g.height() || g.carved(x, y) || g.blocked(x, y))
            continue;
        s.DirList[++n] = static_cast<std::uint8_t>(d);
    }
    s.DirList[0] = static_cast<std::uint8_t>(n);
}

/// The ways back: carved, unretraced wall nodes off the border.
void get_exits(MazeState &s)
{
    const NodeGrid &g = s.grid;
    int n = 0;
    for (int d = 1; d <= 4; ++d) {
        const int x = s.CurX + StepX[d], y = s.CurY + StepY[d];
        if (x < 2 || x > g.width() - 1 || y < 2 || y > g.height() - 1 || g.retraced(x, y) || !g.carved(x, y))
            continue;
        s.DirList[++n] = static_cast<std::uint8_t>(d);
    }
    s.DirList[0] = static_cast<std::uint8_t>(n);
}

/// The weighted choice among DirList[1..DirList[0]]: 3, or RunLength straight on; times 8 on
/// the favoured axis; plus 1.
std::uint8_t pick_dirs(MazeState &s)
{
    std::array<int, 5> weight{};
    int total = 0;
    for (int i = 1; i <= s.DirList[0]; ++i) {
        const int d = s.DirList[i];
        int w = d == s.LastDir ? s.RunLength : 3;
        if ((s.RunBias == 1 && (d == Right || d == Left)) || (s.RunBias == 2 && (d == Down || d == Up)))
            w *= 8;
        weight[i] = w + 1;
        total += w + 1;
    }
    int r = draw(s, total) + 1;
    for (int i = 1; i <= s.DirList[0]; ++i)
        if ((r -= weight[i]) <= 0)
            return s.DirList[i];
    return NoDirection;
}

/// A loop at a dead end: a wall to a neighbouring cell inside the grid that is not blocked
/// and, when easier, not retraced, where the wall is neither carved nor blocked. Easier marks
/// the opened wall retraced.
void make_loop(MazeState &s)
{
    NodeGrid &g = s.grid;
    int n = 0;
    for (int d = 1; d <= 4; ++d) {
        const int x2 = s.CurX + 2 * StepX[d], y2 = s.CurY + 2 * StepY[d];
        const int x1 = s.CurX + StepX[d], y1 = s.CurY + StepY[d];
        if (x2 <= 1 || x2 >= g.width() || y2 <= 1 || y2 >= g.height())
            continue;
        if ((!s.Harder && g.retraced(x2, y2)) || g.blocked(x2, y2) || g.carved(x1, y1) || g.blocked(x1, y1))
            continue;
        s.DirList[++n] = static_cast<std::uint8_t>(d);
    }
    if (n == 0)
        return;
    const int d = s.DirList[draw(s, n) + 1];
    g.set(s.CurX + StepX[d], s.CurY + StepY[d], NodeGrid::Carved);
    if (!s.Harder)
        g.set(s.CurX + StepX[d], s.CurY + StepY[d], NodeGrid::Retraced);
}

/// The hunt's scan as written, from (rx, ry): stops on a carved cell other than the finish
/// with a free neighbour (true) or back on the origin, resets LastDir on passing a carved
/// cell without one, and unflags the rows it crosses whole without a free cell.
bool literalHunt(MazeState &s, int rx, int ry)
{
    const NodeGrid &g = s.grid;
    int rowState = 0;
    for (s.CurX = rx, s.CurY = ry;;) {
        const bool carved = g.carved(s.CurX, s.CurY);
        rowState = !carved && !g.blocked(s.CurX, s.CurY) ? 1 : rowState;
        if (carved && !(s.CurX == s.FinishX && s.CurY == s.FinishY)) {
            if (get_dirs(s), s.DirList[0] > 0)
                return true;
            s.LastDir = 0;
        }
        if ((s.CurX += 2) > g.width() - 1) {
            if (rowState == -1)
                s.RowFlags[s.CurY] = 0;
            rowState = -1;
            s.CurX = 2;
            do
                s.CurY = static_cast<std::int16_t>(s.CurY + 2 > g.height() - 1 ? 2 : s.CurY + 2);
            while (!s.RowFlags[s.CurY] && s.CurY != ry);
        }
        if (s.CurX == rx && s.CurY == ry)
            return false;
    }
}

/// Both walks as written, on the routines above and the literal hunt: the reference for the
/// walks' own steps and for the hunt's index.
long long literalWalk(MazeState &s, Progress &progress)
{
    NodeGrid &g = s.grid;
    const auto randomRun = [&] {
        if (const int k = s.RandomRun ? draw(s, 8) : -1; k >= 0)
            s.RunLength = static_cast<std::int16_t>(k * k);
    };
    long long nodesDrawn = 1;
    const auto carve = [&](std::uint8_t d) {
        g.set(s.CurX += StepX[d], s.CurY += StepY[d], NodeGrid::Carved);
        g.set(s.CurX += StepX[d], s.CurY += StepY[d], NodeGrid::Carved);
        if (s.Harder)
            s.RowFlags[s.CurY] = 1;
        s.LastDir = d;
        ++nodesDrawn;
    };
    if (s.Harder) {
        s.RowFlags.resize(std::size_t(g.height()) + 1);
        s.RowFlags[s.StartY] = 1;
    }
    progress.phase(Phase::Generating);
    s.LastDir = 0;
    randomRun();
    for (int tick = 1;; ++tick) {
        if (tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            randomRun();
        }
        if (s.CurX == s.FinishX && s.CurY == s.FinishY)
            s.CurX = s.StartX, s.CurY = s.StartY, s.LastDir = 0;
        if (get_dirs(s), s.DirList[0] > 0) {
            carve(pick_dirs(s));
            continue;
        }
        if (static_cast<float>(static_cast<double>(s.Rnd()) * 100) <= s.LoopChance && s.LoopChance > 0)
            make_loop(s);
        if (!s.Harder) {
            if (get_exits(s), s.DirList[0] == 0)
                break;
            const std::uint8_t d = s.DirList[draw(s, s.DirList[0]) + 1];
            g.set(s.CurX, s.CurY, NodeGrid::Retraced);
            g.set(s.CurX += StepX[d], s.CurY += StepY[d], NodeGrid::Retraced);
            s.CurX += StepX[d], s.CurY += StepY[d], s.LastDir = 0;
            continue;
        }
        const int rx = draw(s, (g.width() - 3) / 2) * 2 + 2;
        int ry = 0, tries = 0;
        do
            ry = draw(s, (g.height() - 3) / 2) * 2 + 2;
        while (!s.RowFlags[ry] && ++tries <= g.height());
        if (!literalHunt(s, rx, ry))
            break;
        carve(pick_dirs(s));
    }
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

long long walk(MazeState &s, Progress &progress)
{
    return s.Harder ? make_maze_2(s, progress) : make_maze(s, progress);
}

/// Everything a walk leaves behind, down to the next random number.
auto snapshot(MazeState s)
{
    return std::tuple{s.grid, s.RowFlags, s.CurX, s.CurY, s.LastDir, s.RunLength, s.DirList[0], s.Rnd()};
}

/// Advances `rng` so that its next number is exactly k / 2^24, skipping numbers of its sequence.
void scriptNext(Random &rng, std::uint32_t k)
{
    for (Random probe = rng; probe.next() != static_cast<float>(k) / 16777216.0f;)
        rng.next();
}

} // namespace

class TestWalks : public QObject {
    Q_OBJECT
private slots:
    void carveTheReachableCellsAsTheLiteralWalk_data();
    void carveTheReachableCellsAsTheLiteralWalk();
    void pickDirsWeighsAsWritten();
    void smallAndRefusedGrids();
};

void TestWalks::carveTheReachableCellsAsTheLiteralWalk_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("harder");
    QTest::addColumn<float>("loopChance");
    QTest::addColumn<bool>("randomRun");
    for (const int layout : {Corners, Grid, Matte})
        for (const bool harder : {false, true})
            for (const float loops : {0.0f, 2.5f, 25.0f})
                for (const bool randomRun : {false, true})
                    QTest::addRow("%s, %s, loop chance %g%s", LayoutNames[layout], harder ? "harder" : "easier",
                                  loops, randomRun ? ", random run" : "")
                        << layout << harder << loops << randomRun;
}

void TestWalks::carveTheReachableCellsAsTheLiteralWalk()
{
    QFETCH(int, layout);
    QFETCH(bool, harder);
    QFETCH(float, loopChance);
    QFETCH(bool, randomRun);
    // Random sizes, seeds and run settings; among them small ones, and wide and low ones whose
    // rows are several 64-cell pieces long, which the hunt's index treats apart; last the
    // default maze.
    std::mt19937 gen(layout * 31u + harder);
    const int least = layout == Grid ? 7 : layout == Corners ? 4 : 1, count = 30 + (layout == Corners);
    int withCycles = 0;
    for (int i = 0; i < count; ++i) {
        const bool wide = i % 6 == 5, small = i % 3 == 1, byDefault = i == 30;
        const int cols = byDefault ? 50 : wide ? 64 + int(gen() % 160) : least + int(gen() % (small ? 4 : 40));
        int rows = byDefault ? 70 : least + int(gen() % (wide || small ? 6 : 40));
        if (layout == Corners)
            rows = std::max(rows, (2 * cols + 1) / 20 * 2);  // the corner squares must fit
        MazeState fast = prepare(layout, cols, rows, gen(), harder);
        if (!byDefault) {
            fast.RunLength = std::array<std::int16_t, 6>{0, 1, 3, 8, 54, 4095}[gen() % 6];
            fast.RunBias = static_cast<std::uint8_t>(gen() % 3);
        }
        fast.LoopChance = loopChance;
        fast.RandomRun = randomRun;
        MazeState literal = fast, stopped = fast;
        Recorder a(&fast), b, stopping(nullptr, 3);
        const long long drawn = walk(fast, a);
        long long walls = 0;
        const std::string fault = census(fast, drawn, loopChance == 0, walls);
        const std::string name = std::to_string(fast.GridWidth) + " x " + std::to_string(fast.GridHeight) + " seed "
                                 + std::to_string(fast.rng.currentSeed());
        QVERIFY2(fault.empty(), (name + ": " + fault).c_str());
        withCycles += walls > drawn - 1;
        if (byDefault)  // 101 x 141 nodes: 50 x 70 cells less the corner squares' 2 x 25, and the start
            QCOMPARE(drawn, 3452);
        // A finished harder walk stands on the origin of its last scan: in the last column only
        // when it is the only one.
        QVERIFY(!harder || fast.CurX == 2 || fast.CurX < fast.GridWidth - 2);
        QCOMPARE(drawn, literalWalk(literal, b));
        QCOMPARE(a.reports, b.reports);
        QCOMPARE(a.atEvents.size(), b.atEvents.size());
        QVERIFY(a.phases == std::vector<Phase>{Phase::Generating});
        QVERIFY2(snapshot(fast) == snapshot(literal), name.c_str());
        // A random run length in force at a report was drawn by the first number after the
        // previous one (or the walk's first number), and by nothing since: a square of 0..7.
        for (std::size_t r = 0; randomRun && r < a.atEvents.size(); ++r) {
            Random source = r == 0 ? stopped.rng : a.atEvents[r - 1].second;
            const int k = static_cast<int>(std::floor(static_cast<double>(source.next()) * 8));
            QCOMPARE(a.atEvents[r].first, k * k);
        }
        // A stop request at the third report ends the walk there, without a last report.
        QCOMPARE(walk(stopped, stopping), a.reports.size() > 3 ? a.reports[2] : drawn);
        QCOMPARE(stopping.reports.size(), std::min(a.reports.size(), std::size_t(3)));
    }
    QVERIFY2(loopChance < 25 || withCycles > count / 4, std::to_string(withCycles).c_str());
}

void TestWalks::pickDirsWeighsAsWritten()
{
    // Run length 0: straight on weighs 1 against 4 and 4, a ninth of the draws. Horizontal
    // bias, run length 3, last move right: right 3 x 8 + 1 = 25 against down 4; at 14463117
    // the product is 24.9999996, which a single-precision product rounds up to 25. Vertical
    // bias, run length 0, last move up: right 4, down 25 and up 1, up from 29/30 on.
    const std::vector<int> three{1, 2, 3}, ninth{1, 4, 4}, two{1, 2}, biased{25, 4}, turns{1, 2, 4};
    const struct {
        const char *name;
        std::uint8_t lastDir;
        std::int16_t runLength;
        std::uint8_t runBias;
        std::vector<int> dirs, weights;
        std::uint32_t draw;  // the random number x 2^24
        int chosen;
    } cases[] = {
        {"straight on, lowest draw", 1, 0, 0, three, ninth, 0, 1},
        {"straight on, last draw of its ninth", 1, 0, 0, three, ninth, 1864135, 1},
        {"first turn, first draw past the ninth", 1, 0, 0, three, ninth, 1864136, 2},
        {"second turn, highest draw", 1, 0, 0, three, ninth, 16777215, 3},
        {"25 against 4, last draw for right", 1, 3, 1, two, biased, 14463117, 1},
        {"25 against 4, first draw for down", 1, 3, 1, two, biased, 14463118, 2},
        {"vertical bias, last draw for down", 4, 0, 2, turns, {4, 25, 1}, 16217975, 2},
        {"vertical bias, first draw for up", 4, 0, 2, turns, {4, 25, 1}, 16217976, 4},
    };
    for (const auto &c : cases) {
        MazeState s;
        s.LastDir = c.lastDir;
        s.RunLength = c.runLength;
        s.RunBias = c.runBias;
        unsigned mask = 0;
        for (std::size_t i = 0; i < c.dirs.size(); ++i) {
            mask |= 1u << (c.dirs[i] - 1);
            QVERIFY2(walk_steps::weight(c.dirs[i], c.lastDir, c.runLength, c.runBias) == c.weights[i], c.name);
        }
        const walk_steps::Chooser chooser(s);
        QVERIFY2(chooser.pick(mask, c.lastDir, c.draw) == c.chosen, c.name);
        // The reference the walks are compared with chooses alike, from one number.
        s.DirList[0] = static_cast<std::uint8_t>(c.dirs.size());
        std::copy(c.dirs.begin(), c.dirs.end(), s.DirList.begin() + 1);
        scriptNext(s.rng, c.draw);
        Random after = s.rng;
        after.next();
        QVERIFY2(pick_dirs(s) == c.chosen, c.name);
        QVERIFY2(s.rng.next() == after.next(), c.name);
    }
}

void TestWalks::smallAndRefusedGrids()
{
    for (const bool harder : {false, true}) {
        // A start without a free neighbour, alone or walled in by paper, is the whole maze.
        for (const int cols : {1, 5}) {
            MazeState s = prepare(Matte, cols, cols, 1, harder);
            for (int d = 1; d <= 4; ++d)
                if (isCell(s.grid, s.StartX + 2 * StepX[d], s.StartY + 2 * StepY[d]))
                    s.grid.set(s.StartX + 2 * StepX[d], s.StartY + 2 * StepY[d], NodeGrid::Blocked);
            Recorder progress;
            QCOMPARE(walk(s, progress), 1);
            QCOMPARE(progress.reports, std::vector<long long>{1});
            int carved = 0;
            for (int y = 0; y <= s.grid.height(); ++y)
                for (int x = 0; x <= s.grid.width(); ++x)
                    carved += s.grid.flags(x, y) == NodeGrid::Carved;
            QCOMPARE(carved, 1);
        }
        // Past the finish a walk goes on from the start as from a dead end, LastDir 0: on a 3 x 3
        // matte, the start in the middle and the finish in a corner, straight on weighing 1
        // against 4, the next step from the start often differs otherwise.
        for (std::uint32_t seed = 1; seed <= 150; ++seed) {
            MazeState s;
            s.Harder = harder;
            s.UseMatte = true;
            s.grid.allocate(7, 7);
            s.StartX = s.StartY = 4;
            s.FinishX = s.FinishY = 6;
            make_frame(s);
            s.rng.seed(seed);
            MazeState literal = s;
            Recorder a, b;
            QCOMPARE(walk(s, a), literalWalk(literal, b));
            QVERIFY2(snapshot(s) == snapshot(literal), std::to_string(seed).c_str());
        }
        // With loops off, a draw of exactly 0 at the dead end (2, 2) still opens no loop to (4, 2).
        MazeState s;
        s.Harder = harder;
        s.grid.allocate(7, 3);
        s.StartX = s.StartY = s.CurX = s.CurY = 2;
        s.grid.set(2, 2, NodeGrid::Carved);
        s.grid.set(4, 2, NodeGrid::Carved);
        scriptNext(s.rng, 0);
        Recorder progress;
        walk(s, progress);
        QVERIFY(!s.grid.carved(3, 2));
        // Refused, changing nothing: an even size, a start outside, a negative run length
        // (weights must stay positive), and for the hunt a cell carved beforehand in a row
        // without a flag, which no walk leaves.
        for (int fault = 0; fault < 3 + harder; ++fault) {
            MazeState s = prepare(Corners, 6, 6, 5, harder);
            if (fault == 0)
                s.grid.allocate(12, 13);
            if (fault == 1)
                s.StartX = 14;
            s.RunLength = fault == 2 ? -1 : s.RunLength;
            if (fault == 3)
                s.grid.set(6, 8, NodeGrid::Carved);
            const auto before = snapshot(s);
            Recorder progress;
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, walk(s, progress));
            QVERIFY2(progress.phases.empty(), std::to_string(fault).c_str());
            QVERIFY2(snapshot(s) == before, std::to_string(fault).c_str());
        }
    }
}

QTEST_APPLESS_MAIN(TestWalks)
#include "tst_walks.moc"

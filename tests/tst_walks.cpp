#include "maze/frame.h"
#include "maze/hunt_index.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "maze/walk.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <deque>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class Layout { TopLeftToBottomRight, Grid, HandMatte, RandomMatte, CombMatte };

struct Setup {
    Layout layout = Layout::TopLeftToBottomRight;
    int cols = 50;
    int rows = 70;
    std::uint32_t seed = 1;
    bool harder = false;
    float loopChance = 0;
    std::int16_t runLength = 3;
    std::uint8_t runBias = 0;
    bool randomRun = false;
};

// A matte drawn by hand: '#' paper, 'S' start, 'F' finish, '.' maze cells reachable from
// the start, 'p' maze cells reachable only through the finish, 'u' maze cells not reachable.
const char *const HandMatte[] = {
    "S..#..#.....",
    "...#.##...#.",
    ".#...#..#...",
    ".####.#.#.#.",
    "......#.#F#.",
    "#.###.#.#p#.",
    "..#.....#p##",
    ".##.###.#p#u",
    "...#.....#uu",
};
constexpr int HandCols = 12;
constexpr int HandRows = 9;

char handCell(int x, int y)
{
    return HandMatte[(y - 2) / 2][(x - 2) / 2];
}

bool isCell(const NodeGrid &g, int x, int y)
{
    return x >= 2 && y >= 2 && x <= g.width() - 1 && y <= g.height() - 1 && x % 2 == 0 && y % 2 == 0;
}

// Walls between two paper cells are paper too, as a matte gives them.
void blockWallsBetweenPaper(NodeGrid &g)
{
    for (int y = 2; y < g.height(); y += 2)
        for (int x = 2; x < g.width(); x += 2) {
            if (!g.blocked(x, y))
                continue;
            if (x + 2 < g.width() && g.blocked(x + 2, y))
                g.set(x + 1, y, NodeGrid::Blocked);
            if (y + 2 < g.height() && g.blocked(x, y + 2))
                g.set(x, y + 1, NodeGrid::Blocked);
        }
}

MazeState prepare(const Setup &setup)
{
    MazeState s;
    s.Harder = setup.harder;
    s.LoopChance = setup.loopChance;
    s.RunLength = setup.runLength;
    s.RunBias = setup.runBias;
    s.RandomRun = setup.randomRun;
    s.rng.seed(setup.seed);

    int cols = setup.cols, rows = setup.rows;
    if (setup.layout == Layout::HandMatte) {
        cols = HandCols;
        rows = HandRows;
    }
    if (setup.layout == Layout::CombMatte) {
        cols = 212;
        rows = 3 + static_cast<int>(setup.seed % 10);
    }
    s.GridWidth = 2 * cols + 1;
    s.GridHeight = 2 * rows + 1;
    s.grid.allocate(static_cast<int>(s.GridWidth), static_cast<int>(s.GridHeight));

    switch (setup.layout) {
    case Layout::TopLeftToBottomRight:
        s.MazeType = TopLeftToBottomRight;
        break;
    case Layout::Grid:
        s.MazeType = GridMaze;
        break;
    case Layout::HandMatte:
        s.UseMatte = true;
        for (int y = 2; y < s.GridHeight; y += 2)
            for (int x = 2; x < s.GridWidth; x += 2) {
                const char c = handCell(x, y);
                if (c == '#')
                    s.grid.set(x, y, NodeGrid::Blocked);
                if (c == 'S') {
                    s.StartX = static_cast<std::int16_t>(x);
                    s.StartY = static_cast<std::int16_t>(y);
                }
                if (c == 'F') {
                    s.FinishX = static_cast<std::int16_t>(x);
                    s.FinishY = static_cast<std::int16_t>(y);
                }
            }
        blockWallsBetweenPaper(s.grid);
        // Two walls closed between open cells, which the walk crosses but a loop may not.
        s.grid.set(11, 10, NodeGrid::Blocked);
        s.grid.set(24, 3, NodeGrid::Blocked);
        break;
    case Layout::CombMatte:
        // A comb: the top row open, below it teeth three cells wide at columns 0, 90, 150
        // and 200. Rows then hold a few carved cells far apart, in different 64-cell pieces,
        // and a source in a tooth may have several ways on, so that LastDir matters.
        s.UseMatte = true;
        for (int y = 4; y < s.GridHeight; y += 2)
            for (int x = 2; x < s.GridWidth; x += 2) {
                const int i = (x - 2) / 2;
                const bool tooth = i % 150 < 3 || (i >= 90 && i < 93) || (i >= 200 && i < 203);
                if (!tooth)
                    s.grid.set(x, y, NodeGrid::Blocked);
            }
        blockWallsBetweenPaper(s.grid);
        s.StartX = s.StartY = 2;
        s.FinishX = 2 + 2 * 200;
        s.FinishY = static_cast<std::int16_t>(s.GridHeight - 1);
        break;
    case Layout::RandomMatte: {
        s.UseMatte = true;
        std::mt19937 gen(setup.seed * 2654435761u + 17u);
        std::vector<std::pair<int, int>> open;
        for (int y = 2; y < s.GridHeight; y += 2)
            for (int x = 2; x < s.GridWidth; x += 2) {
                if (gen() % 10 < 3)
                    s.grid.set(x, y, NodeGrid::Blocked);
                else
                    open.emplace_back(x, y);
            }
        if (open.empty()) {
            s.grid.unset(2, 2, NodeGrid::Blocked);
            open.emplace_back(2, 2);
        }
        blockWallsBetweenPaper(s.grid);
        for (int y = 1; y < s.GridHeight; ++y)
            for (int x = 1 + y % 2; x < s.GridWidth; x += 2)
                if (gen() % 20 == 0)
                    s.grid.set(x, y, NodeGrid::Blocked);
        const auto start = open[gen() % open.size()];
        s.StartX = static_cast<std::int16_t>(start.first);
        s.StartY = static_cast<std::int16_t>(start.second);
        // Sometimes no finish at all; never the start itself, which a matte cannot give.
        const auto finish = open[gen() % open.size()];
        if (gen() % 5 != 0 && finish != start) {
            s.FinishX = static_cast<std::int16_t>(finish.first);
            s.FinishY = static_cast<std::int16_t>(finish.second);
        }
        break;
    }
    }
    make_frame(s);
    if (setup.harder)
        s.RowFlags.assign(static_cast<std::size_t>(s.GridHeight) + 1, 0);
    return s;
}

const char *layoutName(Layout layout)
{
    switch (layout) {
    case Layout::TopLeftToBottomRight:
        return "top left to bottom right";
    case Layout::Grid:
        return "grid";
    case Layout::HandMatte:
        return "hand matte";
    case Layout::RandomMatte:
        return "random matte";
    case Layout::CombMatte:
        return "comb matte";
    }
    return "";
}

/// Random sizes and seeds for one row of a data-driven test.
std::vector<Setup> setups(Layout layout, bool harder, int count, std::uint32_t salt)
{
    std::mt19937 gen(salt * 7919u + static_cast<std::uint32_t>(layout) * 31u + harder);
    const int least = layout == Layout::Grid ? 7 : layout == Layout::TopLeftToBottomRight ? 4 : 1;
    std::vector<Setup> out;
    for (int i = 0; i < count; ++i) {
        Setup s;
        s.layout = layout;
        s.harder = harder;
        s.cols = least + static_cast<int>(gen() % 40);
        s.rows = least + static_cast<int>(gen() % 40);
        if (layout == Layout::CombMatte) {
            // Straight on weighs far from a turn, so that a LastDir reset shows in the maze.
            s.runLength = i % 2 ? 54 : 0;
            s.runBias = 0;
        }
        if (i % 6 == 5) {
            // Wide and low: rows of several 64-cell pieces, which the hunt's index treats apart.
            s.cols = 64 + static_cast<int>(gen() % 160);
            s.rows = least + static_cast<int>(gen() % 6);
        }
        if (layout == Layout::TopLeftToBottomRight)
            s.rows = std::max(s.rows, (2 * s.cols + 1) / 20 * 2);  // the corner squares must fit
        s.seed = gen();
        const std::int16_t runs[] = {0, 1, 3, 8, 54};
        s.runLength = runs[gen() % 5];
        s.runBias = static_cast<std::uint8_t>(gen() % 3);
        out.push_back(s);
    }
    return out;
}

std::string at(int x, int y)
{
    std::string text = std::to_string(x);
    text.insert(0, 1, '(');
    text += ", ";
    text += std::to_string(y);
    text += ')';
    return text;
}

/// Cells joined to the start by steps between unblocked cells, not going on from the finish:
/// the cells a finished walk must have carved.
std::vector<char> reachableCells(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    std::vector<char> seen(g.bytes(), 0);
    std::deque<std::pair<int, int>> queue{{s.StartX, s.StartY}};
    seen[g.index(s.StartX, s.StartY)] = 1;
    while (!queue.empty()) {
        const auto [x, y] = queue.front();
        queue.pop_front();
        if (x == s.FinishX && y == s.FinishY)
            continue;
        const int near[4][2] = {{x + 2, y}, {x - 2, y}, {x, y + 2}, {x, y - 2}};
        for (const auto &n : near) {
            if (!isCell(g, n[0], n[1]) || g.blocked(n[0], n[1]) || seen[g.index(n[0], n[1])])
                continue;
            seen[g.index(n[0], n[1])] = 1;
            queue.emplace_back(n[0], n[1]);
        }
    }
    return seen;
}

struct Census {
    long long cells = 0;
    long long walls = 0;
    std::string fault;
};

/// Checks what every finished maze must be: exactly the reachable cells carved, every carved
/// wall joining two carved cells, nothing else carved, all of it connected; and, without
/// loops, a tree with the finish as a leaf.
Census takeCensus(const MazeState &s, long long nodesDrawn, bool tree)
{
    const NodeGrid &g = s.grid;
    const auto reach = reachableCells(s);
    Census c;
    for (int y = 0; y <= g.height(); ++y)
        for (int x = 0; x <= g.width(); ++x) {
            const bool carved = g.carved(x, y);
            if (isCell(g, x, y)) {
                if (carved != bool(reach[g.index(x, y)]))
                    return {0, 0, (carved ? "unreachable cell carved at " : "reachable cell left at ") + at(x, y)};
                if (carved && g.blocked(x, y) && !(x == s.StartX && y == s.StartY))
                    return {0, 0, "blocked cell carved at " + at(x, y)};
                c.cells += carved;
                continue;
            }
            if (!carved)
                continue;
            if (x % 2 == y % 2)
                return {0, 0, "carved node that is no wall between cells at " + at(x, y)};
            const int ax = x - x % 2, ay = y - y % 2, bx = x + x % 2, by = y + y % 2;
            if (!isCell(g, ax, ay) || !isCell(g, bx, by) || !g.carved(ax, ay) || !g.carved(bx, by))
                return {0, 0, "carved wall not between two carved cells at " + at(x, y)};
            ++c.walls;
        }
    if (c.cells != nodesDrawn)
        return {0, 0, "nodes drawn " + std::to_string(nodesDrawn) + " but " + std::to_string(c.cells) + " cells carved"};

    // Connected through carved walls.
    std::vector<char> joined(g.bytes(), 0);
    std::deque<std::pair<int, int>> queue{{s.StartX, s.StartY}};
    joined[g.index(s.StartX, s.StartY)] = 1;
    long long count = 1;
    while (!queue.empty()) {
        const auto [x, y] = queue.front();
        queue.pop_front();
        for (int d = 1; d <= 4; ++d) {
            const int wx = x + StepX[d], wy = y + StepY[d], nx = x + 2 * StepX[d], ny = y + 2 * StepY[d];
            if (!isCell(g, nx, ny) || !g.carved(wx, wy) || joined[g.index(nx, ny)])
                continue;
            joined[g.index(nx, ny)] = 1;
            ++count;
            queue.emplace_back(nx, ny);
        }
    }
    if (count != c.cells)
        return {0, 0, "only " + std::to_string(count) + " of " + std::to_string(c.cells) + " cells joined"};

    if (tree) {
        if (c.walls != c.cells - 1)
            return {0, 0, std::to_string(c.walls) + " walls opened for " + std::to_string(c.cells) + " cells"};
        if (isCell(g, s.FinishX, s.FinishY) && g.carved(s.FinishX, s.FinishY)) {
            int openings = 0;
            for (int d = 1; d <= 4; ++d)
                openings += g.carved(s.FinishX + StepX[d], s.FinishY + StepY[d]);
            if (openings != 1)
                return {0, 0, "the finish has " + std::to_string(openings) + " openings"};
        }
    }
    return c;
}

/// The retraced marks of a finished "Easier" walk lie on carved nodes and cover every carved
/// wall (each passage backtracked over once, loops marked when opened); "Harder" writes none.
std::string checkRetraced(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    for (int y = 0; y <= g.height(); ++y)
        for (int x = 0; x <= g.width(); ++x) {
            const bool wall = x % 2 != y % 2;
            if (s.Harder && g.retraced(x, y))
                return "per-node Retraced written at " + at(x, y);
            if (!s.Harder && g.retraced(x, y) && !g.carved(x, y))
                return "uncarved node retraced at " + at(x, y);
            if (!s.Harder && wall && g.carved(x, y) && !g.retraced(x, y))
                return "carved wall never retraced at " + at(x, y);
        }
    return {};
}

/// Row flags of the harder walk: one per row of nodes, set only on rows of cells that hold a
/// carved cell, and cleared only from rows left without a free cell or a source.
std::string checkRowFlags(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    if (s.RowFlags.size() != static_cast<std::size_t>(g.height()) + 1)
        return "row flags sized " + std::to_string(s.RowFlags.size());
    for (int y = 0; y <= g.height(); ++y) {
        const std::uint8_t flag = s.RowFlags[y];
        if (flag > 1)
            return "row flag " + std::to_string(flag) + " at row " + std::to_string(y);
        if (y % 2 == 1 || y == 0 || y == g.height()) {
            if (flag)
                return "flag on row " + std::to_string(y) + ", which holds no cells";
            continue;
        }
        bool carved = false, open = false, source = false;
        for (int x = 2; x < g.width(); x += 2) {
            if (!g.carved(x, y)) {
                open = open || !g.blocked(x, y);
                continue;
            }
            carved = true;
            if (x == s.FinishX && y == s.FinishY)
                continue;
            for (int d = 1; d <= 4; ++d) {
                const int nx = x + 2 * StepX[d], ny = y + 2 * StepY[d];
                source = source || (isCell(g, nx, ny) && !g.carved(nx, ny) && !g.blocked(nx, ny));
            }
        }
        if (flag && !carved)
            return "row " + std::to_string(y) + " flagged without a carved cell";
        if (!flag && carved && (open || source))
            return "row " + std::to_string(y) + " unflagged while it holds free cells or sources";
    }
    return {};
}

/// Records what a walk reports; optionally asks it to stop at a given report.
class Recorder : public Progress {
public:
    void caption(std::string_view text) override { captions.emplace_back(text); }
    void nodesDrawn(long long n) override
    {
        reports.push_back(n);
        if (state)
            runLengths.push_back(state->RunLength);
    }
    void processEvents() override
    {
        ++events;
        if (state)
            generators.push_back(state->rng);
    }
    bool stopRequested() const override
    {
        return stopAtReport > 0 && static_cast<long long>(reports.size()) >= stopAtReport;
    }

    std::vector<std::string> captions;
    std::vector<long long> reports;
    int events = 0;
    long long stopAtReport = 0;
    const MazeState *state = nullptr;
    std::vector<int> runLengths;
    std::vector<Random> generators;
};

/// The backtracking walk exactly as written, on the public routines: the reference for the
/// walk's own inlined steps.
long long literalMakeMaze(MazeState &s, Progress &progress)
{
    NodeGrid &g = s.grid;
    const auto randomRun = [&] {
        const int k = static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * 8));
        s.RunLength = static_cast<std::int16_t>(k * k);
    };
    const auto step = [&](std::uint8_t d) {
        s.CurX = static_cast<std::int16_t>(s.CurX + StepX[d]);
        s.CurY = static_cast<std::int16_t>(s.CurY + StepY[d]);
    };

    progress.caption("Generating...");
    long long nodesDrawn = 1;
    int tick = 0;
    s.LastDir = 0;
    if (s.RandomRun)
        randomRun();
    for (;;) {
        if (++tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            if (progress.stopRequested())
                return nodesDrawn;
            if (s.RandomRun)
                randomRun();
        }
        if (s.CurX == s.FinishX && s.CurY == s.FinishY) {
            s.CurX = s.StartX;
            s.CurY = s.StartY;
            s.LastDir = 0;
        }
        get_dirs(s);
        if (s.DirList[0] > 0) {
            const std::uint8_t d = pick_dirs(s);
            step(d);
            g.set(s.CurX, s.CurY, NodeGrid::Carved);
            step(d);
            g.set(s.CurX, s.CurY, NodeGrid::Carved);
            ++nodesDrawn;
            s.LastDir = d;
            continue;
        }
        if (static_cast<float>(static_cast<double>(s.Rnd()) * 100) <= s.LoopChance && s.LoopChance > 0)
            make_loop(s);
        get_exits(s);
        if (s.DirList[0] == 0)
            break;
        const int k = static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * s.DirList[0])) + 1;
        const std::uint8_t d = s.DirList[k];
        g.set(s.CurX, s.CurY, NodeGrid::Retraced);
        step(d);
        g.set(s.CurX, s.CurY, NodeGrid::Retraced);
        step(d);
        s.LastDir = 0;
    }
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

/// The hunt's scan exactly as written, from (rx, ry): leaves (CurX, CurY) on the source it
/// finds, or back on the origin, clears the flags of the rows it crosses whole without a
/// free cell, and tells whether it passed a carved cell without free neighbours (where the
/// walk resets LastDir).
bool literalHunt(MazeState &s, int rx, int ry, bool &passedDeadEnd)
{
    const NodeGrid &g = s.grid;
    const int gw = g.width(), gh = g.height();
    int rowState = 0;
    s.CurX = static_cast<std::int16_t>(rx);
    s.CurY = static_cast<std::int16_t>(ry);
    passedDeadEnd = false;
    for (;;) {
        const bool carved = g.carved(s.CurX, s.CurY);
        if (!carved && !g.blocked(s.CurX, s.CurY)) {
            rowState = 1;
        } else if (carved && !(s.CurX == s.FinishX && s.CurY == s.FinishY)) {
            get_dirs(s);
            if (s.DirList[0] > 0)
                return true;
            passedDeadEnd = true;
        }
        s.CurX = static_cast<std::int16_t>(s.CurX + 2);
        if (s.CurX > gw - 1) {
            if (rowState == -1)
                s.RowFlags[s.CurY] = 0;
            rowState = -1;
            s.CurX = 2;
            do {
                s.CurY = static_cast<std::int16_t>(s.CurY + 2);
                if (s.CurY > gh - 1)
                    s.CurY = 2;
            } while (!(s.RowFlags[s.CurY] || s.CurY == ry));
        }
        if (s.CurX == rx && s.CurY == ry)
            return false;
    }
}

/// The harder walk exactly as written, with its hunt rescanning the grid row by row: the
/// reference that the indexed hunt must match in every carved node and every random number.
long long literalMakeMaze2(MazeState &s, Progress &progress)
{
    NodeGrid &g = s.grid;
    const int gw = g.width(), gh = g.height();
    if (s.RowFlags.size() != static_cast<std::size_t>(gh) + 1)
        s.RowFlags.assign(static_cast<std::size_t>(gh) + 1, 0);
    const auto draw = [&s](int n) { return static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * n)); };
    const auto randomRun = [&] {
        const int k = draw(8);
        s.RunLength = static_cast<std::int16_t>(k * k);
    };

    progress.caption("Generating...");
    long long nodesDrawn = 1;
    s.RowFlags[s.StartY] = 1;
    s.LastDir = 0;
    int tick = 0;
    if (s.RandomRun)
        randomRun();
    const auto carve = [&](std::uint8_t d) {
        s.CurX = static_cast<std::int16_t>(s.CurX + StepX[d]);
        s.CurY = static_cast<std::int16_t>(s.CurY + StepY[d]);
        g.set(s.CurX, s.CurY, NodeGrid::Carved);
        s.CurX = static_cast<std::int16_t>(s.CurX + StepX[d]);
        s.CurY = static_cast<std::int16_t>(s.CurY + StepY[d]);
        g.set(s.CurX, s.CurY, NodeGrid::Carved);
        s.RowFlags[s.CurY] = 1;
        s.LastDir = d;
        ++nodesDrawn;
    };

    for (;;) {
        if (++tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            if (progress.stopRequested())
                return nodesDrawn;
            if (s.RandomRun)
                randomRun();
        }
        if (s.CurX == s.FinishX && s.CurY == s.FinishY) {
            s.CurX = s.StartX;
            s.CurY = s.StartY;
            s.LastDir = 0;
        }
        get_dirs(s);
        if (s.DirList[0] > 0) {
            carve(pick_dirs(s));
            continue;
        }
        if (static_cast<float>(static_cast<double>(s.Rnd()) * 100) <= s.LoopChance && s.LoopChance > 0)
            make_loop(s);
        const int rx = static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * (gw - 3) / 2)) * 2 + 2;
        int ry = 0, tries = 0;
        do {
            ry = static_cast<int>(std::floor(static_cast<double>(s.Rnd()) * (gh - 3) / 2)) * 2 + 2;
            ++tries;
        } while (!(s.RowFlags[ry] || tries > gh));

        bool passedDeadEnd = false;
        const bool found = literalHunt(s, rx, ry, passedDeadEnd);
        if (passedDeadEnd)
            s.LastDir = 0;
        if (!found)
            break;
        carve(pick_dirs(s));
    }
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

/// Advances `rng` so that its next number is exactly k / 2^24, by skipping numbers of its own
/// sequence: a scripted draw without any hook in the generator.
void scriptNext(Random &rng, std::uint32_t k)
{
    const float target = static_cast<float>(k) / 16777216.0f;
    Random probe = rng;
    long long skip = 0;
    while (probe.next() != target)
        ++skip;
    for (long long i = 0; i < skip; ++i)
        rng.next();
}

/// The weight of a candidate, straight from the rule: 3, or RunLength straight on; x 8 on the
/// favoured axis; + 1.
int weightOf(int d, int lastDir, int runLength, int runBias)
{
    const int base = d == lastDir ? runLength : 3;
    const bool horizontal = d == 1 || d == 3;
    const bool favoured = (runBias == 1 && horizontal) || (runBias == 2 && !horizontal);
    return base * (favoured ? 8 : 1) + 1;
}

long long walk(MazeState &s, Progress &progress)
{
    return s.Harder ? make_maze_2(s, progress) : make_maze(s, progress);
}

bool sameNodes(const MazeState &a, const MazeState &b)
{
    if (a.grid.width() != b.grid.width() || a.grid.height() != b.grid.height())
        return false;
    for (int y = 0; y <= a.grid.height(); ++y)
        if (std::memcmp(a.grid.row(y), b.grid.row(y), static_cast<std::size_t>(a.grid.width()) + 1) != 0)
            return false;
    return true;
}

} // namespace

class TestWalks : public QObject {
    Q_OBJECT
private slots:
    void handMatteIsAsDrawn();
    void carvesATreeOfEveryReachableCell_data();
    void carvesATreeOfEveryReachableCell();
    void loopsKeepTheCellsAndCloseCycles_data();
    void loopsKeepTheCellsAndCloseCycles();
    void defaultMazeDraws3452_data();
    void defaultMazeDraws3452();
    void pickDirsWeighsAsWritten_data();
    void pickDirsWeighsAsWritten();
    void pickDirsMatchesExactWeights();
    void makeLoopJoinsOnlyEligibleNeighbours();
    void makeLoopChoosesEitherOfTwo();
    void loopsOffNeverOpenALoop();
    void randomRunsChangeAtReportsOnly_data();
    void randomRunsChangeAtReportsOnly();
    void reportsEveryHundredPassesAndStops_data();
    void reportsEveryHundredPassesAndStops();
    void startWithoutFreeNeighbourGivesOneNode_data();
    void startWithoutFreeNeighbourGivesOneNode();
    void scanOriginAvoidsTheLastColumnAndRow();
    void easierWalkMatchesTheLiteralWalk_data();
    void easierWalkMatchesTheLiteralWalk();
    void indexedHuntMatchesTheLiteralScan_data();
    void indexedHuntMatchesTheLiteralScan();
    void huntIndexStopsWhereTheScanStops();
    void refusesGridsItCannotWalk();
};

void TestWalks::handMatteIsAsDrawn()
{
    // The oracle and the drawing agree, so the matte really has pockets behind the finish
    // and out of reach, which the walks must leave alone.
    const MazeState s = prepare({Layout::HandMatte});
    const auto reach = reachableCells(s);
    int pockets = 0;
    for (int y = 2; y < s.GridHeight; y += 2)
        for (int x = 2; x < s.GridWidth; x += 2) {
            const char c = handCell(x, y);
            QVERIFY2(bool(reach[s.grid.index(x, y)]) == (c == '.' || c == 'S' || c == 'F'), at(x, y).c_str());
            pockets += c == 'p' || c == 'u';
        }
    QCOMPARE(pockets, 6);
}

void TestWalks::carvesATreeOfEveryReachableCell_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("harder");
    for (const Layout layout :
         {Layout::TopLeftToBottomRight, Layout::Grid, Layout::HandMatte, Layout::RandomMatte, Layout::CombMatte})
        for (const bool harder : {false, true})
            QTest::addRow("%s, %s", layoutName(layout), harder ? "harder" : "easier") << int(layout) << harder;
}

void TestWalks::carvesATreeOfEveryReachableCell()
{
    QFETCH(int, layout);
    QFETCH(bool, harder);
    for (const Setup &setup : setups(Layout(layout), harder, 25, 1)) {
        MazeState s = prepare(setup);
        Recorder progress;
        const long long drawn = walk(s, progress);
        const Census c = takeCensus(s, drawn, true);
        const std::string where = std::to_string(setup.cols) + " x " + std::to_string(setup.rows)
                                  + " seed " + std::to_string(setup.seed) + ": ";
        QVERIFY2(c.fault.empty(), (where + c.fault).c_str());
        const std::string retraced = checkRetraced(s);
        QVERIFY2(retraced.empty(), (where + retraced).c_str());
        if (harder) {
            const std::string flags = checkRowFlags(s);
            QVERIFY2(flags.empty(), (where + flags).c_str());
        }
        QCOMPARE(progress.reports.back(), drawn);
    }
}

void TestWalks::loopsKeepTheCellsAndCloseCycles_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("harder");
    // Not the comb, whose cells admit no cycle.
    for (const Layout layout : {Layout::TopLeftToBottomRight, Layout::Grid, Layout::HandMatte, Layout::RandomMatte})
        for (const bool harder : {false, true})
            QTest::addRow("%s, %s", layoutName(layout), harder ? "harder" : "easier") << int(layout) << harder;
}

void TestWalks::loopsKeepTheCellsAndCloseCycles()
{
    QFETCH(int, layout);
    QFETCH(bool, harder);
    int withCycles = 0;
    for (Setup setup : setups(Layout(layout), harder, 25, 2)) {
        setup.loopChance = 25;  // "100" in the box: a loop is tried at every dead end
        MazeState s = prepare(setup);
        Recorder progress;
        const long long drawn = walk(s, progress);
        const Census c = takeCensus(s, drawn, false);
        QVERIFY2(c.fault.empty(), c.fault.c_str());
        QVERIFY(c.walls >= c.cells - 1);
        withCycles += c.walls > c.cells - 1;
        const std::string retraced = checkRetraced(s);
        QVERIFY2(retraced.empty(), retraced.c_str());
        if (harder) {
            const std::string flags = checkRowFlags(s);
            QVERIFY2(flags.empty(), flags.c_str());
        }
    }
    QVERIFY2(withCycles > 25 / 2, std::to_string(withCycles).c_str());
}

void TestWalks::defaultMazeDraws3452_data()
{
    QTest::addColumn<bool>("harder");
    QTest::addColumn<float>("loopChance");
    QTest::addColumn<quint32>("seed");
    for (const bool harder : {false, true})
        for (const float loops : {0.0f, 2.5f, 25.0f})
            for (const quint32 seed : {1u, 20240601u})
                QTest::addRow("%s, loop chance %g, seed %u", harder ? "harder" : "easier", loops, seed)
                    << harder << loops << seed;
}

void TestWalks::defaultMazeDraws3452()
{
    QFETCH(bool, harder);
    QFETCH(float, loopChance);
    QFETCH(quint32, seed);
    Setup setup;  // 50 x 70 cells, top left to bottom right, run length 3
    setup.harder = harder;
    setup.loopChance = loopChance;
    setup.seed = seed;
    MazeState s = prepare(setup);
    Recorder progress;
    // 3500 cells less the 2 x 25 of the corner squares, plus the start.
    QCOMPARE(walk(s, progress), 3452);
    QCOMPARE(progress.reports.back(), 3452);
    QCOMPARE(progress.captions, std::vector<std::string>{"Generating..."});
}

void TestWalks::pickDirsWeighsAsWritten_data()
{
    QTest::addColumn<int>("lastDir");
    QTest::addColumn<int>("runLength");
    QTest::addColumn<int>("runBias");
    QTest::addColumn<QList<int>>("dirs");
    QTest::addColumn<QList<int>>("weights");
    QTest::addColumn<quint32>("draw");  // the random number x 2^24
    QTest::addColumn<int>("chosen");

    // Run length 0: straight on weighs 1 against 4 and 4, a ninth of the draws.
    const QList<int> three{1, 2, 3};
    const QList<int> ninth{1, 4, 4};
    QTest::newRow("straight on, lowest draw") << 1 << 0 << 0 << three << ninth << 0u << 1;
    QTest::newRow("straight on, last draw of its ninth") << 1 << 0 << 0 << three << ninth << 1864135u << 1;
    QTest::newRow("first turn, first draw past the ninth") << 1 << 0 << 0 << three << ninth << 1864136u << 2;
    QTest::newRow("second turn, highest draw") << 1 << 0 << 0 << three << ninth << 16777215u << 3;
    // Horizontal bias, run length 3, last move right: right 3 x 8 + 1 = 25 against down 4. At
    // 14463117 the product is 24.9999996, which a single-precision product rounds up to 25.
    const QList<int> two{1, 2};
    const QList<int> biased{25, 4};
    QTest::newRow("25 against 4, last draw for right") << 1 << 3 << 1 << two << biased << 14463117u << 1;
    QTest::newRow("25 against 4, first draw for down") << 1 << 3 << 1 << two << biased << 14463118u << 2;
}

void TestWalks::pickDirsWeighsAsWritten()
{
    QFETCH(int, lastDir);
    QFETCH(int, runLength);
    QFETCH(int, runBias);
    QFETCH(QList<int>, dirs);
    QFETCH(QList<int>, weights);
    QFETCH(quint32, draw);
    QFETCH(int, chosen);

    MazeState s;
    s.rng.seed(7);
    s.LastDir = static_cast<std::uint8_t>(lastDir);
    s.RunLength = static_cast<std::int16_t>(runLength);
    s.RunBias = static_cast<std::uint8_t>(runBias);
    s.DirList[0] = static_cast<std::uint8_t>(dirs.size());
    for (int i = 0; i < dirs.size(); ++i)
        s.DirList[i + 1] = static_cast<std::uint8_t>(dirs[i]);
    scriptNext(s.rng, draw);
    Random after = s.rng;
    after.next();

    QCOMPARE(int(pick_dirs(s)), chosen);
    for (int i = 0; i < weights.size(); ++i)
        QCOMPARE(int(s.DirWeight[i + 1]), weights[i]);
    QCOMPARE(s.rng.next(), after.next());  // exactly one number drawn
}

void TestWalks::pickDirsMatchesExactWeights()
{
    // Every draw of a long sequence, on every kind of candidate list, against the choice
    // worked out in integers: draw k of 2^24 picks the candidate whose weights span
    // floor(k x total / 2^24).
    MazeState s;
    s.rng.seed(99);
    std::mt19937 gen(5);
    for (int round = 0; round < 40000; ++round) {
        const int n = 1 + static_cast<int>(gen() % 4);
        std::vector<int> dirs{1, 2, 3, 4};
        std::shuffle(dirs.begin(), dirs.end(), gen);
        dirs.resize(n);
        s.DirList[0] = static_cast<std::uint8_t>(n);
        for (int i = 0; i < n; ++i)
            s.DirList[i + 1] = static_cast<std::uint8_t>(dirs[i]);
        s.LastDir = static_cast<std::uint8_t>(gen() % 5);
        const std::int16_t runs[] = {0, 1, 3, 8, 12, 20, 49, 54};
        s.RunLength = runs[gen() % 8];
        s.RunBias = static_cast<std::uint8_t>(gen() % 3);

        Random twin = s.rng;
        const auto k = static_cast<std::uint64_t>(twin.next() * 16777216.0f);
        std::vector<int> w(n);
        std::uint64_t total = 0;
        for (int i = 0; i < n; ++i)
            total += w[i] = weightOf(dirs[i], s.LastDir, s.RunLength, s.RunBias);
        const std::uint64_t slot = (k * total) >> 24;
        std::uint64_t upTo = 0;
        int expected = 0;
        for (int i = 0; i < n && !expected; ++i)
            if (slot < (upTo += w[i]))
                expected = dirs[i];

        QCOMPARE(int(pick_dirs(s)), expected);
    }
}

void TestWalks::makeLoopJoinsOnlyEligibleNeighbours()
{
    // A dead end at (8, 8) of a 7 x 7-cell grid, entered from the left, all four
    // neighbouring cells carved; the upper one already backtracked over, the wall below closed.
    const auto scene = [](bool harder) {
        MazeState s;
        s.Harder = harder;
        s.grid.allocate(15, 15);
        s.rng.seed(3);
        for (const auto &[x, y] : {std::pair{8, 8}, {10, 8}, {6, 8}, {8, 6}, {8, 10}})
            s.grid.set(x, y, NodeGrid::Carved);
        s.grid.set(7, 8, NodeGrid::Carved);
        s.grid.set(8, 6, NodeGrid::Retraced);
        s.grid.set(8, 9, NodeGrid::Blocked);
        s.CurX = 8;
        s.CurY = 8;
        s.DirList = {0, 0, 0, 0, 0};
        s.RowFlags = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
        return s;
    };

    // Easier: only the right neighbour qualifies; its wall is opened and retraced.
    MazeState s = scene(false);
    Random twin = s.rng;
    make_loop(s);
    QVERIFY(s.grid.carved(9, 8) && s.grid.retraced(9, 8));
    QVERIFY(!s.grid.carved(8, 7) && !s.grid.carved(8, 9));
    QCOMPARE(s.DirList[0], 0);
    twin.next();
    QCOMPARE(s.rng.next(), twin.next());

    // Harder: nothing counts as retraced, so up qualifies too; no Retraced mark is written
    // and the row flags are not touched.
    int up = 0, right = 0;
    for (std::uint32_t seed = 1; seed <= 64; ++seed) {
        MazeState h = scene(true);
        h.rng.seed(seed);
        const auto flags = h.RowFlags;
        make_loop(h);
        up += h.grid.carved(8, 7);
        right += h.grid.carved(9, 8);
        QCOMPARE(h.grid.carved(8, 7) + h.grid.carved(9, 8), 1);
        QVERIFY(!h.grid.retraced(8, 7) && !h.grid.retraced(9, 8));
        QVERIFY(!h.grid.carved(8, 9));
        QCOMPARE(h.RowFlags, flags);
    }
    QVERIFY(up > 0 && right > 0);

    // No candidate: nothing changes and no number is drawn.
    MazeState none = scene(false);
    none.grid.set(9, 8, NodeGrid::Blocked);
    Random untouched = none.rng;
    make_loop(none);
    QVERIFY(!none.grid.carved(9, 8));
    QCOMPARE(none.rng.next(), untouched.next());

    // A dead end in the corner, entered from the right, the cell below blocked: the nodes
    // beyond the border would pass every other test, but are never candidates.
    MazeState corner;
    corner.grid.allocate(5, 5);
    for (const auto &[x, y] : {std::pair{2, 2}, {3, 2}, {4, 2}})
        corner.grid.set(x, y, NodeGrid::Carved);
    corner.grid.set(2, 4, NodeGrid::Blocked);
    corner.CurX = corner.CurY = 2;
    Random quiet = corner.rng;
    make_loop(corner);
    QVERIFY(!corner.grid.carved(1, 2) && !corner.grid.carved(2, 1) && !corner.grid.carved(2, 3));
    QCOMPARE(corner.rng.next(), quiet.next());
}

void TestWalks::makeLoopChoosesEitherOfTwo()
{
    // Two eligible neighbours (right and down; left is the way in, up is blocked): the
    // draw's lower half takes the first.
    int first = 0;
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        MazeState s;
        s.grid.allocate(9, 9);
        s.rng.seed(seed);
        for (const auto &[x, y] : {std::pair{4, 4}, {6, 4}, {4, 6}, {2, 4}})
            s.grid.set(x, y, NodeGrid::Carved);
        s.grid.set(3, 4, NodeGrid::Carved);
        s.grid.set(4, 2, NodeGrid::Blocked);
        s.CurX = s.CurY = 4;
        Random twin = s.rng;
        make_loop(s);
        const bool right = s.grid.carved(5, 4);
        QCOMPARE(right + s.grid.carved(4, 5), 1);
        QCOMPARE(right, twin.next() < 0.5f);
        first += right;
    }
    QVERIFY2(first > 160 && first < 240, std::to_string(first).c_str());
}

void TestWalks::loopsOffNeverOpenALoop()
{
    // With loops off the chance is 0, and a draw of exactly 0 (one in 2^24 dead ends) still
    // must not open a loop: the maze stays a tree. Script that draw at the first dead end.
    for (const bool harder : {false, true}) {
        MazeState s;
        s.Harder = harder;
        s.UseMatte = true;
        s.grid.allocate(7, 3);
        s.StartX = 2;
        s.StartY = 2;
        s.grid.set(2, 2, NodeGrid::Carved);
        s.grid.set(4, 2, NodeGrid::Carved);  // carved before: a loop to it would be possible
        s.CurX = 2;
        s.CurY = 2;
        s.rng.seed(11);
        if (harder)
            s.RowFlags.assign(4, 0);
        // (2, 2) has no free neighbour: the first draw of the walk is the loop chance.
        scriptNext(s.rng, 0);
        Recorder progress;
        walk(s, progress);
        QVERIFY(!s.grid.carved(3, 2));
    }
}

void TestWalks::randomRunsChangeAtReportsOnly_data()
{
    QTest::addColumn<bool>("harder");
    QTest::newRow("easier") << false;
    QTest::newRow("harder") << true;
}

void TestWalks::randomRunsChangeAtReportsOnly()
{
    QFETCH(bool, harder);
    Setup setup;
    setup.harder = harder;
    setup.randomRun = true;
    setup.seed = 77;
    MazeState s = prepare(setup);
    Recorder progress;
    progress.state = &s;
    Random before = s.rng;
    walk(s, progress);

    // The run length in force at each report was drawn by the first number after the
    // previous report (or the walk's first number), and by nothing since.
    std::set<int> seen;
    for (std::size_t i = 0; i < progress.runLengths.size(); ++i) {
        Random source = i == 0 ? before : progress.generators[i - 1];
        const int k = static_cast<int>(std::floor(static_cast<double>(source.next()) * 8));
        QCOMPARE(progress.runLengths[i], k * k);
        QVERIFY(progress.runLengths[i] < 50);
        seen.insert(progress.runLengths[i]);
    }
    QVERIFY(progress.runLengths.size() > 30);
    QVERIFY(seen.size() >= 5);
}

void TestWalks::reportsEveryHundredPassesAndStops_data()
{
    randomRunsChangeAtReportsOnly_data();
}

void TestWalks::reportsEveryHundredPassesAndStops()
{
    QFETCH(bool, harder);
    Setup setup;
    setup.harder = harder;
    setup.loopChance = 2.5f;
    MazeState s = prepare(setup);
    Recorder progress;
    WalkStats stats;
    const long long drawn = harder ? make_maze_2(s, progress, &stats) : make_maze(s, progress, &stats);

    // One report per 100 passes, then the final one, each followed by event processing.
    QCOMPARE(static_cast<long long>(progress.reports.size()), stats.passes / 100 + 1);
    QCOMPARE(progress.events, static_cast<int>(progress.reports.size()));
    QCOMPARE(progress.reports.back(), drawn);
    for (std::size_t i = 1; i < progress.reports.size(); ++i)
        QVERIFY(progress.reports[i] >= progress.reports[i - 1]);
    if (harder) {
        // Every pass of the harder walk carves one cell: the reports fall on 100, 200, ...
        for (std::size_t i = 0; i + 1 < progress.reports.size(); ++i)
            QCOMPARE(progress.reports[i], 100 * static_cast<long long>(i + 1));
    } else {
        // Forward and back once over each passage, and the last pass.
        QCOMPARE(stats.passes, 2 * (drawn - 1) + 1);
    }

    // A stop request at the third report ends the walk there, without a final report.
    MazeState t = prepare(setup);
    Recorder stopping;
    stopping.stopAtReport = 3;
    const long long partial = walk(t, stopping);
    QCOMPARE(partial, progress.reports[2]);
    QCOMPARE(stopping.reports.size(), std::size_t(3));
    long long cells = 0;
    for (int y = 2; y < t.GridHeight; y += 2)
        for (int x = 2; x < t.GridWidth; x += 2)
            cells += t.grid.carved(x, y);
    QCOMPARE(cells, partial);
}

void TestWalks::startWithoutFreeNeighbourGivesOneNode_data()
{
    QTest::addColumn<bool>("harder");
    QTest::addColumn<int>("cols");
    QTest::addColumn<bool>("walledIn");
    for (const bool harder : {false, true}) {
        const char *name = harder ? "harder" : "easier";
        QTest::addRow("%s, single cell", name) << harder << 1 << false;
        QTest::addRow("%s, walled in", name) << harder << 5 << true;
    }
}

void TestWalks::startWithoutFreeNeighbourGivesOneNode()
{
    QFETCH(bool, harder);
    QFETCH(int, cols);
    QFETCH(bool, walledIn);
    MazeState s;
    s.Harder = harder;
    s.UseMatte = true;
    s.GridWidth = s.GridHeight = 2 * cols + 1;
    s.grid.allocate(2 * cols + 1, 2 * cols + 1);
    s.StartX = s.StartY = static_cast<std::int16_t>(cols + 1 - (cols + 1) % 2);
    if (walledIn)
        for (int d = 1; d <= 4; ++d)
            s.grid.set(s.StartX + 2 * StepX[d], s.StartY + 2 * StepY[d], NodeGrid::Blocked);
    s.FinishX = s.FinishY = 2;
    make_frame(s);
    if (harder)
        s.RowFlags.assign(s.GridHeight + 1, 0);
    Recorder progress;
    QCOMPARE(walk(s, progress), 1);
    QCOMPARE(progress.reports, std::vector<long long>{1});
    int carved = 0;
    for (int y = 0; y <= s.grid.height(); ++y)
        for (int x = 0; x <= s.grid.width(); ++x)
            carved += s.grid.carved(x, y);
    QCOMPARE(carved, 1);
}

void TestWalks::scanOriginAvoidsTheLastColumnAndRow()
{
    // A finished harder walk stands on the origin of its last, fruitless scan.
    for (const int width : {11, 101}) {
        std::set<int> columns;
        for (std::uint32_t seed = 1; seed <= 150; ++seed) {
            Setup setup;
            setup.layout = Layout::RandomMatte;
            setup.harder = true;
            setup.cols = (width - 1) / 2;
            setup.rows = 3 + static_cast<int>(seed % 5);
            setup.seed = seed;
            MazeState s = prepare(setup);
            Recorder progress;
            make_maze_2(s, progress);
            QVERIFY(s.CurX % 2 == 0 && s.CurX >= 2 && s.CurX <= width - 3);
            QVERIFY(s.CurY % 2 == 0 && s.CurY >= 2 && s.CurY <= s.GridHeight - 3);
            columns.insert(s.CurX);
        }
        if (width == 11)
            QCOMPARE(columns, (std::set<int>{2, 4, 6, 8}));
        else
            QVERIFY(*columns.rbegin() <= 98);
    }
}

void TestWalks::easierWalkMatchesTheLiteralWalk_data()
{
    indexedHuntMatchesTheLiteralScan_data();
}

void TestWalks::easierWalkMatchesTheLiteralWalk()
{
    QFETCH(int, layout);
    QFETCH(float, loopChance);
    QFETCH(bool, randomRun);
    for (Setup setup : setups(Layout(layout), false, 30, 4)) {
        setup.loopChance = loopChance;
        setup.randomRun = randomRun;
        MazeState fast = prepare(setup);
        MazeState literal = prepare(setup);
        Recorder a, b;
        const long long drawn = make_maze(fast, a);
        QCOMPARE(drawn, literalMakeMaze(literal, b));
        QVERIFY(sameNodes(fast, literal));  // Carved and Retraced alike
        QCOMPARE(a.reports, b.reports);
        QCOMPARE(fast.CurX, literal.CurX);
        QCOMPARE(fast.CurY, literal.CurY);
        QCOMPARE(fast.LastDir, literal.LastDir);
        QCOMPARE(fast.RunLength, literal.RunLength);
        QCOMPARE(fast.DirList[0], literal.DirList[0]);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fast.Rnd(), literal.Rnd());
    }
}

void TestWalks::indexedHuntMatchesTheLiteralScan_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<float>("loopChance");
    QTest::addColumn<bool>("randomRun");
    for (const Layout layout :
         {Layout::TopLeftToBottomRight, Layout::Grid, Layout::HandMatte, Layout::RandomMatte, Layout::CombMatte})
        for (const float loops : {0.0f, 2.5f, 25.0f})
            for (const bool randomRun : {false, true})
                QTest::addRow("%s, loop chance %g%s", layoutName(layout), loops, randomRun ? ", random run" : "")
                    << int(layout) << loops << randomRun;
}

void TestWalks::indexedHuntMatchesTheLiteralScan()
{
    QFETCH(int, layout);
    QFETCH(float, loopChance);
    QFETCH(bool, randomRun);
    auto cases = setups(Layout(layout), true, 30, 3);
    if (Layout(layout) == Layout::TopLeftToBottomRight)
        cases.push_back(Setup{});  // the default 50 x 70
    for (Setup setup : cases) {
        setup.harder = true;
        setup.loopChance = loopChance;
        setup.randomRun = randomRun;
        MazeState indexed = prepare(setup);
        MazeState literal = prepare(setup);
        Recorder a, b;
        const long long drawn = make_maze_2(indexed, a);
        QCOMPARE(drawn, literalMakeMaze2(literal, b));
        const std::string where = std::to_string(setup.cols) + " x " + std::to_string(setup.rows)
                                  + " seed " + std::to_string(setup.seed);
        QVERIFY2(sameNodes(indexed, literal), where.c_str());
        QVERIFY2(indexed.RowFlags == literal.RowFlags, where.c_str());
        QCOMPARE(a.reports, b.reports);
        QCOMPARE(indexed.CurX, literal.CurX);
        QCOMPARE(indexed.CurY, literal.CurY);
        QCOMPARE(indexed.LastDir, literal.LastDir);
        QCOMPARE(indexed.RunLength, literal.RunLength);
        QCOMPARE(indexed.DirList[0], literal.DirList[0]);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(indexed.Rnd(), literal.Rnd());  // the same count of numbers used
    }
}

void TestWalks::huntIndexStopsWhereTheScanStops()
{
    // Random grids, wide ones among them, carved a cell at a time anywhere next to the carved
    // part, with hunts from random origins in between: every hunt of the index must stop on
    // the scan's source, agree on passing a dead end and leave the same row flags.
    std::mt19937 gen(2024);
    int hunts = 0, found = 0, dead = 0;
    for (int round = 0; round < 60; ++round) {
        const int cols = 1 + static_cast<int>(gen() % (round % 3 == 0 ? 200 : 30));
        const int rows = 1 + static_cast<int>(gen() % 25);
        MazeState s;
        s.grid.allocate(2 * cols + 1, 2 * rows + 1);
        const walk_steps::Nodes nodes(s.grid);
        std::vector<std::pair<int, int>> cells;
        for (int y = 2; y < 2 * rows + 1; y += 2)
            for (int x = 2; x < 2 * cols + 1; x += 2) {
                cells.emplace_back(x, y);
                if (gen() % 5 == 0)
                    s.grid.set(x, y, NodeGrid::Blocked);
            }
        const auto [sx, sy] = cells[gen() % cells.size()];
        const auto [fx, fy] = cells[gen() % cells.size()];
        s.FinishX = static_cast<std::int16_t>(gen() % 4 ? fx : -1);
        s.FinishY = static_cast<std::int16_t>(gen() % 4 ? fy : -1);
        s.grid.set(sx, sy, NodeGrid::Carved);
        s.RowFlags.assign(2 * rows + 2, 0);
        s.RowFlags[sy] = 1;
        std::vector<std::uint8_t> indexFlags = s.RowFlags;
        walk_steps::HuntIndex index(nodes, indexFlags, s.FinishX, s.FinishY);

        std::vector<std::pair<int, int>> carved{{sx, sy}};
        for (int misses = 0; misses < 5;) {
            if (gen() % 3 != 0) {
                // Carve a free cell beside a carved one, as some walk might.
                const auto [x, y] = carved[gen() % carved.size()];
                if (x == s.FinishX && y == s.FinishY)
                    continue;
                const unsigned free = walk_steps::freeMask(nodes, x, y);
                if (!free)
                    continue;
                const int d = walk_steps::nthDir(free, 1 + static_cast<int>(gen() % std::popcount(free)));
                const int nx = x + 2 * StepX[d], ny = y + 2 * StepY[d];
                s.grid.set(x + StepX[d], y + StepY[d], NodeGrid::Carved);
                s.grid.set(nx, ny, NodeGrid::Carved);
                s.RowFlags[ny] = 1;
                index.carve(nx, ny);
                carved.emplace_back(nx, ny);
                continue;
            }
            const int rx = 2 + 2 * static_cast<int>(gen() % std::max(1, cols - 1));
            const int ry = 2 + 2 * static_cast<int>(gen() % std::max(1, rows - 1));
            bool passed = false;
            const bool scanFound = literalHunt(s, rx, ry, passed);
            const walk_steps::HuntIndex::Result r = index.hunt(rx, ry);
            const std::string where = std::to_string(cols) + " x " + std::to_string(rows) + " from " + at(rx, ry);
            QVERIFY2(r.found == scanFound, where.c_str());
            if (scanFound) {
                QCOMPARE(r.x, int(s.CurX));
                QCOMPARE(r.y, int(s.CurY));
            }
            QVERIFY2(r.passedDeadEnd == passed, where.c_str());
            QVERIFY2(indexFlags == s.RowFlags, where.c_str());
            ++hunts;
            found += scanFound;
            dead += passed;
            misses += !scanFound;
        }
    }
    // Both outcomes, and both answers on dead ends, really occurred.
    QVERIFY(found > 100 && hunts - found > 100);
    QVERIFY(dead > 100 && hunts - dead > 100);
}

void TestWalks::refusesGridsItCannotWalk()
{
    for (const bool harder : {false, true}) {
        MazeState even = prepare({Layout::RandomMatte, 5, 5});
        even.Harder = harder;
        even.grid.allocate(10, 11);
        even.grid.set(2, 2, NodeGrid::Carved);
        Recorder progress;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, walk(even, progress));

        MazeState outside = prepare({Layout::RandomMatte, 5, 5});
        outside.Harder = harder;
        outside.StartX = outside.CurX = 12;  // beyond the 11-node width
        const MazeState before = outside;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, walk(outside, progress));
        QVERIFY(sameNodes(outside, before));

        // Weights must stay positive: a negative run length would make them meaningless.
        MazeState negative = prepare({Layout::RandomMatte, 5, 5});
        negative.Harder = harder;
        negative.RunLength = -1;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, walk(negative, progress));
        QVERIFY(progress.captions.empty());
    }

    // The hunt relies on what every walk leaves: no carved cell with a free neighbour in a
    // row without a flag. A grid carved elsewhere beforehand is refused, not mis-hunted.
    MazeState stray = prepare({Layout::RandomMatte, 6, 6, 5, true});
    for (int y = 2; y < stray.GridHeight; y += 2)
        for (int x = 2; x < stray.GridWidth; x += 2)
            stray.grid.unset(x, y, NodeGrid::Blocked);
    const int row = stray.StartY == 2 ? 12 : 2;
    stray.grid.set(6, row, NodeGrid::Carved);
    const auto flags = stray.RowFlags;
    Recorder progress;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, make_maze_2(stray, progress));
    QVERIFY(progress.captions.empty());
    QCOMPARE(stray.RowFlags, flags);
}

QTEST_APPLESS_MAIN(TestWalks)
#include "tst_walks.moc"

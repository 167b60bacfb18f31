#include "maze/walk.h"

#include "maze/progress.h"
#include "maze/walk_steps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace walk_steps;

namespace {

/// A bitset with a summary bit per word, per word of summaries and so on up to one word,
/// so that the next set bit from any position is found in a handful of word reads.
class LevelBitset {
public:
    static constexpr std::size_t None = static_cast<std::size_t>(-1);

    explicit LevelBitset(std::size_t size) : size_(size)
    {
        std::size_t bits = size;
        do {
            const std::size_t words = (bits + 63) / 64;
            levels_.emplace_back(words, 0);
            bits = words;
        } while (bits > 1);
    }

    bool test(std::size_t p) const { return (levels_[0][p >> 6] >> (p & 63)) & 1; }

    void set(std::size_t p)
    {
        for (auto &level : levels_) {
            std::uint64_t &word = level[p >> 6];
            const bool summarised = word != 0;
            word |= std::uint64_t{1} << (p & 63);
            if (summarised)
                return;
            p >>= 6;
        }
    }

    void clear(std::size_t p)
    {
        for (auto &level : levels_) {
            std::uint64_t &word = level[p >> 6];
            word &= ~(std::uint64_t{1} << (p & 63));
            if (word != 0)
                return;
            p >>= 6;
        }
    }

    /// The first set bit at or after p, or None.
    std::size_t next(std::size_t p) const
    {
        if (p >= size_)
            return None;
        std::size_t level = 0;
        for (;;) {
            const auto &words = levels_[level];
            const std::size_t w = p >> 6;
            if (w >= words.size())
                return None;
            const std::uint64_t m = words[w] & (~std::uint64_t{0} << (p & 63));
            if (m != 0) {
                p = (w << 6) | static_cast<std::size_t>(std::countr_zero(m));
                break;
            }
            if (++level == levels_.size())
                return None;
            p = w + 1;
        }
        while (level > 0) {
            --level;
            p = (p << 6) | static_cast<std::size_t>(std::countr_zero(levels_[level][p]));
        }
        return p;
    }

    /// True when a bit is set in the rows strictly after `from` and before `to`, going round
    /// past the end; `to` = `from` means every other position.
    bool anyBetween(std::size_t from, std::size_t to) const
    {
        if (to > from)
            return next(from + 1) < to;
        return next(from + 1) != None || next(0) < to;
    }

private:
    std::size_t size_;
    std::vector<std::vector<std::uint64_t>> levels_;
};

/// Two sets of cells whose words for the same 64 cells lie side by side, so that a hunt
/// landing on a cold part of the grid reads both in one cache line.
class CellSets {
public:
    enum Set { Candidates = 0, Carved = 1 };

    explicit CellSets(std::size_t size)
        : size_(size), words_((size + 63) / 64), summary_{LevelBitset(words_.size()), LevelBitset(words_.size())}
    {
    }

    std::size_t size() const { return size_; }

    void set(Set k, std::size_t p)
    {
        std::uint64_t &word = words_[p >> 6][k];
        if (word == 0)
            summary_[k].set(p >> 6);
        word |= std::uint64_t{1} << (p & 63);
    }

    void clear(Set k, std::size_t p)
    {
        std::uint64_t &word = words_[p >> 6][k];
        word &= ~(std::uint64_t{1} << (p & 63));
        if (word == 0)
            summary_[k].clear(p >> 6);
    }

    /// The first member of set k at or after p, or LevelBitset::None.
    std::size_t next(Set k, std::size_t p) const
    {
        if (p >= size_)
            return LevelBitset::None;
        std::size_t w = p >> 6;
        // The summary is far smaller than the words: ask it first whether this word is worth
        // a read from memory.
        if (summary_[k].test(w)) {
            const std::uint64_t m = words_[w][k] & (~std::uint64_t{0} << (p & 63));
            if (m != 0)
                return (w << 6) | static_cast<std::size_t>(std::countr_zero(m));
        }
        w = summary_[k].next(w + 1);
        if (w == LevelBitset::None)
            return w;
        return (w << 6) | static_cast<std::size_t>(std::countr_zero(words_[w][k]));
    }

private:
    std::size_t size_;
    std::vector<std::array<std::uint64_t, 2>> words_;
    LevelBitset summary_[2];  // per word of each set: not empty
};

/// Where the hunt of the harder walk finds its next source, without rescanning rows.
///
/// The scan visits the rest of the origin's row, every flagged row after it (going round),
/// then the origin's row up to the origin, and stops at the first source: a carved cell,
/// not the finish, with a free (uncarved, unblocked) neighbour. A source only ever lies in a
/// flagged row, since a row is flagged when a cell in it is carved and unflagged only when it
/// holds neither a source nor a free cell, which it then never gains again. So the first
/// source in row-major order from the origin, going round, is the scan's source. What the scan
/// does on the way follows from sets kept per row: it resets LastDir when it passes a carved
/// cell other than the finish (before the source every such cell has no free neighbour), and
/// unflags every flagged row it crosses whole that holds no free cell.
///
/// Sources are found lazily: every carved cell other than the finish starts as a candidate,
/// and a hunt tries the candidates in scan order, dropping for good those without a free
/// neighbour (free cells never come back). So each cell is found dead at most once, in runs
/// along rows, and a step of the walk never looks past the cell it carves.
class HuntIndex {
public:
    struct Result {
        bool found = false;
        int x = 0, y = 0;
        bool passedDeadEnd = false;
    };

    HuntIndex(const Nodes &g, std::vector<std::uint8_t> &rowFlags, int finishX, int finishY)
        : g_(g), flags_(rowFlags.data()), cols_((g.width - 1) / 2), rows_((g.height - 1) / 2),
          finishX_(finishX), finishY_(finishY), cells_(static_cast<std::size_t>(cols_) * rows_),
          closable_(rows_), deadRows_(rows_), freeInRow_(rows_, 0), firstCarved_(rows_, cols_),
          lastCarved_(rows_, -1)
    {
        for (int j = 0; j < rows_; ++j) {
            const int y = 2 * j + 2;
            const std::uint8_t *row = g_.at(0, y);
            int free = 0;
            for (int x = 2; x < g_.width; x += 2) {
                const std::uint8_t f = row[x];
                if (!(f & Taken)) {
                    ++free;
                } else if ((f & NodeGrid::Carved) && !isFinish(x, y)) {
                    if (!flags_[y] && hasFreeDir(g_, x, y))
                        throw std::invalid_argument("cannot hunt on this grid: row " + std::to_string(y)
                                                    + " holds a carved cell with free neighbours but no flag");
                    addCarved(x, y);
                }
            }
            freeInRow_[j] = free;
            if (flags_[y]) {
                if (free == 0)
                    closable_.set(j);
                if (lastCarved_[j] >= 0)
                    deadRows_.set(j);
            }
        }
    }

    /// Records that the free cell (x, y) has been carved, and flags its row.
    void carve(int x, int y)
    {
        const int j = (y - 2) / 2;
        flags_[y] = 1;
        if (!isFinish(x, y))
            addCarved(x, y);
        if (lastCarved_[j] >= 0)
            deadRows_.set(j);
        if (--freeInRow_[j] == 0)
            closable_.set(j);
    }

    /// The scan from the cell (rx, ry): the source it stops at, whether it passed a carved
    /// cell without free neighbours first, and the rows it unflags.
    Result hunt(int rx, int ry)
    {
        const std::size_t origin = cell(rx, ry);
        const std::size_t j0 = static_cast<std::size_t>(ry - 2) / 2;
        const int i0 = (rx - 2) / 2;
        const std::size_t rowEnd = (j0 + 1) * cols_;

        std::size_t source = firstSource(origin, cells_.size());
        const bool wrapped = source == LevelBitset::None;
        if (wrapped)
            source = firstSource(0, origin);

        Result r;
        if (!wrapped && source < rowEnd) {
            r.passedDeadEnd = cells_.next(CellSets::Carved, origin) < source;
        } else {
            const bool none = source == LevelBitset::None;
            const std::size_t js = none ? j0 : source / cols_;
            const int is = none ? i0 : static_cast<int>(source % cols_);
            // The rest of the origin's row, the rows crossed whole, the start of the last row.
            r.passedDeadEnd = lastCarved_[j0] >= i0 || deadRows_.anyBetween(j0, js) || firstCarved_[js] < is;
            unflagBetween(j0, js);
            if (none)
                return r;
        }
        r.found = true;
        r.x = static_cast<int>(source % cols_) * 2 + 2;
        r.y = static_cast<int>(source / cols_) * 2 + 2;
        return r;
    }

private:
    bool isFinish(int x, int y) const { return x == finishX_ && y == finishY_; }

    std::size_t cell(int x, int y) const
    {
        return static_cast<std::size_t>((y - 2) / 2) * cols_ + static_cast<std::size_t>((x - 2) / 2);
    }

    void addCarved(int x, int y)
    {
        const std::size_t p = cell(x, y);
        const int i = (x - 2) / 2, j = (y - 2) / 2;
        cells_.set(CellSets::Carved, p);
        cells_.set(CellSets::Candidates, p);
        firstCarved_[j] = std::min(firstCarved_[j], i);
        lastCarved_[j] = std::max(lastCarved_[j], i);
    }

    /// The first source in from..end - 1, dropping the dead candidates before it.
    std::size_t firstSource(std::size_t from, std::size_t end)
    {
        for (std::size_t p = cells_.next(CellSets::Candidates, from); p < end;
             p = cells_.next(CellSets::Candidates, p + 1)) {
            if (hasFreeDir(g_, static_cast<int>(p % cols_) * 2 + 2, static_cast<int>(p / cols_) * 2 + 2))
                return p;
            cells_.clear(CellSets::Candidates, p);
        }
        return LevelBitset::None;
    }

    // The rows a scan crosses whole lose their flag when they hold no free cell.
    void unflagBetween(std::size_t j0, std::size_t js)
    {
        const auto unflag = [this](std::size_t j) {
            flags_[2 * j + 2] = 0;
            closable_.clear(j);
            if (deadRows_.test(j))
                deadRows_.clear(j);
        };
        if (js > j0) {
            for (std::size_t j = closable_.next(j0 + 1); j < js; j = closable_.next(j + 1))
                unflag(j);
            return;
        }
        for (std::size_t j = closable_.next(j0 + 1); j != LevelBitset::None; j = closable_.next(j + 1))
            unflag(j);
        for (std::size_t j = closable_.next(0); j < js; j = closable_.next(j + 1))
            unflag(j);
    }

    const Nodes g_;
    std::uint8_t *flags_;  // one per row of nodes, indexed by y
    const int cols_, rows_;
    const int finishX_, finishY_;
    CellSets cells_;
    LevelBitset closable_;  // per row of cells: flagged and without a free cell
    LevelBitset deadRows_;  // per row of cells: flagged and holding a carved cell, not the finish
    std::vector<int> freeInRow_;
    std::vector<int> firstCarved_, lastCarved_;  // per row: column of the first and last carved
                                                 // cell other than the finish (cols_, -1: none)
};

} // namespace

long long make_maze_2(MazeState &s, Progress &progress)
{
    return make_maze_2(s, progress, nullptr);
}

long long make_maze_2(MazeState &s, Progress &progress, WalkStats *stats)
{
    checkWalkable(s);
    const Nodes g(s.grid);
    if (s.RowFlags.size() != static_cast<std::size_t>(g.height) + 1)
        s.RowFlags.assign(static_cast<std::size_t>(g.height) + 1, 0);
    std::uint8_t *flags = s.RowFlags.data();
    flags[s.StartY] = 1;
    const int finishX = s.FinishX, finishY = s.FinishY;
    const int startX = s.StartX, startY = s.StartY;
    HuntIndex index(g, s.RowFlags, finishX, finishY);

    progress.caption("Generating...");
    const bool loopsWanted = s.LoopChance > 0;
    const int originCols = (g.width - 3) / 2;
    const int originRows = (g.height - 3) / 2;
    const std::ptrdiff_t offset[5] = {0, 1, g.stride, -1, -g.stride};

    long long nodesDrawn = 1;
    long long passes = 0, hunts = 0, rowDraws = 0;
    int tick = 0;
    int x = s.CurX, y = s.CurY;
    int lastDir = 0;
    if (s.RandomRun)
        s.RunLength = drawRunLength(s);
    Chooser chooser(s.RunLength, s.RunBias);

    const auto count = [&](long long allPasses) {
        if (stats) {
            stats->passes = allPasses;
            stats->hunts = hunts;
            stats->rowDraws = rowDraws;
        }
    };
    const auto advance = [&](int d) {
        const std::ptrdiff_t step = offset[d];
        std::uint8_t *p = g.at(x, y);
        p[step] |= NodeGrid::Carved;
        p[2 * step] |= NodeGrid::Carved;
        x += 2 * StepX[d];
        y += 2 * StepY[d];
        index.carve(x, y);
        lastDir = d;
        ++nodesDrawn;
    };

    for (;; ++passes) {
        if (++tick > 99) {
            tick = 0;
            progress.nodesDrawn(nodesDrawn);
            progress.processEvents();
            if (progress.stopRequested()) {
                keepPosition(s, x, y, lastDir);
                count(passes);
                return nodesDrawn;
            }
            if (s.RandomRun) {
                s.RunLength = drawRunLength(s);
                chooser.setRun(s.RunLength, s.RunBias);
            }
        }
        if (x == finishX && y == finishY) {
            x = startX;
            y = startY;
            lastDir = 0;
        }

        if (const unsigned free = freeMask(g, x, y)) {
            advance(chooser.pick(free, lastDir, s.Rnd()));
            continue;
        }

        const float chance = s.Rnd();
        if (loopsWanted && percent(chance) <= s.LoopChance) {
            keepPosition(s, x, y, lastDir);
            openLoop(s, false);
        }
        ++hunts;
        const int rx = (choose(s.Rnd(), originCols) - 1) * 2 + 2;
        // These draws only pick the row to start in, yet each one is part of the sequence.
        int ry = 0;
        int tries = 0;
        do {
            ry = (choose(s.Rnd(), originRows) - 1) * 2 + 2;
            ++tries;
        } while (!flags[ry] && tries <= g.height);
        rowDraws += tries;

        const HuntIndex::Result found = index.hunt(rx, ry);
        if (found.passedDeadEnd)
            lastDir = 0;
        if (!found.found) {
            x = rx;
            y = ry;
            break;
        }
        x = found.x;
        y = found.y;
        advance(chooser.pick(freeMask(g, x, y), lastDir, s.Rnd()));
    }
    keepPosition(s, x, y, lastDir);
    count(passes + 1);
    s.DirList[0] = 0;  // as the scan's last get_dirs leaves it
    progress.nodesDrawn(nodesDrawn);
    progress.processEvents();
    return nodesDrawn;
}

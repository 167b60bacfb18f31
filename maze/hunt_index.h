#pragma once

// The hunt of the "Harder (slower)" walk: where its scan would stop, found without
// rescanning rows. Internal to the walks; the tests check it against the scan itself.

#include "maze/walk_steps.h"
#include "maze/zeroed_array.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace walk_steps {

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
            levels_.emplace_back(words);
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
            // The level above is far smaller and likelier cached: ask it first whether this
            // word is worth a read from memory.
            const bool above = level + 1 == levels_.size() || ((levels_[level + 1][w >> 6] >> (w & 63)) & 1);
            const std::uint64_t m = above ? words[w] & (~std::uint64_t{0} << (p & 63)) : 0;
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

    std::size_t size() const { return size_; }

private:
    std::size_t size_;
    std::vector<ZeroedArray<std::uint64_t>> levels_;
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
/// and a hunt tries the candidates in scan order, 64 cells at a time against one bit per cell
/// saying whether it is free, dropping for good those without a free neighbour (free cells
/// never come back). The hunt reads only these bit sets, a quarter of the grid's size, and
/// never the grid.
class HuntIndex {
public:
    struct Result {
        bool found = false;
        int x = 0, y = 0;
        bool passedDeadEnd = false;
    };

    /// Builds the sets from the grid and the row flags (the start's row already flagged).
    /// Throws std::invalid_argument when a row without a flag holds a source, which no walk
    /// leaves behind.
    HuntIndex(const Nodes &g, std::vector<std::uint8_t> &rowFlags, int finishX, int finishY);

    /// Records that the free cell (x, y) has been carved, and flags its row.
    void carve(int x, int y)
    {
        const int i = (x - 2) / 2, j = (y - 2) / 2;
        const std::size_t w = word(i, j);
        const std::uint64_t b = std::uint64_t{1} << (i & 63);
        Cells &c = cells_[w + stride_];
        flags_[y] = 1;
        c.free &= ~b;
        if (!isFinish(x, y))
            addCarved(c, w, b, i, j);
        if (lastCarved_[j] >= 0)
            deadRows_.set(j);
        if (--freeInRow_[j] == 0)
            closable_.set(j);
    }

    /// Fetches the records that carving a cell above or below (x, y) will write.
    void prefetchAround(int x, int y) const
    {
        const Cells *c = &cells_[word((x - 2) / 2, (y - 2) / 2) + stride_];
        __builtin_prefetch(c - stride_);
        __builtin_prefetch(c + stride_);
    }

    /// The scan from the cell (rx, ry): the source it stops at, whether it passed a carved
    /// cell without free neighbours first, and the rows it unflags.
    Result hunt(int rx, int ry);

private:
    /// 64 cells of a row, side by side so that carving a cell writes one cache line.
    struct Cells {
        std::uint64_t candidates;  // carved, not the finish, not yet found dead
        std::uint64_t free;        // neither carved nor blocked
        std::uint64_t carved;      // carved, not the finish
        std::uint64_t unused;      // two to a cache line
    };

    bool isFinish(int x, int y) const { return x == finishX_ && y == finishY_; }

    /// The word of cell (i, j): rows of cells start on whole words, so that a word lines up
    /// with the words of the rows around. Every row ends with an empty word, and cells_ has a
    /// row of empty words above and below, so that every word has neighbours to read.
    std::size_t word(int i, int j) const
    {
        return static_cast<std::size_t>(j) * stride_ + static_cast<std::size_t>(i >> 6);
    }

    void addCarved(Cells &c, std::size_t w, std::uint64_t b, int i, int j)
    {
        if (!c.candidates)
            candidateWords_.set(w);
        c.candidates |= b;
        c.carved |= b;
        firstCarved_[j] = std::min(firstCarved_[j], i);
        lastCarved_[j] = std::max(lastCarved_[j], i);
    }

    std::uint64_t withFreeNeighbour(std::size_t w) const;
    std::size_t firstSource(std::size_t from, std::size_t end);
    bool carvedBetween(int j, int from, int to) const;
    void unflagBetween(std::size_t j0, std::size_t js);

    const Nodes g_;
    std::uint8_t *flags_;  // one per row of nodes, indexed by y
    const int cols_, rows_;
    const int finishX_, finishY_;
    const std::size_t stride_;   // words per row of cells, one of them empty
    const std::size_t rowBits_;  // 64 x stride_: a cell's place in scan order is j x rowBits_ + i
    ZeroedArray<Cells> cells_;
    LevelBitset candidateWords_;  // per word: it holds a candidate
    LevelBitset closable_;        // per row of cells: flagged and without a free cell
    LevelBitset deadRows_;        // per row of cells: flagged and holding a carved cell, not the finish
    std::vector<int> freeInRow_;
    std::vector<int> firstCarved_, lastCarved_;  // per row: column of the first and last carved
                                                 // cell other than the finish (cols_, -1: none)
};

} // namespace walk_steps

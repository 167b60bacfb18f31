#include "maze/hunt_index.h"

#include <stdexcept>
#include <string>

namespace walk_steps {

HuntIndex::HuntIndex(const Nodes &g, std::vector<std::uint8_t> &rowFlags, int finishX, int finishY)
    : g_(g), flags_(rowFlags.data()), cols_((g.width - 1) / 2), rows_((g.height - 1) / 2), finishX_(finishX),
      finishY_(finishY), stride_((static_cast<std::size_t>(cols_) + 63) / 64 + 1), rowBits_(64 * stride_),
      cells_((static_cast<std::size_t>(rows_) + 2) * stride_), candidateWords_(static_cast<std::size_t>(rows_) * stride_),
      closable_(rows_), deadRows_(rows_), freeInRow_(rows_, 0), firstCarved_(rows_, cols_), lastCarved_(rows_, -1)
{
    for (int j = 0; j < rows_; ++j) {
        const int y = 2 * j + 2;
        const std::uint16_t *row = g.at(0, y) + 1;  // cell i's word
        int count = 0;
        for (int i0 = 0; i0 < cols_; i0 += 64) {
            const int n = std::min(64, cols_ - i0);
            const std::size_t w = word(i0, j);
            Cells &c = cells_[w + stride_];
            // Away from the frame and the start, a fresh grid is zero 64 cells at a time.
            unsigned any = 0;
            for (int k = 0; k < n; ++k)
                any |= row[i0 + k];
            if (any == 0) {
                c.free = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
                count += n;
                continue;
            }
            for (int i = i0; i < i0 + n; ++i) {
                const unsigned f = row[i];
                const int x = 2 * i + 2;
                const std::uint64_t b = std::uint64_t{1} << (i & 63);
                if (!(f & Taken)) {
                    c.free |= b;
                    ++count;
                } else if ((f & NodeGrid::Carved) && !isFinish(x, y)) {
                    if (!flags_[y] && freeMask(g, x, y))
                        throw std::invalid_argument("cannot hunt on this grid: row " + std::to_string(y)
                                                    + " holds a carved cell with free neighbours but no flag");
                    addCarved(c, w, b, i, j);
                }
            }
        }
        freeInRow_[j] = count;
        if (flags_[y]) {
            if (count == 0)
                closable_.set(j);
            if (lastCarved_[j] >= 0)
                deadRows_.set(j);
        }
    }
}

HuntIndex::Result HuntIndex::hunt(int rx, int ry)
{
    const int j0 = (ry - 2) / 2, i0 = (rx - 2) / 2;
    const std::size_t origin = static_cast<std::size_t>(j0) * rowBits_ + static_cast<std::size_t>(i0);
    const std::size_t rowEnd = static_cast<std::size_t>(j0 + 1) * rowBits_;

    std::size_t source = firstSource(origin, static_cast<std::size_t>(rows_) * rowBits_);
    const bool wrapped = source == LevelBitset::None;
    if (wrapped)
        source = firstSource(0, origin);
    if (source != LevelBitset::None) {
        // The walk goes on from the source: its words arrive while the rest of the scan is
        // worked out.
        const std::uint16_t *p = g_.at(static_cast<int>(source % rowBits_) * 2 + 2, static_cast<int>(source / rowBits_) * 2 + 2);
        __builtin_prefetch(p);
        __builtin_prefetch(p - g_.stride);
        __builtin_prefetch(p + g_.stride);
    }

    Result r;
    if (!wrapped && source < rowEnd) {
        r.passedDeadEnd = carvedBetween(j0, i0, static_cast<int>(source % rowBits_));
    } else {
        const bool none = source == LevelBitset::None;
        const std::size_t js = none ? static_cast<std::size_t>(j0) : source / rowBits_;
        const int is = none ? i0 : static_cast<int>(source % rowBits_);
        // The rest of the origin's row, the rows crossed whole, the start of the last row.
        r.passedDeadEnd = lastCarved_[j0] >= i0 || deadRows_.anyBetween(j0, js) || firstCarved_[js] < is;
        unflagBetween(j0, js);
        if (none)
            return r;
    }
    r.found = true;
    r.x = static_cast<int>(source % rowBits_) * 2 + 2;
    r.y = static_cast<int>(source / rowBits_) * 2 + 2;
    return r;
}

/// The cells of word w with a free neighbour: left and right from the row's own words, up and
/// down from the rows around, none past any edge (the empty words there).
std::uint64_t HuntIndex::withFreeNeighbour(std::size_t w) const
{
    const Cells *c = &cells_[w + stride_];
    const std::uint64_t here = c->free;
    return (here << 1) | (c[-1].free >> 63) | (here >> 1) | (c[1].free << 63)
           | c[-static_cast<std::ptrdiff_t>(stride_)].free | c[stride_].free;
}

/// The first source in from..end - 1 (places in scan order), dropping the dead candidates of
/// every word it reads.
std::size_t HuntIndex::firstSource(std::size_t from, std::size_t end)
{
    // The summary, far smaller than the words, says whether the origin's word is worth reading.
    const std::size_t first = from >> 6;
    for (std::size_t w = candidateWords_.test(first) ? first : candidateWords_.next(first + 1);
         w != LevelBitset::None && (w << 6) < end; w = candidateWords_.next(w + 1)) {
        Cells &c = cells_[w + stride_];
        const std::uint64_t sources = c.candidates & withFreeNeighbour(w);
        if (sources != c.candidates) {
            c.candidates = sources;
            if (!sources)
                candidateWords_.clear(w);
        }
        // Sources before `from` are not where this scan stops.
        const std::uint64_t ahead = w == first ? sources & (~std::uint64_t{0} << (from & 63)) : sources;
        if (ahead) {
            const std::size_t q = (w << 6) | static_cast<std::size_t>(std::countr_zero(ahead));
            return q < end ? q : LevelBitset::None;
        }
    }
    return LevelBitset::None;
}

/// True when row j holds a carved cell other than the finish in columns from..to - 1.
bool HuntIndex::carvedBetween(int j, int from, int to) const
{
    if (from >= to)
        return false;
    const Cells *row = &cells_[word(0, j) + stride_];
    const int first = from >> 6, last = (to - 1) >> 6;
    const std::uint64_t head = ~std::uint64_t{0} << (from & 63);
    const std::uint64_t tail = ~std::uint64_t{0} >> (63 - ((to - 1) & 63));
    if (first == last)
        return row[first].carved & head & tail;
    if (row[first].carved & head)
        return true;
    for (int w = first + 1; w < last; ++w)
        if (row[w].carved)
            return true;
    return row[last].carved & tail;
}

// The rows a scan crosses whole lose their flag when they hold no free cell.
void HuntIndex::unflagBetween(std::size_t j0, std::size_t js)
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

} // namespace walk_steps

#include "maze/hunt_index.h"

#include <stdexcept>
#include <string>

namespace walk_steps {

HuntIndex::HuntIndex(const Nodes &g, std::vector<std::uint8_t> &rowFlags, int finishX, int finishY)
    : g_(g), flags_(rowFlags.data()), cols_((g.width - 1) / 2), rows_((g.height - 1) / 2),
      finishX_(finishX), finishY_(finishY), segmentsPerRow_((cols_ + 63) / 64),
      candidates_(static_cast<std::size_t>(cols_) * rows_),
      carvedSegments_(static_cast<std::size_t>(segmentsPerRow_) * rows_),
      closable_(rows_), deadRows_(rows_), freeInRow_(rows_, 0), firstCarved_(rows_, cols_),
      lastCarved_(rows_, -1)
{
    for (int j = 0; j < rows_; ++j) {
        const int y = 2 * j + 2;
        const std::uint16_t *row = g_.at(0, y);
        int free = 0;
        for (int x = 2; x < g_.width; x += 2) {
            const unsigned f = row[x >> 1];
            if (!(f & Taken)) {
                ++free;
            } else if ((f & NodeGrid::Carved) && !isFinish(x, y)) {
                if (!flags_[y] && freeMask(g_, x, y))
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

HuntIndex::Result HuntIndex::hunt(int rx, int ry)
{
    const std::size_t origin = cell(rx, ry);
    const std::size_t j0 = static_cast<std::size_t>(ry - 2) / 2;
    const int i0 = (rx - 2) / 2;
    const std::size_t rowEnd = (j0 + 1) * cols_;

    std::size_t source = firstSource(origin, candidates_.size());
    const bool wrapped = source == LevelBitset::None;
    if (wrapped)
        source = firstSource(0, origin);

    Result r;
    if (!wrapped && source < rowEnd) {
        r.passedDeadEnd = carvedBetween(static_cast<int>(j0), i0, static_cast<int>(source % cols_));
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

/// The first source in from..end - 1, dropping the dead candidates before it.
std::size_t HuntIndex::firstSource(std::size_t from, std::size_t end)
{
    for (std::size_t p = candidates_.next(from); p < end; p = candidates_.next(p + 1)) {
        if (freeMask(g_, static_cast<int>(p % cols_) * 2 + 2, static_cast<int>(p / cols_) * 2 + 2))
            return p;
        candidates_.clear(p);
    }
    return LevelBitset::None;
}

/// True when row j holds a carved cell other than the finish in columns from..to - 1.
/// The segments in between answer from their set; only the two ends read the grid.
bool HuntIndex::carvedBetween(int j, int from, int to) const
{
    if (from >= to)
        return false;
    const std::size_t rowSegment = static_cast<std::size_t>(j) * segmentsPerRow_;
    const int first = from / 64, last = (to - 1) / 64;
    const auto scan = [&](int a, int b) {
        if (!carvedSegments_.test(rowSegment + a / 64))
            return false;
        const int y = 2 * j + 2;
        const std::uint16_t *row = g_.at(0, y);
        for (int i = a; i < b; ++i)
            if ((row[i + 1] & NodeGrid::Carved) && !isFinish(2 * i + 2, y))
                return true;
        return false;
    };
    if (first == last)
        return scan(from, to);
    return scan(from, (first + 1) * 64) || carvedSegments_.next(rowSegment + first + 1) < rowSegment + last
           || scan(last * 64, to);
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

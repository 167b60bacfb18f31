#include "matte/path_link.h"

#include <stdexcept>
#include <string>
#include <utility>

PathLinker::PathLinker(CellMap open, int startCx, int startCy)
    : open_(std::move(open)), linked_(open_.cols(), open_.rows())
{
    if (!open_.contains(startCx, startCy))
        throw std::invalid_argument("start cell (" + std::to_string(startCx + 1) + ", "
                                    + std::to_string(startCy + 1) + ") is outside the matte");
    linked_.set(startCx, startCy);
}

bool PathLinker::sweep()
{
    const bool byRows = pass(true);
    const bool byColumns = pass(false);
    return byRows || byColumns;
}

// One pass along every row (or column). A run is a stretch of open cells; once a
// linked cell is met, the run behind it back to its first cell and every open cell
// after it up to the run's end become linked.
bool PathLinker::pass(bool rows)
{
    const int lines = rows ? open_.rows() : open_.cols();
    const int length = rows ? open_.cols() : open_.rows();
    bool changed = false;
    for (int line = 0; line < lines; ++line) {
        int runStart = -1;
        bool runHoldsLink = false;
        for (int k = 0; k < length; ++k) {
            const int cx = rows ? k : line;
            const int cy = rows ? line : k;
            if (!open_.at(cx, cy)) {
                runStart = -1;
                runHoldsLink = false;
                continue;
            }
            if (runStart == -1)
                runStart = k;
            if (!linked_.at(cx, cy) && runHoldsLink) {
                linked_.set(cx, cy);
                changed = true;
                ++count_;
            } else if (linked_.at(cx, cy)) {
                runHoldsLink = true;
                for (int back = runStart; back < k; ++back) {
                    const int bx = rows ? back : line;
                    const int by = rows ? line : back;
                    if (!linked_.at(bx, by)) {
                        linked_.set(bx, by);
                        changed = true;
                        ++count_;
                    }
                }
            }
        }
    }
    return changed;
}

PathCheck link_path(const CellMap &open, int startCx, int startCy)
{
    PathLinker linker(open, startCx, startCy);
    PathCheck check;
    bool changed = true;
    while (changed) {
        changed = linker.sweep();
        check.sweepCounts.push_back(linker.count());
    }
    check.linked = linker.linked();
    return check;
}

#include "matte/matte_history.h"

#include <algorithm>

void MatteHistory::record(const MatteChange &change)
{
    if (replaying_ || change.empty())
        return;
    for (const MatteChange &step : undone_)
        stored_ -= step.flipped.size();
    undone_.clear();
    if (strokeOpen_ && strokeStarted_) {
        // Flips are gathered as they come and paired off when the stroke ends.
        MatteChange &step = done_.back();
        step.flipped.insert(step.flipped.end(), change.flipped.begin(), change.flipped.end());
        step.startAfter = change.startAfter;
        step.finishAfter = change.finishAfter;
    } else {
        done_.push_back(change);
        strokeStarted_ = strokeOpen_;
    }
    stored_ += change.flipped.size();
    keepWithinBudget();
}

void MatteHistory::beginStroke()
{
    closeStroke();
    strokeOpen_ = true;
}

void MatteHistory::endStroke()
{
    closeStroke();
}

void MatteHistory::closeStroke()
{
    if (strokeOpen_ && strokeStarted_) {
        MatteChange &step = done_.back();
        stored_ -= step.flipped.size();
        // A cell flipped twice in one stroke is as it was.
        std::vector<std::size_t> &f = step.flipped;
        std::sort(f.begin(), f.end());
        std::vector<std::size_t> odd;
        for (std::size_t i = 0; i < f.size();) {
            std::size_t j = i;
            while (j < f.size() && f[j] == f[i])
                ++j;
            if ((j - i) % 2 == 1)
                odd.push_back(f[i]);
            i = j;
        }
        f = std::move(odd);
        stored_ += f.size();
        if (step.empty())
            done_.pop_back();
    }
    strokeOpen_ = false;
    strokeStarted_ = false;
}

bool MatteHistory::undo(MatteModel &matte)
{
    return replay(done_, undone_, matte, true);
}

bool MatteHistory::redo(MatteModel &matte)
{
    return replay(undone_, done_, matte, false);
}

bool MatteHistory::replay(std::deque<MatteChange> &from, std::deque<MatteChange> &to, MatteModel &matte, bool back)
{
    closeStroke();
    if (from.empty())
        return false;
    MatteChange step = std::move(from.back());
    from.pop_back();
    replaying_ = true;
    matte.apply(back ? reversed(step) : step);
    replaying_ = false;
    to.push_back(std::move(step));
    return true;
}

void MatteHistory::clear()
{
    done_.clear();
    undone_.clear();
    stored_ = 0;
    strokeOpen_ = false;
    strokeStarted_ = false;
}

void MatteHistory::keepWithinBudget()
{
    while (stored_ > budget_ && done_.size() > 1) {
        stored_ -= done_.front().flipped.size();
        done_.pop_front();
    }
}

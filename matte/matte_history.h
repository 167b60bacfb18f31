#pragma once

#include "matte/matte_model.h"

#include <cstddef>
#include <deque>

/// Undo and redo for the matte editor: each step is one MatteChange as the model reported
/// it, or the changes of one stroke merged into one, so a large matte costs only the cells
/// its edits flipped. The oldest steps are dropped once the steps together name more than
/// `cellBudget` cells; the newest step is always kept.
class MatteHistory {
public:
    static constexpr std::size_t DefaultCellBudget = std::size_t{1} << 22;

    explicit MatteHistory(std::size_t cellBudget = DefaultCellBudget) : budget_(cellBudget) {}

    /// Keeps an edit the model reported (its observer calls this). Changes made by undo()
    /// and redo() themselves are not kept; a new edit drops the steps that were undone.
    void record(const MatteChange &change);
    /// Until endStroke(), every recorded change joins one step.
    void beginStroke();
    void endStroke();

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    /// Takes the last step back on `matte`, the model the steps were recorded from.
    /// False when there is nothing to undo.
    bool undo(MatteModel &matte);
    /// Makes the last undone step again. False when there is nothing to redo.
    bool redo(MatteModel &matte);
    /// Forgets every step (the model was replaced as a whole).
    void clear();

    std::size_t undoSteps() const { return done_.size(); }
    /// Cells named by the steps kept, the measure of the budget.
    std::size_t storedCells() const { return stored_; }

private:
    void closeStroke();
    // Moves the last step of `from` to `to`, playing it on the model backwards or forwards.
    bool replay(std::deque<MatteChange> &from, std::deque<MatteChange> &to, MatteModel &matte, bool back);
    void keepWithinBudget();

    std::deque<MatteChange> done_;
    std::deque<MatteChange> undone_;
    std::size_t budget_;
    std::size_t stored_ = 0;
    bool strokeOpen_ = false;
    bool strokeStarted_ = false;  // the open stroke has its step on done_
    bool replaying_ = false;
};

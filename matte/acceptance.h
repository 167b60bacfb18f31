#pragma once

#include "matte/cell_map.h"
#include "matte/completion.h"

#include <string>

class NodeGrid;

/// How Ok ends.
enum class MatteVerdict {
    Accepted,
    NoPoints,  // neither point set
    NoStart,
    NoFinish,
    Invalid,   // a count or a point that no matte can have (never from the editor)
    NoPath,    // the finish cell is not linked to the start cell
};

struct MatteOutcome {
    MatteVerdict verdict = MatteVerdict::Invalid;
    /// The message shown for a refusal; empty when accepted.
    std::string message;
    /// Cells linked to the start cell, itself not counted (0 when no check ran).
    long long linkedCount = 0;

    bool accepted() const { return verdict == MatteVerdict::Accepted; }
};

/// The message of a refusal by verdict ("Please choose a start point.", ...); empty for
/// Accepted and Invalid, whose message depends on the input.
std::string verdict_message(MatteVerdict verdict);

/// Ok's first test: Accepted when both points are set, else the verdict to show. Only
/// the x coordinates are looked at.
MatteVerdict check_points(NodePoint start, NodePoint finish);

/// Why a matte of cols x rows cells cannot exist (fewer than one cell either way, or
/// more than a grid holds), or an empty string when it can.
std::string matte_size_problem(long long cols, long long rows);

/// Matte acceptance without a window, for the command line and the tests: the same
/// rules Ok applies to the canvas, with `paper` standing for the cells painted white.
/// On NoPoints, NoStart, NoFinish and Invalid, `blocked` is left untouched. Otherwise it
/// is allocated anew at 2 x cols + 1 by 2 x rows + 1 nodes, read back and completed; on
/// NoPath it keeps that state, and when accepted with `removeUnused`, every cell not
/// linked to the start is excluded as well.
MatteOutcome accept_matte(const CellMap &paper, NodePoint start, NodePoint finish, bool removeUnused,
                          NodeGrid &blocked);

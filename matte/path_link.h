#pragma once

#include "matte/cell_map.h"

#include <functional>
#include <vector>

/// Hears the path check's count after each sweep: the cells linked so far, the start cell
/// not counted.
using SweepReport = std::function<void(long long linked)>;

/// Which cells are linked to the start cell: itself and every open cell joined to it through
/// open cells left, right, above and below (only itself when it is not open). The one answer
/// the path check gives. Throws std::invalid_argument for a start outside the map.
CellMap reach_from(const CellMap &open, MatteCell start);

/// The path check's sweeps, run for the counts the path-check window shows: from the start
/// cell, each sweep runs a row pass and a column pass, and each pass links every whole run of
/// open cells that holds a linked cell; the first sweep that links nothing is the last. They
/// end having linked exactly the cells of reach_from, in as many sweeps as the linked region
/// has turns. Returns the count after each sweep, the last included, telling `report` each
/// as it comes. Throws std::invalid_argument for a start outside the map.
std::vector<long long> sweep_counts(const CellMap &open, MatteCell start, const SweepReport &report = {});

#pragma once

// Mazes carved inside a matte, and what they hold, for the shape and word suites.

#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/shapes.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/progress.h"
#include "maze/state.h"

#include <QString>

#include <utility>
#include <vector>

/// The maze the command line carves from `seed` in the cells `inside`, its start and finish
/// as far apart as they go and "Remove unused areas" on, as for shapes and words; `verdict`
/// says whether acceptance took the matte.
inline MazeState carvedInCells(const CellMap &inside, std::uint32_t seed, FarPoints &points, MatteVerdict &verdict)
{
    const CellMap paper = paper_outside(inside);
    points = far_apart_points(paper);
    const MattePainting painting{paper, points.start, points.finish};
    MazeState s;
    params::Choices c;
    c.widthCells = painting.paper.cols();
    c.heightCells = painting.paper.rows();
    c.type = params::MazeTypeChoice::CustomMatte;
    params::apply_choices(c, s);
    verdict = accept_matte(painting, true, s.grid).verdict;
    if (verdict != MatteVerdict::Accepted)
        return s;
    s.UseMatte = true;
    s.StartX = std::int16_t(pointOf(painting.start).x);
    s.StartY = std::int16_t(pointOf(painting.start).y);
    s.FinishX = std::int16_t(pointOf(painting.finish).x);
    s.FinishY = std::int16_t(pointOf(painting.finish).y);
    s.rng.seed(seed);
    allocate_arrays(s);
    Progress quiet;
    carve_maze(s, quiet);
    return s;
}

/// What a carved maze holds: cells carved, passages between them, cells joined to the
/// start, and whether the finish is among them. A perfect maze has passages = cells - 1
/// and every cell joined.
struct Carving {
    long long cells = 0, passages = 0, joined = 0;
    bool finishReached = false;
};

inline Carving carvingOf(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    Carving c;
    for (int y = 2; y < g.height(); y += 2)
        for (int x = 2; x < g.width(); x += 2) {
            if (!g.carved(x, y))
                continue;
            ++c.cells;
            c.passages += (x + 2 < g.width() && g.carved(x + 1, y)) + (y + 2 < g.height() && g.carved(x, y + 1));
        }
    std::vector<char> seen(g.nodeCount(), 0);
    std::vector<std::pair<int, int>> todo{{s.StartX, s.StartY}};
    seen[g.index(s.StartX, s.StartY)] = 1;
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        ++c.joined;
        c.finishReached |= x == s.FinishX && y == s.FinishY;
        for (const auto &[dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int nx = x + 2 * dx, ny = y + 2 * dy;
            if (g.contains(nx, ny) && g.carved(x + dx, y + dy) && g.carved(nx, ny) && !seen[g.index(nx, ny)]) {
                seen[g.index(nx, ny)] = 1;
                todo.push_back({nx, ny});
            }
        }
    }
    return c;
}

/// Why a carved maze is not perfect, empty when it is.
inline QString carvingFaults(const MazeState &s)
{
    const Carving c = carvingOf(s);
    if (c.passages == c.cells - 1 && c.joined == c.cells && c.finishReached)
        return {};
    return QStringLiteral("%1 cells, %2 passages, %3 joined to the start, the finish %4")
        .arg(c.cells).arg(c.passages).arg(c.joined).arg(c.finishReached ? "reached" : "not reached");
}

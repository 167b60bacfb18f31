// Opens the preview's maze view on a synthetic grid (no generation) and times what a user
// waits for: the overview built when it opens, the first paint, then paints while scrolling at
// each level of zoom; then solves the same grid. Memory is the resident size above the grid's.
//
//   bench_preview [--cells N]      (default 16383: the largest maze, 512 MiB of grid)
//
// The grid is a binary-tree maze: every cell joined to its east or its south neighbour by a
// cheap hash, so it is a perfect maze with walls of every shape and a long solution.

#include "app/maze_view.h"
#include "bench/proc_status.h"
#include "maze/solve.h"
#include "maze/state.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

void binaryTreeMaze(MazeState &s, int cells)
{
    const int n = 2 * cells + 1;
    s.GridWidth = s.GridHeight = n;
    s.MazeType = CustomMatte;
    s.MazeStyle = 1;
    s.grid.allocate(n, n);
    for (int y = 2; y < n; y += 2)
        for (int x = 2; x < n; x += 2) {
            s.grid.set(x, y, NodeGrid::Carved);
            const std::uint32_t h = (std::uint32_t(x) * 2654435761u) ^ (std::uint32_t(y) * 40503u);
            const bool east = x + 2 < n && (y + 2 >= n || (h >> 13) & 1);
            if (east)
                s.grid.set(x + 1, y, NodeGrid::Carved);
            else if (y + 2 < n)
                s.grid.set(x, y + 1, NodeGrid::Carved);
        }
    s.StartX = s.StartY = 2;
    s.FinishX = s.FinishY = static_cast<std::int16_t>(n - 1);
}

double paintMs(MazeView &view)
{
    QElapsedTimer t;
    t.start();
    view.viewport()->grab();
    return t.nsecsElapsed() / 1e6;
}

const char *levelName(MazeView::Level level)
{
    switch (level) {
    case MazeView::Level::Tiles:
        return "tiles";
    case MazeView::Level::Nodes:
        return "nodes";
    case MazeView::Level::Overview:
        return "overview";
    }
    return "?";
}

} // namespace

int main(int argc, char *argv[])
{
    int cells = 16383;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--cells") == 0)
            cells = std::atoi(argv[++i]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    MazeState s;
    binaryTreeMaze(s, cells);
    const double grid = proc_status_kib("VmRSS") / 1024.0;
    std::printf("grid %d x %d cells: %.0f MiB resident\n", cells, cells, grid);

    MazeView view;
    view.resize(1280, 900);
    view.show();
    QElapsedTimer open;
    open.start();
    view.showMaze(s, SceneLayers{false, true, false});
    const double overviewMs = open.nsecsElapsed() / 1e6;
    view.viewport()->grab();
    std::printf("open: overview %.0f ms, first paint %.0f ms in all (%s), %.1f MiB above the grid\n", overviewMs,
                open.nsecsElapsed() / 1e6, levelName(view.lastLevel()), proc_status_kib("VmRSS") / 1024.0 - grid);

    for (const double zoom : {0.1, 0.5, 2.0, 8.0, 24.0}) {
        view.setZoom(zoom, QPointF(0, 0));
        double worst = 0, total = 0;
        const int steps = 20;
        for (int i = 0; i < steps; ++i) {
            view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() + view.viewport()->width() / 10);
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + view.viewport()->height() / 10);
            const double ms = paintMs(view);
            worst = std::max(worst, ms);
            total += ms;
        }
        std::printf("scroll at %5.2f pixels a node (%s): %.1f ms a paint, worst %.1f ms\n", zoom,
                    levelName(view.lastLevel()), total / steps, worst);
    }
    std::printf("view peak: %.1f MiB above the grid\n", proc_status_kib("VmHWM") / 1024.0 - grid);

    QElapsedTimer solve;
    solve.start();
    const MazeMeasures m = solve_maze(s);
    std::printf("solve: %.2f s, solution %lld cells, %lld dead ends; peak %.1f MiB above the grid (%.2f bytes a cell)\n",
                solve.nsecsElapsed() / 1e9, m.solutionLength, m.deadEnds, proc_status_kib("VmHWM") / 1024.0 - grid,
                (proc_status_kib("VmHWM") / 1024.0 - grid) * 1048576.0 / (double(cells) * cells));
    return 0;
}

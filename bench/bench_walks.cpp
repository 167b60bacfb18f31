// Times both carving walks against a minimal depth-first backtracker on a byte grid, each
// case in its own child process so that its peak memory is its own.
//
//   bench_walks [--sizes 1000,4000,16383] [--seed N] [--repeat N]
//
// Sizes are cells across and down (square mazes). Each size runs the three cases in turn,
// `repeat` times (default 3 below 10000 cells, else 1), and keeps each case's fastest run, so
// that other work on the machine disturbs the ratios less. The largest size takes about
// 700 MB per case and some minutes in all.

#include "bench/proc_status.h"
#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/random.h"
#include "maze/state.h"
#include "maze/walk.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Figures {
    long long cells = 0;      // cells carved
    long long nodes = 0;      // nodes of the grid
    double seconds = 0;       // processor time of the walk alone
    double peakBytes = 0;     // peak resident memory above the process's own at the start
    long long hunts = 0;      // harder only
    long long rowDraws = 0;   // harder only
    double drawSeconds = 0;   // harder only: the row draws replayed on their own
    bool ok = false;
};

/// Processor time of this process: unlike the wall clock it does not count the time other
/// jobs on a shared machine take the processor away.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

/// The yardstick: randomised depth-first search with an explicit stack on a node grid of
/// bytes (cells at even positions, walls between), choosing uniformly among unvisited
/// neighbours with the program's Random.
Figures backtracker(int cells, std::uint32_t seed)
{
    const std::size_t width = 2 * static_cast<std::size_t>(cells) + 1;
    const std::size_t stride = width + 1;  // node (width + 1, y) is node (0, y + 1): a margin
    const std::size_t rows = width + 2;
    std::vector<std::uint8_t> grid(stride * rows, 0);
    for (std::size_t x = 0; x < stride; ++x)
        grid[x] = grid[(rows - 1) * stride + x] = 1;
    for (std::size_t y = 0; y < rows; ++y)
        grid[y * stride] = 1;
    Random rng(seed);

    const double start = cpuSeconds();
    const std::ptrdiff_t s = static_cast<std::ptrdiff_t>(stride);
    std::vector<std::uint32_t> stack;
    const std::size_t first = 2 * stride + 2;
    grid[first] = 1;
    stack.push_back(static_cast<std::uint32_t>(first));
    long long carved = 1;
    while (!stack.empty()) {
        const std::size_t p = stack.back();
        std::ptrdiff_t options[4];
        int n = 0;
        if (!grid[p + 2])
            options[n++] = 2;
        if (!grid[p + 2 * s])
            options[n++] = 2 * s;
        if (!grid[p - 2])
            options[n++] = -2;
        if (!grid[p - 2 * s])
            options[n++] = -2 * s;
        if (n == 0) {
            stack.pop_back();
            continue;
        }
        const std::ptrdiff_t step = options[static_cast<int>(static_cast<double>(rng.next()) * n)];
        grid[p + step / 2] = 1;
        grid[p + step] = 1;
        stack.push_back(static_cast<std::uint32_t>(p + step));
        ++carved;
    }
    Figures f;
    f.seconds = cpuSeconds() - start;
    f.cells = carved;
    f.nodes = static_cast<long long>(width) * static_cast<long long>(width);
    f.ok = true;
    return f;
}

Figures carve(int cells, std::uint32_t seed, bool harder)
{
    MazeState s;
    s.GridWidth = s.GridHeight = 2 * static_cast<std::int64_t>(cells) + 1;
    s.MazeType = TopLeftToBottomRight;
    s.RunLength = 3;
    s.Harder = harder;
    s.grid.allocate(static_cast<int>(s.GridWidth), static_cast<int>(s.GridHeight));
    if (harder)
        s.RowFlags.assign(static_cast<std::size_t>(s.GridHeight) + 1, 0);
    make_frame(s);
    s.rng.seed(seed);

    Progress quiet;
    WalkStats stats;
    const double start = cpuSeconds();
    const long long drawn = harder ? make_maze_2(s, quiet, &stats) : make_maze(s, quiet, &stats);
    Figures f;
    f.seconds = cpuSeconds() - start;
    f.cells = drawn;
    f.nodes = s.GridWidth * s.GridHeight;
    f.hunts = stats.hunts;
    f.rowDraws = stats.rowDraws;
    f.ok = true;

    if (harder) {
        // The hunts' row draws replayed alone: the same count of numbers, each turned into a
        // row and tested against the flags, as the walk must do whatever index it keeps.
        Random rng(seed + 1);
        const int originRows = static_cast<int>((s.GridHeight - 3) / 2);
        long long hits = 0;
        const double replay = cpuSeconds();
        for (long long i = 0; i < f.rowDraws; ++i) {
            const int ry = static_cast<int>(std::floor(static_cast<double>(rng.next()) * originRows)) * 2 + 2;
            hits += s.RowFlags[static_cast<std::size_t>(ry)];
        }
        f.drawSeconds = cpuSeconds() - replay;
        if (hits < 0)
            std::puts("");  // keeps the replay from being optimised away
    }
    return f;
}

/// Runs one case in a child process and returns its figures.
template <typename Case>
Figures isolated(Case run)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const double before = proc_status_kib("VmRSS") * 1024.0;
        Figures f = run();
        f.peakBytes = proc_status_kib("VmHWM") * 1024.0 - before;
        const ssize_t written = write(fds[1], &f, sizeof f);
        _exit(written == static_cast<ssize_t>(sizeof f) ? 0 : 1);
    }
    close(fds[1]);
    Figures f;
    if (child < 0 || read(fds[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f))
        f = {};
    close(fds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return f;
}

void row(const char *name, const Figures &f, const Figures &yardstick)
{
    if (!f.ok) {
        std::printf("  %-12s failed\n", name);
        return;
    }
    const double perCell = f.seconds / static_cast<double>(f.cells);
    const double yardPerCell = yardstick.seconds / static_cast<double>(yardstick.cells);
    std::printf("  %-12s %11lld %9.3f %10.2f %11.3f %9.2fx\n", name, f.cells, f.seconds,
                static_cast<double>(f.cells) / f.seconds / 1e6, f.peakBytes / static_cast<double>(f.nodes),
                perCell / yardPerCell);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> sizes{1000, 4000, 16383};
    std::uint32_t seed = 12345;
    int repeat = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::string list = argv[++i];
            for (std::size_t at = 0; at <= list.size();) {
                const std::size_t comma = std::min(list.find(',', at), list.size());
                const int n = std::atoi(list.substr(at, comma - at).c_str());
                if (n < 4 || n > 16383) {
                    std::fprintf(stderr, "bench_walks: size %s is outside 4..16383\n",
                                 list.substr(at, comma - at).c_str());
                    return 2;
                }
                sizes.push_back(n);
                at = comma + 1;
            }
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
            if (repeat < 1) {
                std::fprintf(stderr, "bench_walks: --repeat needs a count of at least 1\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: bench_walks [--sizes 1000,4000,16383] [--seed N] [--repeat N]\n");
            return 2;
        }
    }

    std::printf("Carving walks against a minimal depth-first backtracker (seed %u, run length 3)\n", seed);
    std::printf("  processor seconds, fastest of the runs; time per cell relative to the backtracker;\n"
                "  memory is the peak resident increase per grid node\n\n");
    for (const int n : sizes) {
        std::printf("%d x %d cells\n", n, n);
        std::printf("  %-12s %11s %9s %10s %11s %10s\n", "case", "cells", "seconds", "Mcells/s", "bytes/node",
                    "time/cell");
        std::fflush(stdout);
        Figures base, easier, harder;
        const auto keepFastest = [](Figures &best, const Figures &f) {
            if (f.ok && (!best.ok || f.seconds < best.seconds))
                best = f;
        };
        const int runs = repeat > 0 ? repeat : n < 10000 ? 3 : 1;
        for (int run = 0; run < runs; ++run) {
            keepFastest(base, isolated([&] { return backtracker(n, seed); }));
            keepFastest(easier, isolated([&] { return carve(n, seed, false); }));
            keepFastest(harder, isolated([&] { return carve(n, seed, true); }));
        }
        row("backtracker", base, base);
        row("Easier", easier, base);
        row("Harder", harder, base);
        if (harder.ok && base.ok) {
            const double yardPerCell = base.seconds / static_cast<double>(base.cells);
            const double rest = (harder.seconds - harder.drawSeconds) / static_cast<double>(harder.cells);
            std::printf("  Harder: %lld hunts drew %lld row numbers (%.1f per hunt, %.1f per cell); drawing\n"
                        "  them alone takes %.3f s, the rest of the walk %.3f s = %.2fx the backtracker\n",
                        harder.hunts, harder.rowDraws,
                        static_cast<double>(harder.rowDraws) / static_cast<double>(std::max(1LL, harder.hunts)),
                        static_cast<double>(harder.rowDraws) / static_cast<double>(harder.cells), harder.drawSeconds,
                        harder.seconds - harder.drawSeconds, rest / yardPerCell);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}

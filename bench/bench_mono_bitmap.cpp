// Monochrome bitmap writer against a plain sequential write of as many bytes to the
// same folder, both ending with fsync, in one run.
//
//   bench_mono_bitmap [--cells W H] [--style N] [--dir D] [--runs N] [--keep] [--png]
//
// With --png it writes the same rows as a streamed 1-bit PNG instead and gives its size,
// time and peak memory.
//
// Defaults: 16383 x 16383 cells (32767 x 32767 nodes), "Thin lines" (style 1), the
// current folder, 2 runs: a 3.4 GB file. The two writes alternate (the disk's caches
// favour whichever goes second); the best of each is compared. Every file is deleted
// after its run unless --keep.

#include "bench/proc_status.h"
#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/mono_bitmap.h"
#include "render/mono_png.h"
#include "render/tiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A binary-tree maze: every cell opens east or south at random. Cheap and every wall
// kind occurs, which is all the writer cares about.
void carveBinaryTree(MazeState &s)
{
    NodeGrid &g = s.grid;
    const int gw = g.width();
    const int gh = g.height();
    for (int y = 2; y < gh; y += 2)
        for (int x = 2; x < gw; x += 2) {
            if (g.blocked(x, y))
                continue;
            g.set(x, y, NodeGrid::Carved);
            const bool canEast = x + 2 < gw && !g.blocked(x + 2, y);
            const bool canSouth = y + 2 < gh && !g.blocked(x, y + 2);
            if (canEast && (!canSouth || s.Rnd() < 0.5f))
                g.set(x + 1, y, NodeGrid::Carved);
            else if (canSouth)
                g.set(x, y + 1, NodeGrid::Carved);
        }
}

class Quiet : public Progress {
public:
    void phase(Phase, int percent) override
    {
        if (percent != last_ && percent % 10 == 0)
            std::fprintf(stderr, "\r  %d%%   ", percent);
        last_ = percent;
    }

private:
    int last_ = NoPercent;
};

double plainWrite(const std::string &path, std::uint64_t bytes)
{
    std::vector<char> block(std::size_t{4} << 20, '\x55');
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        const ssize_t w = ::write(fd, block.data(), n);
        if (w <= 0)
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        left -= static_cast<std::uint64_t>(w);
    }
    ::fsync(fd);
    ::close(fd);
    return seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    long cellsW = 16383, cellsH = 16383;
    int style = 1;
    std::string dir = ".";
    bool keep = false;
    int runs = 2;
    bool png = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cells" && i + 2 < argc) {
            cellsW = std::atol(argv[++i]);
            cellsH = std::atol(argv[++i]);
        } else if (a == "--style" && i + 1 < argc) {
            style = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--png") {
            png = true;
        } else {
            std::fprintf(stderr, "usage: bench_mono_bitmap [--cells W H] [--style 0..10] [--dir D] [--runs N] [--keep] [--png]\n");
            return 2;
        }
    }
    if (cellsW < 4 || cellsH < 4 || cellsW > 16383 || cellsH > 16383 || style < 0 || style >= tiles::SetCount) {
        std::fprintf(stderr, "bench_mono_bitmap: cells must be 4..16383 and style 0..10\n");
        return 2;
    }

    MazeState s;
    s.GridWidth = 2 * cellsW + 1;
    s.GridHeight = 2 * cellsH + 1;
    s.MazeType = TopLeftToBottomRight;
    s.MazeStyle = static_cast<std::uint8_t>(style);
    s.grid.allocate(static_cast<int>(s.GridWidth), static_cast<int>(s.GridHeight));
    make_frame(s);
    carveBinaryTree(s);

    const tiles::TileSet &set = tiles::tile_set(style);
    const MonoLayout layout = mono_layout(s.grid.width(), s.grid.height(), set.width, set.height);
    const double mb = static_cast<double>(layout.fileBytes) / 1e6;

    const auto space = std::filesystem::space(dir);
    if (space.available < layout.fileBytes + (std::uint64_t{1} << 30)) {
        std::fprintf(stderr, "bench_mono_bitmap: %s has %.0f MB free, needs %.0f MB and 1 GiB to spare\n",
                     dir.c_str(), space.available / 1e6, mb);
        return 1;
    }
    std::printf("grid %d x %d nodes, \"%s\" %ux%u tiles: %u x %u pixels, %.1f MB file in %s\n",
                s.grid.width(), s.grid.height(), set.name, set.width, set.height, layout.width,
                layout.height, mb, dir.c_str());

    if (png) {
        const std::string pngPath = dir + "/bench_mono.png";
        const long rss = proc_status_kib("VmRSS");
        for (int run = 1; run <= runs; ++run) {
            resetPeak();
            Quiet progress;
            const auto start = Clock::now();
            write_mono_png(s.grid, style, pngPath, progress);
            const double t = seconds(start);
            const long peakKiB = proc_status_kib("VmHWM");
            const double size = static_cast<double>(std::filesystem::file_size(pngPath));
            std::fprintf(stderr, "\r");
            std::printf("run %d: PNG %.1f MB (%.2f %% of the bitmap) in %.2f s (%.1f MB of bitmap rows/s); "
                        "peak %.1f MiB, %.1f MiB beyond the grid's %.1f MiB\n",
                        run, size / 1e6, 100 * size / 1e6 / mb, t, mb / t, peakKiB / 1024.0, (peakKiB - rss) / 1024.0,
                        s.grid.memoryBytes() / 1048576.0);
            if (!keep)
                std::filesystem::remove(pngPath);
        }
        return 0;
    }

    const std::string monoPath = dir + "/bench_mono.bmp";
    const std::string plainPath = dir + "/bench_plain.bin";

    double plain = 1e300, mono = 1e300;
    long rssBefore = 0, peak = 0;
    for (int run = 1; run <= runs; ++run) {
        const double p = plainWrite(plainPath, layout.fileBytes);
        if (!keep)
            std::filesystem::remove(plainPath);

        if (run == 1)
            rssBefore = proc_status_kib("VmRSS");
        resetPeak();
        Quiet progress;
        const auto start = Clock::now();
        write_mono_bitmap(s.grid, style, monoPath, progress);
        const double m = seconds(start);
        std::fprintf(stderr, "\r");
        peak = std::max(peak, proc_status_kib("VmHWM"));
        if (!keep)
            std::filesystem::remove(monoPath);
        std::printf("run %d: plain %.2f s (%.1f MB/s), mono %.2f s (%.1f MB/s)\n", run, p, mb / p, m, mb / m);
        std::fflush(stdout);
        plain = std::min(plain, p);
        mono = std::min(mono, m);
    }

    // The same picture composed and thrown away: what the writer costs without a disk.
    Quiet progress;
    const auto start = Clock::now();
    write_mono_bitmap(s.grid, style, "/dev/null", progress);
    const double composeOnly = seconds(start);
    std::fprintf(stderr, "\r");

    std::printf("composing alone (to /dev/null) %.2f s  %7.1f MB/s\n", composeOnly, mb / composeOnly);
    std::printf("best plain write + fsync  %8.2f s  %7.1f MB/s\n", plain, mb / plain);
    std::printf("best write_mono_bitmap    %8.2f s  %7.1f MB/s  (%.0f %% of plain)\n", mono, mb / mono,
                100.0 * plain / mono);
    std::printf("memory: grid %.1f MiB, RSS before the first write %.1f MiB, peak while writing %.1f MiB: "
                "%.1f MiB beyond\n",
                s.grid.memoryBytes() / 1048576.0, rssBefore / 1024.0, peak / 1024.0, (peak - rssBefore) / 1024.0);
    return 0;
}

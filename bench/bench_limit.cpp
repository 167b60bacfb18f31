// The program as a user runs it against the limit, a minimal reference maze program built from
// LIMIT_SOURCE_DIR: whole processes, user time and peak memory from wait4, median of the runs.
//
//   bench_limit [--large] [--runs N] [--dir D]
//
// Prints the user-time ratios for 4000 x 4000 cells (and 16383 x 16383 with --large), "Easier"
// against the limit's depth-first walk and "Harder" against its hunt-and-kill, each writing its
// "Thin lines" monochrome file and syncing it; with --large the memory per cell at 16383 x 16383
// (peak resident memory less that of a 4 x 4 run); and the share of a plain synced write that the
// monochrome writer reaches (bench_mono_bitmap). Files go to D (default: the current folder) and
// are removed after each run. The large sizes take some minutes and 1 to 2 GB.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

#ifdef MAZE_LIMIT
constexpr const char *LimitProgram = MAZE_LIMIT;
#else
constexpr const char *LimitProgram = "";
#endif

struct Run {
    double userSeconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

/// Runs `args` as a child with its output thrown away (or read into `output`), and returns its
/// user time and peak resident memory.
Run runProcess(const std::vector<std::string> &args, std::string *output = nullptr)
{
    int fds[2] = {-1, -1};
    if (output && pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(output ? fds[1] : null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (output)
            close(fds[0]);
        std::vector<char *> argv;
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (output) {
        close(fds[1]);
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
            output->append(buffer, static_cast<std::size_t>(n));
        close(fds[0]);
    }
    Run r;
    if (child < 0)
        return r;
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    r.userSeconds = static_cast<double>(usage.ru_utime.tv_sec) + 1e-6 * static_cast<double>(usage.ru_utime.tv_usec);
    r.peakKiB = usage.ru_maxrss;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::vector<std::string> corvanthelArgs(int cells, bool harder, const std::string &file)
{
    std::vector<std::string> a{CORVANTHEL, "generate", "--width", std::to_string(cells), "--height",
                               std::to_string(cells), "--seed", "1", "--monochrome", "--out", file};
    if (harder) {
        a.push_back("--difficulty");
        a.push_back("harder");
    }
    return a;
}

std::vector<std::string> limitArgs(int cells, bool harder, const std::string &file)
{
    return {LimitProgram, "--algo", harder ? "hk" : "dfs", "--seed", "1", "--bmp", file, "--tile", "5x5", "--fsync",
            std::to_string(cells), std::to_string(cells)};
}

struct Pair {
    double limit = 0, corvanthel = 0;
    long limitKiB = 0, corvanthelKiB = 0;
    bool ok = false;
};

/// Both programs in turn, `runs` times, so that drifts of the machine reach both alike.
Pair measure(int cells, bool harder, int runs, const std::string &dir)
{
    const std::string limitFile = dir + "/bench_limit_l.bmp", ownFile = dir + "/bench_limit_c.bmp";
    std::vector<double> limit, own;
    Pair p;
    p.ok = true;
    for (int i = 0; i < runs && p.ok; ++i) {
        const Run l = runProcess(limitArgs(cells, harder, limitFile));
        std::filesystem::remove(limitFile);
        const Run c = runProcess(corvanthelArgs(cells, harder, ownFile));
        std::filesystem::remove(ownFile);
        p.ok = l.ok && c.ok;
        limit.push_back(l.userSeconds);
        own.push_back(c.userSeconds);
        p.limitKiB = std::max(p.limitKiB, l.peakKiB);
        p.corvanthelKiB = std::max(p.corvanthelKiB, c.peakKiB);
    }
    p.limit = median(limit);
    p.corvanthel = median(own);
    return p;
}

void printPair(int cells, bool harder, double target, const Pair &p)
{
    char work[64];
    std::snprintf(work, sizeof work, "%d^2 %s", cells, harder ? "Harder vs hk" : "Easier vs dfs");
    if (!p.ok) {
        std::printf("  %-22s failed\n", work);
        return;
    }
    std::printf("  %-22s %8.2f %12.2f %7.2fx %7.1fx %10.0f %10.0f\n", work, p.limit, p.corvanthel,
                p.corvanthel / p.limit, target, p.limitKiB / 1024.0, p.corvanthelKiB / 1024.0);
    std::fflush(stdout);
}

/// A line of /proc/cpuinfo or /proc/meminfo after its colon.
std::string procField(const char *file, const char *field)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(line.find_first_not_of(" \t", colon + 1));
        }
    return "?";
}

/// The writer's share of a plain synced write, as bench_mono_bitmap reports it.
void writerShare(int cells, const std::string &dir)
{
    std::string out;
    const Run r = runProcess({BENCH_MONO, "--cells", std::to_string(cells), std::to_string(cells), "--runs", "3",
                              "--dir", dir},
                             &out);
    const auto at = out.find("best write_mono_bitmap");
    const auto open = out.find('(', at);
    if (!r.ok || at == std::string::npos || open == std::string::npos) {
        std::printf("  monochrome writer at %d^2: bench_mono_bitmap failed\n", cells);
        return;
    }
    // "(NN % of plain)"
    std::printf("  monochrome writer at %d^2 cells: %d %% of a plain synced write (target 90 %%)\n", cells,
                std::atoi(out.c_str() + open + 1));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    bool large = false;
    int runs = 3;
    std::string dir = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--large") {
            large = true;
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_limit [--large] [--runs N] [--dir D]\n");
            return 2;
        }
    }
    if (runs < 3) {
        std::fprintf(stderr, "bench_limit: --runs needs at least 3, for a median\n");
        return 2;
    }

    std::printf("machine: %s, %u cores, %.0f GiB memory\n", procField("/proc/cpuinfo", "model name").c_str(),
                std::thread::hardware_concurrency(), std::atof(procField("/proc/meminfo", "MemTotal").c_str()) / 1048576.0);
    if (!*LimitProgram) {
        std::printf("skipped: no limit source at %s\n", LIMIT_SOURCE_DIR);
    } else {
        std::printf("against the limit (%s), seed 1, \"Thin lines\" monochrome file synced;\n"
                    "user seconds, median of %d runs; peak resident MiB\n\n",
                    LIMIT_SOURCE_DIR, runs);
        std::printf("  %-22s %8s %12s %8s %8s %10s %10s\n", "work", "limit", "corvanthel", "ratio", "target",
                    "limit MiB", "own MiB");
        std::vector<int> sizes{4000};
        if (large)
            sizes.push_back(16383);
        for (const int cells : sizes) {
            const Pair easier = measure(cells, false, runs, dir);
            printPair(cells, false, 1.8, easier);
            const Pair harder = measure(cells, true, runs, dir);
            printPair(cells, true, cells <= 4000 ? 3.0 : 4.0, harder);
            if (cells == 16383) {
                const Pair tiny = measure(4, false, runs, dir);
                const double cellCount = 16383.0 * 16383.0;
                std::printf("\n  memory at 16383^2 (peak less a 4 x 4 run's %.0f MiB): Easier %.2f, Harder %.2f bytes "
                            "per cell (target 4.5)\n",
                            tiny.corvanthelKiB / 1024.0, (easier.corvanthelKiB - tiny.corvanthelKiB) * 1024.0 / cellCount,
                            (harder.corvanthelKiB - tiny.corvanthelKiB) * 1024.0 / cellCount);
            }
        }
        std::printf("\n");
    }
    writerShare(4000, dir);
    if (large)
        writerShare(16383, dir);
    return 0;
}

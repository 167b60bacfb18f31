#include "render/output_memory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include <sys/resource.h>

namespace {

// Address space per cell that Qt's PDF writer takes for a page, measured as the least
// --as limit under which pages of 250 to 2000 cells square are written, with a quarter
// more for the growth of its buffers; and what the page needs whatever its size.
constexpr std::uint64_t TileBytesPerCell = 360;
constexpr std::uint64_t CityPlanBytesPerCell = 720;
constexpr std::uint64_t PageBaseBytes = std::uint64_t{64} << 20;
// The same for each node an answer key's line passes through: about 85 on a 16383 x 20 maze
// whose line runs through 240,000 nodes, nearly doubled, as a long line is worth its margin.
constexpr std::uint64_t LineBytesPerNode = 160;

constexpr std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();

/// The value of a "Name:   1234 kB" line of a /proc file, in bytes; Unlimited if absent.
std::uint64_t procKilobytes(const char *file, const std::string &name)
{
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name + ":", 0) == 0)
            return std::stoull(line.substr(name.size() + 1)) * 1024;
    return Unlimited;
}

std::uint64_t fileNumber(const char *file)
{
    std::ifstream in(file);
    std::string word;
    if (!(in >> word) || word == "max")
        return Unlimited;
    try {
        return std::stoull(word);
    } catch (const std::exception &) {
        return Unlimited;
    }
}

} // namespace

std::uint64_t memory_available()
{
    std::uint64_t available = Unlimited;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const std::uint64_t mapped = procKilobytes("/proc/self/status", "VmSize");
        available = mapped < limit.rlim_cur ? limit.rlim_cur - mapped : 0;
    }
    const std::uint64_t system = procKilobytes("/proc/meminfo", "MemAvailable");
    const std::uint64_t swap = procKilobytes("/proc/meminfo", "SwapFree");
    if (system != Unlimited)
        available = std::min(available, system + (swap == Unlimited ? 0 : swap));
    const std::uint64_t groupLimit = fileNumber("/sys/fs/cgroup/memory.max");
    const std::uint64_t groupUse = fileNumber("/sys/fs/cgroup/memory.current");
    if (groupLimit != Unlimited && groupUse != Unlimited)
        available = std::min(available, groupLimit > groupUse ? groupLimit - groupUse : 0);
    return available;
}

PageMemory page_memory(int gridWidth, int gridHeight, bool cityPlan, long long lineNodes, int mazes)
{
    const std::uint64_t perCell = cityPlan ? CityPlanBytesPerCell : TileBytesPerCell;
    const std::uint64_t cells = std::uint64_t(std::max(gridWidth / 2, 1)) * std::uint64_t(std::max(gridHeight / 2, 1));
    const std::uint64_t line = std::uint64_t(std::max(lineNodes, 0LL)) * LineBytesPerNode;
    const std::uint64_t count = std::uint64_t(std::max(mazes, 1));
    PageMemory m;
    m.needed = PageBaseBytes + count * (cells * perCell + line);
    m.available = memory_available();
    // A larger maze of the same kind has a line as long for its size.
    const double perLargerCell = double(count) * (double(perCell) + double(line) / double(cells));
    m.largestCells = m.available > PageBaseBytes
                         ? static_cast<long long>(std::min(double(m.available - PageBaseBytes) / perLargerCell,
                                                           double(std::uint64_t(1) << 62)))
                         : 0;
    return m;
}

std::string memory_size(std::uint64_t bytes)
{
    static const char *const Units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 6) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 || value >= 100 ? "%.0f %s" : "%.1f %s", value, Units[unit]);
    return text;
}

#include "maze/parameters.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace params {

void apply_choices(const Choices &c, MazeState &s)
{
    s.GridWidth = node_count(c.widthCells);
    s.GridHeight = node_count(c.heightCells);
    s.MazeType = static_cast<std::uint8_t>(MazeTypes[position(c.type)].value);
    s.RunLength = static_cast<std::int16_t>(run_length(c.runSlider));
    s.RandomRun = c.runStyle == RunStyleChoice::RandomRun;
    s.RunBias = static_cast<std::uint8_t>(RunStyles[position(c.runStyle)].value);
    s.CityPlan = c.appearance == AppearanceChoice::CityPlan;
    if (!s.CityPlan)
        s.MazeStyle = static_cast<std::uint8_t>(Appearances[position(c.appearance)].value);
    s.LoopChance = c.loops ? static_cast<float>(c.loopPercent / 4) : 0.0f;
    s.Harder = c.difficulty == DifficultyChoice::Harder;
}

double leading_number(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    double value = 0.0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        value = value * 10.0 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10.0;
        }
    }
    return negative ? -value : value;
}

std::int64_t node_count(double cells)
{
    // Far past any real size, yet 2 x limit + 1 cannot overflow.
    constexpr double limit = 1e15;
    const double whole = std::floor(cells);
    if (!(whole < limit))
        return static_cast<std::int64_t>(2 * limit + 1);
    if (!(whole > -limit))
        return static_cast<std::int64_t>(-2 * limit + 1);
    return 2 * static_cast<std::int64_t>(whole) + 1;
}

int run_length(int p)
{
    if (p == 10)
        p = 20;
    if (p > 8)
        p += 5;
    if (p > 6)
        p += 2;
    if (p > 3)
        p *= 2;
    return p;
}

std::optional<SizeRefusal> check_size(int mazeType, std::int64_t gw, std::int64_t gh)
{
    if (mazeType == GridMaze && (gw < 15 || gh < 15))
        return SizeRefusal{"Sorry, grid mazes must be at least 7 x 7.", 7};
    if (mazeType == TopLeftToBottomRight && (gw < 9 || gh < 9))
        return SizeRefusal{"Sorry, grid mazes must be at least 4 x 4.", 4};
    constexpr std::int64_t maxNodes = 2 * MaxCells + 1;
    if (gw > maxNodes || gh > maxNodes)
        return SizeRefusal{"Sorry, mazes can be at most 16383 x 16383 cells.", 0};
    if (gw < 3 || gh < 3)
        return SizeRefusal{"Sorry, a maze needs at least one cell across and down.", 0};
    return std::nullopt;
}

std::optional<SizeRefusal> check_size(const Choices &c)
{
    return check_size(MazeTypes[position(c.type)].value, node_count(c.widthCells), node_count(c.heightCells));
}

} // namespace params

#include "matte/word_cells.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

/// Region numbers of the true cells of a map, joined left, right, up and down; -1 elsewhere.
struct Regions {
    std::vector<int> of;
    int count = 0;
    std::vector<std::size_t> sizes;
};

Regions regionsOf(const CellMap &inside)
{
    const int cols = inside.cols(), rows = inside.rows();
    Regions r;
    r.of.assign(std::size_t(cols) * std::size_t(rows), -1);
    std::vector<std::size_t> todo;
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            const std::size_t i = std::size_t(cy) * cols + cx;
            if (!inside.at(cx, cy) || r.of[i] != -1)
                continue;
            const int region = r.count++;
            std::size_t size = 0;
            r.of[i] = region;
            todo.assign(1, i);
            while (!todo.empty()) {
                const std::size_t at = todo.back();
                todo.pop_back();
                ++size;
                const int x = int(at % cols), y = int(at / cols);
                for (const auto &[nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
                    const std::size_t n = std::size_t(ny) * cols + nx;
                    if (inside.contains(nx, ny) && inside.at(nx, ny) && r.of[n] == -1) {
                        r.of[n] = region;
                        todo.push_back(n);
                    }
                }
            }
            r.sizes.push_back(size);
        }
    return r;
}

/// Makes cell (cx, cy) part of the word, noting it in `added`.
void add(CellMap &inside, CellMap &added, int cx, int cy)
{
    inside.set(cx, cy);
    added.set(cx, cy);
}

/// Fills the gaps of row `cy` that lie between two different regions.
void bridgeRow(CellMap &inside, CellMap &added, int cy)
{
    const Regions regions = regionsOf(inside);
    int lastCell = -1;
    for (int cx = 0; cx < inside.cols(); ++cx) {
        if (!inside.at(cx, cy))
            continue;
        const auto regionAt = [&](int x) { return regions.of[std::size_t(cy) * inside.cols() + x]; };
        if (lastCell >= 0 && cx > lastCell + 1 && regionAt(lastCell) != regionAt(cx))
            for (int x = lastCell + 1; x < cx; ++x)
                add(inside, added, x, cy);
        lastCell = cx;
    }
}

/// Joins two regions by the shortest straight line of cells down a column, so a dot or an
/// accent drops onto its letter; false when no column has two regions in it.
bool joinByColumn(CellMap &inside, const Regions &regions, CellMap &added)
{
    const int cols = inside.cols();
    int bestColumn = -1, bestFrom = 0, bestTo = 0;
    for (int cx = 0; cx < cols; ++cx) {
        int last = -1;
        for (int cy = 0; cy < inside.rows(); ++cy) {
            if (!inside.at(cx, cy))
                continue;
            const auto regionAt = [&](int y) { return regions.of[std::size_t(y) * cols + cx]; };
            if (last >= 0 && cy > last + 1 && regionAt(last) != regionAt(cy)
                && (bestColumn < 0 || cy - last < bestTo - bestFrom)) {
                bestColumn = cx;
                bestFrom = last;
                bestTo = cy;
            }
            last = cy;
        }
    }
    if (bestColumn < 0)
        return false;
    for (int cy = bestFrom + 1; cy < bestTo; ++cy)
        add(inside, added, bestColumn, cy);
    return true;
}

/// Joins the region nearest the largest one to it by a shortest path of cells, for pieces
/// that share no column with any other.
void joinNearest(CellMap &inside, const Regions &regions, CellMap &added)
{
    const int main = int(std::max_element(regions.sizes.begin(), regions.sizes.end()) - regions.sizes.begin());
    const int cols = inside.cols();
    constexpr std::uint32_t None = UINT32_MAX;
    std::vector<std::uint32_t> from(regions.of.size(), None);
    std::vector<std::uint32_t> layer, next;
    for (std::size_t i = 0; i < regions.of.size(); ++i)
        if (regions.of[i] == main) {
            from[i] = std::uint32_t(i);
            layer.push_back(std::uint32_t(i));
        }
    while (!layer.empty()) {
        next.clear();
        for (const std::uint32_t at : layer) {
            const int x = int(at % std::uint32_t(cols)), y = int(at / std::uint32_t(cols));
            for (const auto &[nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
                if (!inside.contains(nx, ny))
                    continue;
                const std::uint32_t n = std::uint32_t(ny) * std::uint32_t(cols) + std::uint32_t(nx);
                if (from[n] != None)
                    continue;
                from[n] = at;
                if (inside.at(nx, ny)) {
                    // Another region: the way back to the largest becomes part of the word.
                    for (std::uint32_t c = at; regions.of[c] != main; c = from[c])
                        add(inside, added, int(c % std::uint32_t(cols)), int(c / std::uint32_t(cols)));
                    return;
                }
                next.push_back(n);
            }
        }
        layer.swap(next);
    }
}

/// The first cell whose middle lies at or past `edge`, kept within 0..cells.
int index(double edge, int cells)
{
    return int(std::clamp(std::ceil(edge - 0.5), 0.0, double(cells)));
}

} // namespace

CellMap fill_outline(const Outline &outline, int cols, int rows)
{
    CellMap cells(cols, rows);
    // Where each edge crosses the middle of each row it spans, and which way it runs.
    std::vector<std::vector<std::pair<double, int>>> crossings(std::size_t(std::max(rows, 0)));
    for (const auto &contour : outline)
        for (std::size_t i = 0; i < contour.size(); ++i) {
            const OutlinePoint a = contour[i], b = contour[(i + 1) % contour.size()];
            if (a.y == b.y || !std::isfinite(a.x + a.y + b.x + b.y))
                continue;
            const int direction = b.y > a.y ? 1 : -1;
            const double top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
            // Rows whose middle y = cy + 0.5 lies in [top, bottom).
            const int first = index(top, rows);
            const int last = index(bottom, rows) - 1;
            for (int cy = first; cy <= last; ++cy) {
                const double y = cy + 0.5;
                crossings[std::size_t(cy)].emplace_back(a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), direction);
            }
        }
    for (int cy = 0; cy < rows; ++cy) {
        auto &row = crossings[std::size_t(cy)];
        std::sort(row.begin(), row.end());
        int winding = 0;
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            winding += row[i].second;
            if (winding == 0)
                continue;
            // Cells whose middle x = cx + 0.5 lies in [left, right).
            const int first = index(row[i].first, cols);
            const int last = index(row[i + 1].first, cols) - 1;
            for (int cx = first; cx <= last; ++cx)
                cells.set(cx, cy);
        }
    }
    return cells;
}

CellMap thicken_lines(CellMap &inside)
{
    CellMap added(inside.cols(), inside.rows());
    const auto in = [&](int x, int y) { return inside.contains(x, y) && inside.at(x, y); };
    // How well a cell would widen the line: outside the grid or against another stroke
    // (the cell beyond it taken) never; else the more of the line around it, the better.
    const auto fit = [&](int x, int y, int beyondX, int beyondY) {
        if (!inside.contains(x, y) || in(beyondX, beyondY))
            return -1;
        int around = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                around += in(x + dx, y + dy);
        return around;
    };
    // A cell added beside a thin one can itself be thin the other way: a few rounds.
    for (int round = 0; round < 3; ++round) {
        bool changed = false;
        for (int cy = 0; cy < inside.rows(); ++cy)
            for (int cx = 0; cx < inside.cols(); ++cx) {
                if (!inside.at(cx, cy))
                    continue;
                if (!in(cx - 1, cy) && !in(cx + 1, cy)) {
                    const int left = fit(cx - 1, cy, cx - 2, cy), right = fit(cx + 1, cy, cx + 2, cy);
                    if (std::max(left, right) >= 0) {
                        add(inside, added, right >= left ? cx + 1 : cx - 1, cy);
                        changed = true;
                    }
                }
                if (!in(cx, cy - 1) && !in(cx, cy + 1)) {
                    const int up = fit(cx, cy - 1, cx, cy - 2), down = fit(cx, cy + 1, cx, cy + 2);
                    if (std::max(up, down) >= 0) {
                        add(inside, added, cx, down >= up ? cy + 1 : cy - 1);
                        changed = true;
                    }
                }
            }
        if (!changed)
            break;
    }
    return added;
}

CellMap join_pieces(CellMap &inside, int baselineRow)
{
    CellMap added(inside.cols(), inside.rows());
    if (baselineRow >= 0 && baselineRow < inside.rows())
        bridgeRow(inside, added, baselineRow);
    for (Regions regions = regionsOf(inside); regions.count > 1; regions = regionsOf(inside))
        if (!joinByColumn(inside, regions, added))
            joinNearest(inside, regions, added);
    return added;
}

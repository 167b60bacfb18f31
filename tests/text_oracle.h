#pragma once

// An independent reading of the maze's text file, for checking the solver and its measures:
// nodes are characters, and a node is open when it is a passage, the start, the finish or
// on the drawn solution.

#include <QList>
#include <QPoint>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace text_oracle {

/// The maze as its text file shows it, read back and searched on its own terms: nodes are
/// characters, and a node is open when it is a passage, the start or the finish.
struct TextMaze {
    TextMaze() = default;
    std::vector<std::string> rows;

    explicit TextMaze(const std::string &text)
    {
        std::string row;
        for (char c : text) {
            if (c == '\n') {
                rows.push_back(row);
                row.clear();
            } else {
                row += c;
            }
        }
    }
    int width() const { return int(rows.front().size()); }
    int height() const { return int(rows.size()); }
    char at(int x, int y) const { return x < 0 || y < 0 || y >= height() || x >= width() ? '#' : rows[y][x]; }
    bool open(int x, int y) const
    {
        const char c = at(x, y);
        return c == ' ' || c == 'S' || c == 'F' || c == '+';
    }
    QPoint find(char wanted) const
    {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (at(x, y) == wanted)
                    return {x, y};
        return {-1, -1};
    }
    /// Text position of cell (i, j), both from 0.
    static QPoint cell(int i, int j) { return {2 * i + 1, 2 * j + 1}; }
    int cols() const { return width() / 2; }
    int cellRows() const { return height() / 2; }
    bool cellOpen(int i, int j) const { return open(2 * i + 1, 2 * j + 1); }
    /// Cells (i, j) and (i + di, j + dj) are joined when both and the node between are open.
    bool joined(int i, int j, int di, int dj) const
    {
        const int i2 = i + di, j2 = j + dj;
        if (i2 < 0 || j2 < 0 || i2 >= cols() || j2 >= cellRows())
            return false;
        return cellOpen(i, j) && cellOpen(i2, j2) && open(2 * i + 1 + di, 2 * j + 1 + dj);
    }
    int sides(int i, int j) const
    {
        return joined(i, j, 1, 0) + joined(i, j, -1, 0) + joined(i, j, 0, 1) + joined(i, j, 0, -1);
    }
};

/// A breadth-first search over the text's nodes: the nodes of one shortest path from S to F,
/// S first; empty when F cannot be reached.
inline QList<QPoint> shortestNodePath(const TextMaze &t)
{
    const QPoint s = t.find('S'), f = t.find('F');
    std::vector<int> from(std::size_t(t.width() * t.height()), -2);
    auto index = [&](QPoint p) { return p.y() * t.width() + p.x(); };
    std::deque<QPoint> queue{s};
    from[index(s)] = -1;
    while (!queue.empty()) {
        const QPoint p = queue.front();
        queue.pop_front();
        for (const QPoint step : {QPoint(0, -1), QPoint(-1, 0), QPoint(0, 1), QPoint(1, 0)}) {
            const QPoint q = p + step;
            if (t.open(q.x(), q.y()) && from[index(q)] == -2) {
                from[index(q)] = index(p);
                queue.push_back(q);
            }
        }
    }
    QList<QPoint> path;
    if (f.x() < 0 || from[index(f)] == -2)
        return path;
    for (int i = index(f); i != -1; i = from[i])
        path.prepend(QPoint(i % t.width(), i / t.width()));
    return path;
}

struct TextMeasures {
    long long deadEnds = 0, junctions = 0, corridor = 0;
};

inline TextMeasures measureText(const TextMaze &t)
{
    TextMeasures m;
    for (int j = 0; j < t.cellRows(); ++j)
        for (int i = 0; i < t.cols(); ++i) {
            if (!t.cellOpen(i, j))
                continue;
            m.deadEnds += t.sides(i, j) == 1;
            m.junctions += t.sides(i, j) >= 3;
            // Runs counted from their first cell only.
            if (!t.joined(i, j, -1, 0)) {
                long long n = 1;
                while (t.joined(i + int(n) - 1, j, 1, 0))
                    ++n;
                m.corridor = std::max(m.corridor, n);
            }
            if (!t.joined(i, j, 0, -1)) {
                long long n = 1;
                while (t.joined(i, j + int(n) - 1, 0, 1))
                    ++n;
                m.corridor = std::max(m.corridor, n);
            }
        }
    return m;
}

} // namespace text_oracle

#include "render/text_maze.h"

#include "maze/state.h"
#include "render/atomic_file.h"

#include <algorithm>
#include <vector>

namespace {

// Rows go out in blocks of about this size: the text of a large maze is never held whole.
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

/// Writes the rows of maze_text, one table lookup a node.
class TextRows {
public:
    TextRows(const MazeState &s, bool solution) : s_(s), flags_(lineBytes())
    {
        // A node's character from its four flags alone: find_bitmap draws nothing on a carved
        // or blocked node, a passage or outside.
        for (unsigned f = 0; f < 16; ++f)
            of_[f] = solution && (f & NodeGrid::Mark) ? '+'
                     : (f & NodeGrid::Carved)         ? ' '
                     : (f & NodeGrid::Blocked)        ? '.'
                                                      : '#';
    }

    /// Bytes of one row, its newline included.
    std::size_t lineBytes() const { return static_cast<std::size_t>(std::max(s_.grid.width(), 0)) + 1; }

    /// Row y into out[0, lineBytes()).
    void row(int y, char *out)
    {
        const NodeGrid &g = s_.grid;
        g.copyRow(y, flags_.data());
        --out;  // out[x] is node x
        for (int x = 1; x <= g.width(); ++x)
            out[x] = of_[flags_[static_cast<std::size_t>(x)]];
        if (y == s_.FinishY && s_.FinishX >= 1 && s_.FinishX <= g.width())
            out[s_.FinishX] = 'F';
        if (y == s_.StartY && s_.StartX >= 1 && s_.StartX <= g.width())
            out[s_.StartX] = 'S';
        out[g.width() + 1] = '\n';
    }

private:
    const MazeState &s_;
    char of_[16];
    std::vector<std::uint8_t> flags_;
};

} // namespace

std::string maze_text(const MazeState &s, bool solution)
{
    TextRows rows(s, solution);
    const std::size_t line = rows.lineBytes();
    std::string text(line * static_cast<std::size_t>(std::max(s.grid.height(), 0)), '\n');
    for (int y = 1; y <= s.grid.height(); ++y)
        rows.row(y, text.data() + line * static_cast<std::size_t>(y - 1));
    return text;
}

std::uint64_t maze_text_bytes(const MazeState &s)
{
    return (static_cast<std::uint64_t>(std::max<std::int64_t>(s.GridWidth, 0)) + 1) *
           static_cast<std::uint64_t>(std::max<std::int64_t>(s.GridHeight, 0));
}

void write_maze_text(const MazeState &s, AtomicFile &file, bool solution)
{
    file.expectBytes(maze_text_bytes(s));
    TextRows rows(s, solution);
    const std::size_t line = rows.lineBytes();
    const std::size_t blockRows = std::max<std::size_t>(1, BlockBytes / line);
    std::vector<char> block(blockRows * line);
    std::size_t used = 0;
    for (int y = 1; y <= s.grid.height(); ++y) {
        rows.row(y, block.data() + used);
        used += line;
        if (used == block.size() || y == s.grid.height()) {
            file.write(block.data(), used);
            used = 0;
        }
    }
}

void write_maze_text(const MazeState &s, const std::string &path, bool solution)
{
    AtomicFile file(path);
    write_maze_text(s, file, solution);
    file.commit();
}

#include "render/text_maze.h"

#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/tiles.h"

namespace {

// Rows go out in blocks of about this size: the text of a large maze is never held whole.
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

void appendRow(const MazeState &s, int y, std::string &text)
{
    const NodeGrid &g = s.grid;
    for (int x = 1; x <= g.width(); ++x) {
        char c = '#';
        if (x == s.StartX && y == s.StartY)
            c = 'S';
        else if (x == s.FinishX && y == s.FinishY)
            c = 'F';
        else if (find_bitmap(g, x, y) == 0)
            c = g.carved(x, y) ? ' ' : '.';
        text += c;
    }
    text += '\n';
}

} // namespace

std::string maze_text(const MazeState &s)
{
    std::string text;
    text.reserve(static_cast<std::size_t>(maze_text_bytes(s)));
    for (int y = 1; y <= s.grid.height(); ++y)
        appendRow(s, y, text);
    return text;
}

std::uint64_t maze_text_bytes(const MazeState &s)
{
    return (static_cast<std::uint64_t>(s.grid.width()) + 1) * static_cast<std::uint64_t>(s.grid.height());
}

void write_maze_text(const MazeState &s, AtomicFile &file)
{
    file.expectBytes(maze_text_bytes(s));
    std::string block;
    block.reserve(BlockBytes + static_cast<std::size_t>(s.grid.width()) + 1);
    for (int y = 1; y <= s.grid.height(); ++y) {
        appendRow(s, y, block);
        if (block.size() >= BlockBytes || y == s.grid.height()) {
            file.write(block);
            block.clear();
        }
    }
}

void write_maze_text(const MazeState &s, const std::string &path)
{
    AtomicFile file(path);
    write_maze_text(s, file);
    file.commit();
}

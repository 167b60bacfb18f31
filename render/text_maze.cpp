#include "render/text_maze.h"

#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/tiles.h"

std::string maze_text(const MazeState &s, bool solution)
{
    const NodeGrid &g = s.grid;
    std::string text;
    text.reserve(static_cast<std::size_t>(g.width() + 1) * static_cast<std::size_t>(g.height()));
    for (int y = 1; y <= g.height(); ++y) {
        for (int x = 1; x <= g.width(); ++x) {
            char c = '#';
            if (x == s.StartX && y == s.StartY)
                c = 'S';
            else if (x == s.FinishX && y == s.FinishY)
                c = 'F';
            else if (solution && g.marked(x, y))
                c = '+';
            else if (find_bitmap(g, x, y) == 0)
                c = g.carved(x, y) ? ' ' : '.';
            text += c;
        }
        text += '\n';
    }
    return text;
}

void write_maze_text(const MazeState &s, const std::string &path, bool solution)
{
    AtomicFile file(path);
    file.write(maze_text(s, solution));
    file.commit();
}

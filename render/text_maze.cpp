#include "render/text_maze.h"

#include "maze/state.h"
#include "render/atomic_file.h"

#include <algorithm>
#include <vector>

std::string maze_text(const MazeState &s, bool solution)
{
    const NodeGrid &g = s.grid;
    const std::size_t line = static_cast<std::size_t>(g.width()) + 1;  // with its newline
    std::string text(line * static_cast<std::size_t>(std::max(g.height(), 0)), '\n');
    // A node's character from its four flags alone: find_bitmap draws nothing on a carved or
    // blocked node, a passage or outside.
    char of[16];
    for (unsigned f = 0; f < 16; ++f)
        of[f] = solution && (f & NodeGrid::Mark) ? '+' : (f & NodeGrid::Carved) ? ' ' : (f & NodeGrid::Blocked) ? '.' : '#';
    std::vector<std::uint8_t> flags(line);
    for (int y = 1; y <= g.height(); ++y) {
        g.copyRow(y, flags.data());
        char *out = text.data() + line * static_cast<std::size_t>(y - 1) - 1;  // out[x] is node x
        for (int x = 1; x <= g.width(); ++x)
            out[x] = of[flags[static_cast<std::size_t>(x)]];
        if (y == s.FinishY && s.FinishX >= 1 && s.FinishX <= g.width())
            out[s.FinishX] = 'F';
        if (y == s.StartY && s.StartX >= 1 && s.StartX <= g.width())
            out[s.StartX] = 'S';
    }
    return text;
}

void write_maze_text(const MazeState &s, const std::string &path, bool solution)
{
    AtomicFile file(path);
    file.write(maze_text(s, solution));
    file.commit();
}

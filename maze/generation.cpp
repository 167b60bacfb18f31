#include "maze/generation.h"

#include "maze/frame.h"
#include "maze/state.h"
#include "maze/walk.h"

#include <stdexcept>

void allocate_arrays(MazeState &s)
{
    const bool keepMatte = s.UseMatte && s.grid.width() == s.GridWidth && s.grid.height() == s.GridHeight;
    if (s.UseMatte && !keepMatte)
        throw std::length_error("the matte does not fit a grid of this size");
    if (keepMatte) {
        s.grid.clearFlag(NodeGrid::Carved);
        s.grid.clearFlag(NodeGrid::Retraced);
        // The last maze's solution goes with it.
        s.grid.clearFlag(NodeGrid::Mark);
    } else {
        if (s.GridWidth < 0 || s.GridHeight < 0 || s.GridWidth > NodeGrid::MaxNodes
            || s.GridHeight > NodeGrid::MaxNodes)
            throw std::length_error("the grid cannot hold that many nodes");
        s.grid.allocate(static_cast<int>(s.GridWidth), static_cast<int>(s.GridHeight));
    }
    s.RowFlags.assign(s.Harder ? static_cast<std::size_t>(s.GridHeight) + 1 : 0, 0);
}

long long carve_maze(MazeState &s, Progress &progress)
{
    make_frame(s);
    return s.Harder ? make_maze_2(s, progress) : make_maze(s, progress);
}

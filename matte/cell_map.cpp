#include "matte/cell_map.h"

#include <algorithm>
#include <stdexcept>
#include <string>

CellMap::CellMap(int cols, int rows, bool value)
{
    if (cols < 0 || rows < 0)
        throw std::invalid_argument("matte of " + std::to_string(cols) + " x " + std::to_string(rows)
                                    + " cells is impossible");
    cols_ = cols;
    rows_ = rows;
    cells_.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows), value);
}

std::size_t CellMap::count() const
{
    return static_cast<std::size_t>(std::count(cells_.begin(), cells_.end(), true));
}

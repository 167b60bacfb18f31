#pragma once

#include <cstddef>
#include <vector>

/// One yes/no value per matte cell (cx, cy), both 0-based, cx across: which cells are
/// paper, open or linked. Cell (cx, cy) stands for grid node (2cx + 2, 2cy + 2).
class CellMap {
public:
    CellMap() = default;
    /// Throws std::invalid_argument for a negative count.
    CellMap(int cols, int rows, bool value = false);

    int cols() const { return cols_; }
    int rows() const { return rows_; }
    bool contains(int cx, int cy) const { return cx >= 0 && cy >= 0 && cx < cols_ && cy < rows_; }

    bool at(int cx, int cy) const { return cells_[index(cx, cy)]; }
    void set(int cx, int cy, bool value = true) { cells_[index(cx, cy)] = value; }
    /// Number of cells holding true.
    std::size_t count() const;

    bool operator==(const CellMap &) const = default;

private:
    std::size_t index(int cx, int cy) const
    {
        return static_cast<std::size_t>(cy) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(cx);
    }

    int cols_ = 0;
    int rows_ = 0;
    std::vector<bool> cells_;
};

#pragma once

#include <cstddef>
#include <vector>

/// A matte cell, 0-based: cx across from the left, cy down from the top. A start or finish
/// cell that is unset has cx = -1.
struct MatteCell {
    int cx = -1;
    int cy = -1;

    bool isSet() const { return cx != -1; }
    bool operator==(const MatteCell &) const = default;
};

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
    bool contains(MatteCell cell) const { return contains(cell.cx, cell.cy); }

    bool at(int cx, int cy) const { return cells_[index(cx, cy)]; }
    bool at(MatteCell cell) const { return at(cell.cx, cell.cy); }
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

/// True when `cell` lies on the matte and is maze, not paper (`paper` true = paper).
inline bool isMazeCell(const CellMap &paper, MatteCell cell) { return paper.contains(cell) && !paper.at(cell); }

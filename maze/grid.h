#pragma once

#include "maze/zeroed_array.h"

#include <cstddef>
#include <cstdint>

/// The grid of nodes (x, y), x in 0..width, y in 0..height, y growing downward, each with the
/// four flags below. The nodes are stored by blocks of 2 x 2, one 16-bit word per block: the
/// node (2i, 2j) in bits 0-3, (2i + 1, 2j) in bits 4-7, (2i, 2j + 1) in bits 8-11 and
/// (2i + 1, 2j + 1) in bits 12-15. A cell node and its right and lower walls then share a word,
/// so a walk finds a cell's neighbours and its four walls in five words on three cache lines,
/// and the largest grid takes 512 MiB.
class NodeGrid {
public:
    enum Flag : std::uint8_t {
        Carved = 1,
        Blocked = 2,
        Retraced = 4,
        Mark = 8,  ///< free during generation; the solver leaves it on the nodes of the solution
    };

    /// The largest node index a grid may have on either axis.
    static constexpr int MaxNodes = 32767;

    NodeGrid() = default;

    /// Allocates nodes 0..width x 0..height, every flag false. Throws std::length_error
    /// for a size outside 0..MaxNodes before touching memory, std::bad_alloc without memory;
    /// the old grid is gone either way.
    void allocate(int width, int height);
    /// Clears one flag on every node, keeping the others (a matte keeps Blocked).
    void clearFlag(Flag flag);
    void release();

    bool empty() const { return blocks_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    /// Bytes held, for memory reports.
    std::size_t memoryBytes() const { return blocks_.size() * sizeof(std::uint16_t); }
    /// Nodes in the grid, (width + 1) x (height + 1), for arrays with one entry per node.
    std::size_t nodeCount() const { return empty() ? 0 : index(0, height_ + 1); }
    /// Node (x, y)'s place in such an array, row by row.
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_ + 1) + static_cast<std::size_t>(x);
    }

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x <= width_ && y <= height_; }
    /// (x, y) is a cell node: even on both axes and off the outer wall.
    bool isCell(int x, int y) const { return isCellNode(x, y, width_, height_); }
    /// The same for a grid of width x height nodes, before there is one.
    static bool isCellNode(int x, int y, int width, int height)
    {
        return x >= 2 && y >= 2 && x <= width - 1 && y <= height - 1 && x % 2 == 0 && y % 2 == 0;
    }

    std::uint8_t flags(int x, int y) const
    {
        return static_cast<std::uint8_t>((blocks_[block(x, y)] >> shift(x, y)) & 15u);
    }
    bool carved(int x, int y) const { return flags(x, y) & Carved; }
    bool blocked(int x, int y) const { return flags(x, y) & Blocked; }
    bool retraced(int x, int y) const { return flags(x, y) & Retraced; }
    bool marked(int x, int y) const { return flags(x, y) & Mark; }

    void set(int x, int y, Flag flag) { blocks_[block(x, y)] |= static_cast<std::uint16_t>(flag << shift(x, y)); }
    void unset(int x, int y, Flag flag)
    {
        blocks_[block(x, y)] &= static_cast<std::uint16_t>(~(flag << shift(x, y)));
    }
    void assign(int x, int y, Flag flag, bool value) { value ? set(x, y, flag) : unset(x, y, flag); }

    /// Same size and the same flags on every node.
    bool operator==(const NodeGrid &other) const;

    /// The flags of nodes 0..width of row y, one byte each, into `out`: for code that reads
    /// whole rows.
    void copyRow(int y, std::uint8_t *out) const;

    /// The blocks of nodes 2j and 2j + 1 (row 2j + 1 may lie past the height), for code that
    /// walks whole rows; block i holds nodes 2i and 2i + 1. Beyond the last block of a row,
    /// and below the last row, lies one block of padding, zero, so that a cell's neighbours can
    /// be read without asking whether they exist.
    const std::uint16_t *blockRow(int j) const { return blocks_.data() + static_cast<std::size_t>(j) * stride_; }
    std::uint16_t *blockRow(int j) { return blocks_.data() + static_cast<std::size_t>(j) * stride_; }
    /// Blocks from one block row to the next.
    std::ptrdiff_t blockStride() const { return static_cast<std::ptrdiff_t>(stride_); }

    /// Where node (x, y) lies: the block, and the bit of its flags in the block's word.
    std::size_t block(int x, int y) const
    {
        return static_cast<std::size_t>(y >> 1) * stride_ + static_cast<std::size_t>(x >> 1);
    }
    static int shift(int x, int y) { return ((x & 1) | ((y & 1) << 1)) << 2; }

private:
    int width_ = -1;
    int height_ = -1;
    std::size_t stride_ = 0;
    ZeroedArray<std::uint16_t> blocks_;
};

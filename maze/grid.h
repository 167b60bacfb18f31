#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// The grid of nodes (x, y), x in 0..width, y in 0..height, y growing downward.
/// The three boolean arrays of a maze (Carved, Blocked, Retraced) share one byte
/// per node: find_bitmap's "carved or blocked" test is then a single load, and the
/// largest grid (32768 x 32768 bytes) takes 1 GiB.
class NodeGrid {
public:
    /// Mark is free during generation; the solver leaves it on the nodes of the solution.
    enum Flag : std::uint8_t { Carved = 1, Blocked = 2, Retraced = 4, Mark = 8 };

    /// The largest node index a grid may have on either axis.
    static constexpr int MaxNodes = 32767;

    NodeGrid() = default;

    /// Allocates nodes 0..width x 0..height, every flag false. Throws std::length_error
    /// for a size outside 0..MaxNodes before touching memory.
    void allocate(int width, int height);
    /// Clears one flag on every node, keeping the others (a matte keeps Blocked).
    void clearFlag(Flag flag);
    void release();

    bool empty() const { return nodes_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    /// Bytes held, for memory reports.
    std::size_t bytes() const { return nodes_.size(); }

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x <= width_ && y <= height_; }

    std::uint8_t flags(int x, int y) const { return nodes_[index(x, y)]; }
    bool carved(int x, int y) const { return flags(x, y) & Carved; }
    bool blocked(int x, int y) const { return flags(x, y) & Blocked; }
    bool retraced(int x, int y) const { return flags(x, y) & Retraced; }
    bool marked(int x, int y) const { return flags(x, y) & Mark; }

    void set(int x, int y, Flag flag) { nodes_[index(x, y)] |= flag; }
    void unset(int x, int y, Flag flag) { nodes_[index(x, y)] &= static_cast<std::uint8_t>(~flag); }
    void assign(int x, int y, Flag flag, bool value) { value ? set(x, y, flag) : unset(x, y, flag); }

    /// The flags of row y, nodes 0..width, for code that walks a whole row.
    const std::uint8_t *row(int y) const { return nodes_.data() + index(0, y); }
    std::uint8_t *row(int y) { return nodes_.data() + index(0, y); }

    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x);
    }

private:
    int width_ = -1;
    int height_ = -1;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> nodes_;
};

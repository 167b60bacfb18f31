#include "maze/grid.h"

#include <algorithm>
#include <stdexcept>
#include <string>

void NodeGrid::allocate(int width, int height)
{
    if (width < 0 || height < 0 || width > MaxNodes || height > MaxNodes)
        throw std::length_error("grid of " + std::to_string(width) + " x " + std::to_string(height)
                                + " nodes is outside 0.." + std::to_string(MaxNodes));
    release();  // never hold the old and the new grid at once
    // Nodes 0..width make width / 2 + 1 blocks; one more for the padding.
    const std::size_t stride = static_cast<std::size_t>(width) / 2 + 2;
    const std::size_t rows = static_cast<std::size_t>(height) / 2 + 2;
    blocks_ = ZeroedArray<std::uint16_t>(stride * rows);
    stride_ = stride;
    width_ = width;
    height_ = height;
}

void NodeGrid::clearFlag(Flag flag)
{
    const auto keep = static_cast<std::uint16_t>(~(flag * 0x1111u));
    std::uint16_t *b = blocks_.data();
    for (std::size_t i = 0, n = blocks_.size(); i < n; ++i)
        b[i] &= keep;
}

void NodeGrid::release()
{
    blocks_.release();
    width_ = height_ = -1;
    stride_ = 0;
}

bool NodeGrid::operator==(const NodeGrid &other) const
{
    if (width_ != other.width_ || height_ != other.height_)
        return false;
    // The padding is never written, so whole words compare.
    return std::equal(blocks_.data(), blocks_.data() + blocks_.size(), other.blocks_.data());
}

void NodeGrid::copyRow(int y, std::uint8_t *out) const
{
    const std::uint16_t *blocks = blockRow(y >> 1);
    const int shift = (y & 1) * 8;  // an odd row's nodes lie in the upper byte
    int x = 0;
    for (; x + 1 <= width_; x += 2) {
        const unsigned pair = blocks[x >> 1] >> shift;
        out[x] = static_cast<std::uint8_t>(pair & 15u);
        out[x + 1] = static_cast<std::uint8_t>((pair >> 4) & 15u);
    }
    if (x == width_)
        out[x] = static_cast<std::uint8_t>((blocks[x >> 1] >> shift) & 15u);
}

#include "maze/grid.h"

#include <algorithm>
#include <stdexcept>
#include <string>

void NodeGrid::allocate(int width, int height)
{
    if (width < 0 || height < 0 || width > MaxNodes || height > MaxNodes)
        throw std::length_error("grid of " + std::to_string(width) + " x " + std::to_string(height)
                                + " nodes is outside 0.." + std::to_string(MaxNodes));
    nodes_.clear();
    nodes_.shrink_to_fit();  // never hold the old and the new grid at once
    stride_ = static_cast<std::size_t>(width) + 1;
    nodes_.assign(stride_ * (static_cast<std::size_t>(height) + 1), 0);
    width_ = width;
    height_ = height;
}

void NodeGrid::clearFlag(Flag flag)
{
    const auto keep = static_cast<std::uint8_t>(~flag);
    for (auto &node : nodes_)
        node &= keep;
}

void NodeGrid::release()
{
    nodes_.clear();
    nodes_.shrink_to_fit();
    width_ = height_ = -1;
    stride_ = 0;
}

#pragma once

#include <QRect>

/// Window layouts are drawn up in twips; at 100% scale 15 twips make a pixel.
constexpr int twips(int value) { return value / 15; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

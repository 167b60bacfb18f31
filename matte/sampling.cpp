#include "matte/sampling.h"

#include <cmath>
#include <stdexcept>
#include <string>

int sample_coordinate(int cell, int pictureSize, int cells)
{
    const float share = static_cast<float>(static_cast<double>(pictureSize) / cells);
    return static_cast<int>(std::floor((cell + 0.5) * static_cast<double>(share)));
}

CellMap sample_picture(int width, int height, int cols, int rows, const PixelReader &pixel)
{
    if (cols < 1 || rows < 1)
        throw std::invalid_argument("matte of " + std::to_string(cols) + " x " + std::to_string(rows)
                                    + " cells cannot take a picture");
    CellMap paper(cols, rows);
    for (int cy = 0; cy < rows; ++cy) {
        const int py = sample_coordinate(cy, height, rows);
        for (int cx = 0; cx < cols; ++cx)
            paper.set(cx, cy, is_light_sample(pixel(sample_coordinate(cx, width, cols), py)));
    }
    return paper;
}

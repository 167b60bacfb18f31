#pragma once

#include <QImage>

#include <array>

/// The corner arrow as an RGB32 image.
QImage arrow_image();

/// The sixteen pictures of one tile set as images, made once per picture drawn so that
/// every node paints the same image.
class TileImages {
public:
    /// Throws std::out_of_range for a style outside 0..10.
    explicit TileImages(int style);

    /// Tile 1..16.
    const QImage &tile(int number) const { return tiles_[static_cast<std::size_t>(number - 1)]; }

private:
    std::array<QImage, 16> tiles_;
};

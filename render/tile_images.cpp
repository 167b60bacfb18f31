#include "render/tile_images.h"

#include "render/tiles.h"

namespace {

QImage toImage(const tiles::TileSet &set, int tile)
{
    QImage image(set.width, set.height, QImage::Format_RGB32);
    for (int y = 0; y < set.height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < set.width; ++x)
            line[x] = 0xFF000000u | tiles::rgb(set.shade(tile, x, y));
    }
    return image;
}

} // namespace

QImage arrow_image()
{
    return toImage(tiles::corner_arrow(), 1);
}

TileImages::TileImages(int style)
{
    const tiles::TileSet &set = tiles::tile_set(style);
    static_assert(tiles::TilesPerSet == 16);
    for (int t = 1; t <= tiles::TilesPerSet; ++t)
        tiles_[static_cast<std::size_t>(t - 1)] = toImage(set, t);
}

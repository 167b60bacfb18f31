#pragma once

#include "maze/progress.h"
#include "render/tile_images.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <optional>

class QPainter;
class Random;
struct MazeState;

/// Where and how a scene lays its maze out, in node units.
struct SceneOptions {
    /// Node (x, y) fills the square whose top-left corner is (x, y) + offset: (0, 0) on a
    /// bitmap with its one-node margin, (-1, -1) on a page, which starts at the maze.
    QPoint offset;
    /// Side of a tile's square: 1.1 on a bitmap, overlapping the right and lower neighbours.
    qreal tileExtent = 1;
    /// City plan: two random black slabs a wall node, four numbers drawn from this sequence,
    /// instead of tiles.
    Random *cityPlan = nullptr;

    /// The bitmap's layout: a one-node margin all round, tiles of 1.1 units.
    static SceneOptions bitmap() { return {QPoint(0, 0), 1.1, nullptr}; }
    /// The page's layout: the maze from (0, 0), tiles of 1 unit; City plan when `cityPlan` is set.
    static SceneOptions page(Random *cityPlan) { return {QPoint(-1, -1), 1, cityPlan}; }
};

/// A finished maze drawn in node units on any QPainter (a picture, a strip of one, a page,
/// a view); the caller sets the painter's scale. It reads the state, which must outlive it.
class MazeScene {
public:
    /// Loads the tile set MazeStyle, or nothing but the arrow for City plan.
    MazeScene(const MazeState &s, const SceneOptions &options);

    /// Every node of the grid: (1, 1) to (GridWidth, GridHeight).
    QRect grid() const { return QRect(1, 1, gridWidth_, gridHeight_); }
    /// The nodes whose squares meet `area`, a rectangle in the painter's units.
    QRect nodesIn(const QRectF &area) const;

    /// Draws the layers bottom to top, arrows then tiles (a solution, marks or a title join as
    /// further layer methods called here), over `nodes` and the tiles overlapping into them.
    /// City plan ignores `nodes` and draws the whole grid in row order, so that its slabs keep
    /// their random numbers. With `progress`, reports `phase` after each row of nodes; false
    /// once a stop is requested.
    bool paint(QPainter &painter, const QRect &nodes, Progress *progress = nullptr,
               Phase phase = Phase::Rendering) const;

private:
    void paintArrows(QPainter &painter, const QRect &nodes) const;
    bool paintTiles(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const;
    /// One node (the bitmap's draw_bitmap, the page's print_bitmap): tile `bmp` (1..16) over the
    /// square of side tileExtent at unit position (px, py), or its City plan slabs; nothing for bmp <= 0.
    void paintNode(QPainter &painter, int px, int py, int bmp) const;
    void paintCityBlock(QPainter &painter, int px, int py, int bmp) const;

    const MazeState &state_;
    const SceneOptions options_;
    const int gridWidth_;
    const int gridHeight_;
    std::optional<TileImages> tiles_;
    QImage arrow_;
};

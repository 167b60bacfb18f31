#pragma once

#include "maze/progress.h"
#include "render/overlay.h"
#include "render/tile_images.h"
#include "render/vector_tiles.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <optional>

class QPainter;
class Random;
struct MazeState;

/// The layers' colours on colour outputs: the solution red, the start in the matte editor's
/// green and the finish in its red.
namespace layer_colours {
inline const QColor Solution = QColor::fromRgb(overlay::SolutionRgb);
inline const QColor Start = QColor::fromRgb(overlay::StartRgb);
inline const QColor Finish = QColor::fromRgb(overlay::FinishRgb);
} // namespace layer_colours

/// What a scene draws over the maze, each off unless asked for.
struct SceneLayers {
    bool solution = false;    ///< a line through the centres of the nodes solve_maze marked
    bool marks = false;       ///< a filled disc on the start cell, a ring on the finish cell
    bool monochrome = false;  ///< for black-and-white pages: the line dashed dark grey, marks black
};

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
    SceneLayers layers{};
    /// The tiles as their pixels in merged filled rectangles and the arrows as their shapes,
    /// sharp at any resolution, instead of pictures; tiles of exactly 1 unit.
    bool vector = false;

    /// The bitmap's layout: a one-node margin all round, tiles of 1.1 units.
    static SceneOptions bitmap(const SceneLayers &layers = {}) { return {QPoint(0, 0), 1.1, nullptr, layers}; }
    /// The page's layout: the maze from (0, 0) in vectors; City plan when `cityPlan` is set.
    static SceneOptions page(Random *cityPlan, const SceneLayers &layers = {})
    {
        return {QPoint(-1, -1), 1, cityPlan, layers, true};
    }
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

    /// Draws the layers bottom to top, arrows, tiles, then the solution and the marks when the
    /// options ask for them, over `nodes` and the tiles overlapping into them.
    /// City plan ignores `nodes` and draws the whole grid in row order, so that its slabs keep
    /// their random numbers. With `progress`, reports `phase` after each row of nodes; false
    /// once a stop is requested.
    bool paint(QPainter &painter, const QRect &nodes, Progress *progress = nullptr,
               Phase phase = Phase::Rendering) const;

private:
    void paintArrows(QPainter &painter, const QRect &nodes) const;
    bool paintTiles(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const;
    bool paintTileRects(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const;
    /// One node (the bitmap's draw_bitmap, the page's print_bitmap): tile `bmp` (1..16) over the
    /// square of side tileExtent at unit position (px, py), or its City plan slabs; nothing for bmp <= 0.
    void paintNode(QPainter &painter, int px, int py, int bmp) const;
    void paintCityBlock(QPainter &painter, int px, int py, int bmp) const;
    /// Each marked node draws the half of the line from its centre toward each marked
    /// neighbour, so any rectangle of nodes draws exactly its own share.
    void paintSolution(QPainter &painter, const QRect &nodes) const;
    void paintMarks(QPainter &painter, const QRect &nodes) const;
    /// The centre of node (x, y) in the painter's units.
    QPointF centre(int x, int y) const { return QPointF(x + options_.offset.x() + 0.5, y + options_.offset.y() + 0.5); }

    const MazeState &state_;
    const SceneOptions options_;
    const int gridWidth_;
    const int gridHeight_;
    std::optional<TileImages> tiles_;
    std::optional<TileRects> tileRects_;
    QImage arrow_;
};

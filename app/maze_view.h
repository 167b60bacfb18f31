#pragma once

#include "maze/random.h"
#include "render/scene.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <optional>

struct MazeState;

/// A maze on screen at any zoom, one node a square of zoom() pixels with a one-node margin.
/// It draws only what is visible: tiles through the scene once a node is large enough to
/// show them, else one pixel per screen pixel sampled from the visible nodes, and far out an
/// overview made in one pass when the maze is shown (a pixel dark where its block of nodes
/// holds walls, the darker the more). No picture of the whole maze at full size is ever made.
class MazeView : public QAbstractScrollArea {
    Q_OBJECT
public:
    /// How the last paint drew the maze.
    enum class Level { Tiles, Nodes, Overview };

    /// From this many pixels a node up, tiles are drawn.
    static constexpr double TileZoom = 4;
    /// The most zoom offers: a 36-pixel tile at nearly twice its size.
    static constexpr double MaxZoom = 64;
    /// The most nodes a paint samples one by one; beyond, the overview is drawn.
    static constexpr qint64 SampleBudget = qint64{16} << 20;
    /// The overview's longer side at most, in pixels.
    static constexpr int OverviewSide = 4096;

    explicit MazeView(QWidget *parent = nullptr);

    /// Shows `s`, which must stay alive and unchanged until the next call, fitted to the view.
    /// `layers` says whether to draw the marks (the solution follows setShowSolution).
    void showMaze(const MazeState &s, const SceneLayers &layers);
    /// Shows nothing, holding no reference to a maze: for while the maze is being remade.
    void clearMaze();
    void setShowSolution(bool on);
    bool showSolution() const { return layers_.solution; }

    /// Screen pixels per node.
    double zoom() const { return zoom_; }
    /// The zoom at which the whole maze fits the view.
    double fitZoom() const;
    /// Zooms keeping the maze point under `anchor` (viewport pixels) where it is.
    void setZoom(double zoom, QPointF anchor);
    /// Zooms by `factor` about the middle of the view.
    void zoomBy(double factor);
    /// The whole maze in the view; it stays fitted as the view is resized until zoomed.
    void fit();
    bool fitted() const { return fitted_; }

    Level lastLevel() const { return lastLevel_; }
    /// The overview: one pixel a block of overviewBlock() x overviewBlock() node units.
    const QImage &overview() const { return overview_; }
    int overviewBlock() const { return block_; }
    /// The maze point, in node units, at viewport pixel `p`.
    QPointF unitAt(QPointF p) const;

signals:
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSizeF contentSize() const;
    /// Where the maze's unit (0, 0) lands in the viewport: centred while it is smaller.
    QPointF origin() const;
    void updateScrollBars();
    /// The tiles drawn close up, with the layers shown now.
    void buildScene();
    void buildOverview();
    void applyOverviewColours();
    void paintTiles(QPainter &painter, const QRectF &units);
    void paintSampled(QPainter &painter, const QRectF &units);
    void paintOverview(QPainter &painter, const QRectF &units);
    void paintMarkers(QPainter &painter);
    /// A picture of the viewport's size, each pixel the mean shade of the source cells under it
    /// (nodes, or overview pixels), `cellsPerPixel` of them a pixel each way; red where any of
    /// them is on the shown solution. cellAt(x, y) gives a cell's shade and that flag.
    template <typename CellAt>
    QImage sampledPicture(double cellsPerPixel, int firstX, int lastX, int firstY, int lastY, CellAt cellAt) const;

    const MazeState *state_ = nullptr;
    SceneLayers layers_;
    std::optional<MazeScene> scene_;
    /// City plan draws every slab in row order from the maze's sequence; a copy taken when
    /// the maze is shown makes every paint draw the same slabs as the printed page.
    Random cityPlanStart_;
    Random cityPlanSlabs_;
    bool slabsWhole_ = false;  // City plan small enough to draw whole at every paint
    QImage overview_;  // Indexed8: the share of walls as a shade, plus Shades where the solution passes
    int block_ = 1;
    double zoom_ = 1;
    bool fitted_ = true;
    Level lastLevel_ = Level::Overview;
    std::optional<QPoint> dragFrom_;
    QPoint dragScroll_;
};

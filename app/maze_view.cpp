#include "app/maze_view.h"

#include "maze/frame.h"
#include "maze/state.h"
#include "render/overlay.h"
#include "render/tiles.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// City plan draws all its slabs at every paint; beyond this many nodes it is shown as blocks.
constexpr qint64 WholeSlabNodes = qint64{1} << 18;

constexpr std::uint8_t Gone = NodeGrid::Carved | NodeGrid::Blocked;

const QColor Paper(Qt::white);

// Marks far out are drawn at least this large, so the start and finish can be found.
constexpr double MarkerPixels = 6;

// Far out a pixel stands for a block of nodes: the more of them are walls, the darker it is,
// and any wall at all keeps it off white.
constexpr int Shades = 64;
// A sampled cell's flag for "the solution passes here", beside its shade.
constexpr std::uint8_t OnPath = 0x80;
int shadeOf(double wallShare)
{
    return std::clamp(int(std::ceil(wallShare * (Shades - 1))), 0, Shades - 1);
}
QRgb greyOf(int shade)
{
    const int level = 255 - shade * 255 / (Shades - 1);
    return qRgb(level, level, level);
}

} // namespace

MazeView::MazeView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::OpenHandCursor);
}

void MazeView::showMaze(const MazeState &s, const SceneLayers &layers)
{
    state_ = &s;
    layers_.marks = layers.marks;
    const qint64 nodes = qint64(s.grid.width()) * s.grid.height();
    slabsWhole_ = s.CityPlan && nodes <= WholeSlabNodes;
    cityPlanStart_ = s.rng;
    cityPlanSlabs_ = s.rng;
    scene_.reset();
    if (!s.CityPlan || slabsWhole_)
        buildScene();
    buildOverview();
    fit();
}

void MazeView::clearMaze()
{
    state_ = nullptr;
    scene_.reset();
    overview_ = QImage();
    viewport()->update();
}

void MazeView::setShowSolution(bool on)
{
    layers_.solution = on;
    if (state_ && scene_)
        buildScene();
    applyOverviewColours();
    viewport()->update();
}

void MazeView::buildScene()
{
    scene_.emplace(*state_, SceneOptions{QPoint(0, 0), 1, slabsWhole_ ? &cityPlanSlabs_ : nullptr, layers_});
}

QSizeF MazeView::contentSize() const
{
    if (!state_)
        return {};
    return QSizeF((state_->grid.width() + 2) * zoom_, (state_->grid.height() + 2) * zoom_);
}

double MazeView::fitZoom() const
{
    if (!state_)
        return 1;
    const QSize view = viewport()->size();
    return std::min(MaxZoom, std::min(view.width() / double(state_->grid.width() + 2),
                                      view.height() / double(state_->grid.height() + 2)));
}

QPointF MazeView::origin() const
{
    const QSizeF content = contentSize();
    const QSize view = viewport()->size();
    const double x = content.width() < view.width() ? (view.width() - content.width()) / 2 : -horizontalScrollBar()->value();
    const double y = content.height() < view.height() ? (view.height() - content.height()) / 2 : -verticalScrollBar()->value();
    return {x, y};
}

QPointF MazeView::unitAt(QPointF p) const
{
    return (p - origin()) / zoom_;
}

void MazeView::setZoom(double zoom, QPointF anchor)
{
    if (!state_)
        return;
    // Never smaller than the fitted maze or a quarter of a pixel a node, whichever is smaller.
    zoom = std::clamp(zoom, std::min(fitZoom(), 0.25), MaxZoom);
    const QPointF unit = unitAt(anchor);
    zoom_ = zoom;
    fitted_ = false;
    updateScrollBars();
    horizontalScrollBar()->setValue(int(std::lround(unit.x() * zoom_ - anchor.x())));
    verticalScrollBar()->setValue(int(std::lround(unit.y() * zoom_ - anchor.y())));
    viewport()->update();
    emit zoomChanged(zoom_);
}

void MazeView::zoomBy(double factor)
{
    setZoom(zoom_ * factor, QRectF(viewport()->rect()).center());
}

void MazeView::fit()
{
    zoom_ = fitZoom();
    fitted_ = true;
    updateScrollBars();
    viewport()->update();
    emit zoomChanged(zoom_);
}

void MazeView::updateScrollBars()
{
    const QSizeF content = contentSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(content.width())) - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(content.height())) - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setSingleStep(std::max(1, view.width() / 20));
    verticalScrollBar()->setSingleStep(std::max(1, view.height() / 20));
}

void MazeView::buildOverview()
{
    const NodeGrid &g = state_->grid;
    const int gw = g.width(), gh = g.height();
    block_ = std::max(1, int(std::ceil(double(std::max(gw, gh) + 2) / OverviewSide)));
    const int ow = (gw + 2 + block_ - 1) / block_, oh = (gh + 2 + block_ - 1) / block_;
    overview_ = QImage(ow, oh, QImage::Format_Indexed8);
    std::vector<std::uint32_t> walls(static_cast<std::size_t>(ow));
    std::vector<std::uint8_t> path(static_cast<std::size_t>(ow));
    std::vector<std::uint8_t> flags(static_cast<std::size_t>(gw) + 1);
    const double area = double(block_) * block_;
    // One pass over the grid, a row of blocks at a time.
    for (int oy = 0; oy < oh; ++oy) {
        std::fill(walls.begin(), walls.end(), 0);
        std::fill(path.begin(), path.end(), 0);
        for (int y = std::max(1, oy * block_); y <= std::min(gh, (oy + 1) * block_ - 1); ++y) {
            g.copyRow(y, flags.data());
            for (int bx = 0; bx < ow; ++bx) {
                const int from = std::max(1, bx * block_), to = std::min(gw, (bx + 1) * block_ - 1);
                std::uint32_t n = 0;
                std::uint8_t marked = 0;
                for (int x = from; x <= to; ++x) {
                    n += (flags[x] & Gone) == 0;
                    marked |= flags[x] & NodeGrid::Mark;
                }
                walls[std::size_t(bx)] += n;
                path[std::size_t(bx)] |= marked;
            }
        }
        uchar *line = overview_.scanLine(oy);
        for (int bx = 0; bx < ow; ++bx)
            line[bx] = uchar(shadeOf(walls[std::size_t(bx)] / area) + (path[std::size_t(bx)] ? Shades : 0));
    }
    applyOverviewColours();
}

void MazeView::applyOverviewColours()
{
    if (overview_.isNull())
        return;
    QList<QRgb> colours;
    for (int shade = 0; shade < Shades; ++shade)
        colours << greyOf(shade);
    for (int shade = 0; shade < Shades; ++shade)
        colours << (layers_.solution ? layer_colours::Solution.rgb() : greyOf(shade));
    overview_.setColorTable(colours);
}

void MazeView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Paper);
    if (!state_)
        return;
    const QPointF o = origin();
    const QRectF units(-o / zoom_, QSizeF(viewport()->width() / zoom_, viewport()->height() / zoom_));
    const QRectF maze = units & QRectF(0, 0, state_->grid.width() + 2, state_->grid.height() + 2);
    if (maze.isEmpty())
        return;
    if (zoom_ >= TileZoom && scene_) {
        paintTiles(painter, maze);
        lastLevel_ = Level::Tiles;
    } else if (qint64(maze.width() + 1) * qint64(maze.height() + 1) <= SampleBudget) {
        paintSampled(painter, maze);
        lastLevel_ = Level::Nodes;
    } else {
        paintOverview(painter, maze);
        lastLevel_ = Level::Overview;
    }
    // Marks too small to find at this zoom get a marker of a readable size.
    if (layers_.marks && (lastLevel_ != Level::Tiles || overlay::StartRadius * zoom_ < MarkerPixels))
        paintMarkers(painter);
}

void MazeView::paintTiles(QPainter &painter, const QRectF &units)
{
    const QPointF o = origin();
    painter.translate(o);
    painter.scale(zoom_, zoom_);
    const tiles::TileSet &set = tiles::tile_set(state_->MazeStyle);
    if (zoom_ < set.width)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    cityPlanSlabs_ = cityPlanStart_;
    scene_->paint(painter, scene_->nodesIn(units));
    painter.resetTransform();
}

void MazeView::paintSampled(QPainter &painter, const QRectF &units)
{
    const NodeGrid &g = state_->grid;
    const bool showSolution = layers_.solution;
    const QPointF o = origin();
    if (zoom_ >= 1) {
        // A pixel a node for the visible nodes, stretched: each node is read once.
        const QRect nodes = QRect(QPoint(int(std::floor(units.left())), int(std::floor(units.top()))),
                                  QPoint(int(std::ceil(units.right())), int(std::ceil(units.bottom()))))
                            & QRect(1, 1, g.width(), g.height());
        if (nodes.isEmpty())
            return;
        QImage picture(nodes.size(), QImage::Format_RGB32);
        const QRgb paper = Paper.rgb(), wall = greyOf(Shades - 1), solution = layer_colours::Solution.rgb();
        for (int y = nodes.top(); y <= nodes.bottom(); ++y) {
            auto *out = reinterpret_cast<QRgb *>(picture.scanLine(y - nodes.top()));
            for (int x = nodes.left(); x <= nodes.right(); ++x) {
                const std::uint8_t f = g.flags(x, y);
                out[x - nodes.left()] = showSolution && (f & NodeGrid::Mark) ? solution : (f & Gone) ? paper : wall;
            }
        }
        painter.drawImage(QRectF(o + QPointF(nodes.topLeft()) * zoom_, QSizeF(nodes.size()) * zoom_), picture);
        return;
    }
    painter.drawImage(0, 0, sampledPicture(1 / zoom_, 1, g.width(), 1, g.height(), [&](int x, int y) {
        const std::uint8_t f = g.flags(x, y);
        return std::uint8_t(((f & Gone) ? 0 : Shades - 1) | (showSolution && (f & NodeGrid::Mark) ? OnPath : 0));
    }));
}

void MazeView::paintOverview(QPainter &painter, const QRectF &)
{
    const bool showSolution = layers_.solution;
    painter.drawImage(0, 0, sampledPicture(1 / (zoom_ * block_), 0, overview_.width() - 1, 0, overview_.height() - 1,
                                           [&](int x, int y) {
                                               const int code = overview_.constScanLine(y)[x];
                                               return std::uint8_t((code % Shades) | (showSolution && code >= Shades ? OnPath : 0));
                                           }));
}

template <typename CellAt>
QImage MazeView::sampledPicture(double cellsPerPixel, int firstX, int lastX, int firstY, int lastY, CellAt cellAt) const
{
    const QSize view = viewport()->size();
    const QPointF o = origin();
    // The run of source cells under each screen column and row: at least one.
    auto spans = [&](int pixels, double offset, int first, int last) {
        std::vector<std::pair<int, int>> runs(static_cast<std::size_t>(pixels));
        for (int p = 0; p < pixels; ++p) {
            const int from = int(std::floor((p - offset) * cellsPerPixel));
            const int to = std::max(from, int(std::ceil((p + 1 - offset) * cellsPerPixel)) - 1);
            runs[std::size_t(p)] = {std::max(from, first), std::min(to, last)};
        }
        return runs;
    };
    const auto columns = spans(view.width(), o.x(), firstX, lastX);
    const auto rows = spans(view.height(), o.y(), firstY, lastY);
    QImage picture(view, QImage::Format_RGB32);
    const QRgb solution = layer_colours::Solution.rgb();
    for (int py = 0; py < view.height(); ++py) {
        auto *out = reinterpret_cast<QRgb *>(picture.scanLine(py));
        const auto [y0, y1] = rows[std::size_t(py)];
        for (int px = 0; px < view.width(); ++px) {
            const auto [x0, x1] = columns[std::size_t(px)];
            int darkness = 0;
            std::uint8_t path = 0;
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) {
                    const std::uint8_t cell = cellAt(x, y);
                    darkness += cell & ~OnPath;
                    path |= cell & OnPath;
                }
            const int cells = (y1 - y0 + 1) * (x1 - x0 + 1);
            out[px] = path ? solution : cells <= 0 ? Paper.rgb() : greyOf((darkness + cells - 1) / cells);
        }
    }
    return picture;
}

void MazeView::paintMarkers(QPainter &painter)
{
    const EndPoints e = end_points(*state_);
    const QPointF o = origin();
    auto at = [&](int x, int y) { return o + QPointF(x + 0.5, y + 0.5) * zoom_; };
    painter.setRenderHint(QPainter::Antialiasing);
    const double start = std::max(MarkerPixels, overlay::StartRadius * zoom_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(layer_colours::Start);
    painter.drawEllipse(at(e.startX, e.startY), start, start);
    const double finish = std::max(MarkerPixels, (overlay::FinishOuter + overlay::FinishInner) / 2 * zoom_);
    painter.setPen(QPen(layer_colours::Finish, std::max(2.0, (overlay::FinishOuter - overlay::FinishInner) * zoom_)));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at(e.finishX, e.finishY), finish, finish);
}

void MazeView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (fitted_)
        fit();
    else
        updateScrollBars();
}

void MazeView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y();
    if (steps == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    setZoom(zoom_ * std::pow(1.25, steps / 120.0), event->position());
    event->accept();
}

void MazeView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    dragFrom_ = event->position().toPoint();
    dragScroll_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void MazeView::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragFrom_)
        return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint moved = event->position().toPoint() - *dragFrom_;
    horizontalScrollBar()->setValue(dragScroll_.x() - moved.x());
    verticalScrollBar()->setValue(dragScroll_.y() - moved.y());
}

void MazeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragFrom_)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    dragFrom_.reset();
    viewport()->setCursor(Qt::OpenHandCursor);
}

void MazeView::scrollContentsBy(int, int)
{
    viewport()->update();
}

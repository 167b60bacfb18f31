#include "render/scene.h"

#include "maze/frame.h"
#include "maze/state.h"
#include "render/overlay.h"
#include "render/tiles.h"

#include <QPainter>
#include <QPainterPath>
#include <QVarLengthArray>

#include <cmath>

MazeScene::MazeScene(const MazeState &s, const SceneOptions &options)
    : state_(s), options_(options), gridWidth_(s.grid.width()), gridHeight_(s.grid.height())
{
    if (!options_.cityPlan && options_.vector)
        tileRects_.emplace(tiles::tile_set(s.MazeStyle));
    else if (!options_.cityPlan)
        tiles_.emplace(s.MazeStyle);
    if (s.MazeType == TopLeftToBottomRight)
        arrow_ = arrow_image();
}

QRect MazeScene::nodesIn(const QRectF &area) const
{
    const QRectF nodes = area.translated(-options_.offset);
    return QRect(QPoint(int(std::floor(nodes.left())), int(std::floor(nodes.top()))),
                 QPoint(int(std::ceil(nodes.right())) - 1, int(std::ceil(nodes.bottom())) - 1));
}

bool MazeScene::paint(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const
{
    const QRect area = options_.cityPlan ? grid() : nodes;
    paintArrows(painter, area);
    if (!paintTiles(painter, area, progress, phase))
        return false;
    paintSolution(painter, area);
    paintMarks(painter, area);
    return true;
}

void MazeScene::paintSolution(QPainter &painter, const QRect &nodes) const
{
    if (!options_.layers.solution)
        return;
    const NodeGrid &g = state_.grid;
    const QRect area = nodes & grid();
    painter.save();
    if (options_.layers.monochrome) {
        // Dashes one node apart, centred on the nodes, so the line never reads as a wall.
        QPen pen(QColor(64, 64, 64), overlay::PathWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({1, 1});
        painter.setPen(pen);
    } else {
        painter.setPen(QPen(layer_colours::Solution, overlay::PathWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    }
    QVarLengthArray<QLineF, 256> lines;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        lines.clear();
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!g.marked(x, y))
                continue;
            const QPointF c = centre(x, y);
            for (int d = Right; d <= Up; ++d) {
                const int x2 = x + StepX[d], y2 = y + StepY[d];
                if (x2 >= 1 && y2 >= 1 && x2 <= gridWidth_ && y2 <= gridHeight_ && g.marked(x2, y2))
                    lines.append(QLineF(c, c + QPointF(0.5 * StepX[d], 0.5 * StepY[d])));
            }
        }
        painter.drawLines(lines.constData(), int(lines.size()));
    }
    painter.restore();
}

void MazeScene::paintMarks(QPainter &painter, const QRect &nodes) const
{
    if (!options_.layers.marks)
        return;
    const EndPoints ends = end_points(state_);
    const bool mono = options_.layers.monochrome;
    painter.save();
    if (nodes.contains(ends.startX, ends.startY)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(mono ? QColor(Qt::black) : layer_colours::Start);
        painter.drawEllipse(centre(ends.startX, ends.startY), overlay::StartRadius, overlay::StartRadius);
    }
    if (nodes.contains(ends.finishX, ends.finishY)) {
        constexpr double middle = (overlay::FinishOuter + overlay::FinishInner) / 2;
        painter.setPen(QPen(mono ? QColor(Qt::black) : layer_colours::Finish, overlay::FinishOuter - overlay::FinishInner));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre(ends.finishX, ends.finishY), middle, middle);
    }
    painter.restore();
}

void MazeScene::paintArrows(QPainter &painter, const QRect &nodes) const
{
    if (arrow_.isNull())
        return;
    const int cw = state_.CornerWidth;
    const int ch = state_.CornerHeight;
    for (const QPoint corner : {QPoint(1, 1), QPoint(gridWidth_ - cw + 1, gridHeight_ - ch + 1)}) {
        const QRect covered(corner, QSize(cw, ch));
        if (!covered.intersects(nodes))
            continue;
        const QPoint at = corner + options_.offset;
        if (!options_.vector) {
            painter.drawImage(QRectF(at.x(), at.y(), cw, ch), arrow_);
            continue;
        }
        QPainterPath arrow;
        arrow.setFillRule(Qt::WindingFill);
        for (const auto &shape : corner_arrow_shape()) {
            QPolygonF polygon;
            for (const auto &[x, y] : shape)
                polygon << QPointF(at.x() + x * cw / 128, at.y() + y * ch / 128);
            arrow.addPolygon(polygon);
            arrow.closeSubpath();
        }
        painter.fillPath(arrow, Qt::black);
    }
}

bool MazeScene::paintTiles(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const
{
    if (nodes.isEmpty())
        return true;
    if (tileRects_)
        return paintTileRects(painter, nodes, progress, phase);
    // Tiles larger than their node reach into the area from the nodes left of it and above it.
    const int reach = int(std::ceil(options_.tileExtent - 1));
    const QRect drawn = QRect(nodes.topLeft() - QPoint(reach, reach), nodes.bottomRight()) & grid();
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
        if (progress)
            progress->processEvents();
        for (int x = drawn.left(); x <= drawn.right(); ++x)
            paintNode(painter, x + options_.offset.x(), y + options_.offset.y(), find_bitmap(state_.grid, x, y));
        if (progress) {
            progress->phase(phase, row_percent(y - drawn.top() + 1, drawn.height()));
            progress->processEvents();
            if (progress->stopRequested())
                return false;
        }
    }
    return true;
}

bool MazeScene::paintTileRects(QPainter &painter, const QRect &nodes, Progress *progress, Phase phase) const
{
    const QRect area = nodes & grid();
    if (area.isEmpty())
        return true;
    const double tw = tileRects_->tileWidth(), th = tileRects_->tileHeight();
    const QPointF origin = QPointF(1, 1) + options_.offset;
    std::array<QVector<QRectF>, tiles::White> pending;  // by shade, drawn a node row at a time
    painter.save();
    painter.setPen(Qt::NoPen);
    auto flush = [&] {
        for (int shade = tiles::Black; shade < tiles::White; ++shade) {
            QVector<QRectF> &rects = pending[static_cast<std::size_t>(shade)];
            if (rects.isEmpty())
                continue;
            painter.setBrush(QColor::fromRgb(tiles::rgb(static_cast<tiles::Shade>(shade))));
            painter.drawRects(rects.constData(), int(rects.size()));
            rects.clear();
        }
    };
    if (progress)
        progress->processEvents();
    const bool done = tileRects_->trace(
        state_.grid, NodeSpan{area.left(), area.top(), area.right(), area.bottom()},
        [&](const PixelRect &r) {
            pending[r.shade].append(QRectF(origin.x() + r.x / tw, origin.y() + r.y / th, r.width / tw, r.height / th));
        },
        [&](int y) {
            flush();
            if (!progress)
                return true;
            progress->phase(phase, row_percent(y - area.top() + 1, area.height()));
            progress->processEvents();
            return !progress->stopRequested();
        });
    flush();
    painter.restore();
    return done;
}

void MazeScene::paintNode(QPainter &painter, int px, int py, int bmp) const
{
    if (options_.cityPlan)
        paintCityBlock(painter, px, py, bmp);
    else if (bmp > 0)
        painter.drawImage(QRectF(px, py, options_.tileExtent, options_.tileExtent), tiles_->tile(bmp));
}

void MazeScene::paintCityBlock(QPainter &painter, int px, int py, int bmp) const
{
    if (bmp <= 0 || bmp > tiles::TilesPerSet)
        return;
    for (const tiles::CitySlab &slab : tiles::city_slabs(px, py, bmp, *options_.cityPlan))
        painter.fillRect(QRectF(QPointF(slab.left, slab.top), QPointF(slab.right, slab.bottom)), Qt::black);
}

#include "matte/matte_canvas.h"

#include "matte/matte_colours.h"
#include "matte/matte_model.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

std::int32_t colourOf(CellLook look)
{
    switch (look) {
    case CellLook::Paper:
        return MatteColour::Paper;
    case CellLook::Start:
        return MatteColour::Start;
    case CellLook::Finish:
        return MatteColour::Finish;
    case CellLook::Maze:
        break;
    }
    return MatteColour::Maze;
}

} // namespace

QRgb toQRgb(std::int32_t packed)
{
    return qRgb(MatteColour::red(packed), MatteColour::green(packed), MatteColour::blue(packed));
}

std::int32_t fromQRgb(QRgb rgb)
{
    return MatteColour::pack(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

MatteCanvas::MatteCanvas(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAttribute(Qt::WA_OpaquePaintEvent);
    picture_ = QImage(0, 0, QImage::Format_RGB32);
}

void MatteCanvas::setDrawableSize(QSize size)
{
    size = size.expandedTo(QSize(0, 0));
    if (size != picture_.size()) {
        QImage next(size, QImage::Format_RGB32);
        next.fill(Qt::white);
        if (!picture_.isNull() && !next.isNull()) {
            QPainter p(&next);
            p.drawImage(0, 0, picture_);
        }
        picture_ = next;
    }
    resize(size.width() + 2 * frameWidth(), size.height() + 2 * frameWidth());
    update();
}

void MatteCanvas::showMatte(const MatteModel &matte, int cellSize)
{
    matte_ = &matte;
    cellSize_ = cellSize;
    linked_ = CellMap();
    setDrawableSize(QSize(matte.cols() * cellSize, matte.rows() * cellSize));
    for (int cy = 0; cy < matte.rows(); ++cy)
        for (int cx = 0; cx < matte.cols(); ++cx)
            drawCell({cx, cy});
    update();
}

void MatteCanvas::showChange(const MatteChange &change)
{
    if (!matte_)
        return;
    const auto width = std::size_t(matte_->cols());
    for (const std::size_t i : change.flipped)
        drawCell({int(i % width), int(i / width)});
    for (const MatteCell point : {change.startBefore, change.startAfter, change.finishBefore, change.finishAfter})
        if (point.isSet())
            drawCell(point);
}

void MatteCanvas::showLinked(const CellMap &linked)
{
    if (!matte_ || linked.cols() != matte_->cols() || linked.rows() != matte_->rows())
        return;
    linked_ = linked;
    for (int cy = 0; cy < linked.rows(); ++cy)
        for (int cx = 0; cx < linked.cols(); ++cx)
            if (linked.at(cx, cy))
                drawCell({cx, cy});
}

void MatteCanvas::drawCell(MatteCell cell)
{
    const bool linked = linked_.contains(cell) && linked_.at(cell);
    const QRgb rgb = toQRgb(linked ? MatteColour::Linked : colourOf(matte_->look(cell.cx, cell.cy)));
    const QRect square(cell.cx * cellSize_, cell.cy * cellSize_, cellSize_, cellSize_);
    const QRect r = square.intersected(picture_.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture_.scanLine(y));
        std::fill(line + r.left(), line + r.right() + 1, rgb);
    }
    update(r.translated(frameWidth(), frameWidth()));
}

void MatteCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect inside = contentsRect();
    p.fillRect(inside, Qt::white);
    p.drawImage(inside.topLeft(), picture_);
    p.end();
    QFrame::paintEvent(event);
}

QPointF MatteCanvas::drawablePosition(const QPointF &widgetPosition) const
{
    return widgetPosition - QPointF(contentsRect().topLeft());
}

void MatteCanvas::mousePressEvent(QMouseEvent *event)
{
    emit mouseDown(Qt::MouseButtons(event->button()), drawablePosition(event->position()));
}

void MatteCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        emit mouseMove(event->buttons(), drawablePosition(event->position()));
}

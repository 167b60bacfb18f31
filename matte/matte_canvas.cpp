#include "matte/matte_canvas.h"

#include "matte/matte_colours.h"
#include "matte/matte_model.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

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

// Screen readers hear the canvas as a canvas, not as a frame.
QAccessibleInterface *canvasRole(const QString &, QObject *object)
{
    if (auto *canvas = qobject_cast<MatteCanvas *>(object))
        return new QAccessibleWidget(canvas, QAccessible::Canvas);
    return nullptr;
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
    QAccessible::installFactory(canvasRole);
    setObjectName(QStringLiteral("Picture1"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void MatteCanvas::setDrawableSize(QSize size)
{
    if (matte_)
        return;
    drawable_ = size.expandedTo(QSize(0, 0));
    resizeToDrawable();
}

void MatteCanvas::resizeToDrawable()
{
    const QSize outer = drawable_ + QSize(2 * frameWidth(), 2 * frameWidth());
    setFixedSize(outer);
    update();
}

void MatteCanvas::showMatte(const MatteModel &matte, int cellSize)
{
    matte_ = &matte;
    linked_ = CellMap();
    picture_ = QImage(matte.cols(), matte.rows(), QImage::Format_RGB32);
    for (int cy = 0; cy < matte.rows(); ++cy)
        for (int cx = 0; cx < matte.cols(); ++cx)
            drawCell({cx, cy});
    if (!matte.painting().paper.contains(cursor_))
        cursor_ = {0, 0};
    cellSize_ = -1;
    setCellSize(cellSize);
}

void MatteCanvas::setCellSize(int cellSize)
{
    if (!matte_ || cellSize == cellSize_)
        return;
    cellSize_ = cellSize;
    drawable_ = QSize(matte_->cols() * cellSize, matte_->rows() * cellSize);
    resizeToDrawable();
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
    if (!picture_.valid(cell.cx, cell.cy))
        return;
    const bool linked = linked_.contains(cell) && linked_.at(cell);
    picture_.setPixel(cell.cx, cell.cy, toQRgb(linked ? MatteColour::Linked : colourOf(matte_->look(cell.cx, cell.cy))));
    update(cellRect(cell));
}

QRect MatteCanvas::cellRect(MatteCell cell) const
{
    return QRect(frameWidth() + cell.cx * cellSize_, frameWidth() + cell.cy * cellSize_, cellSize_, cellSize_);
}

void MatteCanvas::moveCursorTo(MatteCell cell)
{
    if (!matte_ || !matte_->painting().paper.contains(cell))
        return;
    updateCursor();
    cursor_ = cell;
    updateCursor();
    emit cursorMoved(cursor_);
}

void MatteCanvas::updateCursor()
{
    // The outline reaches a little beyond a small cell, so that it shows.
    update(cellRect(cursor_).adjusted(-3, -3, 3, 3));
}

void MatteCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect inside = contentsRect();
    const QRect exposed = event->rect() & inside;
    p.fillRect(exposed, Qt::white);
    if (matte_ && cellSize_ > 0 && !exposed.isEmpty()) {
        // Only the cells under the exposed area, each pixel of the picture scaled to a
        // whole square (an integer scale without smoothing keeps every square one colour).
        const QPoint from = (exposed.topLeft() - inside.topLeft()) / cellSize_;
        const QPoint to = (exposed.bottomRight() - inside.topLeft()) / cellSize_;
        const QRect cells = QRect(from, to) & picture_.rect();
        if (!cells.isEmpty())
            p.drawImage(QRect(inside.topLeft() + cells.topLeft() * cellSize_, cells.size() * cellSize_), picture_,
                        cells);
    }
    if (matte_ && cellSize_ > 0 && cursorShown_ && hasFocus()) {
        QRect r = cellRect(cursor_);
        if (cellSize_ < 6)
            r.adjust(-2, -2, 2, 2);
        p.setPen(Qt::black);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(Qt::white);
        p.drawRect(r.adjusted(1, 1, -2, -2));
    }
    p.end();
    QFrame::paintEvent(event);
}

QPointF MatteCanvas::drawablePosition(const QPointF &widgetPosition) const
{
    return widgetPosition - QPointF(contentsRect().topLeft());
}

void MatteCanvas::mousePressEvent(QMouseEvent *event)
{
    // A click is the mouse's: the keyboard's outline stays hidden until a key is used.
    cursorShown_ = false;
    const QPointF at = drawablePosition(event->position());
    if (cellSize_ > 0 && matte_)
        moveCursorTo({int(std::floor(at.x() / cellSize_)), int(std::floor(at.y() / cellSize_))});
    emit mouseDown(Qt::MouseButtons(event->button()), at);
}

void MatteCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        emit mouseMove(event->buttons(), drawablePosition(event->position()));
}

void MatteCanvas::mouseReleaseEvent(QMouseEvent *)
{
    emit mouseUp();
}

void MatteCanvas::keyPressEvent(QKeyEvent *event)
{
    if (!matte_ || cellSize_ <= 0) {
        QFrame::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    QPoint step;
    switch (event->key()) {
    case Qt::Key_Left:
        step = {-1, 0};
        break;
    case Qt::Key_Right:
        step = {1, 0};
        break;
    case Qt::Key_Up:
        step = {0, -1};
        break;
    case Qt::Key_Down:
        step = {0, 1};
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (mods != Qt::NoModifier && mods != Qt::ControlModifier)
            break;
        // Home and End: the row's ends; with Ctrl, the matte's first and last cells.
        cursorShown_ = true;
        moveCursorTo({event->key() == Qt::Key_Home ? 0 : matte_->cols() - 1,
                      mods == Qt::NoModifier ? cursor_.cy : event->key() == Qt::Key_Home ? 0 : matte_->rows() - 1});
        return;
    case Qt::Key_Space:
        if (mods != Qt::NoModifier)
            break;
        cursorShown_ = true;
        updateCursor();
        emit paintAtCursor();
        return;
    case Qt::Key_M:
    case Qt::Key_P:
    case Qt::Key_S:
    case Qt::Key_F:
        if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
            break;
        emit penKey(QChar(event->key()));
        return;
    default:
        break;
    }
    if (step.isNull() || (mods & ~(Qt::ShiftModifier | Qt::ControlModifier))) {
        QFrame::keyPressEvent(event);
        return;
    }
    // Ctrl moves ten cells at a time; Shift paints each cell the cursor reaches.
    const int by = mods & Qt::ControlModifier ? 10 : 1;
    cursorShown_ = true;
    const MatteCell next{std::clamp(cursor_.cx + step.x() * by, 0, matte_->cols() - 1),
                         std::clamp(cursor_.cy + step.y() * by, 0, matte_->rows() - 1)};
    const bool paint = mods & Qt::ShiftModifier;
    if (paint && by == 1) {
        moveCursorTo(next);
        emit paintAtCursor();
        return;
    }
    if (paint) {
        for (MatteCell at = cursor_; at != next;) {
            at = {at.cx + (next.cx > at.cx) - (next.cx < at.cx), at.cy + (next.cy > at.cy) - (next.cy < at.cy)};
            moveCursorTo(at);
            emit paintAtCursor();
        }
        return;
    }
    moveCursorTo(next);
}

void MatteCanvas::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason
        || event->reason() == Qt::ShortcutFocusReason)
        cursorShown_ = true;
    update();
    QFrame::focusInEvent(event);
}

void MatteCanvas::focusOutEvent(QFocusEvent *event)
{
    update();
    QFrame::focusOutEvent(event);
}

void MatteCanvas::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    emit zoomStep(event->angleDelta().y() > 0 ? 1 : -1);
    event->accept();
}

#include "matte/matte_canvas.h"

#include "matte/matte_colours.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

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
    image_ = QImage(0, 0, QImage::Format_RGB32);
}

void MatteCanvas::setDrawableSize(QSize size)
{
    size = size.expandedTo(QSize(0, 0));
    QImage next(size, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!image_.isNull() && !next.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = next;
    resize(size.width() + 2 * frameWidth(), size.height() + 2 * frameWidth());
    update();
}

std::int32_t MatteCanvas::point(double x, double y) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    if (!(fx >= 0 && fy >= 0 && fx < image_.width() && fy < image_.height()))
        return MatteColour::Outside;
    return fromQRgb(image_.pixel(int(fx), int(fy)));
}

void MatteCanvas::setPixel(int x, int y, std::int32_t colour)
{
    if (image_.valid(x, y)) {
        image_.setPixel(x, y, toQRgb(colour));
        update(x + frameWidth(), y + frameWidth(), 1, 1);
    }
}

void MatteCanvas::fillRect(int left, int top, int width, int height, std::int32_t colour)
{
    const QRect r = QRect(left, top, width, height).intersected(image_.rect());
    if (r.isEmpty())
        return;
    const QRgb rgb = toQRgb(colour);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image_.scanLine(y));
        std::fill(line + r.left(), line + r.right() + 1, rgb);
    }
    update(r.translated(frameWidth(), frameWidth()));
}

void MatteCanvas::fill(std::int32_t colour)
{
    image_.fill(toQRgb(colour));
    update();
}

void MatteCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect inside = contentsRect();
    p.fillRect(inside, Qt::white);
    p.drawImage(inside.topLeft(), image_);
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

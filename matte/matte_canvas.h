#pragma once

#include <QFrame>
#include <QImage>

#include <cstdint>

/// The matte editor's canvas (Picture1): a picture surface that keeps what is drawn on
/// it, reads pixels back as packed 0x00BBGGRR colours and reports mouse presses and
/// drags in drawable pixels (the border excluded). Fills are clipped to the surface.
class MatteCanvas : public QFrame {
    Q_OBJECT
public:
    explicit MatteCanvas(QWidget *parent = nullptr);

    /// The drawable area in pixels, the border excluded.
    QSize drawableSize() const { return image_.size(); }
    /// Resizes the drawable area; the widget grows or shrinks by the same amount. What
    /// was drawn stays where it lies, new area is white.
    void setDrawableSize(QSize size);
    /// Border width on each side, in pixels.
    int border() const { return frameWidth(); }

    /// The pixel at (x, y), rounded down, or -1 outside the surface.
    std::int32_t point(double x, double y) const;
    void setPixel(int x, int y, std::int32_t colour);
    void fillRect(int left, int top, int width, int height, std::int32_t colour);
    void fill(std::int32_t colour);

    /// Direct access for work done pixel by pixel; call update() afterwards.
    QImage &image() { return image_; }
    const QImage &image() const { return image_; }

signals:
    /// A press, with the button that went down, at drawable coordinates.
    void mouseDown(Qt::MouseButtons buttons, QPointF position);
    /// A move with buttons held, with every button held at that moment.
    void mouseMove(Qt::MouseButtons buttons, QPointF position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPointF drawablePosition(const QPointF &widgetPosition) const;

    QImage image_;
};

/// A packed 0x00BBGGRR colour as Qt's colour and back.
QRgb toQRgb(std::int32_t packed);
std::int32_t fromQRgb(QRgb rgb);

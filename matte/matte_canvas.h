#pragma once

#include "matte/cell_map.h"

#include <QFrame>
#include <QImage>

#include <cstdint>

class MatteModel;
struct MatteChange;

/// The matte editor's canvas (Picture1): a view of a MatteModel that draws each cell as a
/// square of a whole number of pixels, and reports mouse presses and drags in drawable
/// pixels (the border excluded). It never decides anything from what it shows.
class MatteCanvas : public QFrame {
    Q_OBJECT
public:
    explicit MatteCanvas(QWidget *parent = nullptr);

    /// The drawable area in pixels, the border excluded.
    QSize drawableSize() const { return picture_.size(); }
    /// Resizes the drawable area, white where no cell lies; the widget grows or shrinks by
    /// as much.
    void setDrawableSize(QSize size);
    /// Border width on each side, in pixels.
    int border() const { return frameWidth(); }

    /// Shows `matte` at `cellSize` pixels a cell, over the whole drawable area, without
    /// linked marks. The view keeps a pointer: the model must outlive it or be shown anew.
    void showMatte(const MatteModel &matte, int cellSize);
    /// Redraws the cells a change of the shown matte touched.
    void showChange(const MatteChange &change);
    /// Marks the linked cells black over the matte until it is shown anew.
    void showLinked(const CellMap &linked);

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
    void drawCell(MatteCell cell);

    // The matte as last drawn, so that a repaint copies pixels instead of visiting cells.
    QImage picture_;
    const MatteModel *matte_ = nullptr;
    int cellSize_ = 0;
    CellMap linked_;
};

/// A packed 0x00BBGGRR colour as Qt's colour and back.
QRgb toQRgb(std::int32_t packed);
std::int32_t fromQRgb(QRgb rgb);

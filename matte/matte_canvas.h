#pragma once

#include "matte/cell_map.h"

#include <QFrame>
#include <QImage>

#include <cstdint>

class MatteModel;
struct MatteChange;

/// The matte editor's canvas (Picture1): a view of a MatteModel that draws each cell as a
/// square of cellSize() pixels, reports mouse presses and drags in drawable pixels (the
/// border excluded), and takes the keyboard: the arrow keys move a cell cursor, Space
/// (or Shift with an arrow) asks for the cursor's cell to be painted, M, P, S and F ask
/// for a pen. It never decides anything from what it shows.
class MatteCanvas : public QFrame {
    Q_OBJECT
public:
    /// The largest cell a zoom gives, in pixels.
    static constexpr int MaxCellSize = 64;

    explicit MatteCanvas(QWidget *parent = nullptr);

    /// The drawable area in pixels, the border excluded.
    QSize drawableSize() const { return drawable_; }
    /// Resizes the drawable area of a canvas that shows no matte yet, white all over.
    void setDrawableSize(QSize size);
    /// Border width on each side, in pixels.
    int border() const { return frameWidth(); }
    int cellSize() const { return cellSize_; }

    /// Shows `matte` at `cellSize` pixels a cell, without linked marks; the drawable area
    /// becomes exactly the cells. The view keeps a pointer: the model must outlive it or be
    /// shown anew.
    void showMatte(const MatteModel &matte, int cellSize);
    /// Shows the same matte at another size (a zoom).
    void setCellSize(int cellSize);
    /// Redraws the cells a change of the shown matte touched.
    void showChange(const MatteChange &change);
    /// Marks the linked cells black over the matte until it is shown anew.
    void showLinked(const CellMap &linked);

    /// The keyboard's cell, always one of the matte's.
    MatteCell cursorCell() const { return cursor_; }
    void moveCursorTo(MatteCell cell);
    /// The square of a cell, in the canvas's own coordinates (the border included).
    QRect cellRect(MatteCell cell) const;

signals:
    /// A press, with the button that went down, at drawable coordinates.
    void mouseDown(Qt::MouseButtons buttons, QPointF position);
    /// A move with buttons held, with every button held at that moment.
    void mouseMove(Qt::MouseButtons buttons, QPointF position);
    /// A button went up: a stroke ends.
    void mouseUp();
    void cursorMoved(MatteCell cell);
    /// Space, or Shift with an arrow key: paint the cursor's cell with the current pen.
    void paintAtCursor();
    /// M, P, S or F: choose that pen.
    void penKey(QChar letter);
    /// Ctrl with the wheel: one step larger (+1) or smaller (-1).
    void zoomStep(int steps);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QPointF drawablePosition(const QPointF &widgetPosition) const;
    void drawCell(MatteCell cell);
    void resizeToDrawable();
    /// Repaints the cursor's cell and its outline.
    void updateCursor();

    // One pixel a cell, as last drawn: a repaint scales the exposed part instead of
    // visiting cells, whatever the zoom.
    QImage picture_;
    QSize drawable_;
    const MatteModel *matte_ = nullptr;
    int cellSize_ = 0;
    CellMap linked_;
    MatteCell cursor_{0, 0};
    // The cursor shows once the keyboard is in use, not for every click.
    bool cursorShown_ = false;
};

/// A packed 0x00BBGGRR colour as Qt's colour and back.
QRgb toQRgb(std::int32_t packed);
std::int32_t fromQRgb(QRgb rgb);

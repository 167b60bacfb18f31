#pragma once

#include "matte/completion.h"

#include <QDialog>

class MatteCanvas;
class QGroupBox;
class QLabel;

/// Form7: the path-check window. On its first activation it links every cell reached
/// from the start cell through maze cells, shows the count after each sweep, paints the
/// linked cells black on the editor's canvas and closes itself. It cannot be closed
/// while it works.
class Form7 : public QDialog {
    Q_OBJECT
public:
    /// `cellSize` is the editor's: the canvas is exactly cols x cellSize pixels wide.
    Form7(MatteCanvas &canvas, int cellSize, int cols, int rows, NodePoint start, QWidget *parent = nullptr);

    /// Cells linked, the start cell not included, and sweeps run so far.
    long long count() const { return count_; }
    int sweeps() const { return sweeps_; }

public slots:
    void Form_Activate();
    void reject() override;

signals:
    /// After each sweep, once the counter shows `count`.
    void swept(long long count);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void check();

    MatteCanvas &canvas_;
    const int cellSize_;
    const int cols_;
    const int rows_;
    const NodePoint start_;
    bool FirstActivation = true;
    bool running_ = false;
    long long count_ = 0;
    int sweeps_ = 0;

    QGroupBox *Frame1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label1b;
    QWidget *Line1;
};

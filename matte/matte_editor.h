#pragma once

#include "maze/grid.h"

#include <QDialog>
#include <QImage>

#include <cstdint>

class FilledCircle;
class MatteCanvas;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
struct MazeState;

/// Form4: the matte editor, in which the user paints the matte cell by cell with the
/// Maze, Paper, Start and Finish pens, imports it from a picture and accepts it with Ok.
/// It reads and writes the state record directly: the points at once while painting,
/// Blocked and UseMatte on Ok, UseMatte on Cancel. Open it with exec().
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(MazeState &state, QWidget *parent = nullptr);
    ~Form4() override;

    /// Why the editor cannot open on the state's MatteCols x MatteRows (fewer than one
    /// cell either way), or an empty string when it can. Edit Matte asks before opening.
    static QString checkCellCounts(const MazeState &state);

    /// Side of one cell in canvas pixels; 0 before the set-up or when the grid does not fit.
    int cellSize() const { return CellSize; }
    /// The current pen as a packed colour.
    std::int32_t penColour() const { return PenColour; }
    bool firstActivation() const { return FirstActivation; }
    MatteCanvas *canvas() const { return Picture1; }

public slots:
    /// The activation routine: runs the set-up once FirstActivation is true, else nothing.
    void Form_Activate();
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command9_Click();
    void penClicked(std::int32_t colour);
    void Picture1_MouseDown(Qt::MouseButtons buttons, QPointF position);

private:
    void widenRightColumn();
    void setUp();
    bool existingMatteFits() const;
    void redrawFromBlocked();
    void fillCell(int cx, int cy, std::int32_t colour);
    void unsetPoints();
    std::int32_t sampleOfCell(int cx, int cy) const;
    bool idle() const;
    void closeEditor(int result);

    MazeState &state_;

    int CellSize = 0;
    std::int32_t PenColour;
    bool FirstActivation = true;

    // Invert and import yield to the event loop part-way; meanwhile the canvas and the
    // commands that rewrite it are ignored, so a cell never ends up in two colours.
    bool busy_ = false;
    bool okRunning_ = false;
    bool closed_ = false;
    // What a title-bar close puts back: the points as they were when the editor opened,
    // and the Blocked a failed Ok replaced.
    std::int16_t openedStartX_, openedStartY_, openedFinishX_, openedFinishY_;
    bool gridReplaced_ = false;
    NodeGrid openedGrid_;

    QGroupBox *Frame1;
    MatteCanvas *Picture1;
    QPushButton *Command3;
    QPushButton *Command4;
    QPushButton *Command9;
    QGroupBox *Frame2;
    QPushButton *Command5;
    QPushButton *Command6;
    QPushButton *Command7;
    QPushButton *Command8;
    QLabel *Label1;
    FilledCircle *Shape1;
    QCheckBox *Check1;
    QWidget *Line1;
    QPushButton *Command2;
    QPushButton *Command1;
    QLabel *Picture2;
    QLabel *Label2;
    // The last imported picture, held by Picture2 until the editor closes.
    QImage picture2_;
};

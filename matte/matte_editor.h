#pragma once

#include "matte/acceptance.h"
#include "matte/matte_history.h"
#include "matte/matte_model.h"
#include "matte/shapes.h"
#include "maze/grid.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class FilledCircle;
class MatteCanvas;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
struct MazeState;

/// Form4: the matte editor, in which the user paints the matte cell by cell with the
/// Maze, Paper, Start and Finish pens (mouse or keyboard), imports it from a picture or
/// saves it as one, fills it with a shape or a word, has the start and finish placed far
/// apart, undoes and redoes, zooms, and accepts it with Ok. The painting is a
/// MatteModel that the canvas shows. The editor writes the state record directly: the
/// points as soon as they change, Blocked and UseMatte on Ok, UseMatte on Cancel. Open
/// it with exec().
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(MazeState &state, QWidget *parent = nullptr);
    ~Form4() override;

    /// Why the editor cannot open on the state's MatteCols x MatteRows (fewer than one
    /// cell either way), or an empty string when it can. Edit Matte asks before opening.
    static QString checkCellCounts(const MazeState &state);

    /// Side of one cell in canvas pixels at the present zoom; 0 before the set-up or when
    /// the grid does not fit.
    int cellSize() const { return CellSize; }
    /// The current pen as a packed colour.
    std::int32_t penColour() const { return PenColour; }
    bool firstActivation() const { return FirstActivation; }
    /// The painting; 0 x 0 cells until the set-up has run.
    const MatteModel &matte() const { return matte_; }
    /// True when the painting differs from the one the editor opened with.
    bool changed() const;
    /// Whether the zoom follows the window's size (Fit) or was set by the user.
    bool fitting() const { return fitting_; }

    /// Asks where "Save matte..." writes; a file dialog unless replaced (tests answer it).
    std::function<QString()> askSaveName;

    // The controls. Each keeps the window design's name (Command3, Shape1, Check1, ...) as
    // its objectName, so a search by that name finds it.
    QGroupBox *matteFrame;
    QScrollArea *canvasView;
    MatteCanvas *matteCanvas;
    QPushButton *fitButton, *zoomInButton, *zoomOutButton;
    QPushButton *importButton, *saveButton, *clearButton, *invertButton;
    QPushButton *undoButton, *redoButton;
    QPushButton *shapeButton;
    QMenu *shapeMenu;
    QLabel *wordLabel;
    QLineEdit *wordEdit;
    QPushButton *placePointsButton;
    QGroupBox *penFrame;
    QPushButton *mazePen, *paperPen, *startPen, *finishPen;
    QLabel *currentPenLabel;
    FilledCircle *penIndicator;
    QCheckBox *removeUnusedBox;
    QWidget *separatorLine;
    QPushButton *okButton, *cancelButton;

public slots:
    /// The activation routine: runs the set-up once FirstActivation is true, else nothing.
    void Form_Activate();
    void reject() override;
    void undo();
    void redo();
    /// Zooms so the whole matte shows, and keeps it so as the window changes size.
    void zoomToFit();
    /// One step larger (+1) or smaller (-1), the middle of the view staying put.
    void zoomBy(int steps);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command9_Click();
    void saveMatte();
    void fillWithShape(MatteShape shape);
    void fillWithWord();
    void placePoints();
    void penClicked(std::int32_t colour);
    void Picture1_MouseDown(Qt::MouseButtons buttons, QPointF position);
    void Picture1_MouseMove(Qt::MouseButtons buttons, QPointF position);
    void Picture1_MouseUp();

private:
    void buildLayout();
    void setUp();
    void showMatte(MatteModel matte);
    void writePoints();
    void refuse(MatteVerdict verdict);
    bool idle() const;
    void closeEditor(int result);
    MatteCell cellAt(QPointF position) const;
    void applyPen(MatteCell cell);
    void replay(bool back);
    void setCellSize(int size);
    int largestCellSize() const;
    int fitCellSize() const;
    void describe();
    bool mayDiscard();
    void fillWith(const CellMap &inside);
    /// The canvas's frame, both sides, across and down.
    QSize canvasBorders() const;
    /// The canvas's drawable area as the window was drawn up.
    QSize designedDrawableSize() const;
    /// Scrolls the view until `cell` is in sight.
    void showCell(MatteCell cell);
    void enableHistoryButtons();

    MazeState &state_;
    MatteModel matte_;
    MatteHistory history_;
    MattePainting openedPainting_;
    bool shown_ = false;  // the set-up has shown a matte once

    int CellSize = 0;
    std::int32_t PenColour;
    bool FirstActivation = true;

    bool fitting_ = true;
    bool stroking_ = false;
    MatteCell strokeCell_;
    QButtonGroup *pens_ = nullptr;

    bool okRunning_ = false;
    bool closed_ = false;
    // What a title-bar close puts back: the points as they were when the editor opened,
    // and the Blocked a failed Ok replaced.
    std::int16_t openedStartX_, openedStartY_, openedFinishX_, openedFinishY_;
    bool gridReplaced_ = false;
    NodeGrid openedGrid_;
};

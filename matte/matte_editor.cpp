#include "matte/matte_editor.h"

#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/import_dialog.h"
#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_picture.h"
#include "matte/matte_widgets.h"
#include "matte/path_check.h"
#include "matte/twips.h"
#include "matte/word_matte.h"
#include "maze/state.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

struct Pen {
    std::int32_t colour;
    const char *caption;  // with its mnemonic, the letter that chooses it on the canvas too
    const char *name;     // as a screen reader says it
    const char *tip;
};

const std::array<Pen, 4> Pens{{
    {MatteColour::Maze, QT_TRANSLATE_NOOP("Form4", "&Maze"), QT_TRANSLATE_NOOP("Form4", "Maze"),
     QT_TRANSLATE_NOOP("Form4", "Paint cells that belong to the maze (M on the matte)")},
    {MatteColour::Paper, QT_TRANSLATE_NOOP("Form4", "&Paper"), QT_TRANSLATE_NOOP("Form4", "Paper"),
     QT_TRANSLATE_NOOP("Form4", "Paint cells left out of the maze, as blank paper (P on the matte)")},
    {MatteColour::Start, QT_TRANSLATE_NOOP("Form4", "&Start"), QT_TRANSLATE_NOOP("Form4", "Start"),
     QT_TRANSLATE_NOOP("Form4", "Put the start on a blue maze cell (S on the matte)")},
    {MatteColour::Finish, QT_TRANSLATE_NOOP("Form4", "&Finish"), QT_TRANSLATE_NOOP("Form4", "Finish"),
     QT_TRANSLATE_NOOP("Form4", "Put the finish on a blue maze cell (F on the matte)")},
}};

const Pen &penOf(std::int32_t colour)
{
    for (const Pen &pen : Pens)
        if (pen.colour == colour)
            return pen;
    return Pens[0];
}

QPushButton *penButton(const Pen &pen, const QString &name)
{
    auto *b = new QPushButton(QCoreApplication::translate("Form4", pen.caption));
    b->setObjectName(name);
    b->setProperty("penColour", pen.colour);
    b->setCheckable(true);
    b->setToolTip(QCoreApplication::translate("Form4", pen.tip));
    const QColor back(toQRgb(pen.colour));
    const QColor text = pen.colour == MatteColour::Maze ? Qt::white : Qt::black;
    // The chosen pen stands out by its heavy border; the focused one by a dashed frame.
    b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: 1px solid #404040;"
                                    " padding: 3px; }"
                                    "QPushButton:checked { border: 3px solid #000000; padding: 1px; }"
                                    "QPushButton:focus { outline: 1px dashed %2; }"
                                    "QPushButton:pressed { border: 2px inset #404040; }")
                         .arg(back.name(), text.name()));
    return b;
}

QPushButton *button(const QString &caption, const char *name, const QString &tip = {})
{
    auto *b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

QString withKeys(const QString &tip, QKeySequence::StandardKey key)
{
    const QString keys = QKeySequence(key).toString(QKeySequence::NativeText);
    return keys.isEmpty() ? tip : QStringLiteral("%1 (%2)").arg(tip, keys);
}

// The shapes' captions in the menu, with their mnemonics, in the order of MatteShapes.
const std::array<const char *, 7> ShapeCaptions{
    QT_TRANSLATE_NOOP("Form4", "&Circle"),   QT_TRANSLATE_NOOP("Form4", "&Ring"),
    QT_TRANSLATE_NOOP("Form4", "&Heart"),    QT_TRANSLATE_NOOP("Form4", "&Star"),
    QT_TRANSLATE_NOOP("Form4", "&Triangle"), QT_TRANSLATE_NOOP("Form4", "&Diamond"),
    QT_TRANSLATE_NOOP("Form4", "He&xagon"),
};
static_assert(ShapeCaptions.size() == MatteShapes.size());

// Cell sizes the zoom steps through, in pixels.
constexpr std::array<int, 16> ZoomSteps{1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 32, 40, 48, 64};

} // namespace

Form4::Form4(MazeState &state, QWidget *parent)
    : QDialog(parent), state_(state), PenColour(MatteColour::Maze), openedStartX_(state.StartX),
      openedStartY_(state.StartY), openedFinishX_(state.FinishX), openedFinishY_(state.FinishY)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(tr("Matte editor"));
    setSizeGripEnabled(true);

    matteFrame = new QGroupBox(tr("Matte"));
    matteFrame->setObjectName(QStringLiteral("Frame1"));
    matteCanvas = new MatteCanvas;
    matteCanvas->setAccessibleName(tr("Matte painting"));
    matteCanvas->setToolTip(tr("Paint with the mouse, or move with the arrow keys and paint with Space (Shift with "
                               "an arrow paints as it moves); M, P, S and F choose the pen; Ctrl with the wheel "
                               "zooms"));
    // Until the set-up sizes it, the canvas is as the window was drawn up.
    matteCanvas->setDrawableSize(designedDrawableSize());
    canvasView = new QScrollArea;
    canvasView->setObjectName(QStringLiteral("CanvasView"));
    canvasView->setWidget(matteCanvas);
    canvasView->setAlignment(Qt::AlignCenter);
    canvasView->setFrameShape(QFrame::NoFrame);
    canvasView->setFocusPolicy(Qt::NoFocus);
    canvasView->setMinimumSize(160, 120);
    canvasView->viewport()->installEventFilter(this);

    fitButton = button(tr("Fi&t"), "Command13", tr("Show the whole matte (%1)").arg(QStringLiteral("Ctrl+0")));
    zoomInButton = button(tr("Zoom i&n"), "Command14", withKeys(tr("Larger cells"), QKeySequence::ZoomIn));
    zoomOutButton = button(tr("&Zoom out"), "Command15", withKeys(tr("Smaller cells"), QKeySequence::ZoomOut));

    importButton = button(tr("&Import picture"), "Command3",
                          tr("Fill the matte from a picture: dark areas become maze, light areas paper"));
    saveButton = button(tr("Sav&e matte..."), "Command10",
                        tr("Save the matte with its start and finish as a PNG picture, which Import picture "
                           "reads back"));
    clearButton = button(tr("C&lear matte"), "Command4", tr("Make every cell maze and remove the start and finish"));
    invertButton = button(tr("In&vert matte"), "Command9",
                          tr("Swap maze and paper cells; the start and finish are removed"));
    undoButton = button(tr("&Undo"), "Command11", withKeys(tr("Take back the last change"), QKeySequence::Undo));
    redoButton = button(tr("Re&do"), "Command12", withKeys(tr("Make the last change again"), QKeySequence::Redo));

    shapeButton = button(tr("S&hape..."), "Command16",
                         tr("Fill the matte with a shape stretched to fill it, the start and finish far apart"));
    shapeMenu = new QMenu(shapeButton);
    shapeMenu->setObjectName(QStringLiteral("ShapeMenu"));
    for (std::size_t i = 0; i < MatteShapes.size(); ++i) {
        QAction *choice = shapeMenu->addAction(tr(ShapeCaptions[i]));
        const auto shape = MatteShape(MatteShapes[i].value);
        connect(choice, &QAction::triggered, this, [this, shape] { fillWithShape(shape); });
    }
    shapeButton->setMenu(shapeMenu);
    wordLabel = new QLabel(tr("&Word:"));
    wordLabel->setObjectName(QStringLiteral("Label3"));
    wordEdit = new QLineEdit;
    wordEdit->setObjectName(QStringLiteral("Text1"));
    wordEdit->setAccessibleName(tr("Word"));
    wordEdit->setPlaceholderText(tr("a name, then Enter"));
    wordEdit->setToolTip(tr("Type a word or a name and press Enter: its letters fill the matte, the start and finish "
                            "far apart"));
    wordLabel->setBuddy(wordEdit);
    placePointsButton = button(tr("Place st&art and finish"), "Command17",
                               tr("Put the start and finish on the maze cells farthest apart by path"));

    penFrame = new QGroupBox(tr("Pen colour"));
    penFrame->setObjectName(QStringLiteral("Frame2"));
    mazePen = penButton(Pens[0], QStringLiteral("Command5"));
    paperPen = penButton(Pens[1], QStringLiteral("Command6"));
    startPen = penButton(Pens[2], QStringLiteral("Command7"));
    finishPen = penButton(Pens[3], QStringLiteral("Command8"));
    pens_ = new QButtonGroup(this);
    for (QPushButton *pen : {mazePen, paperPen, startPen, finishPen}) {
        pens_->addButton(pen);
        const std::int32_t colour = pen->property("penColour").toInt();
        connect(pen, &QPushButton::clicked, this, [this, colour] { penClicked(colour); });
    }

    currentPenLabel = new QLabel(tr("Current pen"));
    currentPenLabel->setObjectName(QStringLiteral("Label1"));
    penIndicator = new FilledCircle;
    penIndicator->setObjectName(QStringLiteral("Shape1"));
    penIndicator->setFixedSize(twips(255), twips(255));
    penIndicator->setFillColour(MatteColour::Maze);

    removeUnusedBox = new QCheckBox(tr("&Remove unused areas"));
    removeUnusedBox->setObjectName(QStringLiteral("Check1"));
    removeUnusedBox->setToolTip(tr("On Ok, also leave out every cell that no path joins to the start"));

    separatorLine = makeLine(this, QStringLiteral("Line1"), {0, 0}, {twips(1200), 0});
    separatorLine->setFixedHeight(1);

    okButton = button(tr("&Ok"), "Command2", tr("Check the path from start to finish and use this matte (Enter)"));
    // Enter presses the focused button, and Ok from anywhere else (the canvas included).
    okButton->setDefault(true);
    cancelButton = button(tr("&Cancel"), "Command1", tr("Close the editor without a matte (Escape)"));

    auto *undoAction = new QAction(this);
    undoAction->setShortcuts(QKeySequence::Undo);
    auto *redoAction = new QAction(this);
    redoAction->setShortcuts(QKeySequence::Redo);
    auto *zoomInAction = new QAction(this);
    zoomInAction->setShortcuts(QKeySequence::ZoomIn);
    auto *zoomOutAction = new QAction(this);
    zoomOutAction->setShortcuts(QKeySequence::ZoomOut);
    auto *fitAction = new QAction(this);
    fitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    addActions({undoAction, redoAction, zoomInAction, zoomOutAction, fitAction});

    buildLayout();
    resize(std::max(width(), twips(8595)), std::max(height(), twips(6750)));

    connect(cancelButton, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(okButton, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(importButton, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(saveButton, &QPushButton::clicked, this, &Form4::saveMatte);
    connect(clearButton, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(invertButton, &QPushButton::clicked, this, &Form4::Command9_Click);
    connect(undoButton, &QPushButton::clicked, this, &Form4::undo);
    connect(redoButton, &QPushButton::clicked, this, &Form4::redo);
    connect(wordEdit, &QLineEdit::returnPressed, this, &Form4::fillWithWord);
    connect(placePointsButton, &QPushButton::clicked, this, &Form4::placePoints);
    connect(undoAction, &QAction::triggered, this, &Form4::undo);
    connect(redoAction, &QAction::triggered, this, &Form4::redo);
    connect(fitButton, &QPushButton::clicked, this, &Form4::zoomToFit);
    connect(fitAction, &QAction::triggered, this, &Form4::zoomToFit);
    connect(zoomInButton, &QPushButton::clicked, this, [this] { zoomBy(1); });
    connect(zoomInAction, &QAction::triggered, this, [this] { zoomBy(1); });
    connect(zoomOutButton, &QPushButton::clicked, this, [this] { zoomBy(-1); });
    connect(zoomOutAction, &QAction::triggered, this, [this] { zoomBy(-1); });
    connect(matteCanvas, &MatteCanvas::mouseDown, this, &Form4::Picture1_MouseDown);
    connect(matteCanvas, &MatteCanvas::mouseMove, this, &Form4::Picture1_MouseMove);
    connect(matteCanvas, &MatteCanvas::mouseUp, this, &Form4::Picture1_MouseUp);
    connect(matteCanvas, &MatteCanvas::zoomStep, this, &Form4::zoomBy);
    connect(matteCanvas, &MatteCanvas::paintAtCursor, this, [this] {
        if (idle())
            applyPen(matteCanvas->cursorCell());
    });
    connect(matteCanvas, &MatteCanvas::penKey, this, [this](QChar letter) {
        const QHash<QChar, std::int32_t> keys{{u'M', MatteColour::Maze},
                                              {u'P', MatteColour::Paper},
                                              {u'S', MatteColour::Start},
                                              {u'F', MatteColour::Finish}};
        penClicked(keys.value(letter.toUpper(), PenColour));
    });
    connect(matteCanvas, &MatteCanvas::cursorMoved, this, [this](MatteCell cell) {
        showCell(cell);
        describe();
    });
    describe();
    enableHistoryButtons();
}

Form4::~Form4() = default;

void Form4::buildLayout()
{
    auto *zoom = new QHBoxLayout;
    zoom->addWidget(fitButton);
    zoom->addWidget(zoomInButton);
    zoom->addWidget(zoomOutButton);
    zoom->addStretch();
    auto *frame1 = new QVBoxLayout(matteFrame);
    frame1->addWidget(canvasView, 1);
    frame1->addLayout(zoom);

    auto *frame2 = new QVBoxLayout(penFrame);
    for (QPushButton *pen : {mazePen, paperPen, startPen, finishPen})
        frame2->addWidget(pen);

    auto *history = new QHBoxLayout;
    history->addWidget(undoButton);
    history->addWidget(redoButton);

    auto *word = new QHBoxLayout;
    word->addWidget(wordLabel);
    word->addWidget(wordEdit, 1);

    auto *current = new QHBoxLayout;
    current->addWidget(currentPenLabel);
    current->addWidget(penIndicator);
    current->addStretch();

    auto *right = new QVBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{importButton, saveButton, clearButton, invertButton})
        right->addWidget(w);
    right->addLayout(history);
    right->addWidget(shapeButton);
    right->addLayout(word);
    right->addWidget(placePointsButton);
    right->addWidget(penFrame);
    right->addLayout(current);
    right->addWidget(removeUnusedBox);
    right->addWidget(separatorLine);
    right->addWidget(okButton);
    right->addWidget(cancelButton);
    right->addStretch();

    auto *top = new QHBoxLayout(this);
    top->addWidget(matteFrame, 1);
    top->addLayout(right);
}

QString Form4::checkCellCounts(const MazeState &state)
{
    if (state.MatteCols < 1 || state.MatteRows < 1)
        return tr("The matte needs at least one cell across and one cell down.");
    return {};
}

void Form4::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The set-up may show a message box, so it runs from the event loop, not from
    // inside the show.
    if (FirstActivation)
        QTimer::singleShot(0, this, &Form4::Form_Activate);
}

void Form4::Form_Activate()
{
    if (FirstActivation && !closed_)
        setUp();
}

void Form4::setUp()
{
    FirstActivation = false;
    penClicked(MatteColour::Maze);

    const std::int64_t cols = state_.MatteCols, rows = state_.MatteRows;
    if (cols < 1 || rows < 1) {
        CellSize = 0;
        showMessage(this, checkCellCounts(state_));
        return;
    }
    // The grid must fit the canvas as the window was drawn up, a pixel a cell at least;
    // the zoom then makes the cells as large as the user likes.
    const QSize design = designedDrawableSize();
    if (std::min<std::int64_t>(design.width() / cols, design.height() / rows) == 0) {
        CellSize = 0;
        showMessage(this, tr("The maze size is too large for the matte editor to handle. Please use less nodes."));
        return;
    }
    update();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    if (shown_) {
        // Again after a failed Ok: Blocked holds this very painting, which shows again
        // without the linked marks, its undo steps kept.
        matteCanvas->showMatte(matte_, CellSize);
        return;
    }
    // An existing matte opens as Blocked and the points describe it; one that no longer
    // fits the grid, like no matte at all, opens cleared.
    std::optional<MatteModel> existing;
    if (state_.StartX != -1) {
        BusyPointer busy;
        existing = MatteModel::fromBlocked(state_.grid, int(cols), int(rows), {state_.StartX, state_.StartY},
                                           {state_.FinishX, state_.FinishY});
    }
    showMatte(existing ? std::move(*existing) : MatteModel(int(cols), int(rows)));
    openedPainting_ = matte_.painting();
    shown_ = true;
    describe();
    // The keyboard starts on the painting, as the mouse does.
    matteCanvas->setFocus(Qt::OtherFocusReason);
}

void Form4::showMatte(MatteModel matte)
{
    matte_ = std::move(matte);
    history_.clear();
    matte_.setObserver([this](const MatteChange &change) {
        matteCanvas->showChange(change);
        writePoints();
        history_.record(change);
        enableHistoryButtons();
        describe();
    });
    CellSize = fitCellSize();
    fitting_ = true;
    matteCanvas->showMatte(matte_, CellSize);
    writePoints();
    enableHistoryButtons();
    describe();
}

void Form4::writePoints()
{
    const NodePoint start = pointOf(matte_.start());
    const NodePoint finish = pointOf(matte_.finish());
    state_.StartX = std::int16_t(start.x);
    state_.StartY = std::int16_t(start.y);
    state_.FinishX = std::int16_t(finish.x);
    state_.FinishY = std::int16_t(finish.y);
}

bool Form4::idle() const
{
    return CellSize > 0 && !okRunning_ && !closed_;
}

QSize Form4::canvasBorders() const
{
    return {2 * matteCanvas->border(), 2 * matteCanvas->border()};
}

QSize Form4::designedDrawableSize() const
{
    return twipsRect(120, 240, 6735, 6135).size() - canvasBorders();
}

void Form4::showCell(MatteCell cell)
{
    const QRect r = matteCanvas->cellRect(cell);
    canvasView->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 8, r.height() / 2 + 8);
}

void Form4::enableHistoryButtons()
{
    undoButton->setEnabled(history_.canUndo());
    redoButton->setEnabled(history_.canRedo());
}

bool Form4::changed() const
{
    return shown_ && matte_.painting() != openedPainting_;
}

void Form4::describe()
{
    const QString pen = tr(penOf(PenColour).name);
    penIndicator->setAccessibleName(tr("Current pen: %1").arg(pen));
    if (!shown_ || CellSize == 0) {
        matteCanvas->setAccessibleDescription(tr("%1 pen").arg(pen));
        return;
    }
    const MatteCell at = matteCanvas->cursorCell();
    static const char *const looks[] = {QT_TR_NOOP("maze"), QT_TR_NOOP("paper"), QT_TR_NOOP("start"),
                                        QT_TR_NOOP("finish")};
    matteCanvas->setAccessibleDescription(tr("%1 pen; cell %2 across, %3 down: %4")
                                              .arg(pen)
                                              .arg(at.cx + 1)
                                              .arg(at.cy + 1)
                                              .arg(tr(looks[int(matte_.look(at.cx, at.cy))])));
}

void Form4::penClicked(std::int32_t colour)
{
    PenColour = colour;
    penIndicator->setFillColour(colour);
    for (QAbstractButton *pen : pens_->buttons())
        if (pen->property("penColour").toInt() == colour)
            pen->setChecked(true);
    describe();
}

MatteCell Form4::cellAt(QPointF position) const
{
    // Far off the canvas while dragging: a cell well outside, never an overflow.
    const auto cell = [this](double p) { return int(std::clamp(std::floor(p / CellSize), -100000.0, 100000.0)); };
    return {cell(position.x()), cell(position.y())};
}

void Form4::applyPen(MatteCell cell)
{
    if (!matte_.painting().paper.contains(cell))
        return;
    if (PenColour == MatteColour::Start)
        matte_.placeStart(cell.cx, cell.cy);
    else if (PenColour == MatteColour::Finish)
        matte_.placeFinish(cell.cx, cell.cy);
    else
        matte_.paintCell(cell.cx, cell.cy, PenColour == MatteColour::Paper);
}

void Form4::Picture1_MouseDown(Qt::MouseButtons buttons, QPointF position)
{
    if (!idle() || buttons != Qt::LeftButton)
        return;
    // One press and its drag are one step to undo.
    history_.beginStroke();
    stroking_ = true;
    strokeCell_ = cellAt(position);
    applyPen(strokeCell_);
}

void Form4::Picture1_MouseMove(Qt::MouseButtons buttons, QPointF position)
{
    if (!stroking_ || !idle())
        return;
    const MatteCell to = cellAt(position);
    if (buttons != Qt::LeftButton) {
        strokeCell_ = to;
        return;
    }
    // Every cell between two reported positions, so a fast stroke leaves no gap.
    const std::vector<MatteCell> line = cells_on_line(strokeCell_, to);
    for (std::size_t i = 1; i < line.size(); ++i)
        applyPen(line[i]);
    strokeCell_ = to;
}

void Form4::Picture1_MouseUp()
{
    if (!stroking_)
        return;
    stroking_ = false;
    history_.endStroke();
    enableHistoryButtons();
}

void Form4::undo()
{
    replay(true);
}

void Form4::redo()
{
    replay(false);
}

void Form4::replay(bool back)
{
    if (!idle())
        return;
    stroking_ = false;
    back ? history_.undo(matte_) : history_.redo(matte_);
    enableHistoryButtons();
}

int Form4::largestCellSize() const
{
    // The canvas widget stays under 32000 pixels a side, which Qt's widgets need.
    return std::max(1, std::min(MatteCanvas::MaxCellSize, 32000 / std::max({matte_.cols(), matte_.rows(), 1})));
}

int Form4::fitCellSize() const
{
    if (matte_.cols() < 1 || matte_.rows() < 1)
        return 0;
    const QSize room = canvasView->maximumViewportSize() - canvasBorders();
    const int fit = std::min(room.width() / matte_.cols(), room.height() / matte_.rows());
    const int largest = largestCellSize();
    return std::clamp(fit, 1, largest);
}

void Form4::setCellSize(int size)
{
    if (!idle() || size == CellSize)
        return;
    // The middle of the view stays where it was.
    QScrollBar *h = canvasView->horizontalScrollBar(), *v = canvasView->verticalScrollBar();
    const QSize before = matteCanvas->size();
    const double fx = (h->value() + canvasView->viewport()->width() / 2.0) / std::max(1, before.width());
    const double fy = (v->value() + canvasView->viewport()->height() / 2.0) / std::max(1, before.height());
    CellSize = size;
    matteCanvas->setCellSize(size);
    h->setValue(int(fx * matteCanvas->width() - canvasView->viewport()->width() / 2.0));
    v->setValue(int(fy * matteCanvas->height() - canvasView->viewport()->height() / 2.0));
    // Working from the keyboard, the cursor's cell stays in sight instead.
    if (matteCanvas->hasFocus())
        showCell(matteCanvas->cursorCell());
}

void Form4::zoomToFit()
{
    if (!idle())
        return;
    fitting_ = true;
    setCellSize(fitCellSize());
}

void Form4::zoomBy(int steps)
{
    if (!idle() || steps == 0)
        return;
    const int largest = largestCellSize();
    int next = CellSize;
    if (steps > 0) {
        const auto it = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), CellSize);
        next = it == ZoomSteps.end() ? CellSize : *it;
    } else {
        const auto it = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), CellSize);
        next = it == ZoomSteps.begin() ? CellSize : *(it - 1);
    }
    fitting_ = false;
    setCellSize(std::clamp(next, 1, largest));
}

bool Form4::eventFilter(QObject *watched, QEvent *event)
{
    // While fitting, the cells grow and shrink with the window.
    if (watched == canvasView->viewport() && event->type() == QEvent::Resize && fitting_ && idle() && shown_)
        QTimer::singleShot(0, this, [this] {
            if (fitting_ && idle())
                setCellSize(fitCellSize());
        });
    return QDialog::eventFilter(watched, event);
}

void Form4::Command4_Click()
{
    if (!idle() || matte_.blank())
        return;
    if (!confirm(this, tr("Clear the whole matte? Every cell becomes maze, and the start and finish are removed."),
                 tr("C&lear")))
        return;
    matte_.clear();
}

void Form4::Command9_Click()
{
    if (!idle())
        return;
    BusyPointer pointer;
    matte_.invert();
}

void Form4::Command3_Click()
{
    if (!idle())
        return;
    QString path;
    {
        Form5 dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            path = dialog.chosenPath();
    }
    QApplication::processEvents();
    if (path.isEmpty() || !idle())
        return;

    // Load first: a picture that fails now leaves the painting and the points alone.
    const QImage picture = load_matte_picture(path);
    if (picture.isNull()) {
        showMessage(this, tr("The picture format is invalid - try another."));
        return;
    }
    if (!matte_.blank()
        && !confirm(this, tr("Replace the painting with the picture? The start and finish go with it, unless the "
                             "picture was saved with its own."),
                    tr("&Replace")))
        return;
    BusyPointer pointer;
    const int cols = matte_.cols(), rows = matte_.rows();
    // A matte saved by this editor keeps its points; any other picture brings none.
    matte_.replace(sample_matte_picture(picture, cols, rows), matte_picture_point(picture, MatteStartKey, cols, rows),
                   matte_picture_point(picture, MatteFinishKey, cols, rows));
}

void Form4::saveMatte()
{
    if (!idle())
        return;
    QString path;
    if (askSaveName) {
        path = askSaveName();
    } else {
        QFileDialog dialog(this, tr("Save matte"));
        dialog.setObjectName(QStringLiteral("SaveMatteDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(tr("PNG pictures (*.png)"));
        dialog.setDefaultSuffix(QStringLiteral("png"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (path.isEmpty())
        return;
    QString error;
    BusyPointer pointer;
    if (!save_matte_picture(matte_.painting(), path, &error)) {
        pointer.release();
        showMessage(this, error, QMessageBox::Warning);
    }
}

void Form4::fillWith(const CellMap &inside)
{
    const CellMap paper = paper_outside(inside);
    const FarPoints points = far_apart_points(paper);
    BusyPointer pointer;
    matte_.replace(paper, points.start, points.finish);
    // What lies apart from the start's region is no use to a shape: left out on Ok.
    removeUnusedBox->setChecked(true);
}

void Form4::fillWithShape(MatteShape shape)
{
    if (!idle())
        return;
    fillWith(shape_cells(shape, matte_.cols(), matte_.rows()));
}

void Form4::fillWithWord()
{
    if (!idle() || wordEdit->text().trimmed().isEmpty())
        return;
    const WordMatte word = word_matte(wordEdit->text(), matte_.cols(), matte_.rows());
    switch (word.refusal) {
    case WordRefusal::None:
        fillWith(word.inside);
        return;
    case WordRefusal::NoLetters:
        showMessage(this, tr("The word has no letters to draw."));
        return;
    case WordRefusal::NoFont:
        showMessage(this, tr("Words need the font DejaVu Sans Bold, which is not installed (Debian package "
                             "fonts-dejavu-core)."));
        return;
    case WordRefusal::MissingLetter:
        showMessage(this, tr("The font DejaVu Sans Bold has no letter for \"%1\".").arg(word.missing));
        return;
    case WordRefusal::TooSmall:
        showMessage(this, tr("\"%1\" is too small to read on %2 x %3 cells: letters %4 cells tall need at least %5 x "
                             "%6 cells. Make the maze larger in the main window.")
                              .arg(word.word)
                              .arg(matte_.cols())
                              .arg(matte_.rows())
                              .arg(MinLetterCells)
                              .arg(word.needed.width())
                              .arg(word.needed.height()));
        return;
    }
}

void Form4::placePoints()
{
    if (!idle())
        return;
    const FarPoints points = far_apart_points(matte_.painting().paper);
    if (!points.start.isSet()) {
        showMessage(this, tr("The start and finish need at least two maze cells side by side."));
        return;
    }
    matte_.placePoints(points.start, points.finish);
}

void Form4::refuse(MatteVerdict verdict)
{
    switch (verdict) {
    case MatteVerdict::NoPoints:
        showMessage(this, tr("Please choose start and finish points."));
        return;
    case MatteVerdict::NoStart:
        showMessage(this, tr("Please choose a start point."));
        return;
    case MatteVerdict::NoFinish:
        showMessage(this, tr("Please choose a finish point."));
        return;
    case MatteVerdict::NoPath:
        showMessage(this, tr("There must be a complete (blue) path from the start point to the finish point."),
                    QMessageBox::Critical, tr("No direct path"));
        return;
    case MatteVerdict::Accepted:
        return;
    default:
        // A size or a point that the editor never paints.
        showMessage(this, tr("The matte cannot be accepted."));
        return;
    }
}

void Form4::Command2_Click()
{
    if (!idle())
        return;
    history_.endStroke();
    stroking_ = false;
    const MattePainting painting = matte_.painting();
    if (const MatteVerdict points = check_points(painting.start, painting.finish); points != MatteVerdict::Accepted) {
        refuse(points);
        return;
    }

    okRunning_ = true;
    if (!gridReplaced_) {
        openedGrid_ = std::move(state_.grid);
        gridReplaced_ = true;
    }
    const bool removeUnused = removeUnusedBox->isChecked();
    Form7 check([&](const SweepReport &onSweep) { return accept_matte(painting, removeUnused, state_.grid, onSweep); },
                this);
    check.exec();
    okRunning_ = false;
    if (!check.failure().isEmpty()) {
        showMessage(this, tr("The matte cannot be accepted: %1").arg(check.failure()));
        return;
    }

    const MatteResult &result = check.result();
    matteCanvas->showLinked(result.linked);
    if (!result.accepted()) {
        refuse(result.verdict);
        // The painting shows again as Blocked now holds it, without the linked marks.
        if (result.verdict == MatteVerdict::NoPath) {
            FirstActivation = true;
            Form_Activate();
        }
        return;
    }
    state_.UseMatte = true;
    closeEditor(Accepted);
}

bool Form4::mayDiscard()
{
    return !changed()
           || confirm(this, tr("The matte has changed. Close the editor and lose the changes?"),
                      tr("&Discard changes"), tr("&Keep editing"));
}

void Form4::Command1_Click()
{
    if (okRunning_)
        return;
    state_.UseMatte = false;
    closeEditor(Rejected);
}

void Form4::keyPressEvent(QKeyEvent *event)
{
    // Enter in the word box draws the word; it is not Ok.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && focusWidget() == wordEdit) {
        event->accept();
        return;
    }
    // Escape is Cancel, once the user agrees to lose a changed painting.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!okRunning_ && mayDiscard())
            Command1_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form4::reject()
{
    if (okRunning_)
        return;
    // Closing without accepting leaves the matte in force as it was when the editor
    // opened: the points painted since, and a Blocked a failed Ok rebuilt, would no
    // longer describe it.
    state_.StartX = openedStartX_;
    state_.StartY = openedStartY_;
    state_.FinishX = openedFinishX_;
    state_.FinishY = openedFinishY_;
    if (gridReplaced_) {
        state_.grid = std::move(openedGrid_);
        gridReplaced_ = false;
    }
    closeEditor(Rejected);
}

void Form4::closeEvent(QCloseEvent *event)
{
    if (okRunning_ || (!closed_ && !mayDiscard())) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Form4::closeEditor(int result)
{
    closed_ = true;
    stroking_ = false;
    openedGrid_.release();
    done(result);
}

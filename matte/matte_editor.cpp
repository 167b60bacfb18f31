#include "matte/matte_editor.h"

#include "matte/completion.h"
#include "matte/import_dialog.h"
#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_picture.h"
#include "matte/matte_widgets.h"
#include "matte/path_check.h"
#include "matte/twips.h"
#include "maze/state.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

QPushButton *penButton(const QString &caption, const QString &name, std::int32_t colour, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setProperty("penColour", colour);
    const QColor back(toQRgb(colour));
    const QColor text = colour == MatteColour::Maze ? Qt::white : Qt::black;
    b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: 1px solid #404040; }"
                                    "QPushButton:pressed { border: 2px inset #404040; }")
                         .arg(back.name(), text.name()));
    return b;
}

} // namespace

Form4::Form4(MazeState &state, QWidget *parent)
    : QDialog(parent), state_(state), PenColour(MatteColour::Maze), openedStartX_(state.StartX),
      openedStartY_(state.StartY), openedFinishX_(state.FinishX), openedFinishY_(state.FinishY)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(tr("Matte editor"));
    setFixedSize(twips(8595), twips(6750));

    matteFrame = placed(new QGroupBox(tr("Matte"), this), "Frame1", 120, 120, 6975, 6495);

    matteCanvas = new MatteCanvas(matteFrame);
    matteCanvas->setGeometry(twipsRect(120, 240, 6735, 6135));
    matteCanvas->setDrawableSize(matteCanvas->contentsRect().size());

    importButton = placed(new QPushButton(tr("Import picture"), this), "Command3", 7200, 240, 1215, 495);

    clearButton = placed(new QPushButton(tr("Clear matte"), this), "Command4", 7200, 840, 1215, 495);

    invertButton = placed(new QPushButton(tr("Invert matte"), this), "Command9", 7200, 1440, 1215, 495);

    penFrame = placed(new QGroupBox(tr("Pen colour"), this), "Frame2", 7200, 2160, 1215, 1815);

    mazePen = penButton(tr("Maze"), QStringLiteral("Command5"), MatteColour::Maze, penFrame);
    paperPen = penButton(tr("Paper"), QStringLiteral("Command6"), MatteColour::Paper, penFrame);
    startPen = penButton(tr("Start"), QStringLiteral("Command7"), MatteColour::Start, penFrame);
    finishPen = penButton(tr("Finish"), QStringLiteral("Command8"), MatteColour::Finish, penFrame);
    const int tops[] = {240, 600, 960, 1320};
    QPushButton *pens[] = {mazePen, paperPen, startPen, finishPen};
    for (int i = 0; i < 4; ++i) {
        pens[i]->setGeometry(twipsRect(120, tops[i], 975, 375));
        const std::int32_t colour = pens[i]->property("penColour").toInt();
        connect(pens[i], &QPushButton::clicked, this, [this, colour] { penClicked(colour); });
    }

    currentPenLabel = placed(new QLabel(tr("Current pen"), this), "Label1", 7200, 4200, 855, 255);

    penIndicator = placed(new FilledCircle(this), "Shape1", 8160, 4200, 255, 255);
    penIndicator->setFillColour(MatteColour::Maze);

    removeUnusedBox = placed(new QCheckBox(tr("Remove unused areas"), this), "Check1", 7200, 4680, 1335, 495);

    separatorLine = makeLine(this, QStringLiteral("Line1"), {twips(7200), twips(5280)}, {twips(8400), twips(5280)});

    okButton = placed(new QPushButton(tr("Ok"), this), "Command2", 7200, 5520, 1215, 495);

    cancelButton = placed(new QPushButton(tr("Cancel"), this), "Command1", 7200, 6120, 1215, 495);

    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);
    widenRightColumn();

    connect(cancelButton, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(okButton, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(importButton, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(clearButton, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(invertButton, &QPushButton::clicked, this, &Form4::Command9_Click);
    connect(matteCanvas, &MatteCanvas::mouseDown, this, &Form4::Picture1_MouseDown);
    connect(matteCanvas, &MatteCanvas::mouseMove, this, &Form4::Picture1_MouseDown);
}

Form4::~Form4() = default;

// The right-hand column was drawn up for a narrower font than most desktops use: it
// grows, and the window with it, until every caption fits on one line.
void Form4::widenRightColumn()
{
    const QFontMetrics fm(font());
    const QStyle *st = style();
    int needed = 0;
    for (QPushButton *b : {importButton, clearButton, invertButton, okButton, cancelButton})
        needed = std::max(needed, fm.horizontalAdvance(b->text()) + 16);
    for (QPushButton *b : {mazePen, paperPen, startPen, finishPen})
        needed = std::max(needed, fm.horizontalAdvance(b->text()) + 16 + 2 * twips(120));
    needed = std::max(needed, fm.horizontalAdvance(currentPenLabel->text()) + 6 + penIndicator->width());
    needed = std::max(needed, st->pixelMetric(QStyle::PM_IndicatorWidth) + st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing)
                                  + fm.horizontalAdvance(removeUnusedBox->text()) + 4);
    const int extra = std::max(0, needed - twips(1215));
    if (extra == 0)
        return;
    for (QWidget *w : std::initializer_list<QWidget *>{importButton, clearButton, invertButton, penFrame, okButton,
                                                       cancelButton, separatorLine})
        w->resize(w->width() + extra, w->height());
    for (QPushButton *b : {mazePen, paperPen, startPen, finishPen})
        b->resize(b->width() + extra, b->height());
    currentPenLabel->resize(currentPenLabel->width() + extra, currentPenLabel->height());
    penIndicator->move(std::max(penIndicator->x(), currentPenLabel->x() + fm.horizontalAdvance(currentPenLabel->text()) + 8),
                       penIndicator->y());
    removeUnusedBox->resize(std::max(removeUnusedBox->width(), needed), removeUnusedBox->height());
    setFixedSize(width() + extra, height());
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

    const QSize drawable = matteCanvas->drawableSize();
    const std::int64_t cols = state_.MatteCols, rows = state_.MatteRows;
    if (cols < 1 || rows < 1) {
        CellSize = 0;
        showMessage(this, checkCellCounts(state_));
        return;
    }
    CellSize = int(std::min<std::int64_t>(drawable.width() / cols, drawable.height() / rows));
    if (CellSize == 0) {
        showMessage(this, tr("The maze size is too large for the matte editor to handle. Please use less nodes."));
        return;
    }

    // The drawable area is exactly CellSize pixels per cell, so that every cell is a
    // whole square and a redraw after a failed Ok fits the same CellSize.
    matteCanvas->setDrawableSize(QSize(CellSize * int(cols), CellSize * int(rows)));
    matteCanvas->move((matteFrame->width() - matteCanvas->width()) / 2,
                      (matteFrame->height() - matteCanvas->height()) / 2 + twips(60));
    update();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // An existing matte opens as Blocked and the points describe it; one that no longer
    // fits the grid, like no matte at all, opens cleared.
    std::optional<MatteModel> existing;
    if (state_.StartX != -1) {
        BusyPointer busy;
        existing = MatteModel::fromBlocked(state_.grid, int(cols), int(rows), {state_.StartX, state_.StartY},
                                           {state_.FinishX, state_.FinishY});
    }
    showMatte(existing ? std::move(*existing) : MatteModel(int(cols), int(rows)));
}

void Form4::showMatte(MatteModel matte)
{
    matte_ = std::move(matte);
    matte_.setObserver([this](const MatteChange &change) {
        matteCanvas->showChange(change);
        writePoints();
    });
    matteCanvas->showMatte(matte_, CellSize);
    writePoints();
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

void Form4::penClicked(std::int32_t colour)
{
    PenColour = colour;
    penIndicator->setFillColour(colour);
}

void Form4::Picture1_MouseDown(Qt::MouseButtons buttons, QPointF position)
{
    if (!idle() || buttons != Qt::LeftButton)
        return;
    const double cx = std::floor(position.x() / CellSize);
    const double cy = std::floor(position.y() / CellSize);
    // Far off the canvas while dragging: no cell, and no integer overflow either.
    if (!(cx >= 0 && cy >= 0 && cx < matte_.cols() && cy < matte_.rows()))
        return;
    if (PenColour == MatteColour::Start)
        matte_.placeStart(int(cx), int(cy));
    else if (PenColour == MatteColour::Finish)
        matte_.placeFinish(int(cx), int(cy));
    else
        matte_.paintCell(int(cx), int(cy), PenColour == MatteColour::Paper);
}

void Form4::Command4_Click()
{
    if (idle())
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
    BusyPointer pointer;
    matte_.replace(sample_matte_picture(picture, matte_.cols(), matte_.rows()));
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

void Form4::Command1_Click()
{
    if (okRunning_)
        return;
    state_.UseMatte = false;
    closeEditor(Rejected);
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
    if (okRunning_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Form4::closeEditor(int result)
{
    closed_ = true;
    openedGrid_.release();
    done(result);
}

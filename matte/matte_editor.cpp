#include "matte/matte_editor.h"

#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/import_dialog.h"
#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_widgets.h"
#include "matte/matte_picture.h"
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
#include <exception>

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

    Frame1 = placed(new QGroupBox(tr("Matte"), this), "Frame1", 120, 120, 6975, 6495);

    Picture1 = new MatteCanvas(Frame1);
    Picture1->setGeometry(twipsRect(120, 240, 6735, 6135));
    Picture1->setDrawableSize(Picture1->contentsRect().size());

    Command3 = placed(new QPushButton(tr("Import picture"), this), "Command3", 7200, 240, 1215, 495);

    Command4 = placed(new QPushButton(tr("Clear matte"), this), "Command4", 7200, 840, 1215, 495);

    Command9 = placed(new QPushButton(tr("Invert matte"), this), "Command9", 7200, 1440, 1215, 495);

    Frame2 = placed(new QGroupBox(tr("Pen colour"), this), "Frame2", 7200, 2160, 1215, 1815);

    Command5 = penButton(tr("Maze"), QStringLiteral("Command5"), MatteColour::Maze, Frame2);
    Command6 = penButton(tr("Paper"), QStringLiteral("Command6"), MatteColour::Paper, Frame2);
    Command7 = penButton(tr("Start"), QStringLiteral("Command7"), MatteColour::Start, Frame2);
    Command8 = penButton(tr("Finish"), QStringLiteral("Command8"), MatteColour::Finish, Frame2);
    const int tops[] = {240, 600, 960, 1320};
    QPushButton *pens[] = {Command5, Command6, Command7, Command8};
    for (int i = 0; i < 4; ++i) {
        pens[i]->setGeometry(twipsRect(120, tops[i], 975, 375));
        const std::int32_t colour = pens[i]->property("penColour").toInt();
        connect(pens[i], &QPushButton::clicked, this, [this, colour] { penClicked(colour); });
    }

    Label1 = placed(new QLabel(tr("Current pen"), this), "Label1", 7200, 4200, 855, 255);

    Shape1 = placed(new FilledCircle(this), "Shape1", 8160, 4200, 255, 255);
    Shape1->setFillColour(MatteColour::Maze);

    Check1 = placed(new QCheckBox(tr("Remove unused areas"), this), "Check1", 7200, 4680, 1335, 495);

    Line1 = makeLine(this, QStringLiteral("Line1"), {twips(7200), twips(5280)}, {twips(8400), twips(5280)});

    Command2 = placed(new QPushButton(tr("Ok"), this), "Command2", 7200, 5520, 1215, 495);

    Command1 = placed(new QPushButton(tr("Cancel"), this), "Command1", 7200, 6120, 1215, 495);

    Picture2 = new QLabel(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->hide();
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->hide();

    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);
    widenRightColumn();

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(Command9, &QPushButton::clicked, this, &Form4::Command9_Click);
    connect(Picture1, &MatteCanvas::mouseDown, this, &Form4::Picture1_MouseDown);
    connect(Picture1, &MatteCanvas::mouseMove, this, &Form4::Picture1_MouseDown);
}

Form4::~Form4() = default;

// The right-hand column was drawn up for a narrower font than most desktops use: it
// grows, and the window with it, until every caption fits on one line.
void Form4::widenRightColumn()
{
    const QFontMetrics fm(font());
    const QStyle *st = style();
    int needed = 0;
    for (QPushButton *b : {Command3, Command4, Command9, Command2, Command1})
        needed = std::max(needed, fm.horizontalAdvance(b->text()) + 16);
    for (QPushButton *b : {Command5, Command6, Command7, Command8})
        needed = std::max(needed, fm.horizontalAdvance(b->text()) + 16 + 2 * twips(120));
    needed = std::max(needed, fm.horizontalAdvance(Label1->text()) + 6 + Shape1->width());
    needed = std::max(needed, st->pixelMetric(QStyle::PM_IndicatorWidth) + st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing)
                                  + fm.horizontalAdvance(Check1->text()) + 4);
    const int extra = std::max(0, needed - twips(1215));
    if (extra == 0)
        return;
    for (QWidget *w : std::initializer_list<QWidget *>{Command3, Command4, Command9, Frame2, Command2, Command1, Line1})
        w->resize(w->width() + extra, w->height());
    for (QPushButton *b : {Command5, Command6, Command7, Command8})
        b->resize(b->width() + extra, b->height());
    Label1->resize(Label1->width() + extra, Label1->height());
    Shape1->move(std::max(Shape1->x(), Label1->x() + fm.horizontalAdvance(Label1->text()) + 8), Shape1->y());
    Check1->resize(std::max(Check1->width(), needed), Check1->height());
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

    const QSize drawable = Picture1->drawableSize();
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

    // The drawable area is exactly CellSize pixels per cell, so that every reading of
    // the canvas (pens, Ok, the path check) agrees on where a cell lies.
    Picture1->setDrawableSize(QSize(CellSize * int(cols), CellSize * int(rows)));
    Picture1->move((Frame1->width() - Picture1->width()) / 2,
                   (Frame1->height() - Picture1->height()) / 2 + twips(60));
    update();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    if (state_.StartX == -1 || !existingMatteFits())
        Command4_Click();
    else
        redrawFromBlocked();
}

bool Form4::existingMatteFits() const
{
    const int cols = int(state_.MatteCols), rows = int(state_.MatteRows);
    if (state_.grid.width() != 2 * cols + 1 || state_.grid.height() != 2 * rows + 1)
        return false;
    const NodePoint start{state_.StartX, state_.StartY};
    const NodePoint finish{state_.FinishX, state_.FinishY};
    return isCellOfMatte(start, cols, rows) && (!finish.isSet() || isCellOfMatte(finish, cols, rows));
}

void Form4::redrawFromBlocked()
{
    BusyPointer busy;
    for (int cy = 0; cy < state_.MatteRows; ++cy)
        for (int cx = 0; cx < state_.MatteCols; ++cx)
            fillCell(cx, cy, state_.grid.blocked(2 * cx + 2, 2 * cy + 2) ? MatteColour::Paper : MatteColour::Maze);
    fillCell(state_.StartX / 2 - 1, state_.StartY / 2 - 1, MatteColour::Start);
    if (state_.FinishX != -1)
        fillCell(state_.FinishX / 2 - 1, state_.FinishY / 2 - 1, MatteColour::Finish);
}

void Form4::fillCell(int cx, int cy, std::int32_t colour)
{
    Picture1->fillRect(cx * CellSize, cy * CellSize, CellSize, CellSize, colour);
}

void Form4::unsetPoints()
{
    state_.StartX = state_.StartY = state_.FinishX = state_.FinishY = -1;
}

std::int32_t Form4::sampleOfCell(int cx, int cy) const
{
    return Picture1->point(double(cx) * CellSize, double(cy) * CellSize);
}

bool Form4::idle() const
{
    return CellSize > 0 && !busy_ && !okRunning_ && !closed_;
}

void Form4::penClicked(std::int32_t colour)
{
    PenColour = colour;
    Shape1->setFillColour(colour);
}

void Form4::Picture1_MouseDown(Qt::MouseButtons buttons, QPointF position)
{
    if (!idle() || buttons != Qt::LeftButton)
        return;
    const int cx = int(std::floor(position.x() / CellSize));
    const int cy = int(std::floor(position.y() / CellSize));

    if (PenColour == MatteColour::Start || PenColour == MatteColour::Finish) {
        const bool start = PenColour == MatteColour::Start;
        std::int16_t &px = start ? state_.StartX : state_.FinishX;
        std::int16_t &py = start ? state_.StartY : state_.FinishY;
        if (Picture1->point(position.x(), position.y()) != MatteColour::Maze)
            return;
        if (px != -1)
            fillCell(px / 2 - 1, py / 2 - 1, MatteColour::Maze);
        px = std::int16_t(2 * (cx + 1));
        py = std::int16_t(2 * (cy + 1));
        fillCell(cx, cy, PenColour);
        return;
    }

    fillCell(cx, cy, PenColour);
    if (2 * (cx + 1) == state_.StartX && 2 * (cy + 1) == state_.StartY)
        state_.StartX = state_.StartY = -1;
    if (2 * (cx + 1) == state_.FinishX && 2 * (cy + 1) == state_.FinishY)
        state_.FinishX = state_.FinishY = -1;
}

void Form4::Command4_Click()
{
    if (!idle())
        return;
    Picture1->fill(MatteColour::Maze);
    unsetPoints();
}

void Form4::Command9_Click()
{
    if (!idle())
        return;
    busy_ = true;
    BusyPointer pointer;
    QImage &image = Picture1->image();
    const QRgb paper = toQRgb(MatteColour::Paper);
    const QRgb maze = toQRgb(MatteColour::Maze);
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            auto *pixel = reinterpret_cast<QRgb *>(image.scanLine(y)) + x;
            *pixel = (*pixel & 0xFFFFFF) == (paper & 0xFFFFFF) ? maze : paper;
        }
        if (x % 10 == 0) {
            Picture1->update();
            QApplication::processEvents();
            // Closed meanwhile: the painting is discarded and a title-bar close has
            // already put the points back.
            if (closed_) {
                busy_ = false;
                return;
            }
        }
    }
    Picture1->update();
    unsetPoints();
    busy_ = false;
}

void Form4::Command3_Click()
{
    if (!idle())
        return;
    Label2->clear();
    {
        Form5 dialog(Label2, this);
        dialog.exec();
    }
    QApplication::processEvents();
    const QString path = Label2->text();
    if (path.isEmpty() || !idle())
        return;

    // Load first: a picture that fails now leaves the painting and the points alone.
    QImage picture = load_matte_picture(path);
    if (picture.isNull()) {
        showMessage(this, tr("The picture format is invalid - try another."));
        return;
    }

    busy_ = true;
    BusyPointer pointer;
    unsetPoints();
    picture2_ = std::move(picture);
    Picture2->resize(picture2_.size());
    const int cols = int(state_.MatteCols), rows = int(state_.MatteRows);
    const CellMap paper = sample_matte_picture(picture2_, cols, rows);
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < cols; ++cx)
            fillCell(cx, cy, paper.at(cx, cy) ? MatteColour::Paper : MatteColour::Maze);
        QApplication::processEvents();
        if (closed_)
            break;
    }
    busy_ = false;
}

void Form4::Command2_Click()
{
    if (!idle())
        return;
    const NodePoint start{state_.StartX, state_.StartY};
    const NodePoint finish{state_.FinishX, state_.FinishY};
    switch (check_points(start, finish)) {
    case MatteVerdict::NoPoints:
        showMessage(this, tr("Please choose start and finish points."));
        return;
    case MatteVerdict::NoStart:
        showMessage(this, tr("Please choose a start point."));
        return;
    case MatteVerdict::NoFinish:
        showMessage(this, tr("Please choose a finish point."));
        return;
    default:
        break;
    }

    okRunning_ = true;
    const int cols = int(state_.MatteCols), rows = int(state_.MatteRows);
    bool reached = false;
    try {
        BusyPointer pointer;
        if (!gridReplaced_) {
            openedGrid_ = std::move(state_.grid);
            gridReplaced_ = true;
        }
        state_.grid.allocate(2 * cols + 1, 2 * rows + 1);
        CellMap paper(cols, rows);
        for (int cx = 0; cx < cols; ++cx)
            for (int cy = 0; cy < rows; ++cy)
                paper.set(cx, cy, sampleOfCell(cx, cy) == MatteColour::Paper);
        mark_cells(state_.grid, paper);
        complete_matte(state_.grid, start, finish);
        pointer.release();

        Form7 check(*Picture1, CellSize, cols, rows, start, this);
        check.exec();

        reached = sampleOfCell(finish.cellX(), finish.cellY()) == MatteColour::Linked;
        if (reached && Check1->isChecked()) {
            BusyPointer again;
            CellMap linked(cols, rows);
            for (int cx = 0; cx < cols; ++cx)
                for (int cy = 0; cy < rows; ++cy)
                    linked.set(cx, cy, sampleOfCell(cx, cy) == MatteColour::Linked);
            remove_unused_areas(state_.grid, linked, start, finish);
        }
    } catch (const std::exception &e) {
        okRunning_ = false;
        showMessage(this, tr("The matte cannot be accepted: %1").arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    okRunning_ = false;

    if (!reached) {
        showMessage(this, tr("There must be a complete (blue) path from the start point to the finish point."),
                    QMessageBox::Critical, tr("No direct path"));
        FirstActivation = true;
        Form_Activate();
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

#include "app/preview_window.h"

#include "app/command_line.h"
#include "app/maze_view.h"
#include "app/named_widget.h"
#include "app/page_layout_dialog.h"
#include "app/window_progress.h"
#include "maze/frame.h"
#include "maze/generation.h"
#include "maze/state.h"
#include "render/draw.h"
#include "render/output_context.h"
#include "render/print.h"
#include "render/save_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <new>
#include <stdexcept>

namespace {

constexpr double ZoomStep = 1.25;

/// The matte as a picture of one pixel a cell: dark maze, white paper.
QImage mattePicture(const NodeGrid &g)
{
    const int cols = (g.width() - 1) / 2, rows = (g.height() - 1) / 2;
    QImage picture(cols, rows, QImage::Format_Grayscale8);
    for (int j = 0; j < rows; ++j) {
        uchar *line = picture.scanLine(j);
        for (int i = 0; i < cols; ++i)
            line[i] = g.blocked(2 * i + 2, 2 * j + 2) ? 255 : 0;
    }
    return picture;
}

} // namespace

PreviewWindow::PreviewWindow(MazeState &state, const params::Choices &choices, QPrinter &printer, QWidget *parent)
    : QDialog(parent), state_(state), choices_(choices), printer_(printer), afterCarving_(state.rng)
{
    setObjectName(QStringLiteral("previewWindow"));
    setWindowTitle(tr("Preview"));
    setModal(true);

    view = named(new MazeView, "mazeView", tr("Maze"),
                 tr("Wheel or Ctrl+plus and Ctrl+minus to zoom; drag, scroll bars or arrow keys to move."));
    zoomInButton = named(new QPushButton(tr("Zoom &In")), "zoomInButton", tr("Zoom in"), tr("Zoom in (Ctrl++)"));
    zoomOutButton = named(new QPushButton(tr("Zoom &Out")), "zoomOutButton", tr("Zoom out"), tr("Zoom out (Ctrl+-)"));
    fitButton = named(new QPushButton(tr("&Fit")), "fitButton", tr("Fit"), tr("Show the whole maze (Ctrl+0)"));
    solutionBox = named(new QCheckBox(tr("Show &solution")), "solutionBox", tr("Show solution"),
                        tr("Draw the shortest way from the start to the finish on the screen."));
    measuresLabel = named(new QLabel, "measuresLabel", tr("Seed and measures"));
    measuresLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    seedLabel = named(new QLabel(tr("S&eed:")), "seedLabel", tr("Seed"));
    seedEdit = named(new QLineEdit, "seedEdit", tr("Seed"),
                     tr("The seed the maze was made from. Type another and press \"Use this seed\"."));
    seedEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{1,10}")), seedEdit));
    seedEdit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 12);
    seedLabel->setBuddy(seedEdit);
    useSeedButton = named(new QPushButton(tr("&Use this seed")), "useSeedButton", tr("Use this seed"),
                          tr("Make the maze again from the seed in the box."));
    againButton = named(new QPushButton(tr("&Generate again")), "againButton", tr("Generate again"),
                        tr("Make a new maze with the same choices and a new seed."));
    copyButton = named(new QPushButton(tr("&Copy command line")), "copyButton", tr("Copy command line"),
                       tr("Put the corvanthel generate command that makes this maze on the clipboard."));
    printButton = named(new QPushButton(tr("&Print...")), "printButton", tr("Print"));
    pageLayoutButton = named(new QPushButton(tr("Page la&yout...")), "pageLayoutButton", tr("Page layout"),
                             tr("Paper, margins, a title and posters for \"Print...\" and PDF files."));
    saveButton = named(new QPushButton(tr("Save &As...")), "saveButton", tr("Save As"),
                       choices_.appearance == params::AppearanceChoice::CityPlan
                           ? tr("Save the maze as a PDF file or an SVG drawing.")
                           : tr("Save the maze as a bitmap, a PNG picture, an SVG drawing or a PDF file."));
    closeButton = named(new QPushButton(tr("C&lose")), "closeButton", tr("Close"));

    auto *zoomRow = new QHBoxLayout;
    zoomRow->addWidget(zoomInButton);
    zoomRow->addWidget(zoomOutButton);
    zoomRow->addWidget(fitButton);
    zoomRow->addSpacing(12);
    zoomRow->addWidget(solutionBox);
    zoomRow->addStretch();
    auto *actionRow = new QHBoxLayout;
    actionRow->addWidget(seedLabel);
    actionRow->addWidget(seedEdit);
    actionRow->addWidget(useSeedButton);
    actionRow->addWidget(againButton);
    actionRow->addStretch();
    actionRow->addWidget(copyButton);
    actionRow->addWidget(printButton);
    actionRow->addWidget(pageLayoutButton);
    actionRow->addWidget(saveButton);
    actionRow->addWidget(closeButton);
    auto *top = new QVBoxLayout(this);
    top->addWidget(view, 1);
    top->addLayout(zoomRow);
    top->addWidget(measuresLabel);
    top->addLayout(actionRow);

    connect(zoomInButton, &QPushButton::clicked, this, [this] { view->zoomBy(ZoomStep); });
    connect(zoomOutButton, &QPushButton::clicked, this, [this] { view->zoomBy(1 / ZoomStep); });
    connect(fitButton, &QPushButton::clicked, view, &MazeView::fit);
    connect(solutionBox, &QCheckBox::toggled, view, &MazeView::setShowSolution);
    connect(useSeedButton, &QPushButton::clicked, this, &PreviewWindow::generateFromSeedBox);
    connect(seedEdit, &QLineEdit::returnPressed, this, &PreviewWindow::generateFromSeedBox);
    connect(againButton, &QPushButton::clicked, this, &PreviewWindow::generateAgain);
    connect(copyButton, &QPushButton::clicked, this, &PreviewWindow::copyCommandLine);
    connect(printButton, &QPushButton::clicked, this, &PreviewWindow::printMaze);
    connect(pageLayoutButton, &QPushButton::clicked, this, &PreviewWindow::editPageLayout);
    connect(saveButton, &QPushButton::clicked, this, &PreviewWindow::saveMaze);
    connect(closeButton, &QPushButton::clicked, this, &PreviewWindow::reject);
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { view->zoomBy(ZoomStep); });
    connect(new QShortcut(QKeySequence::ZoomOut, this), &QShortcut::activated, this, [this] { view->zoomBy(1 / ZoomStep); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this), &QShortcut::activated, view, &MazeView::fit);

    askPrinter = [this](QPrinter &printer) {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("CommonDialog1"));
        return dialog.exec() == QDialog::Accepted;
    };

    if (const QScreen *screen = this->screen())
        resize(screen->availableSize() * 3 / 4);
    mazeChanged();
    view->setFocus();
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::mazeChanged()
{
    try {
        measures_ = solve_maze(state_);
    } catch (const std::exception &e) {
        measures_ = MazeMeasures{};
        QMessageBox::warning(this, tr("Corvanthel"), tr("Corvanthel cannot solve this maze: %1").arg(QString::fromUtf8(e.what())));
    }
    const quint32 seed = choices_.seed.value_or(state_.rng.currentSeed());
    seedEdit->setText(QString::number(seed));
    const long long cols = (state_.GridWidth - 1) / 2, rows = (state_.GridHeight - 1) / 2;
    measuresLabel->setText(measures_.solved ? tr("Seed %1: %2 x %3 cells, solution %4 cells, %5 dead ends")
                                                  .arg(seed).arg(cols).arg(rows).arg(measures_.solutionLength).arg(measures_.deadEnds)
                                            : tr("Seed %1: %2 x %3 cells, no solution, %4 dead ends")
                                                  .arg(seed).arg(cols).arg(rows).arg(measures_.deadEnds));
    view->showMaze(state_, SceneLayers{false, choices_.marks, false});
    view->setShowSolution(solutionBox->isChecked());
}

void PreviewWindow::setBusy(bool busy)
{
    busy_ = busy;
    for (QWidget *w : std::initializer_list<QWidget *>{zoomInButton, zoomOutButton, fitButton, solutionBox, seedEdit,
                                                       useSeedButton, againButton, copyButton, printButton, pageLayoutButton, saveButton,
                                                       closeButton, view})
        w->setEnabled(!busy);
}

void PreviewWindow::reject()
{
    // The maze is being made below us on this thread; the window closes once it is done.
    if (!busy_)
        QDialog::reject();
}

void PreviewWindow::generateAgain()
{
    regenerate(Random::clockSeed());
}

void PreviewWindow::generateFromSeedBox()
{
    bool ok = false;
    const qulonglong seed = seedEdit->text().toULongLong(&ok);
    if (!ok || seed > 0xFFFFFFFFull) {
        QMessageBox::warning(this, tr("Corvanthel"), tr("The seed must be a whole number from 0 to 4294967295."));
        return;
    }
    regenerate(static_cast<std::uint32_t>(seed));
}

void PreviewWindow::regenerate(std::uint32_t seed)
{
    if (busy_)
        return;
    setBusy(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString title = windowTitle();
    QString failure;
    {
        WindowProgress progress(*this, *measuresLabel, nullptr, {});
        // The grid is remade under the view: it must not paint until the new maze is in.
        view->clearMaze();
        try {
            // The same steps as Generate: the window's choices, then a fresh grid (a matte is kept).
            params::apply_choices(choices_, state_);
            state_.rng.seed(seed);
            allocate_arrays(state_);
            carve_maze(state_, progress);
        } catch (const std::bad_alloc &) {
            state_.grid.release();
            failure = tr("There is not enough memory for a maze of %1 x %2 nodes.").arg(state_.GridWidth).arg(state_.GridHeight);
        } catch (const std::exception &e) {
            state_.grid.release();
            failure = tr("Corvanthel cannot carve this maze: %1").arg(QString::fromUtf8(e.what()));
        }
    }
    setWindowTitle(title);
    QApplication::restoreOverrideCursor();
    setBusy(false);
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, tr("Corvanthel"), failure);
        reject();
        return;
    }
    choices_.seed = seed;
    afterCarving_ = state_.rng;
    mazeChanged();
}

OutputContext PreviewWindow::outputContext(Progress &progress)
{
    OutputContext ctx = window_output(state_, progress, this);
    ctx.marks = choices_.marks;
    ctx.answerKey = choices_.answerKey && measures_.solved;
    ctx.keyFileName = [](const QString &name) { return key_file_name(name); };
    ctx.pageLayout = printer_.pageLayout();
    ctx.pageSetup = pageSetup;
    if (adjustOutput)
        adjustOutput(ctx);
    return ctx;
}

void PreviewWindow::writeOutput(const std::function<void(OutputContext &)> &write)
{
    setBusy(true);
    const QString title = windowTitle();
    {
        WindowProgress progress(*this, *measuresLabel, nullptr, {});
        OutputContext ctx = outputContext(progress);
        state_.rng = afterCarving_;
        write(ctx);
    }
    setWindowTitle(title);
    setBusy(false);
}

void PreviewWindow::printMaze()
{
    if (printer_.outputFileName().isEmpty() && !QPrinterInfo::availablePrinters().isEmpty() && !askPrinter(printer_))
        return;
    writeOutput([this](OutputContext &ctx) { print_maze(ctx, printer_); });
}

void PreviewWindow::editPageLayout()
{
    PageLayoutDialog dialog(pageSetup, this);
    if (dialog.exec() == QDialog::Accepted)
        pageSetup = dialog.setup();
}

void PreviewWindow::saveMaze()
{
    writeOutput([this](OutputContext &ctx) {
        if (state_.CityPlan) {
            // City plan exists only as shapes: a page or a drawing.
            const QString name = ctx.askFileName(tr("PDF files (*.pdf);;SVG drawings (*.svg)"));
            if (!name.isEmpty())
                save_maze_file(ctx, name);
        } else {
            draw_maze(ctx);
        }
    });
}

void PreviewWindow::copyCommandLine()
{
    QString matte;
    QPoint start, finish;
    if (choices_.usesMatte()) {
        Progress quiet;
        OutputContext ctx = outputContext(quiet);
        matte = ctx.askFileName(tr("PNG pictures (*.png)"));
        if (matte.isEmpty())
            return;
        QString error;
        if (!save_png(mattePicture(state_.grid), matte, &error)) {
            ctx.reportError(error);
            return;
        }
        const EndPoints e = end_points(state_);
        start = QPoint(e.startX / 2, e.startY / 2);
        finish = QPoint(e.finishX / 2, e.finishY / 2);
    }
    QGuiApplication::clipboard()->setText(command_line_for(choices_, matte, start, finish));
}

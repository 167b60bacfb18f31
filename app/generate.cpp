#include "app/form1.h"

#include "app/command_line.h"
#include "app/preview_window.h"
#include "app/window_progress.h"
#include "matte/matte_editor.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/solve.h"
#include "maze/state.h"
#include "render/draw.h"
#include "render/print.h"

#include <QApplication>
#include <QPrinter>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>

#include <cmath>
#include <new>
#include <stdexcept>

namespace {

// The cells a walk may carve: every cell node not excluded. With a matte, cells that no
// path joins to the start count too, so the total is then an upper bound.
long long openCells(const NodeGrid &g)
{
    long long n = 0;
    for (int y = 2; y < g.height(); y += 2)
        for (int x = 2; x < g.width(); x += 2)
            n += !g.blocked(x, y);
    return n;
}

} // namespace

void Form1::Command1_Click()
{
    if (generating_) {
        // Stop: the walk or the output ends at its next report and writes nothing.
        stopRequested_ = true;
        return;
    }
    saveSettings();
    MazeState &s = state_;
    params::Choices chosen = choices();

    if (const auto refusal = params::check_size(chosen)) {
        showMessage(tr(refusal->message.c_str()));
        for (QLineEdit *box : {widthEdit, heightEdit})
            if (refusal->minimumCells > 0 && params::leading_number(box->text().toStdString()) < refusal->minimumCells)
                box->setText(QString::number(refusal->minimumCells));
        return;
    }

    // With a matte, Blocked is the matte; there must be one before anything is reset.
    if (s.UseMatte && (s.StartX == -1 || s.grid.width() != s.GridWidth || s.grid.height() != s.GridHeight)) {
        showMessage(tr("Use the matte editor to draw a matte and set start and finish points before continuing."));
        Command4_Click();
        return;
    }

    // The window's state keeps its last tile set, which City plan then keeps too.
    params::apply_choices(chosen, s);
    // Each maze is a function of its seed and the choices, so the preview can show the seed
    // and the command line can make the same maze again.
    chosen.seed = nextSeed ? nextSeed() : Random::clockSeed();
    s.rng.seed(*chosen.seed);

    try {
        allocate_arrays(s);
    } catch (const std::bad_alloc &) {
        s.grid.release();
        showMessage(tr("There is not enough memory for a maze of %1 x %2 nodes.").arg(s.GridWidth).arg(s.GridHeight));
        return;
    } catch (const std::length_error &) {
        showMessage(tr("Sorry, mazes can be at most 16383 x 16383 cells."));
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    setGenerating(true);
    stopRequested_ = false;
    WindowProgress progress(*this, *statusLabel, progressBar, [this] { return closeRequested_ || stopRequested_; },
                            [&s] { return openCells(s.grid); });
    bool carved = false;
    try {
        progress.showNodesDrawn(carve_maze(s, progress));
        carved = true;
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        showMessage(tr("Corvanthel cannot carve this maze: %1").arg(QString::fromStdString(e.what())));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    QCoreApplication::processEvents();

    if (carved && !progress.stopRequested() && previewOption->isChecked()) {
        QApplication::restoreOverrideCursor();
        statusLabel->clear();
        setWindowTitle(programTitle());
        PreviewWindow preview(s, chosen, *printer_, this);
        preview.adjustOutput = adjustOutput;
        if (adjustPreview)
            adjustPreview(preview);
        preview.exec();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (carved && !progress.stopRequested()) {
        OutputContext output = window_output(s, progress, this);
        output.marks = chosen.marks;
        output.answerKey = chosen.answerKey;
        output.keyFileName = [](const QString &name) { return key_file_name(name); };
        output.pageLayout = printer_->pageLayout();
        if (chosen.answerKey) {
            try {
                solve_maze(s);
            } catch (const std::exception &e) {
                output.answerKey = false;
                QApplication::restoreOverrideCursor();
                showMessage(tr("Corvanthel cannot make the answer key of this maze: %1").arg(QString::fromStdString(e.what())));
                QApplication::setOverrideCursor(Qt::WaitCursor);
            }
        }
        if (adjustOutput)
            adjustOutput(output);
        if (printerOption->isChecked()) {
            progress.phase(Phase::Printing);
            print_maze(output, *printer_);
        } else {
            progress.phase(Phase::Rendering);
            draw_maze(output);
        }
    }

    statusLabel->clear();
    setWindowTitle(programTitle());
    setGenerating(false);
    QApplication::restoreOverrideCursor();
    if (!chosen.usesMatte())
        s.StartX = s.StartY = s.FinishX = s.FinishY = -1;
    if (closeRequested_)
        close();
}

void Form1::setGenerating(bool on)
{
    // The walk and the output read the state record and the grid while they yield to
    // the event loop: nothing the user can reach may change them meanwhile.
    generating_ = on;
    for (QWidget *w : {static_cast<QWidget *>(parametersFrame), static_cast<QWidget *>(dimensionsFrame),
                       static_cast<QWidget *>(matteFrame), static_cast<QWidget *>(outputFrame)})
        w->setEnabled(!on);
    settingsMenu->menuAction()->setEnabled(!on);
    generateButton->setText(on ? tr("&Stop") : tr("&Generate"));
    progressBar->reset();
    progressBar->setVisible(on);
}

void Form1::Command4_Click()
{
    // The matte's cells are derived like the grid's nodes, so the two always agree.
    state_.MatteCols = static_cast<std::int64_t>(std::floor(params::leading_number(widthEdit->text().toStdString())));
    state_.MatteRows = static_cast<std::int64_t>(std::floor(params::leading_number(heightEdit->text().toStdString())));
    if (const QString problem = Form4::checkCellCounts(state_); !problem.isEmpty()) {
        showMessage(problem);
    } else {
        Form4 editor(state_, this);
        editor.exec();
    }
    if (state_.UseMatte) {
        setMazeType(params::MazeTypeChoice::CustomMatte);
        useMatteBox->setChecked(true);
    } else {
        useMatteBox->setChecked(false);
    }
}

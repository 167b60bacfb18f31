#include "matte/path_check.h"

#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_widgets.h"
#include "matte/path_link.h"
#include "matte/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

Form7::Form7(MatteCanvas &canvas, int cellSize, int cols, int rows, NodePoint start, QWidget *parent)
    : QDialog(parent), canvas_(canvas), cellSize_(cellSize), cols_(cols), rows_(rows), start_(start)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(tr("Matte editor"));
    setFixedSize(twips(6540), twips(2775));

    Frame1 = placed(new QGroupBox(tr("Matte cleanup routine"), this), "Frame1", 120, 120, 6255, 2535);

    QFont sans(QStringLiteral("MS Sans Serif"));
    sans.setStyleHint(QFont::SansSerif);

    Label1 = new QLabel(tr("Checking for a complete path from start to finish."), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(sans);
    Label1->setGeometry(twipsRect(240, 480, 5775, 495));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label2 = placed(new QLabel(tr("0 nodes successfully linked to"), Frame1), "Label2", 840, 1080, 4695, 375);

    Line1 = makeLine(Frame1, QStringLiteral("Line1"), {twips(360), twips(1800)}, {twips(5880), twips(1800)});

    // The second label of the pair carries the same name.
    Label1b = new QLabel(tr("Please wait..."), Frame1);
    Label1b->setObjectName(QStringLiteral("Label1"));
    Label1b->setFont(sans);
    Label1b->setGeometry(twipsRect(240, 2040, 5775, 375));
}

void Form7::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (FirstActivation)
        QTimer::singleShot(0, this, &Form7::Form_Activate);
}

void Form7::Form_Activate()
{
    if (!FirstActivation)
        return;
    FirstActivation = false;
    check();
}

void Form7::check()
{
    running_ = true;
    BusyPointer busy;

    CellMap open(cols_, rows_);
    for (int cx = 0; cx < cols_; ++cx)
        for (int cy = 0; cy < rows_; ++cy)
            open.set(cx, cy, canvas_.point(double(cx) * cellSize_, double(cy) * cellSize_) != MatteColour::Paper);

    PathLinker linker(open, start_.cellX(), start_.cellY());
    bool changed = true;
    while (changed) {
        changed = linker.sweep();
        ++sweeps_;
        count_ = linker.count();
        Label2->setText(QString::number(count_) + tr(" nodes successfully linked to"));
        emit swept(count_);
        QApplication::processEvents();
    }

    const CellMap linked = linker.linked();
    for (int cx = 0; cx < cols_; ++cx)
        for (int cy = 0; cy < rows_; ++cy)
            if (linked.at(cx, cy))
                canvas_.fillRect(cx * cellSize_, cy * cellSize_, cellSize_, cellSize_, MatteColour::Linked);

    busy.release();
    running_ = false;
    accept();
}

void Form7::reject()
{
    if (!running_)
        QDialog::reject();
}

void Form7::closeEvent(QCloseEvent *event)
{
    if (running_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

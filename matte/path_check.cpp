#include "matte/path_check.h"

#include "matte/matte_widgets.h"
#include "matte/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <exception>

Form7::Form7(Check check, QWidget *parent) : QDialog(parent), check_(std::move(check))
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(tr("Matte editor"));
    setFixedSize(twips(6540), twips(2775));

    cleanupFrame = placed(new QGroupBox(tr("Matte cleanup routine"), this), "Frame1", 120, 120, 6255, 2535);

    QFont sans(QStringLiteral("MS Sans Serif"));
    sans.setStyleHint(QFont::SansSerif);

    checkingLabel = placed(new QLabel(tr("Checking for a complete path from start to finish."), cleanupFrame),
                           "Label1", 240, 480, 5775, 495);
    checkingLabel->setFont(sans);
    checkingLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    countLabel = placed(new QLabel(tr("0 nodes successfully linked to"), cleanupFrame), "Label2", 840, 1080, 4695, 375);

    separatorLine = makeLine(cleanupFrame, QStringLiteral("Line1"), {twips(360), twips(1800)}, {twips(5880), twips(1800)});

    waitLabel = placed(new QLabel(tr("Please wait..."), cleanupFrame), "Label1", 240, 2040, 5775, 375);
    waitLabel->setFont(sans);
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
    try {
        result_ = check_([this](long long count) {
            countLabel->setText(QString::number(count) + tr(" nodes successfully linked to"));
            emit swept(count);
            QApplication::processEvents();
        });
    } catch (const std::exception &e) {
        failure_ = QString::fromLocal8Bit(e.what());
    }
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

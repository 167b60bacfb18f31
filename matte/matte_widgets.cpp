#include "matte/matte_widgets.h"

#include "matte/matte_canvas.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QPushButton>
#include <QPainter>

namespace {

// The pen indicator is heard as an indicator, its name saying the pen.
QAccessibleInterface *indicatorRole(const QString &, QObject *object)
{
    if (auto *circle = qobject_cast<FilledCircle *>(object))
        return new QAccessibleWidget(circle, QAccessible::Indicator);
    return nullptr;
}

} // namespace

FilledCircle::FilledCircle(QWidget *parent) : QWidget(parent)
{
    QAccessible::installFactory(indicatorRole);
}

void FilledCircle::setFillColour(std::int32_t colour)
{
    colour_ = colour;
    update();
}

void FilledCircle::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(toQRgb(colour_)));
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

QWidget *makeLine(QWidget *parent, const QString &name, QPoint from, QPoint to)
{
    auto *line = new QWidget(parent);
    line->setObjectName(name);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    line->setPalette(pal);
    if (from.y() == to.y())
        line->setGeometry(qMin(from.x(), to.x()), from.y(), qMax(1, qAbs(to.x() - from.x())), 1);
    else
        line->setGeometry(from.x(), qMin(from.y(), to.y()), 1, qMax(1, qAbs(to.y() - from.y())));
    return line;
}

void showMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon, const QString &title)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool confirm(QWidget *parent, const QString &text, const QString &action, const QString &keep)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Corvanthel"), text, QMessageBox::NoButton, parent);
    QPushButton *go = box.addButton(action, QMessageBox::AcceptRole);
    QPushButton *stay = keep.isEmpty() ? box.addButton(QMessageBox::Cancel) : box.addButton(keep, QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    BusyPointer::Normal normal;
    box.exec();
    return box.clickedButton() == go;
}

BusyPointer::BusyPointer()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer()
{
    release();
}

BusyPointer::Normal::Normal()
{
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

BusyPointer::Normal::~Normal()
{
    QGuiApplication::restoreOverrideCursor();
}

void BusyPointer::release()
{
    if (held_)
        QGuiApplication::restoreOverrideCursor();
    held_ = false;
}

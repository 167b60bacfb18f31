#include "render/too_large_dialog.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

QImage warning_sign()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath triangle;
    triangle.moveTo(15, 1.5);
    triangle.lineTo(29, 27.5);
    triangle.lineTo(1, 27.5);
    triangle.closeSubpath();

    p.fillPath(triangle.translated(2, 3), QColor(128, 128, 128));
    p.fillPath(triangle, QColor(255, 255, 0));
    p.setPen(QPen(Qt::black, 1));
    p.drawPath(triangle);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath bar;
    bar.moveTo(13.2, 9);
    bar.lineTo(16.8, 9);
    bar.lineTo(15.8, 19.5);
    bar.lineTo(14.2, 19.5);
    bar.closeSubpath();
    p.drawPath(bar);
    p.drawEllipse(QPointF(15, 23), 1.9, 1.9);
    return image;
}

Form6::Form6(QWidget *parent) : QDialog(parent)
{
    setObjectName("Form6");
    setWindowTitle(tr("Bitmap too large"));
    setModal(true);
    const QPixmap sign = QPixmap::fromImage(warning_sign());
    setWindowIcon(QIcon(sign));

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(sign);
    Image1->setFixedSize(32, 32);
    Image1->setAccessibleName(tr("Warning"));

    Label1[0] = new QLabel(tr("Corvanthel cannot directly work with bitmaps of this size. You can either let "
                              "Corvanthel scale it down to a more manageable size, or convert the bitmap to a "
                              "monochrome (black and white) bitmap that takes up much less room."),
                           this);
    Label1[0]->setObjectName("Label1_0");
    Label1[0]->setWordWrap(true);
    setAccessibleDescription(Label1[0]->text());

    Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    QPalette grey = Line1->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    Line1->setPalette(grey);

    Label1[1] = new QLabel(tr("What would you like to do...?"), this);
    Label1[1]->setObjectName("Label1_1");

    Command1 = new QPushButton(tr("&Scale down the bitmap"), this);
    Command1->setObjectName("Command1");
    Command1->setToolTip(tr("Draw the maze at half the size, or smaller, in its own colours"));
    Command2 = new QPushButton(tr("Make a &monochrome bitmap"), this);
    Command2->setObjectName("Command2");
    Command2->setToolTip(tr("Write the maze at full size in black and white, straight to the file"));
    // Not in the window's first design, which had no way out: nothing is written.
    cancelButton = new QPushButton(tr("&Cancel"), this);
    cancelButton->setObjectName("Command3");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form6::Command2_Click);
    connect(cancelButton, &QPushButton::clicked, this, &Form6::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addWidget(Label1[0], 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Line1);
    layout->addWidget(Label1[1]);
    layout->addLayout(buttons);
    setFixedWidth(std::max(440, buttons->sizeHint().width() + layout->contentsMargins().left()
                                    + layout->contentsMargins().right()));
}

void Form6::Command1_Click()
{
    answer_ = TooLargeAnswer::ScaleDown;
    accept();
}

void Form6::Command2_Click()
{
    answer_ = TooLargeAnswer::Monochrome;
    accept();
}

void Form6::reject()
{
    // Escape and the close box end here as Cancel does, not as "Scale down".
    answer_ = TooLargeAnswer::Cancel;
    QDialog::reject();
}

TooLargeAnswer Form6::ask(QWidget *parent)
{
    Form6 dialog(parent);
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog.exec();
    QGuiApplication::restoreOverrideCursor();
    return dialog.answer();
}

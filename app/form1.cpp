#include "app/form1.h"

#include "maze/parameters.h"
#include "maze/state.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

double boxValue(const QLineEdit *box)
{
    return params::leading_number(box->text().toStdString());
}

} // namespace

Form1::Form1(MazeState &state, QWidget *parent)
    : QWidget(parent), state_(state), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    Form_Load();
}

Form1::~Form1() = default;

QString Form1::programTitle()
{
    return QStringLiteral("Corvanthel v%1.%2D").arg(CORVANTHEL_VERSION_MAJOR).arg(CORVANTHEL_VERSION_MINOR);
}

void Form1::buildControls()
{
    Frame1 = named(new QGroupBox(tr("Labyrinth Parameters")), "Frame1");
    Label1 = named(new QLabel(tr("Run:")), "Label1");
    Label2 = named(new QLabel(tr("Short")), "Label2");
    Label3 = named(new QLabel(tr("Long")), "Label3");
    Slider1 = named(new QSlider(Qt::Horizontal), "Slider1");
    Slider1->setRange(0, 10);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(1);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(1);
    Slider1->setValue(3);
    Label4 = named(new QLabel(tr("Type:")), "Label4");
    Combo1 = named(new QComboBox, "Combo1");
    Label5 = named(new QLabel(tr("Style:")), "Label5");
    Combo2 = named(new QComboBox, "Combo2");
    Label4->setBuddy(Combo1);
    Label5->setBuddy(Combo2);
    Label6 = named(new QLabel(tr("Appearance:")), "Label6");

    auto *appearanceGroup = new QButtonGroup(this);
    QRadioButton **appearanceMembers[] = {&Option1, &Option2, &Option3, &Option4, &Option5, &Option6,
                                          &Option7, &Option8, &Option9, &Option10, &Option11, &Option12};
    for (int i = 0; i < 12; ++i) {
        auto *option = new QRadioButton(tr(params::Appearances[i].caption));
        option->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        *appearanceMembers[i] = option;
        appearances_[i] = option;
        appearanceGroup->addButton(option, i);
    }
    Option1->setChecked(true);

    Check1 = named(new QCheckBox(tr("Allow loops")), "Check1");
    Label7 = named(new QLabel(tr("Loop attempts:")), "Label7");
    Text1 = named(new QLineEdit(QStringLiteral("10")), "Text1");
    Label8 = named(new QLabel(tr("%")), "Label8");
    Text1->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    Label7->setBuddy(Text1);
    for (QWidget *w : {static_cast<QWidget *>(Label7), static_cast<QWidget *>(Text1), static_cast<QWidget *>(Label8)})
        w->setEnabled(false);

    // A container of its own so the difficulty options form a separate group.
    Picture1 = named(new QWidget, "Picture1");
    Label12 = named(new QLabel(tr("Difficulty:")), "Label12");
    Option15 = named(new QRadioButton(tr("Easier")), "Option15");
    Option16 = named(new QRadioButton(tr("Harder (slower)")), "Option16");
    Option15->setChecked(true);
    auto *difficulty = new QHBoxLayout(Picture1);
    difficulty->setContentsMargins(0, 0, 0, 0);
    difficulty->addWidget(Label12);
    difficulty->addWidget(Option15);
    difficulty->addWidget(Option16);
    difficulty->addStretch();

    auto *run = new QHBoxLayout;
    run->addWidget(Label1);
    run->addWidget(Label2);
    run->addWidget(Slider1, 1);
    run->addWidget(Label3);

    auto *lists = new QGridLayout;
    lists->addWidget(Label4, 0, 0);
    lists->addWidget(Combo1, 0, 1);
    lists->addWidget(Label5, 1, 0);
    lists->addWidget(Combo2, 1, 1);
    lists->setColumnStretch(1, 1);

    auto *appearance = new QGridLayout;
    for (int i = 0; i < 12; ++i)
        appearance->addWidget(appearances_[i], i % 4, i / 4);

    auto *loops = new QHBoxLayout;
    loops->addWidget(Check1);
    loops->addSpacing(12);
    loops->addWidget(Label7);
    loops->addWidget(Text1);
    loops->addWidget(Label8);
    loops->addStretch();

    auto *frame1 = new QVBoxLayout(Frame1);
    frame1->addLayout(run);
    frame1->addLayout(lists);
    frame1->addWidget(Label6);
    frame1->addLayout(appearance);
    frame1->addLayout(loops);
    frame1->addWidget(Picture1);
    frame1->addStretch();

    Frame2 = named(new QGroupBox(tr("Dimensions")), "Frame2");
    Label9 = named(new QLabel(tr("Width:")), "Label9");
    Text2 = named(new QLineEdit(QStringLiteral("50")), "Text2");
    Label10 = named(new QLabel(tr("Height:")), "Label10");
    Text3 = named(new QLineEdit(QStringLiteral("70")), "Text3");
    Label11 = named(new QLabel(tr("Grid size: 101 x 141")), "Label11");
    Label9->setBuddy(Text2);
    Label10->setBuddy(Text3);
    auto *frame2 = new QGridLayout(Frame2);
    frame2->addWidget(Label9, 0, 0);
    frame2->addWidget(Text2, 0, 1);
    frame2->addWidget(Label10, 1, 0);
    frame2->addWidget(Text3, 1, 1);
    frame2->addWidget(Label11, 2, 0, 1, 2);

    Frame3 = named(new QGroupBox(tr("Matte")), "Frame3");
    Check2 = named(new QCheckBox(tr("Use a matte")), "Check2");
    Command4 = named(new QPushButton(tr("Edit Matte")), "Command4");
    Command4->setEnabled(false);
    Label13 = named(new QLabel(tr("The matte allows you to mask areas of the maze.")), "Label13");
    Label13->setWordWrap(true);
    auto *frame3 = new QVBoxLayout(Frame3);
    auto *matteRow = new QHBoxLayout;
    matteRow->addWidget(Check2);
    matteRow->addStretch();
    matteRow->addWidget(Command4);
    frame3->addLayout(matteRow);
    frame3->addWidget(Label13);

    Frame4 = named(new QGroupBox(tr("Output to")), "Frame4");
    Option13 = named(new QRadioButton, "Option13");
    Option14 = named(new QRadioButton(tr("Bitmap (.BMP) file")), "Option14");
    Option13->setChecked(true);
    Command3 = named(new QPushButton(tr("Setup")), "Command3");
    auto *frame4 = new QGridLayout(Frame4);
    frame4->addWidget(Option13, 0, 0);
    frame4->addWidget(Option14, 1, 0);
    frame4->addWidget(Command3, 0, 1, 2, 1, Qt::AlignVCenter);
    frame4->setColumnStretch(0, 1);

    Command1 = named(new QPushButton(tr("Generate")), "Command1");
    Command2 = named(new QPushButton(tr("Exit")), "Command2");
    Command1->setDefault(true);
    Label14 = named(new QLabel, "Label14");

    auto *right = new QVBoxLayout;
    right->addWidget(Frame2);
    right->addWidget(Frame3);
    right->addWidget(Frame4);
    right->addStretch();

    auto *body = new QHBoxLayout;
    body->addWidget(Frame1, 3);
    body->addLayout(right, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Label14, 1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *top = new QVBoxLayout(this);
    top->addLayout(body);
    top->addLayout(buttons);

    // Each group's own buttons; the three groups share one window.
    auto *difficultyGroup = new QButtonGroup(this);
    difficultyGroup->addButton(Option15);
    difficultyGroup->addButton(Option16);
    auto *outputGroup = new QButtonGroup(this);
    outputGroup->addButton(Option13);
    outputGroup->addButton(Option14);

    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Text3, &QLineEdit::textChanged, this, &Form1::Text3_Change);
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Form1::Check2_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    connect(Combo2, &QComboBox::currentIndexChanged, this, &Form1::Combo2_Click);
    connect(appearanceGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            appearanceChosen();
    });
    connect(outputGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            outputChosen();
    });
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
}

void Form1::Form_Load()
{
    state_ = MazeState{};
    state_.rng.seed(Random::clockSeed());
    setWindowTitle(programTitle());
}

void Form1::Form_Activate()
{
    if (FirstActivation) {
        FirstActivation = false;
        const QSignalBlocker block1(Combo1);
        const QSignalBlocker block2(Combo2);
        for (const auto &type : params::MazeTypes)
            Combo1->addItem(tr(type.caption));
        for (const auto &style : params::RunStyles)
            Combo2->addItem(tr(style.caption));
        Combo1->setCurrentIndex(0);
        Combo2->setCurrentIndex(0);
    }
    const QString name = chosenPrinter_.isEmpty() ? QPrinterInfo::defaultPrinterName() : chosenPrinter_;
    Option13->setText(name.isEmpty() ? tr("Printer (none installed)") : name);
}

void Form1::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    QWidget::changeEvent(event);
}

void Form1::showEvent(QShowEvent *event)
{
    // Offscreen and some window managers never activate the window; the lists must
    // still be filled before anyone reads them.
    if (FirstActivation)
        Form_Activate();
    QWidget::showEvent(event);
}

void Form1::Text2_Change()
{
    state_.GridWidth = params::node_count(boxValue(Text2));
    dimensionChanged();
}

void Form1::Text3_Change()
{
    state_.GridHeight = params::node_count(boxValue(Text3));
    dimensionChanged();
}

void Form1::dimensionChanged()
{
    Label11->setText(tr("Grid size: %1 x %2").arg(state_.GridWidth).arg(state_.GridHeight));
    if (Check2->isChecked()) {
        Check2->setChecked(false);
        showMessage(tr("Changing the maze dimensions removes any matte added. "
                       "You will need to re-specify the matte."));
    }
}

void Form1::Check1_Click()
{
    const bool on = Check1->isChecked();
    Label7->setEnabled(on);
    Text1->setEnabled(on);
    Label8->setEnabled(on);
}

void Form1::Check2_Click()
{
    if (Check2->isChecked()) {
        Combo1->setCurrentIndex(2);
        Command4->setEnabled(true);
    } else {
        // Only leave the custom type: a type the user has just chosen stays chosen.
        if (Combo1->currentIndex() == 2)
            Combo1->setCurrentIndex(0);
        Command4->setEnabled(false);
        state_.StartX = state_.StartY = state_.FinishX = state_.FinishY = -1;
    }
}

void Form1::Combo1_Click()
{
    const bool custom = Combo1->currentIndex() == 2;
    Check2->setChecked(custom);
    state_.UseMatte = custom;
    Command4->setEnabled(custom);
}

void Form1::Combo2_Click()
{
    const bool randomRun = Combo2->currentIndex() == 3;
    for (QWidget *w : {static_cast<QWidget *>(Slider1), static_cast<QWidget *>(Label1),
                       static_cast<QWidget *>(Label2), static_cast<QWidget *>(Label3)})
        w->setEnabled(!randomRun);
}

void Form1::appearanceChosen()
{
    Option14->setEnabled(!Option12->isChecked());
}

void Form1::outputChosen()
{
    if (Option14->isChecked()) {
        if (Option12->isChecked())
            Option1->setChecked(true);
        Option12->setEnabled(false);
    } else {
        Option12->setEnabled(true);
    }
}

void Form1::Command2_Click()
{
    close();
}

void Form1::Command3_Click()
{
    QPrintDialog dialog(printer_.get(), this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    if (dialog.exec() == QDialog::Accepted && printer_->outputFormat() == QPrinter::NativeFormat)
        chosenPrinter_ = printer_->printerName();
    Form_Activate();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (generating_) {
        // The walk or the output is running below us on this thread: ask it to stop
        // and close once it has unwound, so no half-written file is left behind.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    qApp->closeAllWindows();
}

void Form1::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, tr("Corvanthel"), text, QMessageBox::Ok, this);
    box.exec();
}

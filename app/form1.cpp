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

#include <algorithm>
#include <iterator>

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
    const params::Choices startUp;
    parametersFrame = named(new QGroupBox(tr("Labyrinth Parameters")), "Frame1");
    runLabel = named(new QLabel(tr("Run:")), "Label1");
    shortLabel = named(new QLabel(tr("Short")), "Label2");
    longLabel = named(new QLabel(tr("Long")), "Label3");
    runSlider = named(new QSlider(Qt::Horizontal), "Slider1");
    runSlider->setRange(0, 10);
    runSlider->setSingleStep(1);
    runSlider->setPageStep(1);
    runSlider->setTickPosition(QSlider::TicksBelow);
    runSlider->setTickInterval(1);
    runSlider->setValue(startUp.runSlider);
    typeLabel = named(new QLabel(tr("Type:")), "Label4");
    typeList = named(new QComboBox, "Combo1");
    styleLabel = named(new QLabel(tr("Style:")), "Label5");
    styleList = named(new QComboBox, "Combo2");
    typeLabel->setBuddy(typeList);
    styleLabel->setBuddy(styleList);
    appearanceLabel = named(new QLabel(tr("Appearance:")), "Label6");

    appearanceGroup_ = new QButtonGroup(this);
    // In the order of AppearanceChoice, which is also the order of Option1..Option12.
    QRadioButton **appearanceMembers[] = {&thinLinesOption, &thickLinesOption, &thinRoundedOption, &circuitsOption,
                                          &mediumLinesOption, &plumbingOption,  &fencesOption,     &doubleLineOption,
                                          &shadedOption,      &planksOption,    &tinyBricksOption, &cityPlanOption};
    static_assert(std::size(appearanceMembers) == params::Appearances.size());
    for (std::size_t i = 0; i < params::Appearances.size(); ++i) {
        auto *option = new QRadioButton(tr(params::Appearances[i].caption));
        option->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        *appearanceMembers[i] = option;
        appearanceGroup_->addButton(option, static_cast<int>(i));
    }
    appearanceGroup_->button(static_cast<int>(params::position(startUp.appearance)))->setChecked(true);

    allowLoopsBox = named(new QCheckBox(tr("Allow loops")), "Check1");
    allowLoopsBox->setChecked(startUp.loops);
    loopAttemptsLabel = named(new QLabel(tr("Loop attempts:")), "Label7");
    loopPercentEdit = named(new QLineEdit(QString::number(startUp.loopPercent)), "Text1");
    percentLabel = named(new QLabel(tr("%")), "Label8");
    loopPercentEdit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    loopAttemptsLabel->setBuddy(loopPercentEdit);
    for (QWidget *w : std::initializer_list<QWidget *>{loopAttemptsLabel, loopPercentEdit, percentLabel})
        w->setEnabled(startUp.loops);

    // A container of its own so the difficulty options form a separate group.
    difficultyPanel = named(new QWidget, "Picture1");
    difficultyLabel = named(new QLabel(tr("Difficulty:")), "Label12");
    easierOption = named(new QRadioButton(tr("Easier")), "Option15");
    harderOption = named(new QRadioButton(tr("Harder (slower)")), "Option16");
    (startUp.difficulty == params::DifficultyChoice::Harder ? harderOption : easierOption)->setChecked(true);
    auto *difficulty = new QHBoxLayout(difficultyPanel);
    difficulty->setContentsMargins(0, 0, 0, 0);
    difficulty->addWidget(difficultyLabel);
    difficulty->addWidget(easierOption);
    difficulty->addWidget(harderOption);
    difficulty->addStretch();

    auto *run = new QHBoxLayout;
    run->addWidget(runLabel);
    run->addWidget(shortLabel);
    run->addWidget(runSlider, 1);
    run->addWidget(longLabel);

    auto *lists = new QGridLayout;
    lists->addWidget(typeLabel, 0, 0);
    lists->addWidget(typeList, 0, 1);
    lists->addWidget(styleLabel, 1, 0);
    lists->addWidget(styleList, 1, 1);
    lists->setColumnStretch(1, 1);

    auto *appearance = new QGridLayout;
    for (int i = 0; i < static_cast<int>(std::size(appearanceMembers)); ++i)
        appearance->addWidget(*appearanceMembers[i], i % 4, i / 4);

    auto *loops = new QHBoxLayout;
    loops->addWidget(allowLoopsBox);
    loops->addSpacing(12);
    loops->addWidget(loopAttemptsLabel);
    loops->addWidget(loopPercentEdit);
    loops->addWidget(percentLabel);
    loops->addStretch();

    auto *frame1 = new QVBoxLayout(parametersFrame);
    frame1->addLayout(run);
    frame1->addLayout(lists);
    frame1->addWidget(appearanceLabel);
    frame1->addLayout(appearance);
    frame1->addLayout(loops);
    frame1->addWidget(difficultyPanel);
    frame1->addStretch();

    dimensionsFrame = named(new QGroupBox(tr("Dimensions")), "Frame2");
    widthLabel = named(new QLabel(tr("Width:")), "Label9");
    widthEdit = named(new QLineEdit(QString::number(startUp.widthCells)), "Text2");
    heightLabel = named(new QLabel(tr("Height:")), "Label10");
    heightEdit = named(new QLineEdit(QString::number(startUp.heightCells)), "Text3");
    gridSizeLabel = named(new QLabel(tr("Grid size: %1 x %2")
                                         .arg(params::node_count(startUp.widthCells))
                                         .arg(params::node_count(startUp.heightCells))),
                          "Label11");
    widthLabel->setBuddy(widthEdit);
    heightLabel->setBuddy(heightEdit);
    auto *frame2 = new QGridLayout(dimensionsFrame);
    frame2->addWidget(widthLabel, 0, 0);
    frame2->addWidget(widthEdit, 0, 1);
    frame2->addWidget(heightLabel, 1, 0);
    frame2->addWidget(heightEdit, 1, 1);
    frame2->addWidget(gridSizeLabel, 2, 0, 1, 2);

    matteFrame = named(new QGroupBox(tr("Matte")), "Frame3");
    useMatteBox = named(new QCheckBox(tr("Use a matte")), "Check2");
    editMatteButton = named(new QPushButton(tr("Edit Matte")), "Command4");
    editMatteButton->setEnabled(false);
    matteNoteLabel = named(new QLabel(tr("The matte allows you to mask areas of the maze.")), "Label13");
    matteNoteLabel->setWordWrap(true);
    auto *frame3 = new QVBoxLayout(matteFrame);
    auto *matteRow = new QHBoxLayout;
    matteRow->addWidget(useMatteBox);
    matteRow->addStretch();
    matteRow->addWidget(editMatteButton);
    frame3->addLayout(matteRow);
    frame3->addWidget(matteNoteLabel);

    outputFrame = named(new QGroupBox(tr("Output to")), "Frame4");
    printerOption = named(new QRadioButton, "Option13");
    bitmapOption = named(new QRadioButton(tr("Bitmap (.BMP) file")), "Option14");
    previewOption = named(new QRadioButton(tr("Screen (pre&view)")), "previewOption");
    previewOption->setAccessibleName(tr("Screen (preview)"));
    previewOption->setToolTip(tr("Show the maze in a window, where it can be zoomed, solved, printed or saved."));
    printerOption->setChecked(true);
    setupButton = named(new QPushButton(tr("Setup")), "Command3");
    marksBox = named(new QCheckBox(tr("Mar&k start and finish")), "marksBox");
    marksBox->setAccessibleName(tr("Mark start and finish"));
    marksBox->setToolTip(tr("Draw a disc on the start cell and a ring on the finish cell, in every output."));
    answerKeyBox = named(new QCheckBox(tr("Answer ke&y")), "answerKeyBox");
    answerKeyBox->setAccessibleName(tr("Answer key"));
    answerKeyBox->setToolTip(tr("Also make the solution: a second printed page titled \"Answer key\", "
                                "or NAME-solution.bmp beside the bitmap."));
    auto *frame4 = new QGridLayout(outputFrame);
    frame4->addWidget(printerOption, 0, 0);
    frame4->addWidget(bitmapOption, 1, 0);
    frame4->addWidget(previewOption, 2, 0);
    frame4->addWidget(setupButton, 0, 1, 2, 1, Qt::AlignVCenter);
    frame4->addWidget(marksBox, 3, 0, 1, 2);
    frame4->addWidget(answerKeyBox, 4, 0, 1, 2);
    frame4->setColumnStretch(0, 1);

    generateButton = named(new QPushButton(tr("Generate")), "Command1");
    exitButton = named(new QPushButton(tr("Exit")), "Command2");
    generateButton->setDefault(true);
    statusLabel = named(new QLabel, "Label14");

    auto *right = new QVBoxLayout;
    right->addWidget(dimensionsFrame);
    right->addWidget(matteFrame);
    right->addWidget(outputFrame);
    right->addStretch();

    auto *body = new QHBoxLayout;
    body->addWidget(parametersFrame, 3);
    body->addLayout(right, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(statusLabel, 1);
    buttons->addWidget(generateButton);
    buttons->addWidget(exitButton);

    auto *top = new QVBoxLayout(this);
    top->addLayout(body);
    top->addLayout(buttons);

    // Each group's own buttons; the three groups share one window.
    auto *difficultyGroup = new QButtonGroup(this);
    difficultyGroup->addButton(easierOption);
    difficultyGroup->addButton(harderOption);
    auto *outputGroup = new QButtonGroup(this);
    outputGroup->addButton(printerOption);
    outputGroup->addButton(bitmapOption);
    outputGroup->addButton(previewOption);

    connect(widthEdit, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(heightEdit, &QLineEdit::textChanged, this, &Form1::Text3_Change);
    connect(allowLoopsBox, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(useMatteBox, &QCheckBox::toggled, this, &Form1::Check2_Click);
    connect(typeList, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    connect(styleList, &QComboBox::currentIndexChanged, this, &Form1::Combo2_Click);
    connect(appearanceGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            appearanceChosen();
    });
    connect(outputGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            outputChosen();
    });
    connect(generateButton, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(exitButton, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(setupButton, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(editMatteButton, &QPushButton::clicked, this, &Form1::Command4_Click);
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
        const QSignalBlocker block1(typeList);
        const QSignalBlocker block2(styleList);
        for (const auto &type : params::MazeTypes)
            typeList->addItem(tr(type.caption));
        for (const auto &style : params::RunStyles)
            styleList->addItem(tr(style.caption));
        const params::Choices startUp;
        setMazeType(startUp.type);
        styleList->setCurrentIndex(static_cast<int>(params::position(startUp.runStyle)));
    }
    const QString name = chosenPrinter_.isEmpty() ? QPrinterInfo::defaultPrinterName() : chosenPrinter_;
    printerOption->setText(name.isEmpty() ? tr("Printer (none installed)") : name);
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

params::MazeTypeChoice Form1::mazeType() const
{
    // The list is empty (-1) until the first activation fills it.
    return static_cast<params::MazeTypeChoice>(std::max(0, typeList->currentIndex()));
}

void Form1::setMazeType(params::MazeTypeChoice type)
{
    typeList->setCurrentIndex(static_cast<int>(params::position(type)));
}

params::Choices Form1::choices() const
{
    params::Choices c;
    c.widthCells = boxValue(widthEdit);
    c.heightCells = boxValue(heightEdit);
    c.type = mazeType();
    c.runSlider = runSlider->value();
    c.runStyle = static_cast<params::RunStyleChoice>(std::max(0, styleList->currentIndex()));
    c.appearance = static_cast<params::AppearanceChoice>(appearanceGroup_->checkedId());
    c.loops = allowLoopsBox->isChecked();
    c.loopPercent = boxValue(loopPercentEdit);
    c.difficulty = harderOption->isChecked() ? params::DifficultyChoice::Harder : params::DifficultyChoice::Easier;
    c.marks = marksBox->isChecked();
    c.answerKey = answerKeyBox->isChecked();
    return c;
}

void Form1::Text2_Change()
{
    state_.GridWidth = params::node_count(boxValue(widthEdit));
    dimensionChanged();
}

void Form1::Text3_Change()
{
    state_.GridHeight = params::node_count(boxValue(heightEdit));
    dimensionChanged();
}

void Form1::dimensionChanged()
{
    gridSizeLabel->setText(tr("Grid size: %1 x %2").arg(state_.GridWidth).arg(state_.GridHeight));
    if (useMatteBox->isChecked()) {
        useMatteBox->setChecked(false);
        showMessage(tr("Changing the maze dimensions removes any matte added. "
                       "You will need to re-specify the matte."));
    }
}

void Form1::Check1_Click()
{
    const bool on = allowLoopsBox->isChecked();
    loopAttemptsLabel->setEnabled(on);
    loopPercentEdit->setEnabled(on);
    percentLabel->setEnabled(on);
}

void Form1::Check2_Click()
{
    if (useMatteBox->isChecked()) {
        setMazeType(params::MazeTypeChoice::CustomMatte);
        editMatteButton->setEnabled(true);
    } else {
        // Only leave the custom type: a type the user has just chosen stays chosen.
        if (mazeType() == params::MazeTypeChoice::CustomMatte)
            setMazeType(params::MazeTypeChoice::TopLeftToBottomRight);
        editMatteButton->setEnabled(false);
        state_.StartX = state_.StartY = state_.FinishX = state_.FinishY = -1;
    }
}

void Form1::Combo1_Click()
{
    const bool custom = mazeType() == params::MazeTypeChoice::CustomMatte;
    useMatteBox->setChecked(custom);
    state_.UseMatte = custom;
    editMatteButton->setEnabled(custom);
}

void Form1::Combo2_Click()
{
    const bool randomRun = choices().runStyle == params::RunStyleChoice::RandomRun;
    for (QWidget *w : {static_cast<QWidget *>(runSlider), static_cast<QWidget *>(runLabel),
                       static_cast<QWidget *>(shortLabel), static_cast<QWidget *>(longLabel)})
        w->setEnabled(!randomRun);
}

void Form1::appearanceChosen()
{
    bitmapOption->setEnabled(!cityPlanOption->isChecked());
}

void Form1::outputChosen()
{
    if (bitmapOption->isChecked()) {
        if (cityPlanOption->isChecked())
            thinLinesOption->setChecked(true);
        cityPlanOption->setEnabled(false);
    } else {
        cityPlanOption->setEnabled(true);
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

#include "app/form1.h"

#include "app/named_widget.h"
#include "maze/parameters.h"
#include "maze/state.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSlider>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

double boxValue(const QLineEdit *box)
{
    return params::leading_number(box->text().toStdString());
}

// A caption as a screen reader should say the control it names: no mnemonic, no colon.
QString spoken(const QString &caption)
{
    QString text = caption;
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    if (text.endsWith(u':'))
        text.chop(1);
    return text;
}

// The label captions the control: its mnemonic reaches it, and it names it.
void caption(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(spoken(label->text()));
}

// Option groups are announced as groups, named by the label that captions them.
QAccessibleInterface *optionGroupRole(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->property("optionGroup").toBool())
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    return nullptr;
}

// One mnemonic for a whole group of options, on the label that captions it: it reaches
// the chosen option, and the arrow keys move from there within the group.
void captionGroup(QLabel *label, QWidget *panel, QButtonGroup *group)
{
    QAccessible::installFactory(optionGroupRole);
    panel->setProperty("optionGroup", true);
    panel->setAccessibleName(spoken(label->text()));
    const auto follow = [label, group] {
        if (QAbstractButton *chosen = group->checkedButton())
            label->setBuddy(chosen);
    };
    follow();
    QObject::connect(group, &QButtonGroup::buttonToggled, label, follow);
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

template <typename T>
T *Form1::remembered(const char *key, T *control)
{
    remembered_.emplace_back(QString::fromLatin1(key), control);
    return control;
}

// Every control is made, named, explained and, where its value lasts, remembered in one
// statement below; the layouts follow.
void Form1::buildControls()
{
    const params::Choices startUp;
    parametersFrame = named(new QGroupBox(tr("Labyrinth Parameters")), "Frame1");
    runLabel = named(new QLabel(tr("&Run:")), "Label1");
    shortLabel = named(new QLabel(tr("Short")), "Label2");
    longLabel = named(new QLabel(tr("Long")), "Label3");
    runSlider = remembered("run", named(new QSlider(Qt::Horizontal), "Slider1", {},
                                        tr("How far corridors run straight before they turn: Short makes a "
                                           "twisting maze, Long one of long straight corridors")));
    runSlider->setRange(0, 10);
    runSlider->setSingleStep(1);
    runSlider->setPageStep(1);
    runSlider->setTickPosition(QSlider::TicksBelow);
    runSlider->setTickInterval(1);
    runSlider->setValue(startUp.runSlider);
    caption(runLabel, runSlider);
    runSlider->setAccessibleDescription(tr("From Short, 0, to Long, 10"));
    typeLabel = named(new QLabel(tr("&Type:")), "Label4");
    typeList = remembered("type", named(new QComboBox, "Combo1", {},
                                        tr("Top left to bottom right: in at one corner, out at the other; Grid: "
                                           "a plain rectangle; Custom: the shape painted in the matte editor")));
    styleLabel = named(new QLabel(tr("St&yle:")), "Label5");
    styleList = remembered("style", named(new QComboBox, "Combo2", {},
                                          tr("How corridors run: Normal; favouring across or down; or with a run "
                                             "length chosen at random at every turn")));
    caption(typeLabel, typeList);
    caption(styleLabel, styleList);
    appearanceLabel = named(new QLabel(tr("&Appearance:")), "Label6");

    appearanceGroup_ = remembered("appearance", new QButtonGroup(this));
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
    cityPlanOption->setToolTip(tr("Ragged black blocks like the streets of a town; printed only"));

    allowLoopsBox = remembered("loops", named(new QCheckBox(tr("Allow &loops")), "Check1", {},
                                              tr("Let the maze have more than one way between two places")));
    allowLoopsBox->setChecked(startUp.loops);
    loopAttemptsLabel = named(new QLabel(tr("Loo&p attempts:")), "Label7");
    loopPercentEdit = remembered("loopPercent",
                                 named(new QLineEdit(QString::number(startUp.loopPercent)), "Text1", {},
                                       tr("The chance, in percent, that a dead end is opened into a "
                                          "neighbouring corridor, making a loop")));
    percentLabel = named(new QLabel(tr("%")), "Label8");
    loopPercentEdit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    caption(loopAttemptsLabel, loopPercentEdit);
    loopAttemptsLabel->setToolTip(loopPercentEdit->toolTip());
    loopPercentEdit->setAccessibleDescription(tr("Percent"));
    for (QWidget *w : std::initializer_list<QWidget *>{loopAttemptsLabel, loopPercentEdit, percentLabel})
        w->setEnabled(startUp.loops);

    // A container of its own so the difficulty options form a separate group.
    difficultyPanel = named(new QWidget, "Picture1");
    difficultyLabel = named(new QLabel(tr("&Difficulty:")), "Label12");
    easierOption = named(new QRadioButton(tr("Easier")), "Option15");
    harderOption = named(new QRadioButton(tr("Harder (slower)")), "Option16");
    (startUp.difficulty == params::DifficultyChoice::Harder ? harderOption : easierOption)->setChecked(true);
    difficultyGroup_ = remembered("difficulty", new QButtonGroup(this));
    difficultyGroup_->addButton(easierOption, static_cast<int>(params::DifficultyChoice::Easier));
    difficultyGroup_->addButton(harderOption, static_cast<int>(params::DifficultyChoice::Harder));

    dimensionsFrame = named(new QGroupBox(tr("Dimensions")), "Frame2");
    widthLabel = named(new QLabel(tr("&Width:")), "Label9");
    widthEdit = remembered("width", named(new QLineEdit(QString::number(startUp.widthCells)), "Text2"));
    heightLabel = named(new QLabel(tr("&Height:")), "Label10");
    heightEdit = remembered("height", named(new QLineEdit(QString::number(startUp.heightCells)), "Text3"));
    gridSizeLabel = named(new QLabel(tr("Grid size: %1 x %2")
                                         .arg(params::node_count(startUp.widthCells))
                                         .arg(params::node_count(startUp.heightCells))),
                          "Label11");
    caption(widthLabel, widthEdit);
    caption(heightLabel, heightEdit);
    widthEdit->setAccessibleDescription(tr("Cells across"));
    heightEdit->setAccessibleDescription(tr("Cells down"));

    matteFrame = named(new QGroupBox(tr("Matte")), "Frame3");
    useMatteBox = named(new QCheckBox(tr("Use a &matte")), "Check2", {},
                        tr("Fit the maze into a shape painted in the matte editor"));
    editMatteButton = named(new QPushButton(tr("&Edit Matte")), "Command4", {},
                            tr("Paint which cells belong to the maze, and where it starts and finishes"));
    editMatteButton->setEnabled(false);
    matteNoteLabel = named(new QLabel(tr("The matte allows you to mask areas of the maze.")), "Label13");
    matteNoteLabel->setWordWrap(true);

    outputFrame = named(new QGroupBox(tr("&Output to")), "Frame4");
    printerOption = named(new QRadioButton, "Option13", {}, tr("Print the maze on one page of this printer"));
    bitmapOption = named(new QRadioButton(tr("Bitmap (.BMP) file")), "Option14");
    previewOption = named(new QRadioButton(tr("Screen (preview)")), "previewOption", {},
                          tr("Show the maze in a window, where it can be zoomed, solved, printed or saved"));
    printerOption->setChecked(true);
    outputGroup_ = remembered("output", new QButtonGroup(this));
    outputGroup_->addButton(printerOption, 0);
    outputGroup_->addButton(bitmapOption, 1);
    outputGroup_->addButton(previewOption, 2);
    setupButton = named(new QPushButton(tr("Set&up")), "Command3", {}, tr("Choose the printer and its paper"));
    marksBox = remembered("marks", named(new QCheckBox(tr("Mark start and &finish")), "marksBox", {},
                                         tr("Draw a disc on the start cell and a ring on the finish cell, in every output")));
    answerKeyBox = remembered("answerKey", named(new QCheckBox(tr("Answer &key")), "answerKeyBox", {},
                                                 tr("Also make the solution: a second printed page titled \"Answer key\", "
                                                    "or NAME-solution.bmp beside the bitmap")));

    generateButton = named(new QPushButton(tr("&Generate")), "Command1", {},
                           tr("Make a maze and send it to the output (Enter); while it is made, stop it (Escape)"));
    exitButton = named(new QPushButton(tr("E&xit")), "Command2");
    generateButton->setDefault(true);
    statusLabel = named(new QLabel, "Label14");
    progressBar = named(new QProgressBar, "ProgressBar1");
    progressBar->setAccessibleName(tr("Progress"));
    progressBar->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0")) * 24);
    progressBar->hide();

    menuBar = named(new QMenuBar(this), "MenuBar1");
    settingsMenu = menuBar->addMenu(tr("&Settings"));
    rememberAction = settingsMenu->addAction(tr("&Remember settings"));
    rememberAction->setCheckable(true);
    rememberAction->setToolTip(tr("Start with the parameters of the last run instead of the usual ones"));
    rememberAction->setStatusTip(rememberAction->toolTip());
    settingsMenu->setToolTipsVisible(true);

    // Enter on a focused button presses it, as in a dialog; elsewhere it generates.
    for (QPushButton *b : {generateButton, exitButton, setupButton, editMatteButton})
        b->setAutoDefault(true);

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

    appearancePanel = named(new QWidget, "AppearancePanel");
    auto *appearance = new QGridLayout(appearancePanel);
    appearance->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < static_cast<int>(std::size(appearanceMembers)); ++i)
        appearance->addWidget(*appearanceMembers[i], i % 4, i / 4);
    captionGroup(appearanceLabel, appearancePanel, appearanceGroup_);

    auto *loops = new QHBoxLayout;
    loops->addWidget(allowLoopsBox);
    loops->addSpacing(12);
    loops->addWidget(loopAttemptsLabel);
    loops->addWidget(loopPercentEdit);
    loops->addWidget(percentLabel);
    loops->addStretch();

    auto *difficulty = new QHBoxLayout(difficultyPanel);
    difficulty->setContentsMargins(0, 0, 0, 0);
    difficulty->addWidget(difficultyLabel);
    difficulty->addWidget(easierOption);
    difficulty->addWidget(harderOption);
    difficulty->addStretch();
    captionGroup(difficultyLabel, difficultyPanel, difficultyGroup_);

    auto *frame1 = new QVBoxLayout(parametersFrame);
    frame1->addLayout(run);
    frame1->addLayout(lists);
    frame1->addWidget(appearanceLabel);
    frame1->addWidget(appearancePanel);
    frame1->addLayout(loops);
    frame1->addWidget(difficultyPanel);
    frame1->addStretch();

    auto *frame2 = new QGridLayout(dimensionsFrame);
    frame2->addWidget(widthLabel, 0, 0);
    frame2->addWidget(widthEdit, 0, 1);
    frame2->addWidget(heightLabel, 1, 0);
    frame2->addWidget(heightEdit, 1, 1);
    frame2->addWidget(gridSizeLabel, 2, 0, 1, 2);

    auto *frame3 = new QVBoxLayout(matteFrame);
    auto *matteRow = new QHBoxLayout;
    matteRow->addWidget(useMatteBox);
    matteRow->addStretch();
    matteRow->addWidget(editMatteButton);
    frame3->addLayout(matteRow);
    frame3->addWidget(matteNoteLabel);

    auto *frame4 = new QGridLayout(outputFrame);
    frame4->addWidget(printerOption, 0, 0);
    frame4->addWidget(bitmapOption, 1, 0);
    frame4->addWidget(previewOption, 2, 0);
    frame4->addWidget(setupButton, 0, 1, 2, 1, Qt::AlignVCenter);
    frame4->addWidget(marksBox, 3, 0, 1, 2);
    frame4->addWidget(answerKeyBox, 4, 0, 1, 2);
    frame4->setColumnStretch(0, 1);

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
    buttons->addWidget(progressBar, 1);
    buttons->addWidget(generateButton);
    buttons->addWidget(exitButton);

    auto *top = new QVBoxLayout(this);
    top->setMenuBar(menuBar);
    top->addLayout(body);
    top->addLayout(buttons);

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
    connect(outputGroup_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            outputChosen();
    });
    connect(generateButton, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(exitButton, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(setupButton, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(editMatteButton, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(rememberAction, &QAction::toggled, this, &Form1::rememberChanged);
}

void Form1::Form_Load()
{
    state_ = MazeState{};
    state_.rng.seed(Random::clockSeed());
    setWindowTitle(programTitle());
    const QSignalBlocker quiet(rememberAction);
    rememberAction->setChecked(QSettings(settingsPath(), QSettings::IniFormat).value("remember").toBool());
}

QString Form1::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Corvanthel/Corvanthel.conf");
}

void Form1::rememberChanged(bool on)
{
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        settings.setValue("remember", on);
        // Turned off, nothing of the last run is kept.
        if (!on)
            settings.remove("parameters");
    }
    saveSettings();
}

void Form1::saveSettings() const
{
    if (!rememberAction->isChecked())
        return;
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup("parameters");
    for (const auto &[key, control] : remembered_) {
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            settings.setValue(key, edit->text());
        else if (auto *box = qobject_cast<QCheckBox *>(control))
            settings.setValue(key, box->isChecked());
        else if (auto *list = qobject_cast<QComboBox *>(control))
            settings.setValue(key, list->currentIndex());
        else if (auto *slider = qobject_cast<QSlider *>(control))
            settings.setValue(key, slider->value());
        else if (auto *group = qobject_cast<QButtonGroup *>(control))
            settings.setValue(key, group->checkedId());
    }
}

void Form1::restoreSettings()
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup("parameters");
    // Each value goes through its control as if the user set it, so every rule between
    // the controls holds; a value that no control can take is passed over.
    for (const auto &[key, control] : remembered_) {
        const QVariant value = settings.value(key);
        if (!value.isValid())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(value.toString().left(32));
        } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
            box->setChecked(value.toBool());
        } else if (auto *list = qobject_cast<QComboBox *>(control)) {
            // The matte itself is not kept between runs, so neither is its maze type.
            const int i = value.toInt();
            const bool matteType = list == typeList && i == int(params::position(params::MazeTypeChoice::CustomMatte));
            if (i >= 0 && i < list->count() && !matteType)
                list->setCurrentIndex(i);
        } else if (auto *slider = qobject_cast<QSlider *>(control)) {
            slider->setValue(value.toInt());
        } else if (auto *group = qobject_cast<QButtonGroup *>(control)) {
            if (QAbstractButton *b = group->button(value.toInt()); b && b->isEnabled())
                b->setChecked(true);
        }
    }
}

void Form1::Form_Activate()
{
    if (FirstActivation) {
        FirstActivation = false;
        {
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
        // Out of the blockers' reach: a restored type or style applies its rules to the other controls.
        if (rememberAction->isChecked())
            restoreSettings();
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
    saveSettings();
    QWidget::closeEvent(event);
    qApp->closeAllWindows();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Keys no control took: Enter generates, Escape stops a generation.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !generating_) {
        Command1_Click();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape && generating_) {
        Command1_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, tr("Corvanthel"), text, QMessageBox::Ok, this);
    box.exec();
}

#include "app/form1.h"
#include "app/progress_text.h"
#include "maze/parameters.h"
#include "maze/state.h"

#include <QCheckBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

namespace {

/// Answers the next modal message box with OK and keeps its text.
class MessageCatcher : public QObject {
public:
    QStringList texts;
    void arm()
    {
        QTimer::singleShot(0, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return arm();  // not shown yet
            texts << box->text();
            box->accept();
        });
    }
};

/// A list's row for a choice.
template <typename E>
int row(E choice)
{
    return static_cast<int>(params::position(choice));
}

void type(QLineEdit *box, const QString &text)
{
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClicks(box, text);
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startsWithTheStartUpValues();
    void widthAndHeightFollowEachKeystroke();
    void typedDimensions_data();
    void typedDimensions();
    void dimensionChangeRemovesTheMatte_data();
    void dimensionChangeRemovesTheMatte();
    void enablingRules();
    void choicesFollowTheControls();
    void matteCheckAndTypeListDriveEachOther();
    void cityPlanAndBitmapExcludeEachOther();
    void generateRefusesSizes_data();
    void generateRefusesSizes();
    void progressIsWordedAsTheCaptionsRead_data();
    void progressIsWordedAsTheCaptionsRead();
    void settingsLastOnlyWhenRemembered();

private:
    MazeState *state = nullptr;
    Form1 *form = nullptr;
};

void TestForm1::initTestCase()
{
    // Settings go to a folder of the test's own, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(Form1::settingsPath());
}

void TestForm1::init()
{
    state = new MazeState;
    form = new Form1(*state);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void TestForm1::cleanup()
{
    delete form;
    delete state;
}

void TestForm1::startsWithTheStartUpValues()
{
    QCOMPARE(form->windowTitle(), QStringLiteral("Corvanthel v%1.%2D").arg(CORVANTHEL_VERSION_MAJOR).arg(CORVANTHEL_VERSION_MINOR));
    QCOMPARE(QList<qint64>({state->GridWidth, state->GridHeight, state->StartX, state->FinishY}),
             QList<qint64>({101, 141, -1, -1}));
    QVERIFY(!state->UseMatte);
    QStringList types, styles;
    for (int i = 0; i < form->typeList->count(); ++i)
        types << form->typeList->itemText(i);
    for (int i = 0; i < form->styleList->count(); ++i)
        styles << form->styleList->itemText(i);
    QCOMPARE(types, QStringList({"Top left to bottom right", "Grid", "Custom (using matte)"}));
    QCOMPARE(styles, QStringList({"Normal", "Horizontal bias", "Vertical bias", "Random run"}));
    QCOMPARE(QStringList({form->typeList->currentText(), form->styleList->currentText(),
                          QString::number(form->runSlider->value()), form->widthEdit->text(), form->heightEdit->text(),
                          form->loopPercentEdit->text(), form->gridSizeLabel->text()}),
             QStringList({"Top left to bottom right", "Normal", "3", "50", "70", "10", "Grid size: 101 x 141"}));
    for (QAbstractButton *on : {form->thinLinesOption, form->easierOption, form->printerOption})
        QVERIFY2(on->isChecked(), qPrintable(on->objectName()));
    for (QAbstractButton *off : {form->allowLoopsBox, form->marksBox, form->answerKeyBox})
        QVERIFY2(!off->isChecked(), qPrintable(off->objectName()));
    QVERIFY(!form->loopPercentEdit->isEnabled());
    QVERIFY(!form->editMatteButton->isEnabled());
    // The three option groups are independent: difficulty sits in Picture1, a group of its own.
    QCOMPARE(form->findChild<QRadioButton *>("Option16"), form->harderOption);
    QCOMPARE(form->findChild<QLabel *>("Label14"), form->statusLabel);
    form->harderOption->click();
    QVERIFY(form->thinLinesOption->isChecked());
    QVERIFY(form->printerOption->isChecked());
}

void TestForm1::widthAndHeightFollowEachKeystroke()
{
    QStringList labels;
    connect(form->widthEdit, &QLineEdit::textChanged, this, [&] { labels << form->gridSizeLabel->text(); });
    type(form->widthEdit, "12");
    // "12" passes through "1" first.
    QCOMPARE(labels, QStringList({"Grid size: 3 x 141", "Grid size: 25 x 141"}));
    QCOMPARE(state->GridWidth, 25);
    type(form->heightEdit, "9");
    QCOMPARE(state->GridHeight, 19);
    QCOMPARE(form->gridSizeLabel->text(), "Grid size: 25 x 19");
}

void TestForm1::typedDimensions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("nodes");
    QTest::newRow("empty") << "" << qint64(1);
    QTest::newRow("7.9 truncates before doubling") << "7.9" << qint64(15);
    QTest::newRow("-2") << "-2" << qint64(-3);
    QTest::newRow("not a number") << "wide" << qint64(1);
    QTest::newRow("too large, shown as it is") << "20000" << qint64(40001);
}

void TestForm1::typedDimensions()
{
    QFETCH(QString, text);
    QFETCH(qint64, nodes);
    type(form->widthEdit, text);
    QCOMPARE(state->GridWidth, nodes);
    QCOMPARE(form->gridSizeLabel->text(), QStringLiteral("Grid size: %1 x 141").arg(nodes));
}

void TestForm1::dimensionChangeRemovesTheMatte_data()
{
    QTest::addColumn<bool>("height");
    QTest::newRow("width") << false;
    QTest::newRow("height") << true;
}

void TestForm1::dimensionChangeRemovesTheMatte()
{
    QFETCH(bool, height);
    form->useMatteBox->click();
    QVERIFY(state->UseMatte);
    state->StartX = state->StartY = 4;
    MessageCatcher catcher;
    catcher.arm();
    type(height ? form->heightEdit : form->widthEdit, "30");
    QCOMPARE(catcher.texts, QStringList("Changing the maze dimensions removes any matte added. "
                                        "You will need to re-specify the matte."));
    QVERIFY(!form->useMatteBox->isChecked());
    QVERIFY(!state->UseMatte);
    QCOMPARE(state->StartX, -1);
    QCOMPARE(form->typeList->currentText(), "Top left to bottom right");
}

void TestForm1::enablingRules()
{
    const QList<QWidget *> loopControls = {form->loopAttemptsLabel, form->loopPercentEdit, form->percentLabel};
    const QList<QWidget *> runControls = {form->runSlider, form->runLabel, form->shortLabel, form->longLabel};
    form->allowLoopsBox->click();
    for (QWidget *w : loopControls)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    form->allowLoopsBox->click();
    for (QWidget *w : loopControls)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));

    form->styleList->setCurrentIndex(row(params::RunStyleChoice::RandomRun));
    for (QWidget *w : runControls)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    form->styleList->setCurrentIndex(row(params::RunStyleChoice::HorizontalBias));
    for (QWidget *w : runControls)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
}

void TestForm1::choicesFollowTheControls()
{
    // Each appearance button stands for the appearance of its caption.
    for (int i = 1; i <= 12; ++i) {
        auto *option = form->findChild<QRadioButton *>(QStringLiteral("Option%1").arg(i));
        option->click();
        QCOMPARE(QLatin1String(params::Appearances[params::position(form->choices().appearance)].caption), option->text());
    }
    for (int i = 0; i < form->styleList->count(); ++i) {
        form->styleList->setCurrentIndex(i);
        QCOMPARE(QLatin1String(params::RunStyles[params::position(form->choices().runStyle)].caption),
                 form->styleList->itemText(i));
    }
    form->typeList->setCurrentIndex(row(params::MazeTypeChoice::Grid));
    QCOMPARE(form->choices().type, params::MazeTypeChoice::Grid);
    form->harderOption->click();
    QCOMPARE(form->choices().difficulty, params::DifficultyChoice::Harder);
    form->runSlider->setValue(9);
    QCOMPARE(form->choices().runSlider, 9);
    type(form->widthEdit, "7.9");
    type(form->heightEdit, "12abc");
    QCOMPARE(form->choices().widthCells, 7.9);
    QCOMPARE(form->choices().heightCells, 12.0);
    QVERIFY(!form->choices().loops);
    form->allowLoopsBox->click();
    type(form->loopPercentEdit, "-3");
    QVERIFY(form->choices().loops);
    QCOMPARE(form->choices().loopPercent, -3.0);
    QVERIFY(!form->choices().marks);
    QVERIFY(!form->choices().answerKey);
    form->marksBox->click();
    form->answerKeyBox->click();
    QVERIFY(form->choices().marks);
    QVERIFY(form->choices().answerKey);
}

void TestForm1::matteCheckAndTypeListDriveEachOther()
{
    int typeChanges = 0;
    connect(form->typeList, &QComboBox::currentIndexChanged, this, [&] { ++typeChanges; });

    form->useMatteBox->click();
    QCOMPARE(form->typeList->currentText(), "Custom (using matte)");
    QVERIFY(state->UseMatte);
    QVERIFY(form->editMatteButton->isEnabled());
    QCOMPARE(typeChanges, 1);

    form->typeList->setCurrentIndex(row(params::MazeTypeChoice::Grid));
    QVERIFY(!form->useMatteBox->isChecked());
    QVERIFY(!state->UseMatte);
    QVERIFY(!form->editMatteButton->isEnabled());
    QCOMPARE(form->typeList->currentText(), "Grid");  // unchecking does not override the choice

    form->typeList->setCurrentIndex(row(params::MazeTypeChoice::CustomMatte));
    QVERIFY(form->useMatteBox->isChecked());
    QVERIFY(form->editMatteButton->isEnabled());

    // Unchecking clears the points even when no matte was drawn.
    state->StartX = 6;
    state->FinishX = 8;
    form->useMatteBox->click();
    QCOMPARE(form->typeList->currentText(), "Top left to bottom right");
    QCOMPARE(QList<int>({state->StartX, state->StartY, state->FinishX, state->FinishY}), QList<int>({-1, -1, -1, -1}));
}

void TestForm1::cityPlanAndBitmapExcludeEachOther()
{
    form->cityPlanOption->click();
    QVERIFY(!form->bitmapOption->isEnabled());
    form->shadedOption->click();
    QVERIFY(form->bitmapOption->isEnabled());

    form->cityPlanOption->click();
    form->bitmapOption->setEnabled(true);  // even if it could be chosen, the choice is undone
    form->bitmapOption->click();
    QVERIFY(form->thinLinesOption->isChecked());
    QVERIFY(!form->cityPlanOption->isEnabled());

    form->printerOption->click();
    QVERIFY(form->cityPlanOption->isEnabled());
    // City plan can be previewed, as it can be printed.
    form->bitmapOption->click();
    form->previewOption->click();
    QVERIFY(form->cityPlanOption->isEnabled());
}

void TestForm1::generateRefusesSizes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("widthAfter");
    QTest::addColumn<QString>("heightAfter");
    const QString grid = "Sorry, grid mazes must be at least 7 x 7.";
    const QString tlbr = "Sorry, grid mazes must be at least 4 x 4.";
    const int gridRow = row(params::MazeTypeChoice::Grid);
    const int tlbrRow = row(params::MazeTypeChoice::TopLeftToBottomRight);
    QTest::newRow("grid 6 x 70") << gridRow << "6" << "70" << grid << "7" << "70";
    QTest::newRow("grid 6.5 wide") << gridRow << "6.5" << "70" << grid << "7" << "70";
    QTest::newRow("grid 50 x 3") << gridRow << "50" << "3" << grid << "50" << "7";
    QTest::newRow("tlbr 3.5 wide") << tlbrRow << "3.5" << "70" << tlbr << "4" << "70";
    QTest::newRow("tlbr 2 x 2") << tlbrRow << "2" << "2" << tlbr << "4" << "4";
    // Too large is refused as typed: nothing is changed.
    QTest::newRow("16384 wide") << tlbrRow << "16384" << "70" << "16383" << "16384" << "70";
}

void TestForm1::generateRefusesSizes()
{
    QFETCH(int, type);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, message);
    QFETCH(QString, widthAfter);
    QFETCH(QString, heightAfter);
    form->typeList->setCurrentIndex(type);
    form->widthEdit->setText(width);
    form->heightEdit->setText(height);
    MessageCatcher catcher;
    catcher.arm();
    form->generateButton->click();
    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY2(catcher.texts[0].contains(message), qPrintable(catcher.texts[0]));
    QCOMPARE(form->widthEdit->text(), widthAfter);
    QCOMPARE(form->heightEdit->text(), heightAfter);
    QCOMPARE(state->GridWidth, 2 * widthAfter.toInt() + 1);
    QVERIFY(state->grid.empty());
}

void TestForm1::progressIsWordedAsTheCaptionsRead_data()
{
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("caption");
    QTest::newRow("carving") << Phase::Generating << -1 << "Generating...";
    QTest::newRow("output begins") << Phase::Rendering << -1 << "Rendering";
    QTest::newRow("a drawn row") << Phase::Rendering << 37 << "Rendering - 37%";
    QTest::newRow("a printed row") << Phase::Printing << 100 << "Printing - 100%";
    QTest::newRow("monochrome begins") << Phase::RenderingToDisk << -1 << "Rendering direct to disk";
    QTest::newRow("monochrome row") << Phase::RenderingToDisk << 0 << "Rendering direct to disk - 0%";
    QTest::newRow("saving") << Phase::Saving << -1 << "Saving...";
}

void TestForm1::progressIsWordedAsTheCaptionsRead()
{
    QFETCH(Phase, phase);
    QFETCH(int, percent);
    QFETCH(QString, caption);
    QCOMPARE(progress_caption(phase, percent), caption);
    QCOMPARE(nodes_drawn_text(3452), QStringLiteral("Nodes drawn: 3452"));
}

void TestForm1::settingsLastOnlyWhenRemembered()
{
    const auto parameters = [](Form1 *f) {
        return QStringList{f->widthEdit->text(), f->heightEdit->text(), f->typeList->currentText(),
                           f->styleList->currentText(), QString::number(f->runSlider->value()),
                           f->planksOption->isChecked() ? "Planks" : "other", f->allowLoopsBox->isChecked() ? "loops" : "",
                           f->loopPercentEdit->text(), f->harderOption->isChecked() ? "harder" : "easier",
                           f->bitmapOption->isChecked() ? "bitmap" : "printer"};
    };
    const auto reopen = [&] {
        delete form;
        *state = MazeState{};
        form = new Form1(*state);
        form->show();
        return QTest::qWaitForWindowExposed(form);
    };
    const QStringList startUp = parameters(form);
    const auto change = [&] {
        type(form->widthEdit, "31");
        type(form->heightEdit, "17");
        form->typeList->setCurrentIndex(row(params::MazeTypeChoice::Grid));
        form->styleList->setCurrentIndex(row(params::RunStyleChoice::VerticalBias));
        form->runSlider->setValue(8);
        form->planksOption->click();
        form->allowLoopsBox->click();
        type(form->loopPercentEdit, "35");
        form->harderOption->click();
        form->bitmapOption->click();
    };
    const QStringList changed{"31", "17", "Grid", "Vertical bias", "8", "Planks", "loops", "35", "harder", "bitmap"};

    // Off, as at first: nothing is kept, and the window starts as it always has.
    QVERIFY(!form->rememberAction->isChecked());
    change();
    QCOMPARE(parameters(form), changed);
    form->close();
    QVERIFY(reopen());
    QCOMPARE(parameters(form), startUp);
    QVERIFY(!QFile::exists(Form1::settingsPath()));

    // On: closing keeps what the controls hold, and the next start shows it, the rules between the
    // controls kept (the loop box enabled with its check).
    form->rememberAction->trigger();
    change();
    form->close();
    QVERIFY(reopen());
    QVERIFY(form->rememberAction->isChecked());
    QCOMPARE(parameters(form), changed);
    QVERIFY(form->loopPercentEdit->isEnabled());
    QCOMPARE(state->GridWidth, 63);
    form->styleList->setCurrentIndex(row(params::RunStyleChoice::RandomRun));
    form->close();
    QVERIFY(reopen());
    QVERIFY(!form->runSlider->isEnabled());

    // A matte is not kept, so neither is its maze type.
    form->useMatteBox->click();
    form->close();
    QVERIFY(reopen());
    QCOMPARE(form->typeList->currentText(), "Top left to bottom right");
    QVERIFY(!form->useMatteBox->isChecked());

    // Off again: the next start is the usual one, whatever was kept before.
    form->rememberAction->trigger();
    form->close();
    QVERIFY(reopen());
    QVERIFY(!form->rememberAction->isChecked());
    QCOMPARE(parameters(form), startUp);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

#include "app/form1.h"
#include "app/progress_text.h"
#include "maze/state.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
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
    void init();
    void cleanup();
    void startsWithTheStartUpValues();
    void widthAndHeightFollowEachKeystroke();
    void typedDimensions_data();
    void typedDimensions();
    void dimensionChangeRemovesTheMatte_data();
    void dimensionChangeRemovesTheMatte();
    void enablingRules();
    void matteCheckAndTypeListDriveEachOther();
    void cityPlanAndBitmapExcludeEachOther();
    void generateRefusesSmallSizes_data();
    void generateRefusesSmallSizes();
    void generateRefusesHugeSizesAndChangesNothing();
    void progressIsWordedAsTheCaptionsRead_data();
    void progressIsWordedAsTheCaptionsRead();

private:
    MazeState *state = nullptr;
    Form1 *form = nullptr;
};

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
    QVERIFY(form->typeList->currentIndex() == 0 && form->styleList->currentIndex() == 0);
    QCOMPARE(form->runSlider->value(), 3);
    QVERIFY(form->thinLinesOption->isChecked() && form->easierOption->isChecked() && form->printerOption->isChecked());
    QVERIFY(!form->printerOption->text().isEmpty());
    QCOMPARE(form->gridSizeLabel->text(), "Grid size: 101 x 141");
    QVERIFY(!form->loopPercentEdit->isEnabled());
    QVERIFY(!form->allowLoopsBox->isChecked());
    QVERIFY(!form->editMatteButton->isEnabled());
    // The three option groups are independent: difficulty sits in Picture1, a group of its own.
    QVERIFY(form->findChild<QRadioButton *>("Option16") && form->findChild<QLabel *>("Label14"));
    form->harderOption->click();
    QVERIFY(form->thinLinesOption->isChecked() && form->printerOption->isChecked());
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
    QCOMPARE(form->typeList->currentIndex(), 0);
}

void TestForm1::enablingRules()
{
    auto enabled = [](std::initializer_list<QWidget *> widgets) {
        return std::all_of(widgets.begin(), widgets.end(), [](QWidget *w) { return w->isEnabled(); });
    };
    auto disabled = [](std::initializer_list<QWidget *> widgets) {
        return std::none_of(widgets.begin(), widgets.end(), [](QWidget *w) { return w->isEnabled(); });
    };
    form->allowLoopsBox->click();
    QVERIFY(enabled({form->loopAttemptsLabel, form->loopPercentEdit, form->percentLabel}));
    form->allowLoopsBox->click();
    QVERIFY(disabled({form->loopAttemptsLabel, form->loopPercentEdit, form->percentLabel}));

    form->styleList->setCurrentIndex(3);  // "Random run"
    QVERIFY(disabled({form->runSlider, form->runLabel, form->shortLabel, form->longLabel}));
    form->styleList->setCurrentIndex(1);
    QVERIFY(enabled({form->runSlider, form->runLabel, form->shortLabel, form->longLabel}));
}

void TestForm1::matteCheckAndTypeListDriveEachOther()
{
    int typeChanges = 0;
    connect(form->typeList, &QComboBox::currentIndexChanged, this, [&] { ++typeChanges; });

    form->useMatteBox->click();
    QCOMPARE(form->typeList->currentText(), "Custom (using matte)");
    QVERIFY(state->UseMatte && form->editMatteButton->isEnabled());
    QCOMPARE(typeChanges, 1);

    form->typeList->setCurrentIndex(1);  // "Grid"
    QVERIFY(!form->useMatteBox->isChecked() && !state->UseMatte && !form->editMatteButton->isEnabled());
    QCOMPARE(form->typeList->currentIndex(), 1);  // unchecking does not override the choice

    form->typeList->setCurrentIndex(2);
    QVERIFY(form->useMatteBox->isChecked() && form->editMatteButton->isEnabled());

    // Unchecking clears the points even when no matte was drawn.
    state->StartX = 6;
    state->FinishX = 8;
    form->useMatteBox->click();
    QCOMPARE(form->typeList->currentIndex(), 0);
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
}

void TestForm1::generateRefusesSmallSizes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("widthAfter");
    QTest::addColumn<QString>("heightAfter");
    const QString grid = "Sorry, grid mazes must be at least 7 x 7.";
    const QString tlbr = "Sorry, grid mazes must be at least 4 x 4.";
    QTest::newRow("grid 6 x 70") << 1 << "6" << "70" << grid << "7" << "70";
    QTest::newRow("grid 6.5 wide") << 1 << "6.5" << "70" << grid << "7" << "70";
    QTest::newRow("grid 50 x 3") << 1 << "50" << "3" << grid << "50" << "7";
    QTest::newRow("tlbr 3.5 wide") << 0 << "3.5" << "70" << tlbr << "4" << "70";
    QTest::newRow("tlbr 2 x 2") << 0 << "2" << "2" << tlbr << "4" << "4";
}

void TestForm1::generateRefusesSmallSizes()
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
    QCOMPARE(catcher.texts, QStringList(message));
    QCOMPARE(form->widthEdit->text(), widthAfter);
    QCOMPARE(form->heightEdit->text(), heightAfter);
    QCOMPARE(state->GridWidth, 2 * widthAfter.toInt() + 1);
    QVERIFY(state->grid.empty());
}

void TestForm1::generateRefusesHugeSizesAndChangesNothing()
{
    form->widthEdit->setText("16384");
    MessageCatcher catcher;
    catcher.arm();
    form->generateButton->click();
    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY2(catcher.texts[0].contains("16383"), qPrintable(catcher.texts[0]));
    QCOMPARE(form->widthEdit->text(), "16384");
    QCOMPARE(state->GridWidth, 32769);
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

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

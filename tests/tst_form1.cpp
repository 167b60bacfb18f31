#include "app/form1.h"
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
    for (int i = 0; i < form->Combo1->count(); ++i)
        types << form->Combo1->itemText(i);
    for (int i = 0; i < form->Combo2->count(); ++i)
        styles << form->Combo2->itemText(i);
    QCOMPARE(types, QStringList({"Top left to bottom right", "Grid", "Custom (using matte)"}));
    QCOMPARE(styles, QStringList({"Normal", "Horizontal bias", "Vertical bias", "Random run"}));
    QVERIFY(form->Combo1->currentIndex() == 0 && form->Combo2->currentIndex() == 0);
    QCOMPARE(form->Slider1->value(), 3);
    QVERIFY(form->Option1->isChecked() && form->Option15->isChecked() && form->Option13->isChecked());
    QVERIFY(!form->Option13->text().isEmpty());
    QCOMPARE(form->Label11->text(), "Grid size: 101 x 141");
    QVERIFY(!form->Text1->isEnabled() && !form->Check1->isChecked() && !form->Command4->isEnabled());
    // The three option groups are independent: difficulty sits in Picture1, a group of its own.
    QVERIFY(form->findChild<QRadioButton *>("Option16") && form->findChild<QLabel *>("Label14"));
    form->Option16->click();
    QVERIFY(form->Option1->isChecked() && form->Option13->isChecked());
}

void TestForm1::widthAndHeightFollowEachKeystroke()
{
    QStringList labels;
    connect(form->Text2, &QLineEdit::textChanged, this, [&] { labels << form->Label11->text(); });
    type(form->Text2, "12");
    // "12" passes through "1" first.
    QCOMPARE(labels, QStringList({"Grid size: 3 x 141", "Grid size: 25 x 141"}));
    QCOMPARE(state->GridWidth, 25);
    type(form->Text3, "9");
    QCOMPARE(state->GridHeight, 19);
    QCOMPARE(form->Label11->text(), "Grid size: 25 x 19");
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
    type(form->Text2, text);
    QCOMPARE(state->GridWidth, nodes);
    QCOMPARE(form->Label11->text(), QStringLiteral("Grid size: %1 x 141").arg(nodes));
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
    form->Check2->click();
    QVERIFY(state->UseMatte);
    state->StartX = state->StartY = 4;
    MessageCatcher catcher;
    catcher.arm();
    type(height ? form->Text3 : form->Text2, "30");
    QCOMPARE(catcher.texts, QStringList("Changing the maze dimensions removes any matte added. "
                                        "You will need to re-specify the matte."));
    QVERIFY(!form->Check2->isChecked());
    QVERIFY(!state->UseMatte);
    QCOMPARE(state->StartX, -1);
    QCOMPARE(form->Combo1->currentIndex(), 0);
}

void TestForm1::enablingRules()
{
    auto enabled = [](std::initializer_list<QWidget *> widgets) {
        return std::all_of(widgets.begin(), widgets.end(), [](QWidget *w) { return w->isEnabled(); });
    };
    auto disabled = [](std::initializer_list<QWidget *> widgets) {
        return std::none_of(widgets.begin(), widgets.end(), [](QWidget *w) { return w->isEnabled(); });
    };
    form->Check1->click();
    QVERIFY(enabled({form->Label7, form->Text1, form->Label8}));
    form->Check1->click();
    QVERIFY(disabled({form->Label7, form->Text1, form->Label8}));

    form->Combo2->setCurrentIndex(3);  // "Random run"
    QVERIFY(disabled({form->Slider1, form->Label1, form->Label2, form->Label3}));
    form->Combo2->setCurrentIndex(1);
    QVERIFY(enabled({form->Slider1, form->Label1, form->Label2, form->Label3}));
}

void TestForm1::matteCheckAndTypeListDriveEachOther()
{
    int typeChanges = 0;
    connect(form->Combo1, &QComboBox::currentIndexChanged, this, [&] { ++typeChanges; });

    form->Check2->click();
    QCOMPARE(form->Combo1->currentText(), "Custom (using matte)");
    QVERIFY(state->UseMatte && form->Command4->isEnabled());
    QCOMPARE(typeChanges, 1);

    form->Combo1->setCurrentIndex(1);  // "Grid"
    QVERIFY(!form->Check2->isChecked() && !state->UseMatte && !form->Command4->isEnabled());
    QCOMPARE(form->Combo1->currentIndex(), 1);  // unchecking does not override the choice

    form->Combo1->setCurrentIndex(2);
    QVERIFY(form->Check2->isChecked() && form->Command4->isEnabled());

    // Unchecking clears the points even when no matte was drawn.
    state->StartX = 6;
    state->FinishX = 8;
    form->Check2->click();
    QCOMPARE(form->Combo1->currentIndex(), 0);
    QCOMPARE(QList<int>({state->StartX, state->StartY, state->FinishX, state->FinishY}), QList<int>({-1, -1, -1, -1}));
}

void TestForm1::cityPlanAndBitmapExcludeEachOther()
{
    form->Option12->click();
    QVERIFY(!form->Option14->isEnabled());
    form->Option9->click();
    QVERIFY(form->Option14->isEnabled());

    form->Option12->click();
    form->Option14->setEnabled(true);  // even if it could be chosen, the choice is undone
    form->Option14->click();
    QVERIFY(form->Option1->isChecked());
    QVERIFY(!form->Option12->isEnabled());

    form->Option13->click();
    QVERIFY(form->Option12->isEnabled());
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
    form->Combo1->setCurrentIndex(type);
    form->Text2->setText(width);
    form->Text3->setText(height);
    MessageCatcher catcher;
    catcher.arm();
    form->Command1->click();
    QCOMPARE(catcher.texts, QStringList(message));
    QCOMPARE(form->Text2->text(), widthAfter);
    QCOMPARE(form->Text3->text(), heightAfter);
    QCOMPARE(state->GridWidth, 2 * widthAfter.toInt() + 1);
    QVERIFY(state->grid.empty());
}

void TestForm1::generateRefusesHugeSizesAndChangesNothing()
{
    form->Text2->setText("16384");
    MessageCatcher catcher;
    catcher.arm();
    form->Command1->click();
    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY2(catcher.texts[0].contains("16383"), qPrintable(catcher.texts[0]));
    QCOMPARE(form->Text2->text(), "16384");
    QCOMPARE(state->GridWidth, 32769);
    QVERIFY(state->grid.empty());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

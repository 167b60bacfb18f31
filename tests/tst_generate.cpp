#include "app/form1.h"
#include "matte/matte_canvas.h"
#include "matte/matte_editor.h"
#include "maze/state.h"
#include "render/output_context.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPrinterInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include <functional>

namespace {

bool ready(QWidget *) { return true; }
// The set-up yields to the event loop before it lays out the matte's cells.
bool ready(Form4 *editor) { return !editor->firstActivation() && editor->matte().cols() > 0; }

/// Runs `step` on the next modal window of type T once it shows and has set itself up.
template <typename T>
void whenShown(QObject *context, std::function<void(T *)> step)
{
    QTimer::singleShot(0, context, [context, step] {
        auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (window && ready(window))
            step(window);
        else
            whenShown<T>(context, step);
    });
}

int carvedCells(const MazeState &s)
{
    int n = 0;
    for (int y = 2; y < s.grid.height(); y += 2)
        for (int x = 2; x < s.grid.width(); x += 2)
            n += s.grid.carved(x, y);
    return n;
}

void clickCell(Form4 *editor, int cx, int cy)
{
    MatteCanvas *canvas = editor->matteCanvas;
    const int size = editor->cellSize();
    const QPoint at(canvas->border() + cx * size + size / 2, canvas->border() + cy * size + size / 2);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
}

} // namespace

class TestGenerate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultMazeToABitmap();
    void everyTypeAppearanceAndDifficulty();
    void printerOutputWithoutAPrinterOffersAPdf();
    void closingDuringAGenerationStopsCleanly();
    void matteTypeWithoutAMatteOpensTheEditor();
    void paintedMatteRoundTrip();

private:
    QTemporaryDir dir;
    MazeState *state = nullptr;
    Form1 *form = nullptr;
    QStringList fileRequests;
    QStringList messages;
    QString nextFile;
};

void TestGenerate::init()
{
    state = new MazeState;
    form = new Form1(*state);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    state->rng.seed(1234);
    fileRequests.clear();
    messages.clear();
    nextFile = dir.filePath("maze.bmp");
    form->adjustOutput = [this](OutputContext &ctx) {
        ctx.askFileName = [this](const QString &filter) {
            fileRequests << filter;
            return nextFile;
        };
        ctx.askTooLarge = [] { return false; };
        ctx.reportError = [this](const QString &text) { messages << text; };
    };
}

void TestGenerate::cleanup()
{
    delete form;
    delete state;
    QFile::remove(dir.filePath("maze.bmp"));
}

void TestGenerate::defaultMazeToABitmap()
{
    form->bitmapOption->click();
    form->generateButton->click();

    QCOMPARE(fileRequests, QStringList("Bitmap files (*.bmp)"));
    QVERIFY(messages.isEmpty());
    const QImage picture(nextFile);
    QCOMPARE(picture.size(), QSize(515, 715));
    // The start cell and the finish corner: 3452 cells in all, 49 of them blocked.
    QCOMPARE(carvedCells(*state), 3452);
    QVERIFY(state->grid.carved(92, 132));
    // Back at rest: caption, status line, pointer and the points of a framed maze.
    QCOMPARE(form->windowTitle(), Form1::programTitle());
    QCOMPARE(form->statusLabel->text(), QString());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(form->parametersFrame->isEnabled() && form->generateButton->isEnabled());
    QCOMPARE(state->StartX, -1);
    QCOMPARE(state->FinishY, -1);
    QCOMPARE(state->MazeStyle, 1);
    QCOMPARE(state->RunLength, 3);
}

void TestGenerate::everyTypeAppearanceAndDifficulty()
{
    form->bitmapOption->click();
    form->widthEdit->setText("12");
    form->heightEdit->setText("9");
    const int tileSize[] = {5, 10, 36, 36, 4, 36, 36, 36, 5, 36, 28};
    QRadioButton *appearances[] = {form->thinLinesOption,   form->thickLinesOption, form->thinRoundedOption,
                                   form->circuitsOption,    form->mediumLinesOption, form->plumbingOption,
                                   form->fencesOption,      form->doubleLineOption, form->shadedOption,
                                   form->planksOption,      form->tinyBricksOption};
    for (int type : {0, 1})
        for (int a = 0; a < 11; ++a)
            for (bool harder : {false, true})
                for (bool loops : {false, true}) {
                    const QString label = QStringLiteral("type %1 appearance %2 harder %3 loops %4").arg(type).arg(a).arg(harder).arg(loops);
                    form->typeList->setCurrentIndex(type);
                    appearances[a]->click();
                    (harder ? form->harderOption : form->easierOption)->click();
                    form->allowLoopsBox->setChecked(loops);
                    form->loopPercentEdit->setText("100");
                    QFile::remove(nextFile);
                    form->generateButton->click();
                    const QImage picture(nextFile);
                    QVERIFY2(picture.size() == QSize(tileSize[a] * 27, tileSize[a] * 21), qPrintable(label));
                    QVERIFY2(messages.isEmpty(), qPrintable(label));
                    QCOMPARE(state->LoopChance, loops ? 25.0f : 0.0f);
                    QVERIFY2(carvedCells(*state) > 20, qPrintable(label));
                }
}

void TestGenerate::printerOutputWithoutAPrinterOffersAPdf()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("a printer is installed on this machine: the real queue is tested by tst_print");
    nextFile = dir.filePath("page.pdf");
    form->cityPlanOption->click();  // City plan, printed only
    form->generateButton->click();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains("PDF"), qPrintable(messages[0]));
    QFile pdf(nextFile);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5).startsWith("%PDF"));
    QCOMPARE(state->MazeStyle, 0);  // City plan keeps the previous (start-up) set
}

void TestGenerate::closingDuringAGenerationStopsCleanly()
{
    form->bitmapOption->click();
    form->widthEdit->setText("300");
    form->heightEdit->setText("300");
    // The close arrives at the walk's first look at the event queue.
    QTimer::singleShot(0, form, [this] { form->close(); });
    form->generateButton->click();
    QVERIFY(fileRequests.isEmpty());
    QVERIFY(!QFile::exists(nextFile));
    QVERIFY(!form->isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

void TestGenerate::matteTypeWithoutAMatteOpensTheEditor()
{
    form->useMatteBox->click();
    bool editorShown = false;
    QString message;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        message = box->text();
        whenShown<Form4>(this, [&](Form4 *editor) {
            editorShown = true;
            editor->cancelButton->click();
        });
        box->accept();
    });
    form->generateButton->click();
    QCOMPARE(message, "Use the matte editor to draw a matte and set start and finish points before continuing.");
    QVERIFY(editorShown);
    QVERIFY(!form->useMatteBox->isChecked());
    QCOMPARE(form->typeList->currentIndex(), 0);
    QVERIFY(fileRequests.isEmpty());
}

void TestGenerate::paintedMatteRoundTrip()
{
    form->widthEdit->setText("10");
    form->heightEdit->setText("8");
    form->useMatteBox->click();
    // A wall of paper down column 5 with a gap at the bottom; start top left, finish top right.
    whenShown<Form4>(this, [](Form4 *editor) {
        editor->paperPen->click();
        for (int cy = 0; cy < 7; ++cy)
            clickCell(editor, 4, cy);
        editor->startPen->click();
        clickCell(editor, 0, 0);
        editor->finishPen->click();
        clickCell(editor, 9, 0);
        editor->okButton->click();
    });
    form->editMatteButton->click();
    QVERIFY(state->UseMatte);
    QVERIFY(form->useMatteBox->isChecked());
    QCOMPARE(state->StartX, 2);
    QCOMPARE(state->FinishX, 20);

    form->bitmapOption->click();
    form->generateButton->click();
    QVERIFY(messages.isEmpty());
    QVERIFY(QFile::exists(nextFile));
    // Every painted-in cell is carved, no paper cell is, and the walk went round the wall.
    for (int cy = 0; cy < 8; ++cy)
        for (int cx = 0; cx < 10; ++cx) {
            const bool paper = cx == 4 && cy < 7;
            QCOMPARE(state->grid.carved(2 * cx + 2, 2 * cy + 2), !paper);
            QCOMPARE(state->grid.blocked(2 * cx + 2, 2 * cy + 2), paper);
        }
    // A matte maze keeps its points for the next Generate.
    QCOMPARE(state->StartX, 2);
    QCOMPARE(state->FinishY, 2);
}

QTEST_MAIN(TestGenerate)
#include "tst_generate.moc"

#include "app/form1.h"
#include "matte/matte_canvas.h"
#include "matte/matte_editor.h"
#include "maze/parameters.h"
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
#include <utility>
#include <vector>

namespace {

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

struct Passages {
    int cells;     // carved cells
    int passages;  // carved walls between two carved cells
    int reached;   // carved cells reached from the first one through passages
};

Passages passagesOf(const MazeState &s)
{
    const NodeGrid &g = s.grid;
    auto cell = [&](int x, int y) { return x >= 2 && y >= 2 && x < g.width() && y < g.height() && g.carved(x, y); };
    Passages p{carvedCells(s), 0, 0};
    std::vector<char> seen(g.nodeCount(), 0);
    std::vector<std::pair<int, int>> stack;
    for (int y = 2; y < g.height() && stack.empty(); y += 2)
        for (int x = 2; x < g.width() && stack.empty(); x += 2)
            if (cell(x, y))
                stack.emplace_back(x, y), seen[g.index(x, y)] = 1;
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        ++p.reached;
        for (int d = 1; d <= 4; ++d) {
            const int nx = x + 2 * StepX[d], ny = y + 2 * StepY[d];
            if (!cell(nx, ny) || !g.carved(x + StepX[d], y + StepY[d]))
                continue;
            p.passages += d <= 2;  // each passage once, from its left or upper cell
            if (!seen[g.index(nx, ny)])
                stack.emplace_back(nx, ny), seen[g.index(nx, ny)] = 1;
        }
    }
    return p;
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
    void typesDifficultiesAndLoops_data();
    void typesDifficultiesAndLoops();
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
    QVERIFY(form->parametersFrame->isEnabled());
    QVERIFY(form->generateButton->isEnabled());
    QCOMPARE(state->StartX, -1);
    QCOMPARE(state->FinishY, -1);
    QCOMPARE(state->MazeStyle, 1);
    QCOMPARE(state->RunLength, 3);
}

void TestGenerate::typesDifficultiesAndLoops_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("harder");
    QTest::addColumn<bool>("loops");
    QTest::addColumn<QString>("appearance");
    const int tlbr = int(params::position(params::MazeTypeChoice::TopLeftToBottomRight));
    const int grid = int(params::position(params::MazeTypeChoice::Grid));
    QTest::newRow("top left to bottom right") << tlbr << false << false << "Option1";
    QTest::newRow("top left to bottom right, loops") << tlbr << false << true << "Option4";
    QTest::newRow("top left to bottom right, harder") << tlbr << true << false << "Option7";
    QTest::newRow("top left to bottom right, harder, loops") << tlbr << true << true << "Option10";
    QTest::newRow("grid") << grid << false << false << "Option2";
    QTest::newRow("grid, loops") << grid << false << true << "Option5";
    QTest::newRow("grid, harder") << grid << true << false << "Option8";
    QTest::newRow("grid, harder, loops") << grid << true << true << "Option11";
}

void TestGenerate::typesDifficultiesAndLoops()
{
    QFETCH(int, type);
    QFETCH(bool, harder);
    QFETCH(bool, loops);
    QFETCH(QString, appearance);
    form->bitmapOption->click();
    form->widthEdit->setText("12");
    form->heightEdit->setText("9");
    form->typeList->setCurrentIndex(type);
    form->findChild<QRadioButton *>(appearance)->click();
    (harder ? form->harderOption : form->easierOption)->click();
    form->allowLoopsBox->setChecked(loops);
    form->loopPercentEdit->setText("100");
    form->generateButton->click();
    QCOMPARE(messages, QStringList());

    // Square tiles on 25 x 19 nodes and a margin of one node all round.
    const QImage picture(nextFile);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.width() % 27, 0);
    QCOMPARE(picture.height() * 27, picture.width() * 21);

    // Every cell is reached; without loops the passages form a tree, with loops at 25%
    // a 108-cell maze has some cycle.
    const auto [cells, passages, reached] = passagesOf(*state);
    QCOMPARE(reached, cells);
    if (loops)
        QVERIFY2(passages > cells - 1, qPrintable(QStringLiteral("%1 passages").arg(passages)));
    else
        QCOMPARE(passages, cells - 1);
    QCOMPARE(state->Harder, harder);
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
    QCOMPARE(form->choices().type, params::MazeTypeChoice::TopLeftToBottomRight);
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

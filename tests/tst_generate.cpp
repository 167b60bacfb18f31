#include "app/form1.h"
#include "app/preview_window.h"
#include "matte/matte_canvas.h"
#include "matte/matte_editor.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/output_context.h"
#include "render/text_maze.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPrinterInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include "tests/matte_maze.h"
#include "tests/support.h"

#include <functional>

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

/// What the maze holds, walked from its first carved cell: a maze without a matte keeps no start.
Carving carving(MazeState s)
{
    for (int y = 2; y < s.grid.height() && s.StartX < 0; y += 2)
        for (int x = 2; x < s.grid.width() && s.StartX < 0; x += 2)
            if (s.grid.carved(x, y))
                s.StartX = std::int16_t(x), s.StartY = std::int16_t(y);
    return s.StartX < 0 ? Carving{} : carvingOf(s);
}

// A key as the keyboard sends it: to whatever has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    QVERIFY(to);
    QTest::keyClick(to, key, modifiers);
}

void typeInto(const QString &text)
{
    press(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), text);
}

long long openCells(const NodeGrid &g)
{
    long long n = 0;
    for (int y = 2; y < g.height(); y += 2)
        for (int x = 2; x < g.width(); x += 2)
            n += !g.blocked(x, y);
    return n;
}

const QString AllPictures = "Bitmap files (*.bmp);;PNG pictures (*.png);;SVG drawings (*.svg);;PDF files (*.pdf)";

} // namespace

class TestGenerate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultMazeToABitmap();
    void answerKeyAndMarksBesideTheBitmap();
    void bitmapAndKeyTogetherOrNeither_data();
    void bitmapAndKeyTogetherOrNeither();
    void previewShowsTheSeededMaze();
    void typesDifficultiesAndLoops_data();
    void typesDifficultiesAndLoops();
    void printerOutputWithoutAPrinterOffersAPdf();
    void closingDuringAGenerationStopsCleanly();
    void matteTypeWithoutAMatteOpensTheEditor();
    void enterGenerates();
    void stopEndsACarvingWithNothingWritten_data();
    void stopEndsACarvingWithNothingWritten();
    void stopEndsARenderingWithNothingWritten();
    void tooLargeCancelledWritesNothing();
    void keyboardOnlyMatteMaze();

private:
    void verifyAtRest();
    QTemporaryDir dir;
    MazeState *state = nullptr;
    Form1 *form = nullptr;
    QStringList fileRequests;
    QStringList messages;
    QString nextFile;
    int pixelBudget = 0;  // the output's own when 0
    TooLargeAnswer tooLargeAnswer = TooLargeAnswer::ScaleDown;
    int tooLargeAsked = 0;
};

void TestGenerate::init()
{
    QStandardPaths::setTestModeEnabled(true);
    state = new MazeState;
    form = new Form1(*state);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    // Every maze of these tests is made from one seed, so none depends on the clock.
    form->nextSeed = [] { return 1234u; };
    fileRequests.clear();
    messages.clear();
    nextFile = dir.filePath("maze.bmp");
    pixelBudget = 0;
    tooLargeAnswer = TooLargeAnswer::ScaleDown;
    tooLargeAsked = 0;
    form->adjustOutput = [this](OutputContext &ctx) {
        if (pixelBudget)
            ctx.pixelBudget = pixelBudget;
        ctx.askFileName = [this](const QString &filter) { return fileRequests << filter, nextFile; };
        ctx.askTooLarge = [this] { return ++tooLargeAsked, tooLargeAnswer; };
        ctx.reportError = [this](const QString &text) { messages << text; };
    };
}

void TestGenerate::cleanup()
{
    delete form;
    delete state;
    QVERIFY(QDir(dir.path()).removeRecursively());
    QVERIFY(QDir().mkpath(dir.path()));
}

/// Back at rest after a maze, made or stopped: caption, status line, pointer and controls.
void TestGenerate::verifyAtRest()
{
    QCOMPARE(form->windowTitle(), Form1::programTitle());
    QCOMPARE(form->statusLabel->text(), QString());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(form->parametersFrame->isEnabled());
    QCOMPARE(form->generateButton->text(), "&Generate");
    QVERIFY(form->generateButton->isEnabled());
    QVERIFY(!form->progressBar->isVisible());
}

void TestGenerate::defaultMazeToABitmap()
{
    form->bitmapOption->click();
    form->generateButton->click();

    QCOMPARE(fileRequests, QStringList(AllPictures));
    QVERIFY(messages.isEmpty());
    QCOMPARE(QImage(nextFile).size(), QSize(515, 715));
    // The start cell and the finish corner: 3452 cells in all, 49 of them blocked.
    QCOMPARE(carving(*state).cells, 3452);
    QVERIFY(state->grid.carved(92, 132));
    verifyAtRest();
    // The points of a framed maze are not kept.
    QCOMPARE(state->StartX, -1);
    QCOMPARE(state->FinishY, -1);
    QCOMPARE(state->MazeStyle, 1);
    QCOMPARE(state->RunLength, 3);
}

void TestGenerate::answerKeyAndMarksBesideTheBitmap()
{
    form->bitmapOption->click();
    form->typeList->setCurrentIndex(int(params::position(params::MazeTypeChoice::Grid)));
    form->marksBox->setChecked(true);
    form->answerKeyBox->setChecked(true);
    form->generateButton->click();
    QCOMPARE(messages, QStringList());
    QCOMPARE(fileRequests, QStringList(AllPictures));
    const QImage maze(nextFile);
    const QImage key(dir.filePath("maze-solution.bmp"));
    QVERIFY(!maze.isNull());
    QCOMPARE(key.size(), maze.size());
    auto count = [](const QImage &picture, QRgb colour) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += picture.pixel(x, y) == colour;
        return n;
    };
    // The start's green disc on both, the red line only on the key.
    QVERIFY(count(maze, qRgb(0, 160, 0)) > 0);
    QVERIFY(count(key, qRgb(0, 160, 0)) > 0);
    QVERIFY(count(key, qRgb(220, 0, 0)) > count(maze, qRgb(220, 0, 0)) + 100);
}

void TestGenerate::bitmapAndKeyTogetherOrNeither_data()
{
    QTest::addColumn<bool>("monochrome");
    QTest::newRow("colour") << false;
    QTest::newRow("monochrome") << true;
}

// A key that cannot be written leaves the maze's old file as it was, in both bitmap outputs.
void TestGenerate::bitmapAndKeyTogetherOrNeither()
{
    QFETCH(bool, monochrome);
    QVERIFY(support::writeFile(nextFile, "old maze"));
    QVERIFY(QDir(dir.path()).mkdir("maze-solution.bmp"));
    form->bitmapOption->click();
    form->widthEdit->setText("12");
    form->heightEdit->setText("10");
    form->answerKeyBox->setChecked(true);
    pixelBudget = monochrome ? 100 : 0;
    tooLargeAnswer = TooLargeAnswer::Monochrome;
    form->generateButton->click();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains("maze-solution.bmp"), qPrintable(messages[0]));
    QCOMPARE(state->MonochromeChosen, monochrome);
    QCOMPARE(support::readAll(nextFile), QByteArray("old maze"));
    QCOMPARE(support::entries(dir.path()), QStringList({"maze-solution.bmp", "maze.bmp"}));
}

void TestGenerate::previewShowsTheSeededMaze()
{
    form->previewOption->click();
    form->widthEdit->setText("20");
    form->heightEdit->setText("15");
    form->nextSeed = [] { return 99u; };
    QString shown;
    std::string mazeShown;
    form->adjustPreview = [&](PreviewWindow &preview) {
        QTimer::singleShot(0, &preview, [&] {
            shown = preview.measuresLabel->text();
            mazeShown = maze_text(*state);
            QVERIFY(preview.isModal());
            preview.closeButton->click();
        });
    };
    form->generateButton->click();
    QVERIFY2(shown.startsWith("Seed 99: 20 x 15 cells, solution "), qPrintable(shown));
    QCOMPARE(fileRequests, QStringList());
    // The window's maze is a function of its seed and choices: the command line makes it too.
    QCOMPARE(maze_text(support::solvedMaze(form->choices(), 99)), mazeShown);
    QCOMPARE(state->StartX, -1);
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
    QTest::newRow("top left to bottom right, harder, loops") << tlbr << true << true << "Option10";
    QTest::newRow("grid, loops") << grid << false << true << "Option5";
    QTest::newRow("grid, harder") << grid << true << false << "Option8";
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
    const Carving c = carving(*state);
    QCOMPARE(c.joined, c.cells);
    if (loops)
        QVERIFY2(c.passages > c.cells - 1, qPrintable(QStringLiteral("%1 passages").arg(c.passages)));
    else
        QCOMPARE(c.passages, c.cells - 1);
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
    QVERIFY(support::readAll(nextFile).startsWith("%PDF"));
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

void TestGenerate::enterGenerates()
{
    form->bitmapOption->click();
    form->widthEdit->setText("8");
    form->widthEdit->setFocus();
    QTest::keyClick(form->widthEdit, Qt::Key_Return);
    QCOMPARE(fileRequests.size(), 1);
    QCOMPARE(QImage(nextFile).size(), QSize(5 * 19, 5 * 143));
    // Enter on a button presses that button, not Generate.
    form->setupButton->setFocus();
    bool setupShown = false;
    QTimer::singleShot(0, this, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            setupShown = true;
            dialog->reject();
        }
    });
    QTest::keyClick(form->setupButton, Qt::Key_Return);
    QVERIFY(setupShown);
    QCOMPARE(fileRequests.size(), 1);
}

void TestGenerate::stopEndsACarvingWithNothingWritten_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Stop button") << false;
    QTest::newRow("Escape") << true;
}

void TestGenerate::stopEndsACarvingWithNothingWritten()
{
    QFETCH(bool, escape);
    form->bitmapOption->click();
    form->widthEdit->setText("400");
    form->heightEdit->setText("400");
    // At the walk's first look at the event queue: what the window shows, then Stop.
    QString buttonText;
    bool menuEnabled = true, barShown = false;
    int barTotal = 0;
    QTimer::singleShot(0, form, [&] {
        buttonText = form->generateButton->text();
        menuEnabled = form->settingsMenu->isEnabled() && form->settingsMenu->menuAction()->isEnabled();
        barShown = form->progressBar->isVisible();
        barTotal = form->progressBar->maximum();
        if (escape)
            press(Qt::Key_Escape);
        else
            form->generateButton->click();
    });
    form->generateButton->click();
    QCOMPARE(buttonText, "&Stop");
    QVERIFY(!menuEnabled);
    QVERIFY(barShown);
    // The bar's whole is every cell the walk may carve.
    QCOMPARE(barTotal, openCells(state->grid));
    QVERIFY(carving(*state).cells < barTotal);
    QVERIFY(fileRequests.isEmpty());
    QCOMPARE(support::entries(dir.path()), QStringList());
    // The window is at rest and usable again.
    verifyAtRest();
    QVERIFY(form->isVisible());
    form->widthEdit->setText("10");
    form->heightEdit->setText("10");
    form->generateButton->click();
    QCOMPARE(fileRequests.size(), 1);
    QVERIFY(QFile::exists(nextFile));
}

void TestGenerate::stopEndsARenderingWithNothingWritten()
{
    form->bitmapOption->click();
    form->thickLinesOption->click();
    form->widthEdit->setText("300");
    form->heightEdit->setText("300");
    // Stop as soon as the caption shows a drawn row.
    QStringList captions;
    QString bar;
    QTimer poll;
    connect(&poll, &QTimer::timeout, form, [&] {
        captions << form->windowTitle();
        if (form->windowTitle().startsWith("Rendering - ") && form->generateButton->text() == "&Stop") {
            poll.stop();
            bar = QStringLiteral("Rendering - %1% of %2").arg(form->progressBar->value()).arg(form->progressBar->maximum());
            form->generateButton->click();
        }
    });
    poll.start(0);
    form->generateButton->click();
    QVERIFY2(!poll.isActive(), qPrintable(captions.join(", ")));
    // The bar follows the output's percentage once the output begins.
    QCOMPARE(bar, captions.last() + " of 100");
    QVERIFY(fileRequests.isEmpty());
    QCOMPARE(support::entries(dir.path()), QStringList());
    verifyAtRest();
}

void TestGenerate::tooLargeCancelledWritesNothing()
{
    form->bitmapOption->click();
    form->widthEdit->setText("20");
    form->heightEdit->setText("20");
    pixelBudget = 100;
    tooLargeAnswer = TooLargeAnswer::Cancel;
    form->generateButton->click();
    QCOMPARE(tooLargeAsked, 1);
    QVERIFY(fileRequests.isEmpty());
    QVERIFY(messages.isEmpty());
    QCOMPARE(support::entries(dir.path()), QStringList());
    verifyAtRest();
}

void TestGenerate::keyboardOnlyMatteMaze()
{
    QApplication::setActiveWindow(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    // Dimensions through their mnemonics.
    press(Qt::Key_W, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), form->widthEdit);
    typeInto("6");
    press(Qt::Key_H, Qt::AltModifier);
    typeInto("4");
    press(Qt::Key_M, Qt::AltModifier);
    QTRY_VERIFY(form->useMatteBox->isChecked());

    // In the editor: a paper wall down column 2 with a gap in the bottom row, the start top left and the
    // finish top right, then Enter for Ok.
    QWidget *focusInEditor = nullptr;
    whenShown<Form4>(this, [&](Form4 *editor) {
        focusInEditor = QApplication::focusWidget();
        if (focusInEditor != editor->matteCanvas) {
            editor->cancelButton->click();
            return;
        }
        for (Qt::Key key : {Qt::Key_P, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space})
            press(key);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Down, Qt::ShiftModifier);
        for (Qt::Key key : {Qt::Key_S, Qt::Key_Up, Qt::Key_Up, Qt::Key_Left, Qt::Key_Left, Qt::Key_Space, Qt::Key_F})
            press(key);
        press(Qt::Key_Right, Qt::ControlModifier);  // ten cells: as far as the last column
        press(Qt::Key_Space);
        press(Qt::Key_Return);
    });
    press(Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(focusInEditor);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(state->UseMatte);
    QCOMPARE(QList<int>({state->StartX, state->StartY, state->FinishX, state->FinishY}), QList<int>({2, 2, 12, 2}));
    // A window manager gives the main window back its activation; the offscreen platform does not.
    QApplication::setActiveWindow(form);
    QVERIFY(QTest::qWaitForWindowActive(form));

    // The output group through its caption's mnemonic, the bitmap with an arrow key, then Enter.
    press(Qt::Key_O, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), form->printerOption);
    press(Qt::Key_Down);
    QVERIFY(form->bitmapOption->isChecked());
    press(Qt::Key_Return);
    QCOMPARE(fileRequests.size(), 1);
    QVERIFY(QFile::exists(nextFile));
    // Every painted-in cell is carved, no paper cell is, and the walk went round the wall.
    for (int cy = 0; cy < 4; ++cy)
        for (int cx = 0; cx < 6; ++cx) {
            const bool paper = cx == 2 && cy < 3;
            QCOMPARE(state->grid.blocked(2 * cx + 2, 2 * cy + 2), paper);
            QCOMPARE(state->grid.carved(2 * cx + 2, 2 * cy + 2), !paper);
        }
    // A matte maze keeps its points for the next Generate.
    QCOMPARE(QList<int>({state->StartX, state->StartY, state->FinishX, state->FinishY}), QList<int>({2, 2, 12, 2}));
}

QTEST_MAIN(TestGenerate)
#include "tst_generate.moc"

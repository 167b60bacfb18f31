#include "tests/support.h"
#include "app/command_line.h"
#include "app/maze_view.h"
#include "app/preview_window.h"
#include "app/page_layout_dialog.h"
#include <QComboBox>
#include <QDoubleSpinBox>
#include "matte/acceptance.h"
#include "matte/completion.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/state.h"
#include "render/output_context.h"
#include "render/text_maze.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <cstring>

using namespace support;

namespace {

/// The maze of `c` carved from its seed; `prepare` readies the state first (with a matte, say).
MazeState carved(const params::Choices &c, const std::function<void(MazeState &)> &prepare = {})
{
    MazeState s;
    if (prepare)
        prepare(s);
    params::apply_choices(c, s);
    s.rng.seed(*c.seed);
    allocate_arrays(s);
    Progress quiet;
    carve_maze(s, quiet);
    return s;
}

params::Choices smallChoices(std::uint32_t seed)
{
    params::Choices c;
    c.widthCells = 30;
    c.heightCells = 20;
    c.seed = seed;
    return c;
}

int countColour(const QImage &picture, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            n += picture.pixel(x, y) == colour;
    return n;
}

void wheel(QWidget *target, QPoint at, int delta)
{
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

using support::Run;

Run corvanthel(const QStringList &arguments, const QString &workingDirectory)
{
    return support::runProgram(QStringLiteral(CORVANTHEL_BINARY), arguments, workingDirectory);
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void opensFittedAndZoomsAndPans();
    void showSolutionOnlyChangesTheScreen();
    void seedBoxAndGenerateAgainRemakeTheMaze();
    void copiedCommandLineMakesTheSameMaze_data();
    void copiedCommandLineMakesTheSameMaze();
    void printAndSaveFollowTheChoices();
    void pageLayoutShapesThePrintedPage();
    void largestGridOpensOnItsOverview();

private:
    QTemporaryDir dir_;
};

void TestPreview::opensFittedAndZoomsAndPans()
{
    MazeState s = carved(smallChoices(3));
    QPrinter printer;
    PreviewWindow preview(s, smallChoices(3), printer);
    preview.resize(800, 600);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    MazeView *view = preview.view;
    QVERIFY(view->fitted());
    QCOMPARE(view->zoom(), view->fitZoom());
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    QVERIFY(preview.measuresLabel->text().startsWith("Seed 3: 30 x 20 cells, solution "));

    // The wheel zooms about the pointer: the maze point under it stays put.
    const QPoint at(view->viewport()->width() / 3, view->viewport()->height() / 2);
    const QPointF before = view->unitAt(at);
    const double fitted = view->zoom();
    wheel(view->viewport(), at, 240);
    QCOMPARE(view->zoom(), fitted * 1.25 * 1.25);
    QVERIFY(!view->fitted());
    QVERIFY(QLineF(view->unitAt(at), before).length() < 1.0 / view->zoom() + 1e-9);
    QVERIFY(view->horizontalScrollBar()->maximum() > 0);

    // Ctrl+minus zooms out, Ctrl+plus in, Ctrl+0 fits again.
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(view->zoom(), fitted * 1.25);
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(view->zoom(), fitted * 1.25 * 1.25 * 1.25);

    // Arrow keys and dragging move the view.
    const int h = view->horizontalScrollBar()->value(), v = view->verticalScrollBar()->value();
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(view->horizontalScrollBar()->value() > h);
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(view->verticalScrollBar()->value() > v);
    const int h2 = view->horizontalScrollBar()->value();
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    QTest::mouseMove(view->viewport(), QPoint(150, 200));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 200));
    QCOMPARE(view->horizontalScrollBar()->value(), h2 + 50);

    preview.fitButton->click();
    QVERIFY(view->fitted());
    QCOMPARE(view->zoom(), fitted);
}

void TestPreview::showSolutionOnlyChangesTheScreen()
{
    params::Choices c = smallChoices(8);
    c.marks = true;
    MazeState s = carved(c);
    const std::string before = maze_text(s);
    QPrinter printer;
    PreviewWindow preview(s, c, printer);
    preview.resize(800, 600);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    const QRgb red = layer_colours::Solution.rgb(), green = layer_colours::Start.rgb();
    for (const double zoom : {12.0, 2.0}) {
        preview.view->setZoom(zoom, QPointF(0, 0));
        preview.solutionBox->setChecked(false);
        const QImage plain = preview.view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(countColour(plain, green) > 0);  // the start's mark
        preview.solutionBox->setChecked(true);
        const QImage solved = preview.view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY2(countColour(solved, red) > countColour(plain, red) + 20, qPrintable(QString::number(zoom)));
    }
    QCOMPARE(maze_text(s), before);
    QVERIFY(preview.measures().solved);
}

void TestPreview::seedBoxAndGenerateAgainRemakeTheMaze()
{
    MazeState s = carved(smallChoices(5));
    QPrinter printer;
    PreviewWindow preview(s, smallChoices(5), printer);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QCOMPARE(preview.seedEdit->text(), QString("5"));

    preview.seedEdit->setText("42");
    preview.useSeedButton->click();
    QCOMPARE(preview.choices().seed, std::optional<std::uint32_t>(42));
    QCOMPARE(maze_text(s), maze_text(carved(smallChoices(42))));
    QVERIFY(preview.measuresLabel->text().startsWith("Seed 42: "));

    preview.againButton->click();
    QVERIFY(preview.choices().seed != std::optional<std::uint32_t>(42));
    QCOMPARE(preview.seedEdit->text(), QString::number(*preview.choices().seed));
    QCOMPARE(maze_text(s), maze_text(carved(smallChoices(*preview.choices().seed))));
    QVERIFY(preview.view->fitted());
}

void TestPreview::copiedCommandLineMakesTheSameMaze_data()
{
    QTest::addColumn<bool>("matte");
    QTest::addColumn<int>("appearance");
    QTest::addColumn<double>("extra");  // added to the cells typed and to the loop percentage
    QTest::newRow("grid, harder, loops") << false << int(params::AppearanceChoice::Plumbing) << 0.0;
    QTest::newRow("fractions typed") << false << int(params::AppearanceChoice::Plumbing) << 0.9999999;
    QTest::newRow("matte") << true << int(params::AppearanceChoice::ThinLines) << 0.0;
}

void TestPreview::copiedCommandLineMakesTheSameMaze()
{
    QFETCH(bool, matte);
    QFETCH(int, appearance);
    QFETCH(double, extra);
    params::Choices c = smallChoices(77);
    c.widthCells += extra;
    c.heightCells += extra;
    c.appearance = params::AppearanceChoice(appearance);
    c.runStyle = params::RunStyleChoice::VerticalBias;
    c.runSlider = 7;
    c.marks = true;
    c.type = matte ? params::MazeTypeChoice::CustomMatte : params::MazeTypeChoice::Grid;
    if (!matte) {
        c.difficulty = params::DifficultyChoice::Harder;
        c.loops = true;
        c.loopPercent = 35 + extra;
    }
    bool accepted = !matte;
    MazeState s = carved(c, [&](MazeState &m) {
        if (!matte)
            return;
        // A diamond of maze cells.
        MattePainting painting{CellMap(30, 20, true), {2, 10}, {27, 10}};
        for (int j = 0; j < 20; ++j)
            for (int i = 0; i < 30; ++i)
                painting.paper.set(i, j, std::abs(i - 14.5) / 15 + std::abs(j - 9.5) / 10 > 1.0);
        const MatteResult result = accept_matte(painting, false, m.grid);
        accepted = result.accepted();
        m.UseMatte = true;
        m.StartX = std::int16_t(pointOf(result.start).x);
        m.StartY = std::int16_t(pointOf(result.start).y);
        m.FinishX = std::int16_t(pointOf(result.finish).x);
        m.FinishY = std::int16_t(pointOf(result.finish).y);
    });
    QVERIFY(accepted);

    QPrinter printer;
    PreviewWindow preview(s, c, printer);
    QStringList filters;
    preview.adjustOutput = [&](OutputContext &ctx) {
        ctx.askFileName = [&](const QString &filter) {
            filters << filter;
            return dir_.filePath("matte.png");
        };
    };
    preview.copyButton->click();
    const QString command = QGuiApplication::clipboard()->text();
    QVERIFY2(command.startsWith("corvanthel generate "), qPrintable(command));
    QCOMPARE(filters, matte ? QStringList("PNG pictures (*.png)") : QStringList());
    QStringList words = command.split(' ');
    words.removeFirst();
    const ParsedCommandLine parsed = parse_command_line(words);
    QCOMPARE(parsed.error, QString());
    QCOMPARE(parsed.options.maze.type, c.type);
    QCOMPARE(parsed.options.maze.appearance, c.appearance);
    QCOMPARE(parsed.options.maze.runStyle, c.runStyle);
    QCOMPARE(parsed.options.maze.seed, c.seed);
    QCOMPARE(parsed.options.maze.loopPercent, c.loopPercent);
    QVERIFY(parsed.options.maze.marks);

    // Run as it is, with a text file added, it makes this very maze.
    const Run run = corvanthel(words + QStringList{"--text", "copied.txt"}, dir_.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(readAll(dir_.filePath("copied.txt")).toStdString(), maze_text(s));
}

void TestPreview::printAndSaveFollowTheChoices()
{
    params::Choices c = smallChoices(12);
    c.answerKey = true;
    MazeState s = carved(c);
    QPrinter printer;
    printer.setOutputFileName(dir_.filePath("printed.pdf"));
    PreviewWindow preview(s, c, printer);
    QStringList filters, messages;
    QString next = dir_.filePath("saved.bmp");
    preview.adjustOutput = [&](OutputContext &ctx) {
        ctx.askFileName = [&](const QString &filter) {
            filters << filter;
            return next;
        };
        ctx.reportError = [&](const QString &m) { messages << m; };
    };
    preview.askPrinter = [](QPrinter &) { return true; };
    preview.printButton->click();
    QProcess info;
    info.start("pdfinfo", {dir_.filePath("printed.pdf")});
    QVERIFY(info.waitForFinished(60000));
    QVERIFY(QString::fromLatin1(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\\n")));

    preview.saveButton->click();
    QCOMPARE(filters, QStringList("Bitmap files (*.bmp);;PNG pictures (*.png);;SVG drawings (*.svg);;PDF files (*.pdf)"));
    QVERIFY(!QImage(dir_.filePath("saved.bmp")).isNull());
    QVERIFY(!QImage(dir_.filePath("saved-solution.bmp")).isNull());
    QCOMPARE(messages, QStringList());

    // City plan is saved as shapes: a page or a drawing, never a picture.
    c.appearance = params::AppearanceChoice::CityPlan;
    MazeState city = carved(c);
    PreviewWindow cityPreview(city, c, printer);
    cityPreview.adjustOutput = preview.adjustOutput;
    for (const char *name : {"city.pdf", "city.svg", "city.png"}) {
        next = dir_.filePath(name);
        filters.clear();
        cityPreview.saveButton->click();
        QCOMPARE(filters, QStringList("PDF files (*.pdf);;SVG drawings (*.svg)"));
    }
    QVERIFY(readAll(dir_.filePath("city.pdf")).startsWith("%PDF"));
    QVERIFY(readAll(dir_.filePath("city.svg")).startsWith("<?xml"));
    QVERIFY(!QFile::exists(dir_.filePath("city.png")));
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(".svg or .pdf"), qPrintable(messages[0]));
}

// "Page layout...": its setup shapes the next print; Cancel keeps
// the last one and Reset goes back to the page as always.
void TestPreview::pageLayoutShapesThePrintedPage()
{
    params::Choices c = smallChoices(8);
    MazeState s = carved(c);
    QPrinter printer;
    printer.setOutputFileName(dir_.filePath("layout.pdf"));
    PreviewWindow preview(s, c, printer);
    preview.askPrinter = [](QPrinter &) { return true; };
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    auto answer = [&](const std::function<void(PageLayoutDialog &)> &fill) {
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<PageLayoutDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(*dialog);
        });
        preview.pageLayoutButton->click();
    };
    // Margins that leave the paper no room for a maze: OK says so and keeps the dialog open.
    QString refusal;
    answer([&](PageLayoutDialog &d) {
        d.paperList->setCurrentIndex(d.paperList->findText("A5"));
        d.ownMarginBox->setChecked(true);
        d.marginSpin->setValue(100);
        QTimer::singleShot(0, [&, dialog = QPointer(&d)] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->accept();
            }
            if (dialog)
                dialog->cancelButton->click();
        });
        d.okButton->click();
    });
    QCOMPARE(refusal, "Corvanthel cannot lay out the page: the 100 mm margins leave no room for a maze on A5 paper.");
    QVERIFY(!preview.pageSetup.custom());
    answer([](PageLayoutDialog &d) {
        d.paperList->setCurrentIndex(d.paperList->findText("A3"));
        d.orientationList->setCurrentIndex(2);  // landscape
        d.titleEdit->setText("Seed %s");
        d.nameLineBox->setChecked(true);
        d.okButton->click();
    });
    QCOMPARE(preview.pageSetup.paper, std::optional(QPageSize::A3));
    answer([](PageLayoutDialog &d) {
        d.centerBox->setChecked(true);
        d.cancelButton->click();
    });
    QVERIFY(!preview.pageSetup.center);
    preview.printButton->click();
    QProcess info;
    info.start("pdfinfo", {dir_.filePath("layout.pdf")});
    QVERIFY(info.waitForFinished(60000));
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("Page size:\\s+1191\\.?\\d* x 842")), qPrintable(text));
    QProcess words;
    words.start("pdftotext", {dir_.filePath("layout.pdf"), "-"});
    QVERIFY(words.waitForFinished(60000));
    const QString page = QString::fromUtf8(words.readAllStandardOutput());
    QVERIFY2(page.contains(QString("Seed %1").arg(*c.seed)), qPrintable(page));
    QVERIFY(page.contains("Name:"));

    answer([](PageLayoutDialog &d) {
        d.resetButton->click();
        d.okButton->click();
    });
    QVERIFY(!preview.pageSetup.custom());
}

void TestPreview::largestGridOpensOnItsOverview()
{
    // A synthetic grid of the largest size, 16383 x 16383 cells: its top half passages, its
    // bottom half walls, and no generation.
    MazeState s;
    s.GridWidth = s.GridHeight = NodeGrid::MaxNodes;
    s.MazeStyle = 1;
    s.grid.allocate(NodeGrid::MaxNodes, NodeGrid::MaxNodes);
    const int half = NodeGrid::MaxNodes / 2;
    // Rows 0..half - 1: whole blocks of two rows, then the upper row of the last block.
    std::fill(s.grid.blockRow(0), s.grid.blockRow(half / 2), std::uint16_t(0x1111 * NodeGrid::Carved));
    for (int x = 0; x <= NodeGrid::MaxNodes; ++x)
        s.grid.set(x, half - 1, NodeGrid::Carved);

    MazeView view;
    view.resize(800, 600);
    view.showMaze(s, SceneLayers{});
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.viewport()->grab();
    QCOMPARE(view.lastLevel(), MazeView::Level::Overview);
    QVERIFY(view.overview().width() <= MazeView::OverviewSide);
    QVERIFY(view.overview().width() * view.overviewBlock() >= NodeGrid::MaxNodes + 2);
    const QImage &overview = view.overview();
    QCOMPARE(overview.pixel(overview.width() / 2, overview.height() / 4), qRgb(255, 255, 255));  // passages
    QCOMPARE(overview.pixel(overview.width() / 2, 3 * overview.height() / 4), qRgb(0, 0, 0));    // walls

    // Wheel in step by step about the middle: nodes, then tiles, each paint drawing only
    // what is visible.
    const QPoint middle(view.viewport()->width() / 2, view.viewport()->height() / 2);
    QList<MazeView::Level> levels;
    while (view.zoom() < MazeView::TileZoom) {
        wheel(view.viewport(), middle, 480);
        view.viewport()->grab();
        if (levels.isEmpty() || levels.back() != view.lastLevel())
            levels << view.lastLevel();
    }
    QCOMPARE(levels.back(), MazeView::Level::Tiles);
    QVERIFY(levels.contains(MazeView::Level::Nodes));
    // At the middle of the grid the boundary between the halves is in view.
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(countColour(shown, qRgb(0, 0, 0)) > 0);
    QVERIFY(countColour(shown, qRgb(255, 255, 255)) > 0);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QVERIFY(view.verticalScrollBar()->value() > 0);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"

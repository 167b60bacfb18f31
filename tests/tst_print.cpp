#include "tests/support.h"
#include "tests/page_oracle.h"
#include "app/form1.h"
#include "render/print.h"
#include "render/scene.h"
#include "render/tiles.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace support;

namespace {

// What is wrong with the page read back, if anything: walls dark, passages light, arrows in place.
QString pageMismatches(const QString &pdf, const QPageLayout &layout, int resolution, const MazeState &s)
{
    const QImage raster = rasterised(pdf, 1, 100);
    const int gw = s.grid.width(), gh = s.grid.height(), cw = s.CornerWidth, ch = s.CornerHeight;
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const QSize device = layout.paintRectPixels(resolution).size();
    const QSizeF units = print_scale(device.width(), device.height(), gw, gh);
    const QSizeF unit(paint.width() * 100 / 72 / units.width(), paint.height() * 100 / 72 / units.height());
    auto centre = [&](double x, double y) {
        return paint.topLeft() * 100 / 72 + QPointF((x - 0.5) * unit.width(), (y - 0.5) * unit.height());
    };
    auto dark = [&](double x, double y) {  // within a sixth of a node: rasterisers soften edges
        const QPointF at = centre(x, y);
        const int rx = qMax(1, int(unit.width() / 6)), ry = qMax(1, int(unit.height() / 6));
        for (int py = int(at.y()) - ry; py <= int(at.y()) + ry; ++py)
            for (int px = int(at.x()) - rx; px <= int(at.x()) + rx; ++px)
                if (raster.valid(px, py) && qGray(raster.pixel(px, py)) < 128)
                    return true;
        return false;
    };
    const bool arrows = s.MazeType == TopLeftToBottomRight;
    QStringList wrong;
    if (qAbs(raster.width() - layout.fullRect(QPageLayout::Point).width() * 100 / 72) >= 1)
        wrong << "the page has the wrong width";
    for (int y = 1; centre(1, y).y() < raster.height() - 2; ++y)
        for (int x = 1; centre(x, 1).x() < raster.width() - 2; ++x) {
            if (arrows && ((x <= cw && y <= ch) || (x > gw - cw && x <= gw && y > gh - ch && y <= gh)))
                continue;
            const bool wall = x <= gw && y <= gh && find_bitmap(s.grid, x, y) > 0;
            if (dark(x, y) != wall && wrong.size() < 10)
                wrong << QString("node (%1, %2) should be %3").arg(x).arg(y).arg(wall ? "dark" : "white");
        }
    const double shaft = cw * 60.5 / 128 + 0.5;  // the middle of an arrow's shaft
    if (arrows && !dark(shaft, shaft))
        wrong << "the top-left arrow is missing";
    if (arrows && !dark(gw - cw + shaft, gh - ch + shaft))
        wrong << "the bottom-right arrow is missing";
    return wrong.join("; ");
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    // A cupsd of the test's own with one queue printing to a PDF file.
    void initTestCase()
    {
        const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin"});
        const QString ppd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
        QVERIFY2(!cupsd.isEmpty(), "cupsd is missing: run scripts/install-deps.sh");
        QVERIFY2(QFile::exists(ppd), "cups-filters is missing: run scripts/install-deps.sh");
        QVERIFY2(!QStandardPaths::findExecutable("pdftoppm").isEmpty(), "pdftoppm is missing: run scripts/install-deps.sh");
        // Filters run as the spooler's own user, which must reach the spool below this folder.
        QFile::setPermissions(root_, QFile::permissions(root_) | QFile::ExeGroup | QFile::ReadGroup
                                      | QFile::ExeOther | QFile::ReadOther);
        for (const char *sub : {"conf", "spool/tmp", "cache", "state", "log", "out"})
            QVERIFY(QDir(root_).mkpath(sub));
        const QString socket = root_ + "/cups.sock";
        QVERIFY(writeFile(root_ + "/conf/cupsd.conf",
                          QString("LogLevel info\nListen %1\nBrowsing Off\nWebInterface No\nDefaultAuthType None\n"
                                  "<Location />\n Order allow,deny\n Allow all\n</Location>\n<Policy default>\n"
                                  " <Limit All>\n  Order deny,allow\n </Limit>\n</Policy>\n").arg(socket).toUtf8()));
        QVERIFY(writeFile(root_ + "/conf/cups-files.conf",
                          QString("ServerRoot %1/conf\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                                  "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                                  "PageLog %1/log/page_log\nFileDevice Yes\nSandboxing Relaxed\n").arg(root_).toUtf8()));
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start(cupsd, {"-f", "-c", root_ + "/conf/cupsd.conf", "-s", root_ + "/conf/cups-files.conf"});
        auto stop = qScopeGuard([this] { cleanupTestCase(); });
        QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(socket), qPrintable("cupsd did not start: " + cupsd_.readAll()), 20000);
        qputenv("CUPS_SERVER", socket.toLocal8Bit());  // before any printing call: Qt reads it once
        QCOMPARE(lpadmin({"-p", "CorvanthelPDF", "-E", "-v", "file://" + spooledPdf_, "-P", ppd}), 0);
        QCOMPARE(lpadmin({"-d", "CorvanthelPDF"}), 0);
        stop.dismiss();
    }

    void cleanupTestCase() { cupsd_.terminate(); cupsd_.waitForFinished(10000); }  // or the destructor kills it

    // A 101 x 141 grid: on A4 at 600 dpi (4960 x 7016) the width limits, turned the height. The
    // scale is kept in 32-bit floats, which a comparison of doubles tells apart.
    void pageScale()
    {
        QCOMPARE(print_scale(4960, 7016, 101, 141), QSizeF(101, float(102.0 * 7016 / 4960)));
        QCOMPARE(print_scale(7016, 4960, 101, 141), QSizeF(float(142.0 * 7016 / 4960), 141));
        // The exact ratio takes the second rule.
        QCOMPARE(print_scale(1010, 1410, 101, 141), QSizeF(float(142.0 * 1010 / 1410), 141));
    }

    void pagesAreVectorsOfTheTiles_data() { tileSetRows(); }

    // No picture of a tile in the file: the tiles' pixels are rectangles, so every one of them
    // shows its own shade on the page, sharp, at any resolution.
    void pagesAreVectorsOfTheTiles()
    {
        QFETCH(int, style);
        const bool small = tiles::tile_set(style).width <= 10;
        MazeState s = framedMaze(small ? 41 : 15, small ? 57 : 21, GridMaze, style);
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        const QString pdf = root_ + "/vector.pdf";
        QVERIFY(save_pdf_page(s, quiet_, a4, 1200, pdf, nullptr));
        QCOMPARE(pdfImages(pdf).size(), 2);
        // The page's own rule: the maze from the paint area's corner, scaled by print_scale.
        const QRectF paint = a4.paintRect(QPageLayout::Point);
        const QSize device = a4.paintRectPixels(1200).size();
        const QSizeF units = print_scale(device.width(), device.height(), s.grid.width(), s.grid.height());
        const QTransform toRaster = QTransform::fromScale(paint.width() * 300 / 72 / units.width(), paint.height() * 300 / 72 / units.height())
                                    * QTransform::fromTranslate(paint.left() * 300 / 72, paint.top() * 300 / 72);
        QCOMPARE(tileMismatches(rasterised(pdf), s, toRaster), QString());
    }

    // City plan ignores a rectangle of nodes: it takes its numbers over the whole grid, in order.
    void cityPlanIsDrawnWhole()
    {
        const MazeState s = framedMaze(41, 61, TopLeftToBottomRight);
        Random whole(7), part(7);
        QImage pages[2];
        for (Random *rnd : {&whole, &part}) {
            QImage &page = pages[rnd == &part];
            page = QImage(410, 610, QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter painter(&page);
            painter.scale(10, 10);
            const MazeScene scene(s, SceneOptions::page(rnd));
            scene.paint(painter, rnd == &whole ? scene.grid() : QRect(5, 5, 3, 2));
        }
        QCOMPARE(part.next(), whole.next());
        QCOMPARE(pages[1], pages[0]);
    }

    // Prints differ in their ragged edges, four numbers a wall node; the same numbers, the same page.
    void cityPlanDiffersBetweenPrints()
    {
        MazeState s = framedMaze(41, 61, TopLeftToBottomRight);
        s.CityPlan = true;
        Random expected = afterCitySlabs(s.grid, 1000);
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 15, 9, 20));
        QImage pages[3];
        for (int i = 0; i < 3; ++i) {
            s.rng.seed(i == 1 ? 2000 : 1000);
            const QString pdf = QString("%1/city%2.pdf").arg(root_).arg(i);
            QVERIFY(save_pdf_page(s, quiet_, a4, 300, pdf, nullptr));
            QCOMPARE(pageMismatches(pdf, a4, 300, s), QString());
            pages[i] = rasterised(pdf, 1, 100);
        }
        QCOMPARE(s.rng.next(), expected.next());
        QVERIFY(pages[0] != pages[1]);
        QCOMPARE(pages[2], pages[0]);
    }

    void printsFromTheMainWindow_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("harder");
        QTest::addColumn<bool>("loops");
        QTest::newRow("top left to bottom right, thin lines") << 0 << 1 << false << false;
        QTest::newRow("grid, thick lines, harder, loops") << 1 << 2 << true << true;
        QTest::newRow("city plan, harder") << 0 << 12 << true << false;
    }

    // Generate with the printer chosen: the default queue shows the maze where its layout puts it.
    void printsFromTheMainWindow()
    {
        QFETCH(int, type);
        QFETCH(int, appearance);
        QFETCH(bool, harder);
        QFETCH(bool, loops);
        MazeState state;
        Form1 form(state);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.printerOption->text(), QString("CorvanthelPDF"));
        form.widthEdit->setText("30");
        form.heightEdit->setText("40");
        form.typeList->setCurrentIndex(type);
        form.findChild<QRadioButton *>(QStringLiteral("Option%1").arg(appearance))->click();
        (harder ? form.harderOption : form.easierOption)->click();
        form.allowLoopsBox->setChecked(loops);
        form.adjustOutput = [&](OutputContext &ctx) { ctx.reportError = [&](const QString &m) { messages_ << m; }; };
        form.generateButton->click();
        QCOMPARE(messages_, QStringList());
        QCOMPARE(QSize(state.grid.width(), state.grid.height()), QSize(61, 81));
        QCOMPARE(spooled(&form.printer(), &state), QString());
    }

    // `corvanthel generate --print` takes the same road to the default queue, and names it.
    void printsFromTheCommandLine()
    {
        const auto run = [](const QStringList &arguments) {
            return runProgram(CORVANTHEL_BINARY, QStringList("generate") + arguments, QDir::currentPath());
        };
        Run cli = run({"--width", "20", "--height", "25", "--seed", "3", "--appearance", "medium-lines", "--print",
                       "--text", root_ + "/cli.txt"});
        QCOMPARE(cli.exitCode, 0);
        QVERIFY(cli.out.contains("printer CorvanthelPDF"));
        QCOMPARE(spooled(), QString());

        // With --answer-key the job holds the maze page, then the key page.
        QFile::remove(spooledPdf_);
        QCOMPARE(run({"--width", "20", "--height", "25", "--seed", "3", "--print", "--answer-key", "--marks"}).exitCode, 0);
        QCOMPARE(spooled(), QString());
        QCOMPARE(pdfInfo(spooledPdf_).pages, 2);

        // A batch is one job: the mazes, then their keys, on the paper asked for.
        QFile::remove(spooledPdf_);
        cli = run({"--width", "6", "--height", "6", "--count", "3", "--print", "--answer-key", "--paper", "A5"});
        QCOMPARE(cli.exitCode, 0);
        QVERIFY(cli.out.contains("printer CorvanthelPDF: 3 mazes on 6 pages"));
        QCOMPARE(spooled(), QString());
        QCOMPARE(pdfInfo(spooledPdf_).pages, 6);
        QCOMPARE(pdfInfo(spooledPdf_).sizeName, "A5");

        // Margins that leave the printer's paper no room: a usage error, before a maze is made.
        const int sent = jobsSent();
        cli = run({"--print", "--margin", "100"});
        QCOMPARE(cli.exitCode, 2);
        QVERIFY2(cli.err.startsWith("corvanthel: the 100 mm margins leave no room for a maze on "), qPrintable(cli.err));
        QCOMPARE(jobsSent(), sent);

        cli = run({"--printer", "Nowhere"});
        QCOMPARE(cli.exitCode, 1);
        QVERIFY(cli.err.contains("no printer is called Nowhere"));
    }

    // A document that never finishes (a later maze failed, or printing was stopped) sends no
    // job, and leaves the printer as it was for the next.
    void unfinishedDocumentsPrintNothing()
    {
        MazeState s = framedMaze(21, 21, GridMaze);
        QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        const int before = jobsSent();
        {
            PageSetup setup;
            setup.marginMm = 10;
            MazeDocument document(printer, setup, s.grid.width(), s.grid.height(), 2);
            QCOMPARE(document.add(s, 1, false, false, quiet_, nullptr), PrintResult::Done);
        }
        QCOMPARE(jobsSent(), before);
        QCOMPARE(print_page(printer, s, quiet_, nullptr), PrintResult::Done);
        QCOMPARE(spooled(), QString());
        QCOMPARE(jobsSent(), before + 1);
    }

    // With no printer left the program says so and saves the page as a PDF file instead.
    void noPrinterOffersPdf()
    {
        QCOMPARE(lpadmin({"-x", "CorvanthelPDF"}), 0);
        QVERIFY(QPrinterInfo::availablePrinters().isEmpty());
        MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
        QStringList filters;
        OutputContext ctx = context(s);
        ctx.askFileName = [&](const QString &filter) { return filters << filter, root_ + "/instead.pdf"; };
        QPrinter printer(QPrinter::HighResolution);
        print_maze(ctx, printer);
        QCOMPARE(messages_, QStringList("No printer is installed, so Corvanthel will save the page as a PDF file instead."));
        QCOMPARE(filters, QStringList("PDF files (*.pdf)"));
        QCOMPARE(pageMismatches(root_ + "/instead.pdf", printer.pageLayout(), printer.resolution(), s), QString());
    }

    void failedPrintSaysSo()
    {
        MazeState s = framedMaze(21, 21, GridMaze);
        QPrinter printer;  // a .pdf name makes it print to a file
        const QString target = root_ + "/missing/page.pdf";
        printer.setOutputFileName(target);
        OutputContext ctx = context(s);
        print_maze(ctx, printer);
        QCOMPARE(messages_, QStringList({"cannot print to " + target + ": the printer does not accept a page"}));
        QString error;
        QVERIFY(!save_pdf_page(s, quiet_, printer.pageLayout(), 72, target, &error));
        QVERIFY2(error.startsWith("cannot write " + target + ": "), qPrintable(error));
        QVERIFY(!QFile::exists(target));
        // A PDF writer's refusal names no printer: whoever writes its file names that.
        for (const bool composed : {false, true}) {
            QBuffer file;
            QVERIFY(file.open(QIODevice::WriteOnly));
            QPdfWriter writer(&file);
            QPainter busy(&writer);
            PageOptions options;
            options.layout.center = composed;
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin: A paint device can only be painted by one painter at a time.");
            QCOMPARE(print_page(writer, s, quiet_, &error, options), PrintResult::Failed);
            QCOMPARE(error, "the PDF writer cannot begin a page");
        }
    }

    void init() { messages_.clear(); QFile::remove(spooledPdf_); }

private:
    QTemporaryDir dir_;
    const QString root_ = dir_.path(), spooledPdf_ = root_ + "/out/page.pdf";
    QProcess cupsd_;
    Progress quiet_;
    QStringList messages_;

    OutputContext context(MazeState &s)
    {
        return {s, quiet_, nullptr, [](const QString &) { return QString(); }, [] { return TooLargeAnswer::Cancel; },
                [this](const QString &m) { messages_ << m; }};
    }

    static int lpadmin(const QStringList &args)
    {
        return QProcess::execute(QStandardPaths::findExecutable("lpadmin", {"/usr/sbin", "/usr/bin"}), args);
    }

    // Jobs the queue has been sent, printed or not.
    static int jobsSent()
    {
        QProcess lpstat;
        lpstat.start("lpstat", {"-W", "all", "-o", "CorvanthelPDF"});
        return lpstat.waitForFinished() ? int(lpstat.readAll().count('\n')) : -1;
    }

    // Waits for the queue's page, then what is wrong with it (without a maze: only that there is one).
    QString spooled(const QPrinter *printer = nullptr, const MazeState *s = nullptr)
    {
        if (!QTest::qWaitFor([&] {
                QProcess lpstat;
                lpstat.start("lpstat", {"-o", "CorvanthelPDF"});
                return lpstat.waitForFinished() && lpstat.readAll().trimmed().isEmpty() && QFile::exists(spooledPdf_);
            }, 60000))
            return "the queue printed nothing";
        return printer ? pageMismatches(spooledPdf_, printer->pageLayout(), printer->resolution(), *s)
                       : rasterised(spooledPdf_, 1, 100).isNull() ? "no page" : "";
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"

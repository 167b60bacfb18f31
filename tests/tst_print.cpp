#include "tests/support.h"
#include "app/form1.h"
#include "render/print.h"
#include "render/tiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace support;

namespace {

QImage rasterise(const QString &pdf, int dpi)
{
    QFile::remove(pdf + ".pgm");
    QProcess::execute("pdftoppm", {"-r", QString::number(dpi), "-gray", "-singlefile", pdf, pdf});
    return QImage(pdf + ".pgm");
}

// What is wrong with a page laid out as `layout` at `resolution` dots per inch and read back
// at `dpi`, empty when nothing: the centre of a wall node's square must be dark, of a
// passage light (tiles and slabs never reach into a passage); arrows fill the corner
// squares; nothing lies right of or below the maze.
QString pageMismatches(const QImage &raster, int dpi, const QPageLayout &layout, int resolution, const MazeState &s)
{
    if (raster.isNull())
        return "no page";
    const int gw = s.grid.width(), gh = s.grid.height(), cw = s.CornerWidth, ch = s.CornerHeight;
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const QSize device = layout.paintRectPixels(resolution).size();
    const QSizeF units = print_scale(device.width(), device.height(), gw, gh);
    const QSizeF unit(paint.width() * dpi / 72 / units.width(), paint.height() * dpi / 72 / units.height());
    auto centre = [&](double x, double y) {
        return paint.topLeft() * dpi / 72 + QPointF((x - 0.5) * unit.width(), (y - 0.5) * unit.height());
    };
    // Ink within a sixth of a node: rasterisers soften the edges of stretched pictures.
    auto dark = [&](double x, double y) {
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
    if (qAbs(raster.width() - layout.fullRect(QPageLayout::Point).width() * dpi / 72) >= 1)
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
    if (arrows && !(dark(shaft, shaft) && dark(gw - cw + shaft, gh - ch + shaft)))
        wrong << "an arrow is missing";
    return wrong.join("; ");
}

OutputContext context(MazeState &s, Progress &p, QStringList &messages)
{
    return {s, p, nullptr, [](const QString &) { return QString(); }, [] { return false; },
            [&messages](const QString &m) { messages << m; }};
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    // A print spooler of the test's own, everything under a temporary folder: cupsd with one
    // queue that prints with the generic PDF driver to a file.
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin"});
        const QString ppd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
        QVERIFY2(!cupsd.isEmpty() && QFile::exists(ppd) && !QStandardPaths::findExecutable("pdftoppm").isEmpty(),
                 "cupsd, cups-filters or pdftoppm is missing: run scripts/install-deps.sh");
        // Filters run as the spooler's own user, which must reach the spool below this folder.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ExeGroup | QFile::ReadGroup
                                               | QFile::ExeOther | QFile::ReadOther);
        for (const char *sub : {"conf", "spool/tmp", "cache", "state", "log", "out"})
            QVERIFY(QDir(dir_.path()).mkpath(sub));
        const QString socket = dir_.filePath("cups.sock"), root = dir_.path();
        spooledPdf_ = dir_.filePath("out/page.pdf");
        const QString conf[][2] = {
            {"cupsd.conf", QString("LogLevel info\nListen %1\nBrowsing Off\nWebInterface No\nDefaultAuthType None\n"
                                   "<Location />\n Order allow,deny\n Allow all\n</Location>\n<Policy default>\n"
                                   " <Limit All>\n  Order deny,allow\n </Limit>\n</Policy>\n").arg(socket)},
            {"cups-files.conf", QString("ServerRoot %1/conf\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                                        "CacheDir %1/cache\nStateDir %1/state\nAccessLog %1/log/access_log\n"
                                        "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\nFileDevice Yes\n"
                                        "Sandboxing Relaxed\n").arg(root)}};
        for (const auto &[name, text] : conf) {
            QFile f(dir_.filePath("conf/" + name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size());
        }

        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start(cupsd, {"-f", "-c", root + "/conf/cupsd.conf", "-s", root + "/conf/cups-files.conf"});
        auto stop = qScopeGuard([this] { cleanupTestCase(); });
        QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(socket), qPrintable("cupsd did not start: " + cupsd_.readAll()), 20000);
        // Before any printing call: Qt's CUPS client reads the server once.
        qputenv("CUPS_SERVER", socket.toLocal8Bit());
        const QString lpadmin = QStandardPaths::findExecutable("lpadmin", {"/usr/sbin", "/usr/bin"});
        QCOMPARE(QProcess::execute(lpadmin, {"-p", "CorvanthelPDF", "-E", "-v", "file://" + spooledPdf_, "-P", ppd}),
                 0);
        QCOMPARE(QProcess::execute(lpadmin, {"-d", "CorvanthelPDF"}), 0);
        stop.dismiss();
    }

    void cleanupTestCase()
    {
        cupsd_.terminate();
        if (!cupsd_.waitForFinished(10000))
            cupsd_.kill();
        cupsd_.waitForFinished(5000);
    }

    // A 101 x 141 grid on pages of pw x ph pixels. A4 at 600 dpi: 4960 / 101 < 7016 / 141,
    // so the width limits.
    void pageScale()
    {
        const struct {
            const char *page;
            double pw, ph, width, height;
        } cases[] = {{"portrait, width limits", 4960, 7016, 101, 102.0 * 7016 / 4960},
                     {"landscape, height limits", 7016, 4960, 142.0 * 7016 / 4960, 141},
                     {"exact ratio takes the second rule", 1010, 1410, 142.0 * 1010 / 1410, 141}};
        for (const auto &c : cases) {
            const QSizeF units = print_scale(c.pw, c.ph, 101, 141);
            QVERIFY2(float(units.width()) == float(c.width) && float(units.height()) == float(c.height), c.page);
        }
    }

    // Each slab stays inside its node but for a whole node toward each open side, at the
    // positions drawn from the program's numbers in the order r1, r2, r3, r4.
    void cityPlanSlabs()
    {
        MazeState s;
        s.CityPlan = true;
        // The rows and columns the slabs span before their random edges, in a 3 x 3 node picture:
        // a lone post keeps both in its square; 9 is open north and south, 10 west and east.
        const struct {
            int tile, top, rows, left, columns;
        } cases[] = {{16, 1, 1, 1, 1}, {9, 0, 3, 1, 1}, {10, 1, 1, 0, 3}};
        for (const auto &c : cases) {
            s.rng.seed(99 + c.tile);
            Random copy(99 + c.tile);
            const float r1 = copy.next() * 0.5f, r2 = copy.next() * 0.5f + 0.5f;
            const float r3 = copy.next() * 0.5f, r4 = copy.next() * 0.5f + 0.5f;
            const QRectF slabs[] = {QRectF(1 + r1, c.top, r2 - r1, c.rows), QRectF(c.left, 1 + r3, c.columns, r4 - r3)};
            QImage image(300, 300, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            p.scale(100, 100);
            print_bitmap(p, s, nullptr, 1, 1, c.tile);
            p.end();
            QCOMPARE(s.Rnd(), copy.next());  // exactly four numbers drawn
            for (int y = 0; y < 300; ++y)
                for (int x = 0; x < 300; ++x) {
                    const QPointF at((x + 0.5) / 100, (y + 0.5) / 100);
                    bool inside = false, onEdge = false;  // a pixel on an edge may go either way
                    for (const QRectF &r : slabs) {
                        inside |= r.contains(at);
                        onEdge |= r.adjusted(-.01, -.01, .01, .01).contains(at)
                            && !r.adjusted(.01, .01, -.01, -.01).contains(at);
                    }
                    if (!onEdge && ((image.pixel(x, y) & 0xFFFFFF) == 0) != inside)
                        QFAIL(qPrintable(QString("tile %1, pixel (%2, %3)").arg(c.tile).arg(x).arg(y)));
                }
        }
    }

    // Two prints of one maze differ in their ragged edges and agree on the walls, four
    // numbers drawn for each wall node; the same numbers give the same page.
    void cityPlanDiffersBetweenPrints()
    {
        MazeState s = framedMaze(41, 61, TopLeftToBottomRight);
        s.CityPlan = true;
        Random expected(1000);
        for (int y = 1; y <= 61; ++y)
            for (int x = 1; x <= 41; ++x)
                for (int i = 0; i < (find_bitmap(s.grid, x, y) > 0 ? 4 : 0); ++i)
                    expected.next();
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 15, 9, 20));
        Progress quiet;
        QImage pages[3];
        for (int i = 0; i < 3; ++i) {
            if (i != 1)
                s.rng.seed(1000);
            const QString pdf = dir_.filePath(QString("city%1.pdf").arg(i));
            QVERIFY(save_pdf_page(s, quiet, a4, 300, pdf, nullptr));
            pages[i] = rasterise(pdf, 100);
            QCOMPARE(pageMismatches(pages[i], 100, a4, 300, s), QString());
        }
        QCOMPARE(s.rng.next(), expected.next());
        QVERIFY(pages[0] != pages[1]);
        QCOMPARE(pages[2], pages[0]);
    }

    // The default printer of the test's own spooler takes the page; the spooled PDF shows
    // the maze where the printer's page layout puts it.
    void printsThroughTheSpooler()
    {
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QString("CorvanthelPDF"));
        MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
        Progress quiet;
        QStringList messages;
        OutputContext ctx = context(s, quiet, messages);
        QPrinter printer(QPrinter::HighResolution);
        print_maze(ctx, printer);
        QCOMPARE(messages, QStringList());
        QCOMPARE(spooledPageMismatches(printer, s), QString());
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

    // Generate in the main window, with the printer chosen, ends on the default queue.
    void printsFromTheMainWindow()
    {
        QFETCH(int, type);
        QFETCH(int, appearance);
        QFETCH(bool, harder);
        QFETCH(bool, loops);
        QFile::remove(spooledPdf_);
        MazeState state;
        Form1 form(state);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.Option13->text(), QString("CorvanthelPDF"));
        form.Text2->setText("30");
        form.Text3->setText("40");
        form.Combo1->setCurrentIndex(type);
        form.findChild<QRadioButton *>(QStringLiteral("Option%1").arg(appearance))->click();
        (harder ? form.Option16 : form.Option15)->click();
        form.Check1->setChecked(loops);
        QStringList messages;
        form.adjustOutput = [&](OutputContext &ctx) { ctx.reportError = [&](const QString &m) { messages << m; }; };
        form.Command1->click();
        QCOMPARE(messages, QStringList());
        QCOMPARE(QSize(state.grid.width(), state.grid.height()), QSize(61, 81));
        QCOMPARE(spooledPageMismatches(form.printer(), state), QString());
    }

    // `corvanthel generate --print` takes the same road to the default queue, and names it.
    void printsFromTheCommandLine()
    {
        QFile::remove(spooledPdf_);
        QProcess cli;
        cli.start(CORVANTHEL_BINARY, {"generate", "--width", "20", "--height", "25", "--seed", "3", "--appearance",
                                      "medium-lines", "--print", "--text", dir_.filePath("cli.txt")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().contains("printer CorvanthelPDF"));
        QVERIFY2(queuePrinted(), "the queue printed nothing");
        QVERIFY(!rasterise(spooledPdf_, 50).isNull());

        cli.start(CORVANTHEL_BINARY, {"generate", "--printer", "Nowhere"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().contains("no printer is called Nowhere"));
    }

    // With no printer left the program says so and saves the page as a PDF file instead.
    void noPrinterOffersPdf()
    {
        const QString lpadmin = QStandardPaths::findExecutable("lpadmin", {"/usr/sbin", "/usr/bin"});
        QCOMPARE(QProcess::execute(lpadmin, {"-x", "CorvanthelPDF"}), 0);
        QVERIFY(QPrinterInfo::availablePrinters().isEmpty());
        MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
        Progress quiet;
        QStringList messages, filters;
        OutputContext ctx = context(s, quiet, messages);
        const QString pdf = dir_.filePath("instead.pdf");
        ctx.askFileName = [&](const QString &filter) {
            filters << filter;
            return pdf;
        };
        QPrinter printer(QPrinter::HighResolution);
        print_maze(ctx, printer);
        const QString instead = "No printer is installed, so Corvanthel will save the page as a PDF file instead.";
        QCOMPARE(messages, QStringList(instead));
        QCOMPARE(filters, QStringList("PDF files (*.pdf)"));
        QCOMPARE(pageMismatches(rasterise(pdf, 100), 100, printer.pageLayout(), printer.resolution(), s), QString());
    }

    void failedPrintSaysSo()
    {
        MazeState s = framedMaze(21, 21, GridMaze);
        Progress quiet;
        QStringList messages;
        OutputContext ctx = context(s, quiet, messages);
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString target = dir_.filePath("missing/page.pdf");
        printer.setOutputFileName(target);
        print_maze(ctx, printer);
        QCOMPARE(messages, QStringList({"cannot print to " + target + ": the printer does not accept a page"}));
        QString error;
        QVERIFY(!save_pdf_page(s, quiet, printer.pageLayout(), 72, target, &error));
        QVERIFY2(error.startsWith("cannot write " + target + ": "), qPrintable(error));
        QVERIFY(!QFile::exists(target));
    }

private:
    QTemporaryDir dir_;
    QProcess cupsd_;
    QString spooledPdf_;

    // The queue has finished its job and written the page.
    bool queuePrinted()
    {
        return QTest::qWaitFor([&] {
            QProcess lpstat;
            lpstat.start("lpstat", {"-o", "CorvanthelPDF"});
            return lpstat.waitForFinished() && lpstat.readAll().trimmed().isEmpty() && QFile::exists(spooledPdf_);
        }, 60000);
    }

    QString spooledPageMismatches(const QPrinter &printer, const MazeState &s)
    {
        if (!queuePrinted())
            return "the queue printed nothing";
        return pageMismatches(rasterise(spooledPdf_, 100), 100, printer.pageLayout(), printer.resolution(), s);
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"

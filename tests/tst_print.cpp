#include "tests/support.h"
#include "app/form1.h"
#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/print.h"
#include "render/tiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace support;

namespace {

QString run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

QImage rasterise(const QString &pdf, int dpi)
{
    const QString out = pdf + "-raster";
    int code = 0;
    const QString log = run(QStandardPaths::findExecutable("pdftoppm"),
                            {"-r", QString::number(dpi), "-gray", "-singlefile", pdf, out}, &code);
    if (code != 0)
        qWarning("pdftoppm: %s", qPrintable(log));
    return QImage(out + ".pgm");
}

// The printed page seen through a raster: where each node's unit square lies.
struct PageGeometry {
    QPointF origin;  // raster pixels of unit (0, 0)
    QSizeF unit;     // raster pixels per unit
};

PageGeometry geometry(int dpi, const QPageLayout &layout, QSize devicePixels, int gw, int gh)
{
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const double perPoint = dpi / 72.0;
    const QSizeF units = print_scale(devicePixels.width(), devicePixels.height(), gw, gh);
    return {paint.topLeft() * perPoint,
            QSizeF(paint.width() * perPoint / units.width(), paint.height() * perPoint / units.height())};
}

// Ink within a sixth of a node of a point: rasterisers soften the edges of stretched
// pictures, so a line one fifth of a node wide may not darken the very pixel sampled.
bool dark(const QImage &raster, QPointF at, QSizeF unit)
{
    const int rx = qMax(1, int(unit.width() / 6)), ry = qMax(1, int(unit.height() / 6));
    int darkest = 255;
    for (int y = int(at.y()) - ry; y <= int(at.y()) + ry; ++y)
        for (int x = int(at.x()) - rx; x <= int(at.x()) + rx; ++x)
            if (raster.valid(x, y))
                darkest = qMin(darkest, qGray(raster.pixel(x, y)));
    return darkest < 128;
}

// Every node where the grid says: the centre of a wall node's square is black, of a
// passage white (printed tiles and slabs never reach into a passage); the arrows fill
// the corner squares; nothing lies beyond the maze's right and bottom edges.
QStringList pageMismatches(const QImage &raster, const PageGeometry &g, const MazeState &s)
{
    QStringList wrong;
    const int gw = s.grid.width(), gh = s.grid.height();
    auto centre = [&](double x, double y) {
        return QPointF(g.origin.x() + (x - 0.5) * g.unit.width(), g.origin.y() + (y - 0.5) * g.unit.height());
    };
    auto inCorner = [&](int x, int y) {
        return s.MazeType == TopLeftToBottomRight
            && ((x <= s.CornerWidth && y <= s.CornerHeight) || (x > gw - s.CornerWidth && y > gh - s.CornerHeight));
    };
    for (int y = 1; y <= gh; ++y)
        for (int x = 1; x <= gw; ++x) {
            if (inCorner(x, y))
                continue;
            const bool wall = find_bitmap(s.grid, x, y) > 0;
            if (dark(raster, centre(x, y), g.unit) != wall && wrong.size() < 10)
                wrong << QString("node (%1, %2) should be %3").arg(x).arg(y).arg(wall ? "wall" : "passage");
        }
    if (s.MazeType == TopLeftToBottomRight) {
        // The shaft's middle, 60/128 of the way along each square's diagonal.
        const double along = s.CornerWidth * 60.5 / 128;
        if (!dark(raster, centre(along + 0.5, along + 0.5), g.unit))
            wrong << "no arrow at the top left";
        if (!dark(raster, centre(gw - s.CornerWidth + along + 0.5, gh - s.CornerHeight + along + 0.5), g.unit))
            wrong << "no arrow at the bottom right";
    }
    for (int y = 1; centre(1, y + gh).y() < raster.height() - 2; ++y)
        for (int x = 1; x <= gw; ++x)
            if (dark(raster, centre(x, y + gh), g.unit) && wrong.size() < 20)
                wrong << QString("ink below the maze at (%1, %2)").arg(x).arg(y + gh);
    for (int x = 1; centre(x + gw, 1).x() < raster.width() - 2; ++x)
        for (int y = 1; y <= gh; ++y)
            if (dark(raster, centre(x + gw, y), g.unit) && wrong.size() < 20)
                wrong << QString("ink right of the maze at (%1, %2)").arg(x + gw).arg(y);
    return wrong;
}

QPageLayout a4Portrait()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 15, 9, 20),
                       QPageLayout::Millimeter);
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pageScale_data();
    void pageScale();
    void mazeAlwaysFitsThePage();
    void pdfPage_data();
    void pdfPage();
    void captions();
    void cityPlanSlabs();
    void cityPlanDiffersBetweenPrints();
    void printsThroughTheSpooler();
    void printsFromTheMainWindow_data();
    void printsFromTheMainWindow();
    void printsFromTheCommandLine();
    void noPrinterOffersPdf();
    void failedPrintSaysSo();

private:
    QTemporaryDir dir_;
    QProcess cupsd_;
    QString socket_;
    QString spooledPdf_;
    void lpadmin(const QStringList &args);
};

void TestPrint::lpadmin(const QStringList &args)
{
    int code = -1;
    const QString log = run(QStandardPaths::findExecutable("lpadmin", {"/usr/sbin", "/usr/bin"}), args, &code);
    QVERIFY2(code == 0, qPrintable("lpadmin " + args.join(' ') + ": " + log));
}

// A print spooler of the test's own: cupsd with its configuration, socket, spool, logs
// and output under a temporary folder, never the machine's. Its one queue prints with
// the generic PDF driver to a file. (The CUPS-PDF backend would do, but it reads its
// settings only from the machine's /etc/cups and writes into the user's home.)
void TestPrint::initTestCase()
{
    QVERIFY(dir_.isValid());
    const QString cupsdPath = QStandardPaths::findExecutable("cupsd", {"/usr/sbin"});
    QVERIFY2(!cupsdPath.isEmpty(), "cupsd is missing: run scripts/install-deps.sh");
    const QString ppd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
    QVERIFY2(QFile::exists(ppd), "the generic PDF driver (cups-filters) is missing: run scripts/install-deps.sh");
    QVERIFY2(!QStandardPaths::findExecutable("pdftoppm").isEmpty(), "pdftoppm is missing: run scripts/install-deps.sh");

    // Filters run as the spooler's own user, which must reach the spool below this folder.
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ExeGroup | QFile::ReadGroup
                                           | QFile::ExeOther | QFile::ReadOther);
    QDir d(dir_.path());
    for (const char *sub : {"conf", "spool/tmp", "cache", "state", "log", "out"})
        QVERIFY(d.mkpath(sub));
    socket_ = dir_.filePath("cups.sock");
    spooledPdf_ = dir_.filePath("out/page.pdf");
    QFile conf(dir_.filePath("conf/cupsd.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QString("LogLevel info\nListen %1\nBrowsing Off\nWebInterface No\nDefaultAuthType None\n"
                       "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                       "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                   .arg(socket_)
                   .toUtf8());
    conf.close();
    QFile files(dir_.filePath("conf/cups-files.conf"));
    QVERIFY(files.open(QIODevice::WriteOnly));
    const QString root = dir_.path();
    files.write(QString("ServerRoot %1/conf\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                        "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                        "PageLog %1/log/page_log\nFileDevice Yes\nSandboxing Relaxed\n")
                    .arg(root)
                    .toUtf8());
    files.close();

    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(cupsdPath, {"-f", "-c", dir_.filePath("conf/cupsd.conf"), "-s", dir_.filePath("conf/cups-files.conf")});
    QVERIFY2(cupsd_.waitForStarted(), qPrintable(cupsd_.errorString()));
    auto stop = qScopeGuard([this] { cleanupTestCase(); });
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(socket_), qPrintable("cupsd did not start: " + cupsd_.readAll()), 20000);

    // Before any printing call: Qt's CUPS client reads the server once.
    qputenv("CUPS_SERVER", socket_.toLocal8Bit());
    lpadmin({"-p", "CorvanthelPDF", "-E", "-v", "file://" + spooledPdf_, "-P", ppd});
    lpadmin({"-d", "CorvanthelPDF"});
    stop.dismiss();
}

void TestPrint::cleanupTestCase()
{
    if (cupsd_.state() == QProcess::NotRunning)
        return;
    run(QStandardPaths::findExecutable("lpadmin", {"/usr/sbin", "/usr/bin"}), {"-x", "CorvanthelPDF"});
    cupsd_.terminate();
    if (!cupsd_.waitForFinished(10000)) {
        cupsd_.kill();
        cupsd_.waitForFinished(5000);
    }
}

void TestPrint::pageScale_data()
{
    QTest::addColumn<double>("pw");
    QTest::addColumn<double>("ph");
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    // A4 at 600 dpi: 4960 / 101 < 7016 / 141, so the width limits.
    QTest::newRow("portrait page, width limits") << 4960.0 << 7016.0 << 101 << 141 << 101.0f
                                                 << float(102.0 * 7016 / 4960);
    QTest::newRow("landscape page, height limits") << 7016.0 << 4960.0 << 101 << 141
                                                   << float(142.0 * 7016 / 4960) << 141.0f;
    QTest::newRow("exact ratio takes the second rule") << 1010.0 << 1410.0 << 101 << 141
                                                       << float(142.0 * 1010 / 1410) << 141.0f;
    QTest::newRow("wide maze on a portrait page") << 4960.0 << 7016.0 << 301 << 41 << 301.0f
                                                  << float(302.0 * 7016 / 4960);
}

void TestPrint::pageScale()
{
    QFETCH(double, pw);
    QFETCH(double, ph);
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(float, width);
    QFETCH(float, height);
    const QSizeF units = print_scale(pw, ph, gw, gh);
    QCOMPARE(float(units.width()), width);
    QCOMPARE(float(units.height()), height);
}

// Whatever the page and the grid, the maze's gw x gh units fit on it and fill it in
// the direction that limits it.
void TestPrint::mazeAlwaysFitsThePage()
{
    Random rng(5);
    for (int i = 0; i < 2000; ++i) {
        const double pw = 100 + rng.next() * 10000, ph = 100 + rng.next() * 10000;
        const int gw = 9 + 2 * int(rng.next() * 2000), gh = 9 + 2 * int(rng.next() * 2000);
        const QSizeF u = print_scale(pw, ph, gw, gh);
        QVERIFY(u.width() >= gw && u.height() >= gh);
        QVERIFY(u.width() == gw || u.height() == gh);
    }
}

void TestPrint::pdfPage_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("orientation");
    QTest::newRow("101 x 141, portrait") << int(TopLeftToBottomRight) << 101 << 141 << int(QPageLayout::Portrait);
    QTest::newRow("101 x 141, landscape") << int(TopLeftToBottomRight) << 101 << 141 << int(QPageLayout::Landscape);
    QTest::newRow("Grid 61 x 41, portrait") << int(GridMaze) << 61 << 41 << int(QPageLayout::Portrait);
}

// The page through a PDF file and an independent rasteriser: walls where the grid
// says, in the page's scale, arrows in the corners, nothing beyond the maze.
void TestPrint::pdfPage()
{
    QFETCH(int, type);
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(int, orientation);
    MazeState s = framedMaze(gw, gh, std::uint8_t(type));
    QPageLayout layout = a4Portrait();
    layout.setOrientation(QPageLayout::Orientation(orientation));
    const QString pdf = dir_.filePath("page.pdf");
    Progress quiet;
    QString error;
    QVERIFY2(save_pdf_page(s, quiet, layout, 300, pdf, &error), qPrintable(error));

    const QImage raster = rasterise(pdf, 150);
    QVERIFY(!raster.isNull());
    const QSize device = layout.paintRectPixels(300).size();
    const QStringList wrong = pageMismatches(raster, geometry(150, layout, device, gw, gh), s);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
}

void TestPrint::captions()
{
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
    Recorder rec;
    QString error;
    QVERIFY(save_pdf_page(s, rec, a4Portrait(), 72, dir_.filePath("c.pdf"), &error));
    QCOMPARE(rec.captions.size(), 141);
    QCOMPARE(rec.captions.front(), QString("Printing - 0%"));
    QCOMPARE(rec.captions.back(), QString("Printing - 100%"));
}

// City plan slabs stay inside the node but for a whole node toward each open side, at
// the positions drawn from the program's numbers in the order r1, r2, r3, r4.
void TestPrint::cityPlanSlabs()
{
    MazeState s;
    s.CityPlan = true;
    const int unit = 100;
    struct Case {
        int tile;
        QRect vertical, horizontal;  // in units, before the random edges
    };
    // Lone post: both slabs inside its own square (1, 1)-(2, 2).
    // Tile 9 (north and south open): the vertical slab spans three squares.
    // Tile 10 (west and east open): the horizontal slab spans three squares.
    const Case cases[] = {{16, QRect(1, 1, 1, 1), QRect(1, 1, 1, 1)},
                          {9, QRect(1, 0, 1, 3), QRect(1, 1, 1, 1)},
                          {10, QRect(1, 1, 1, 1), QRect(0, 1, 3, 1)}};
    for (const Case &c : cases) {
        s.rng.seed(99 + c.tile);
        Random copy(99 + c.tile);
        const float r1 = copy.next() * 0.5f, r2 = copy.next() * 0.5f + 0.5f;
        const float r3 = copy.next() * 0.5f, r4 = copy.next() * 0.5f + 0.5f;

        QImage image(3 * unit, 3 * unit, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(unit, unit);
        print_bitmap(p, s, nullptr, 1, 1, c.tile);
        p.end();
        QCOMPARE(s.Rnd(), copy.next());  // exactly four numbers drawn

        for (int y = 0; y < 3 * unit; ++y)
            for (int x = 0; x < 3 * unit; ++x) {
                const double ux = (x + 0.5) / unit, uy = (y + 0.5) / unit;
                const bool inVertical = ux >= 1 + r1 && ux < 1 + r2 && uy >= c.vertical.top()
                    && uy < c.vertical.top() + c.vertical.height();
                const bool inHorizontal = uy >= 1 + r3 && uy < 1 + r4 && ux >= c.horizontal.left()
                    && ux < c.horizontal.left() + c.horizontal.width();
                // A pixel on a slab's edge may go either way.
                const bool nearEdge = std::abs(ux - 1 - r1) * unit < 1 || std::abs(ux - 1 - r2) * unit < 1
                    || std::abs(uy - 1 - r3) * unit < 1 || std::abs(uy - 1 - r4) * unit < 1;
                if (!nearEdge && ((image.pixel(x, y) & 0xFFFFFF) == 0) != (inVertical || inHorizontal))
                    QFAIL(qPrintable(QString("tile %1, pixel (%2, %3)").arg(c.tile).arg(x).arg(y)));
            }
    }
    // A passage prints nothing and draws no numbers.
    s.rng.seed(1);
    Random copy(1);
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter p(&image);
    print_bitmap(p, s, nullptr, 0, 0, 0);
    QCOMPARE(s.Rnd(), copy.next());
}

// Two prints of one maze differ in their ragged edges and agree on the walls; the
// same numbers give the same page.
void TestPrint::cityPlanDiffersBetweenPrints()
{
    MazeState s = framedMaze(41, 61, TopLeftToBottomRight);
    s.CityPlan = true;
    int walls = 0;
    for (int y = 1; y <= 61; ++y)
        for (int x = 1; x <= 41; ++x)
            walls += find_bitmap(s.grid, x, y) > 0;

    const QPageLayout layout = a4Portrait();
    Progress quiet;
    QString error;
    s.rng.seed(1000);
    QVERIFY(save_pdf_page(s, quiet, layout, 300, dir_.filePath("city1.pdf"), &error));
    Random expected(1000);
    for (int i = 0; i < 4 * walls; ++i)
        expected.next();
    QCOMPARE(s.rng.next(), expected.next());
    QVERIFY(save_pdf_page(s, quiet, layout, 300, dir_.filePath("city2.pdf"), &error));
    s.rng.seed(1000);
    QVERIFY(save_pdf_page(s, quiet, layout, 300, dir_.filePath("city3.pdf"), &error));

    const QImage first = rasterise(dir_.filePath("city1.pdf"), 100);
    const QImage second = rasterise(dir_.filePath("city2.pdf"), 100);
    const QImage again = rasterise(dir_.filePath("city3.pdf"), 100);
    QVERIFY(!first.isNull() && first.size() == second.size());
    QVERIFY(first != second);
    QCOMPARE(again, first);
    const PageGeometry g = geometry(100, layout, layout.paintRectPixels(300).size(), 41, 61);
    for (const QImage *page : {&first, &second}) {
        const QStringList wrong = pageMismatches(*page, g, s);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
    }
}

// The default printer of the test's own spooler takes the page; the spooled PDF shows
// the maze where the printer's page layout puts it.
void TestPrint::printsThroughTheSpooler()
{
    QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QString("CorvanthelPDF"));
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
    Recorder rec;
    QStringList messages;
    OutputContext ctx{s, rec, nullptr, [](const QString &) { return QString(); }, [] { return false; },
                      [&](const QString &m) { messages << m; }};
    QPrinter printer(QPrinter::HighResolution);
    QCOMPARE(printer.printerName(), QString("CorvanthelPDF"));
    QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
    print_maze(ctx, printer);
    QCOMPARE(messages, QStringList());
    QCOMPARE(rec.captions.back(), QString("Printing - 100%"));

    const QString lpstat = QStandardPaths::findExecutable("lpstat");
    QTRY_VERIFY_WITH_TIMEOUT(!run(lpstat, {"-W", "completed", "-o", "CorvanthelPDF"}).trimmed().isEmpty(), 60000);
    QVERIFY2(run(lpstat, {"-o", "CorvanthelPDF"}).trimmed().isEmpty(), "a job is still waiting");
    QFile spooled(spooledPdf_);
    QVERIFY2(spooled.open(QIODevice::ReadOnly), "the queue wrote no file");
    QVERIFY(spooled.readAll().contains("%PDF-"));

    const QImage raster = rasterise(spooledPdf_, 100);
    QVERIFY(!raster.isNull());
    const QPageLayout layout = printer.pageLayout();
    QVERIFY(qAbs(raster.width() - layout.fullRect(QPageLayout::Point).width() * 100 / 72.0) < 1);
    const QStringList wrong = pageMismatches(raster, geometry(100, layout, QSize(printer.width(), printer.height()), 101, 141), s);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
}

void TestPrint::printsFromTheMainWindow_data()
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
void TestPrint::printsFromTheMainWindow()
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

    const QString lpstat = QStandardPaths::findExecutable("lpstat");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(spooledPdf_) && run(lpstat, {"-o", "CorvanthelPDF"}).trimmed().isEmpty(), 60000);
    const QImage raster = rasterise(spooledPdf_, 100);
    QVERIFY(!raster.isNull());
    const QPageLayout layout = form.printer().pageLayout();
    const QStringList wrong = pageMismatches(
        raster, geometry(100, layout, QSize(form.printer().width(), form.printer().height()), 61, 81), state);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
}

// `corvanthel generate --print` takes the same road to the default queue, and names it.
void TestPrint::printsFromTheCommandLine()
{
    QFile::remove(spooledPdf_);
    QProcess cli;
    cli.start(QStringLiteral(CORVANTHEL_BINARY), {"generate", "--width", "20", "--height", "25", "--seed", "3",
                                                  "--appearance", "medium-lines", "--print", "--text", dir_.filePath("cli.txt")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.readAllStandardOutput().contains("printer CorvanthelPDF"));
    const QString lpstat = QStandardPaths::findExecutable("lpstat");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(spooledPdf_) && run(lpstat, {"-o", "CorvanthelPDF"}).trimmed().isEmpty(), 60000);
    QVERIFY(!rasterise(spooledPdf_, 50).isNull());

    QProcess unknown;
    unknown.start(QStringLiteral(CORVANTHEL_BINARY), {"generate", "--printer", "Nowhere"});
    QVERIFY(unknown.waitForFinished(60000));
    QCOMPARE(unknown.exitCode(), 1);
    QVERIFY(unknown.readAllStandardError().contains("no printer is called Nowhere"));
}

// With no printer left the program says so and saves the page as a PDF file instead.
void TestPrint::noPrinterOffersPdf()
{
    lpadmin({"-x", "CorvanthelPDF"});
    QVERIFY(QPrinterInfo::availablePrinters().isEmpty());

    MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
    Progress quiet;
    QStringList messages, filters;
    const QString pdf = dir_.filePath("instead.pdf");
    OutputContext ctx{s, quiet, nullptr,
                      [&](const QString &filter) {
                          filters << filter;
                          return pdf;
                      },
                      [] { return false; }, [&](const QString &m) { messages << m; }};
    QPrinter printer(QPrinter::HighResolution);
    print_maze(ctx, printer);
    QCOMPARE(messages, QStringList({"No printer is installed, so Corvanthel will save the page as a PDF file instead."}));
    QCOMPARE(filters, QStringList({"PDF files (*.pdf)"}));
    const QImage raster = rasterise(pdf, 100);
    QVERIFY(!raster.isNull());
    const QPageLayout layout = printer.pageLayout();
    const QStringList wrong = pageMismatches(
        raster, geometry(100, layout, layout.paintRectPixels(printer.resolution()).size(), 101, 141), s);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));

    // Cancelling that dialog writes nothing.
    QFile::remove(pdf);
    messages.clear();
    ctx.askFileName = [](const QString &) { return QString(); };
    print_maze(ctx, printer);
    QCOMPARE(messages.size(), 1);
    QVERIFY(!QFile::exists(pdf));
}

void TestPrint::failedPrintSaysSo()
{
    MazeState s = framedMaze(21, 21, GridMaze);
    Progress quiet;
    QStringList messages;
    OutputContext ctx{s, quiet, nullptr, [](const QString &) { return QString(); }, [] { return false; },
                      [&](const QString &m) { messages << m; }};
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString target = dir_.filePath("missing/page.pdf");
    printer.setOutputFileName(target);
    print_maze(ctx, printer);
    QCOMPARE(messages, QStringList({"cannot print to " + target + ": the printer does not accept a page"}));

    QString error;
    QVERIFY(!save_pdf_page(s, quiet, a4Portrait(), 72, target, &error));
    QVERIFY2(error.startsWith("cannot write " + target + ": "), qPrintable(error));
    QVERIFY(!QFile::exists(target));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"

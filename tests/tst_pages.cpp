#include "tests/support.h"
#include "tests/page_oracle.h"
#include "maze/solve.h"
#include "render/page_layout.h"
#include "render/print.h"

#include <QtTest>

using namespace support;

namespace {

/// The text of each page, as pdftotext reads it.
QStringList pageTexts(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.constLast().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

/// The smallest rectangle holding every dark pixel.
QRect inkBox(const QImage &raster)
{
    QRect box;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            if (qGray(raster.pixel(x, y)) < 160)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("pdfinfo").isEmpty(), "poppler-utils is missing: run scripts/install-deps.sh");
    }

    void titles()
    {
        QCOMPARE(page_title("Maze %n (seed %s), 100%%", 7, 42), QString("Maze 7 (seed 42), 100%"));
        QCOMPARE(page_title("50% off %", 1, 1), QString("50% off %"));
    }

    void paperAndOrientation_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("cells");  // across; 10 down
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("files default to A4 portrait") << QStringList() << 10 << "A4" << false;
        QTest::newRow("A3") << QStringList{"--paper", "A3"} << 10 << "A3" << false;
        QTest::newRow("Letter landscape") << QStringList{"--paper", "letter", "--orientation", "landscape"} << 10 << "letter" << true;
        QTest::newRow("Tabloid") << QStringList{"--paper", "Tabloid"} << 10 << "" << false;
        QTest::newRow("auto, a wide maze") << QStringList{"--orientation", "auto"} << 40 << "A4" << true;
        QTest::newRow("auto, a tall maze") << QStringList{"--orientation", "auto"} << 6 << "A4" << false;
        QTest::newRow("auto, a wide maze, 2 a page") << QStringList{"--orientation", "auto", "--per-page", "2"} << 40 << "A4" << true;
    }

    // The paper and its orientation as pdfinfo reads them.
    void paperAndOrientation()
    {
        QFETCH(QStringList, options);
        QFETCH(int, cells);
        QFETCH(QString, size);
        QFETCH(bool, landscape);
        const QString pdf = dir_.filePath("page.pdf");
        const Run run = runProgram(CORVANTHEL_BINARY, QStringList{"generate", "--width", QString::number(cells), "--height",
                                                                  "10", "--seed", "1", "--pdf", pdf} + options, dir_.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const PdfInfo info = pdfInfo(pdf);
        QCOMPARE(info.pages, 1);
        if (!size.isEmpty())
            QCOMPARE(info.sizeName, size);
        else
            QCOMPARE(info.size, QSizeF(792, 1224));
        QCOMPARE(info.size.width() > info.size.height(), landscape);
    }

    void mazesStayInsideTheMargins_data()
    {
        QTest::addColumn<int>("cells");  // across; 20 down
        QTest::addColumn<bool>("center");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<bool>("title");
        QTest::newRow("tall, top left") << 15 << false << 1 << false;
        QTest::newRow("tall, centred") << 15 << true << 1 << false;
        QTest::newRow("wide, centred, titled") << 60 << true << 1 << true;
        QTest::newRow("four a page, titled") << 15 << false << 4 << true;
        QTest::newRow("nine a page, centred") << 25 << true << 9 << false;
    }

    // Whatever is placed, nothing crosses the margins; a lone maze fills its limiting direction
    // exactly, and centred it leaves equal paper on both sides of the other.
    void mazesStayInsideTheMargins()
    {
        QFETCH(int, cells);
        QFETCH(bool, center);
        QFETCH(int, perPage);
        QFETCH(bool, title);
        MazeState s = framedMaze(2 * cells + 1, 41, TopLeftToBottomRight, 1);
        PageSetup setup;
        setup.marginMm = 25;
        setup.center = center;
        setup.perPage = perPage;
        if (title)
            setup.title = "Sheet %n";
        const QString pdf = dir_.filePath("margins.pdf");
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        QVERIFY(save_pdf_page(s, quiet_, a4, 1200, pdf, nullptr, PageOptions{false, false, {}, setup}));
        const QImage raster = rasterised(pdf);
        const double margin = 25 * 300 / 25.4;
        const QRectF inside = QRectF(QPointF(0, 0), raster.size()).adjusted(margin - 1, margin - 1, 1 - margin, 1 - margin);
        const QRect ink = inkBox(raster);
        QVERIFY2(inside.contains(ink), qPrintable(QString("ink %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
        if (perPage > 1 || title)
            return;
        const double gw = s.grid.width(), gh = s.grid.height();
        const bool widthLimits = inside.width() / gw < inside.height() / gh;
        // The maze's outer walls run along its first and last nodes' middles: half a node in.
        if (widthLimits) {
            const double node = inside.width() / gw;
            QVERIFY(qAbs(ink.width() - (inside.width() - node)) < node / 2 + 3);
            if (center)
                QVERIFY(qAbs((ink.top() - inside.top()) - (inside.bottom() - ink.bottom())) < 4);
        } else {
            const double node = inside.height() / gh;
            QVERIFY(qAbs(ink.height() - (inside.height() - node)) < node / 2 + 3);
            if (center)
                QVERIFY2(qAbs((ink.left() - inside.left()) - (inside.right() - ink.right())) < 4,
                         qPrintable(QString("%1 %2").arg(ink.left() - inside.left()).arg(inside.right() - ink.right())));
            else
                QVERIFY(ink.left() - inside.left() < node);
        }
    }

    void pagesWithoutRoomAreRefused_data()
    {
        QTest::addColumn<double>("margin");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<bool>("titled");  // a title and a name line
        QTest::addColumn<bool>("answerKey");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("margins wider than the paper") << 100.0 << false << 1 << false << false
                                                      << "the 100 mm margins leave no room for a maze on A5 paper";
        QTest::newRow("nine a page under a title") << 62.0 << false << 9 << true << false
                                                   << "the 62 mm margins leave no room for 9 mazes a page on A5 paper "
                                                      "with the title and the name line";
        QTest::newRow("the key's title, after a maze that fits") << 64.0 << true << 2 << false << true
                                                                 << "the 64 mm margins leave no room for 2 mazes a page "
                                                                    "on A5 paper with the answer key's title";
    }

    // Margins that leave no room for a maze are refused before a page is drawn: no mirrored or
    // empty maze, and no file.
    void pagesWithoutRoomAreRefused()
    {
        QFETCH(double, margin);
        QFETCH(bool, landscape);
        QFETCH(int, perPage);
        QFETCH(bool, titled);
        QFETCH(bool, answerKey);
        QFETCH(QString, refusal);
        MazeState s = framedMaze(21, 21, GridMaze, 1);
        solve_maze(s);
        PageSetup setup;
        setup.marginMm = margin;
        setup.orientation = landscape ? PageSetup::Orientation::Landscape : PageSetup::Orientation::Portrait;
        setup.perPage = perPage;
        setup.title = titled ? "T" : "";
        setup.nameLine = titled;
        const QString pdf = dir_.filePath("no room.pdf");
        const QPageLayout a5(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        QString error;
        QVERIFY(!save_pdf_page(s, quiet_, a5, 300, pdf, &error, PageOptions{false, answerKey, {}, setup}));
        QCOMPARE(error, "cannot write " + pdf + ": " + refusal);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(page_room_refusal(a5, setup, s.grid.width(), s.grid.height(), 1, answerKey), refusal);
    }

    // On a composed page every tile pixel still shows its shade at 300 dpi, and no picture is in the file.
    void composedPagesAreTheGrid()
    {
        MazeState s = framedMaze(31, 21, GridMaze, 7);
        PageSetup setup;
        setup.marginMm = 20;
        setup.center = true;
        setup.title = "A maze";
        setup.nameLine = true;
        const QString pdf = dir_.filePath("composed.pdf");
        QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        QVERIFY(save_pdf_page(s, quiet_, a4, 1200, pdf, nullptr, PageOptions{false, false, {}, setup}));
        QCOMPARE(pdfImages(pdf).size(), 2);
        // Where the layout puts the maze, in 1200 dpi pixels from the paint area, then at 300 dpi.
        const QPageLayout layout = page_layout_for(a4, setup);
        const PagePlan plan = plan_page(layout.paintRectPixels(1200).size(), 1200, 1, 1, PageParts{true, true, false, false});
        const QPoint corner = layout.paintRectPoints().topLeft();  // margins are kept in whole points
        const QTransform toRaster = maze_transform(plan.places.constFirst(), s.grid.width(), s.grid.height(), true)
                                    * QTransform::fromScale(0.25, 0.25) * QTransform::fromTranslate(corner.x() * 300 / 72.0, corner.y() * 300 / 72.0);
        QCOMPARE(tileMismatches(rasterised(pdf), s, toRaster), QString());
        const QStringList text = pageTexts(pdf);
        QCOMPARE(text.size(), 1);
        QVERIFY2(text[0].contains("A maze"), qPrintable(text[0]));
        QVERIFY2(text[0].contains("Name:"), qPrintable(text[0]));
        QVERIFY2(text[0].contains("Date:"), qPrintable(text[0]));
    }

    // Fifty mazes and their keys in one PDF: a hundred pages, numbered, the mazes in order with
    // their titles, then each key labelled with its maze's number.
    void bookOfFiftyWithKeys()
    {
        const QString pdf = dir_.filePath("book.pdf");
        const Run run = runProgram(CORVANTHEL_BINARY, {"generate", "--width", "5", "--height", "5", "--count", "50", "--seed",
                                                       "100", "--answer-key", "--title", "Maze %n, seed %s", "--pdf", pdf},
                                   dir_.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains(pdf + ": 50 mazes on 100 pages"), qPrintable(run.out));
        QCOMPARE(pdfInfo(pdf).pages, 100);
        QCOMPARE(pdfImages(pdf).size(), 2);
        const QStringList pages = pageTexts(pdf);
        QCOMPARE(pages.size(), 100);
        for (int i = 1; i <= 100; ++i) {
            const QString &page = pages[i - 1];
            const QString heading = i <= 50 ? QString("Maze %1, seed %2").arg(i).arg(99 + i) : QString("Answer key, maze %1").arg(i - 50);
            QVERIFY2(page.contains(heading), qPrintable(QString("page %1: %2").arg(i).arg(page)));
            QVERIFY2(page.trimmed().endsWith(QString::number(i)), qPrintable(QString("page %1 is not numbered").arg(i)));
        }
        QCOMPARE(QDir(dir_.path()).entryList({"book*"}), QStringList("book.pdf"));
    }

    // Four to a page: the keys follow in the same arrangement, each numbered as its maze.
    void fourToAPageWithKeys()
    {
        const QString pdf = dir_.filePath("sheet.pdf");
        const Run run = runProgram(CORVANTHEL_BINARY, {"generate", "--width", "8", "--height", "8", "--count", "6", "--seed",
                                                       "3", "--answer-key", "--per-page", "4", "--name-line", "--pdf", pdf},
                                   dir_.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList pages = pageTexts(pdf);
        QCOMPARE(pages.size(), 4);  // mazes 1-4, 5-6, keys 1-4, keys 5-6
        QVERIFY(pages[0].contains("Name:"));
        QVERIFY(!pages[2].contains("Name:"));
        QVERIFY(pages[2].contains("Answer key"));
        for (const auto &[page, numbers] : {std::pair{0, QStringList{"1", "2", "3", "4"}}, std::pair{1, QStringList{"5", "6"}},
                                            std::pair{2, QStringList{"1", "2", "3", "4"}}, std::pair{3, QStringList{"5", "6"}}})
            for (const QString &n : numbers)
                QVERIFY2(pages[page].contains(QRegularExpression("\\b" + n + "\\b")), qPrintable(pages[page]));
    }

    // A poster: its pages overlap by 10 mm, the overlap the same on both pages that share it.
    void posterPagesOverlap()
    {
        MazeState s = framedMaze(81, 61, TopLeftToBottomRight, 1);
        PageSetup setup;
        setup.poster = QSize(2, 1);
        setup.orientation = PageSetup::Orientation::Portrait;
        const QString pdf = dir_.filePath("poster.pdf");
        const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        QVERIFY(save_pdf_page(s, quiet_, a4, 1200, pdf, nullptr, PageOptions{false, false, {}, setup}));
        QCOMPARE(pdfInfo(pdf).pages, 2);
        const QImage left = rasterised(pdf, 1), right = rasterised(pdf, 2);
        // Where the pages' paint areas are: the layout keeps its margins in whole points.
        const QRect paint = a4.paintRectPoints();
        const int margin = int(std::lround(paint.left() * 300 / 72.0)), overlap = int(std::lround(10 * 300 / 25.4));
        const int width = int(std::lround(paint.width() * 300 / 72.0)), bottom = left.height() / 2;  // clear of the footer
        // The strip's ink column by column on both pages; they line up at no shift (the pages'
        // pixel grids may sit a fraction of a pixel apart), and not a few pixels off.
        QList<int> a, b;
        for (int x = 0; x < overlap; ++x) {
            int da = 0, db = 0;
            for (int y = margin + 2; y < bottom; ++y) {
                da += qGray(left.pixel(margin + width - overlap + x, y)) < 128;
                db += qGray(right.pixel(margin + x, y)) < 128;
            }
            a << da;
            b << db;
        }
        int inked = 0;
        for (int x = 8; x < overlap - 8; ++x)
            inked += a[x];
        auto mismatch = [&](int shift) {
            int sum = 0;
            for (int x = 8; x < overlap - 8; ++x)
                sum += qAbs(a[x] - b[x + shift]);
            return sum;
        };
        int best = 0;
        for (int shift = -8; shift <= 8; ++shift)
            if (mismatch(shift) < mismatch(best))
                best = shift;
        QVERIFY2(inked > 1000, qPrintable(QString::number(inked)));
        QVERIFY2(qAbs(best) <= 1, qPrintable(QString("the strips line up %1 pixels apart").arg(best)));
        QVERIFY2(mismatch(best) * 20 < inked, qPrintable(QString("%1 of %2").arg(mismatch(best)).arg(inked)));
        QVERIFY(inkBox(left).left() >= margin - 1);
        QVERIFY(inkBox(right).right() <= right.width() - margin + 1);
    }

private:
    QTemporaryDir dir_;
    Progress quiet_;
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"

#include "tests/support.h"
#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/draw.h"
#include "render/tile_images.h"
#include "render/tiles.h"
#include "render/too_large_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace support;

namespace {

// The full picture folded into a smaller one, each pixel into the one it falls in, the
// darker colour winning.
QImage shrinkDarkest(const QImage &full, QSize size)
{
    QImage small(size, QImage::Format_RGB32);
    small.fill(Qt::white);
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            const int sx = int(qint64(x) * size.width() / full.width());
            const int sy = int(qint64(y) * size.height() / full.height());
            const QRgb a = small.pixel(sx, sy), b = full.pixel(x, y);
            small.setPixel(sx, sy, qRgb(qMin(qRed(a), qRed(b)), qMin(qGreen(a), qGreen(b)), qMin(qBlue(a), qBlue(b))));
        }
    return small;
}

bool isBlack(const QImage &image, int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == 0; }

// Dialog answers and messages of one output, recorded.
struct Answers {
    QString fileName;
    bool monochrome = false;
    int fileDialogs = 0;
    int tooLargeDialogs = 0;
    QStringList filters;
    QStringList messages;

    OutputContext context(MazeState &s, Progress &p, qint64 budget)
    {
        OutputContext ctx{s, p, nullptr, {}, {}, {}, budget};
        ctx.askFileName = [this](const QString &filter) {
            ++fileDialogs;
            filters << filter;
            return fileName;
        };
        ctx.askTooLarge = [this] {
            ++tooLargeDialogs;
            return monochrome;
        };
        ctx.reportError = [this](const QString &m) { messages << m; };
        return ctx;
    }
};

} // namespace

class TestDraw : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pictureSize_data();
    void pictureSize();
    void tilesLandOnTheirNodes_data();
    void tilesLandOnTheirNodes();
    void arrowsCoverTheCornerSquares();
    void captions_data();
    void captions();
    void shrunkKeepsEveryWall_data();
    void shrunkKeepsEveryWall();
    void savedAsTwentyFourBits();
    void tooLargeMonochrome();
    void tooLargeScaleDown();
    void scaleDownThenHalveSilently();
    void closingTheDialogScalesDown();
    void tooLargeDialog();
    void cancelledSaveWritesNothing();
    void failedSaveNamesTheCause();
    void failedMonochromeNamesTheCause();

private:
    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }
    QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }
};

void TestDraw::init()
{
    QVERIFY(dir_.isValid());
    for (const QString &f : files())
        QFile::remove(path(f));
}

void TestDraw::pictureSize_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QSize>("size");
    QTest::newRow("Thin lines") << 1 << QSize(515, 715);
    QTest::newRow("Medium lines") << 0 << QSize(412, 572);
    QTest::newRow("Planks (36 pixels)") << 9 << QSize(3708, 5148);
    QTest::newRow("Tiny bricks (28 pixels)") << 10 << QSize(2884, 4004);
}

void TestDraw::pictureSize()
{
    QFETCH(int, style);
    QFETCH(QSize, size);
    const MazeState s = framedMaze(101, 141, TopLeftToBottomRight, style);
    QCOMPARE(maze_picture_size(s), size);
}

// At full size each wall node shows its tile pixel for pixel one node in from the
// margin; passages stay white. In "Thin lines" the 0.1-node overlap of a tile only
// ever covers a neighbour that is itself a wall, so nothing else shows.
void TestDraw::tilesLandOnTheirNodes_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("Grid") << int(GridMaze);
    QTest::newRow("Top left to bottom right") << int(TopLeftToBottomRight);
}

void TestDraw::tilesLandOnTheirNodes()
{
    QFETCH(int, type);
    const MazeState s = framedMaze(101, 141, std::uint8_t(type), 1);
    Progress quiet;
    QImage picture;
    QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, picture), RenderResult::Done);
    QCOMPARE(picture.size(), QSize(515, 715));

    const tiles::TileSet &set = tiles::tile_set(1);
    auto inCorner = [&](int x, int y) {
        return s.MazeType == TopLeftToBottomRight
            && ((x <= s.CornerWidth && y <= s.CornerHeight)
                || (x > 101 - s.CornerWidth && y > 141 - s.CornerHeight));
    };
    int ink = 0;
    for (int py = 0; py < picture.height(); ++py)
        for (int px = 0; px < picture.width(); ++px) {
            const int x = px / 5, y = py / 5;
            bool black = false;
            if (x >= 1 && x <= 101 && y >= 1 && y <= 141) {
                if (inCorner(x, y))
                    continue;
                const int t = find_bitmap(s.grid, x, y);
                black = t > 0 && set.ink(t, px % 5, py % 5);
            }
            ink += black;
            if (isBlack(picture, px, py) != black)
                QFAIL(qPrintable(QString("pixel (%1, %2) of node (%3, %4)").arg(px).arg(py).arg(x).arg(y)));
        }
    QVERIFY(ink > 10000);
}

// The arrow picture stretched over each blocked corner square: black along its shaft,
// white in the corners it points away from, nothing outside the square.
void TestDraw::arrowsCoverTheCornerSquares()
{
    const MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
    Progress quiet;
    QImage picture;
    QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, picture), RenderResult::Done);
    const int side = s.CornerWidth * 5;  // pixels
    QCOMPARE(side, 50);
    const QImage arrow = arrow_image();
    const QPoint origins[] = {QPoint(5, 5), QPoint(5 * (101 - s.CornerWidth + 1), 5 * (141 - s.CornerHeight + 1))};
    for (const QPoint o : origins) {
        int mismatches = 0, black = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const bool want = (arrow.pixel((x * 128 + 64) / side, (y * 128 + 64) / side) & 0xFFFFFF) == 0;
                const bool got = isBlack(picture, o.x() + x, o.y() + y);
                black += got;
                mismatches += want != got;
            }
        QVERIFY2(black > side * side / 20, qPrintable(QString("arrow at %1,%2: %3 black").arg(o.x()).arg(o.y()).arg(black)));
        // Rounding of the stretch may move an edge by a pixel, no more.
        QVERIFY2(mismatches < side * 4, qPrintable(QString("%1 pixels differ").arg(mismatches)));
        QVERIFY(isBlack(picture, o.x() + side * 60 / 128, o.y() + side * 60 / 128));
        QVERIFY(!isBlack(picture, o.x() + side * 10 / 128, o.y() + side * 118 / 128));
    }
    // The maze's own margin row under the second arrow stays white.
    for (int x = 0; x < picture.width(); ++x)
        QVERIFY(!isBlack(picture, x, picture.height() - 1));
}

void TestDraw::captions_data()
{
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("last");
    QTest::newRow("141 rows") << 141 << 100;
    QTest::newRow("15 rows") << 15 << 100;
    QTest::newRow("97 rows: the product falls just below 100") << 97 << 99;
}

void TestDraw::captions()
{
    QFETCH(int, gh);
    QFETCH(int, last);
    const MazeState s = framedMaze(21, gh, GridMaze, 1);
    Recorder rec;
    QImage picture;
    QCOMPARE(render_maze(s, rec, maze_picture_size(s), DefaultPixelBudget, picture), RenderResult::Done);
    QCOMPARE(rec.captions.size(), gh);
    int previous = 0;
    for (const QString &c : rec.captions) {
        QVERIFY2(c.startsWith("Rendering - ") && c.endsWith('%'), qPrintable(c));
        const int n = c.mid(12).chopped(1).toInt();
        QVERIFY2(n >= previous && n <= 100, qPrintable(c));
        previous = n;
    }
    QCOMPARE(rec.captions.front(), QString("Rendering - %1%").arg(100 / gh));
    QCOMPARE(rec.captions.back(), QString("Rendering - %1%").arg(last));
}

// A smaller picture is the full one with each block of pixels folded into one, the
// darkest winning: no wall drops out. Planks 121 nodes wide is painted in two strips.
void TestDraw::shrunkKeepsEveryWall_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("divisor");
    QTest::newRow("Thin lines halved") << 1 << 101 << 141 << 2;
    QTest::newRow("Thin lines quartered") << 1 << 101 << 141 << 4;
    QTest::newRow("Double line in thirds") << 2 << 41 << 21 << 3;
    QTest::newRow("Planks halved, two strips") << 9 << 121 << 21 << 2;
    QTest::newRow("Shaded halved") << 8 << 31 << 41 << 2;
}

void TestDraw::shrunkKeepsEveryWall()
{
    QFETCH(int, style);
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(int, divisor);
    const MazeState s = framedMaze(gw, gh, TopLeftToBottomRight, style);
    Recorder rec;
    QImage full, shrunk;
    QCOMPARE(render_maze(s, rec, maze_picture_size(s), DefaultPixelBudget, full), RenderResult::Done);
    rec.captions.clear();
    const QSize size = maze_picture_size(s) / divisor;
    QCOMPARE(render_maze(s, rec, size, DefaultPixelBudget, shrunk), RenderResult::Done);
    QCOMPARE(shrunk.size(), size);
    QCOMPARE(rec.captions.size(), gh);
    QCOMPARE(rec.captions.back(), QString("Rendering - 100%"));
    const QImage expected = shrinkDarkest(full, size);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (shrunk.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
}

// The file keeps every shade of the 24-bit sets: ImageMagick reads it back pixel for
// pixel equal to the drawn picture.
void TestDraw::savedAsTwentyFourBits()
{
    MazeState s = framedMaze(31, 21, TopLeftToBottomRight, 8);  // "Shaded"
    Progress quiet;
    Answers a;
    a.fileName = path("shaded.bmp");
    OutputContext ctx = a.context(s, quiet, DefaultPixelBudget);
    draw_maze(ctx);
    QCOMPARE(a.messages, QStringList());
    QCOMPARE(a.filters, QStringList({"Bitmap files (*.bmp)"}));

    const QByteArray b = readAll(a.fileName);
    QCOMPARE(b.left(2), QByteArray("BM"));
    QCOMPARE(le32(b, 18), 5u * 33);
    QCOMPARE(le32(b, 22), 5u * 23);
    QCOMPARE(std::uint8_t(b[28]), std::uint8_t(24));
    QCOMPARE(le32(b, 30), 0u);

    QImage drawn;
    QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, drawn), RenderResult::Done);
    QProcess convert;
    convert.start(QStandardPaths::findExecutable("convert"), {a.fileName, "ppm:-"});
    QVERIFY2(convert.waitForFinished(60000) && convert.exitCode() == 0, "ImageMagick's convert is needed");
    const QByteArray ppm = convert.readAllStandardOutput();
    const QByteArray head = QByteArray("P6\n") + QByteArray::number(drawn.width()) + ' '
        + QByteArray::number(drawn.height()) + "\n255\n";
    QVERIFY(ppm.startsWith(head));
    QCOMPARE(ppm.size(), head.size() + drawn.width() * drawn.height() * 3);
    QSet<QRgb> colours;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const char *p = ppm.constData() + head.size() + (y * drawn.width() + x) * 3;
            const QRgb read = qRgb(std::uint8_t(p[0]), std::uint8_t(p[1]), std::uint8_t(p[2]));
            if (read != drawn.pixel(x, y))
                QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
            colours.insert(read);
        }
    QCOMPARE(colours, QSet<QRgb>({qRgb(0, 0, 0), qRgb(128, 128, 128), qRgb(192, 192, 192), qRgb(255, 255, 255)}));
}

// Too large: "Make a monochrome bitmap" writes the 1-bit file under the name given to
// its own dialog, and nothing else.
void TestDraw::tooLargeMonochrome()
{
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
    Recorder rec;
    Answers a;
    a.fileName = path("mono.bmp");
    a.monochrome = true;
    OutputContext ctx = a.context(s, rec, 515 * 715 - 1);
    draw_maze(ctx);
    QCOMPARE(a.tooLargeDialogs, 1);
    QCOMPARE(a.fileDialogs, 1);
    QVERIFY(s.MonochromeChosen);
    QCOMPARE(a.messages, QStringList());
    QCOMPARE(files(), QStringList({"mono.bmp"}));
    const QByteArray b = readAll(a.fileName);
    QCOMPARE(b.size(), 45182);
    QCOMPARE(std::uint8_t(b[28]), std::uint8_t(1));
    QVERIFY(rec.captions.contains("Rendering direct to disk"));
    QCOMPARE(rec.captions.back(), QString("Rendering direct to disk - 100%"));
    QVERIFY(!rec.captions.join(' ').contains("Rendering - "));
}

void TestDraw::tooLargeScaleDown()
{
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
    Progress quiet;
    Answers a;
    a.fileName = path("half.bmp");
    OutputContext ctx = a.context(s, quiet, 515 * 715 - 1);
    draw_maze(ctx);
    QCOMPARE(a.tooLargeDialogs, 1);
    QVERIFY(!s.MonochromeChosen);
    QCOMPARE(a.messages, QStringList());
    QImage saved(a.fileName);
    QCOMPARE(saved.size(), QSize(257, 357));
    // Shrunk walls are still there: some dark pixels in the maze area.
    int dark = 0;
    for (int y = 0; y < saved.height(); ++y)
        for (int x = 0; x < saved.width(); ++x)
            dark += qGray(saved.pixel(x, y)) < 160;
    QVERIFY(dark > 5000);
}

// After "Scale down the bitmap" the dialog is not shown again: a surface that is still
// too large is halved without a question.
void TestDraw::scaleDownThenHalveSilently()
{
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
    Progress quiet;
    Answers a;
    a.fileName = path("quarter.bmp");
    OutputContext ctx = a.context(s, quiet, 257 * 357 - 1);
    draw_maze(ctx);
    QCOMPARE(a.tooLargeDialogs, 1);
    QCOMPARE(QImage(a.fileName).size(), QSize(128, 178));

    a.fileName = path("eighth.bmp");
    ctx.pixelBudget = 128 * 178 - 1;
    draw_maze(ctx);
    QCOMPARE(a.tooLargeDialogs, 2);
    QCOMPARE(QImage(a.fileName).size(), QSize(64, 89));
}

// The real dialog, closed with its window's close button, means "scale down".
void TestDraw::closingTheDialogScalesDown()
{
    MazeState s = framedMaze(41, 41, GridMaze, 1);
    Progress quiet;
    Answers a;
    a.fileName = path("closed.bmp");
    OutputContext ctx = a.context(s, quiet, 215 * 215 - 1);
    ctx.askTooLarge = [] { return Form6::ask(nullptr); };
    bool closed = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<Form6 *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        closed = dialog->close();
    });
    draw_maze(ctx);
    QVERIFY(closed);
    QVERIFY(!s.MonochromeChosen);
    QCOMPARE(QImage(a.fileName).size(), QSize(107, 107));
}

void TestDraw::tooLargeDialog()
{
    Form6 form;
    QCOMPARE(form.objectName(), QString("Form6"));
    QCOMPARE(form.windowTitle(), QString("Bitmap too large"));
    QVERIFY(form.isModal());
    QCOMPARE(form.Label1[0]->text(),
             QString("Corvanthel cannot directly work with bitmaps of this size. You can either let Corvanthel "
                     "scale it down to a more manageable size, or convert the bitmap to a monochrome (black and "
                     "white) bitmap that takes up much less room."));
    QCOMPARE(form.Label1[1]->text(), QString("What would you like to do...?"));
    QCOMPARE(form.Command1->text(), QString("Scale down the bitmap"));
    QCOMPARE(form.Command2->text(), QString("Make a monochrome bitmap"));
    QCOMPARE(form.Command1->objectName(), QString("Command1"));
    QCOMPARE(form.Command2->objectName(), QString("Command2"));
    QVERIFY(form.findChild<QFrame *>("Line1"));
    QVERIFY(!form.windowIcon().isNull());

    // The sign: yellow body, black mark on its axis, grey shadow below right, clear corners.
    const QImage sign = warning_sign();
    QCOMPARE(sign.size(), QSize(32, 32));
    QCOMPARE(form.Image1->pixmap().size(), QSize(32, 32));
    QCOMPARE(QColor(sign.pixel(9, 24)).rgb(), qRgb(255, 255, 0));
    QCOMPARE(QColor(sign.pixel(15, 14)).rgb(), qRgb(0, 0, 0));
    QCOMPARE(QColor(sign.pixel(15, 23)).rgb(), qRgb(0, 0, 0));
    QCOMPARE(QColor(sign.pixel(28, 29)).rgb(), qRgb(128, 128, 128));
    QCOMPARE(qAlpha(sign.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(sign.pixel(31, 0)), 0);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    QVERIFY(form.MonochromeChosen());
    QVERIFY(!form.isVisible());

    Form6 other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::mouseClick(other.Command1, Qt::LeftButton);
    QVERIFY(!other.MonochromeChosen());
}

void TestDraw::cancelledSaveWritesNothing()
{
    MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
    Recorder rec;
    Answers a;  // empty name: cancelled
    OutputContext ctx = a.context(s, rec, DefaultPixelBudget);
    draw_maze(ctx);
    QCOMPARE(a.fileDialogs, 1);
    QCOMPARE(a.messages, QStringList());
    QCOMPARE(rec.captions.back(), QString("Saving..."));
    QVERIFY(files().isEmpty());

    a.monochrome = true;
    ctx.pixelBudget = 100;
    draw_maze(ctx);
    QCOMPARE(a.fileDialogs, 2);
    QCOMPARE(a.messages, QStringList());
    QVERIFY(files().isEmpty());
}

void TestDraw::failedSaveNamesTheCause()
{
    MazeState s = framedMaze(21, 21, GridMaze, 1);
    Progress quiet;
    Answers a;
    a.fileName = path("missing/maze.bmp");
    OutputContext ctx = a.context(s, quiet, DefaultPixelBudget);
    draw_maze(ctx);
    QCOMPARE(a.messages.size(), 1);
    QVERIFY2(a.messages[0].startsWith("cannot write " + a.fileName + ": "), qPrintable(a.messages[0]));
    QVERIFY(a.messages[0].size() > QString("cannot write " + a.fileName + ": ").size());

    a.messages.clear();
    a.fileName = "/dev/full";
    draw_maze(ctx);
    QCOMPARE(a.messages, QStringList({"cannot write /dev/full: No space left on device"}));
    QVERIFY(QFileInfo("/dev/full").exists() && !QFileInfo("/dev/full").isFile());
    QVERIFY(files().isEmpty());
}

void TestDraw::failedMonochromeNamesTheCause()
{
    MazeState s = framedMaze(21, 21, GridMaze, 1);
    Progress quiet;
    Answers a;
    a.fileName = "/dev/full";
    a.monochrome = true;
    OutputContext ctx = a.context(s, quiet, 10);
    draw_maze(ctx);
    QCOMPARE(a.messages, QStringList({"cannot write /dev/full: No space left on device"}));
}

QTEST_MAIN(TestDraw)
#include "tst_draw.moc"

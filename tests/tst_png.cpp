#include "tests/support.h"
#include "maze/solve.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/mono_png.h"
#include "render/tiles.h"

#include <QtTest>


using namespace support;

namespace {

/// The PNG header's bit depth and colour type (0 grey, 2 RGB, 3 palette), or -1s when the
/// file is no PNG.
struct PngKind {
    int depth = -1;
    int colourType = -1;
    QSize size;
};

PngKind pngKind(const QString &path)
{
    const QByteArray b = readAll(path);
    if (b.size() < 33 || !b.startsWith("\x89PNG\r\n\x1a\n") || b.mid(12, 4) != "IHDR")
        return {};
    auto be32 = [&](int at) { return int(std::uint8_t(b[at]) << 24 | std::uint8_t(b[at + 1]) << 16 | std::uint8_t(b[at + 2]) << 8 | std::uint8_t(b[at + 3])); };
    return {std::uint8_t(b[24]), std::uint8_t(b[25]), QSize(be32(16), be32(20))};
}

} // namespace

class TestPng : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(emptyFolder(dir_.path()));
    }

    void streamedPngIsTheMonochromeBitmap_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("gw");
        QTest::addColumn<int>("gh");
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<int>("scale");
        QTest::newRow("Thin lines, 101 x 141") << 1 << 101 << 141 << false << 1;
        QTest::newRow("Thin lines, marks and solution") << 1 << 61 << 41 << true << 1;
        QTest::newRow("Medium lines, width of 32 pixels") << 0 << 8 << 31 << false << 1;
        QTest::newRow("Plumbing, scale 3") << 5 << 21 << 15 << true << 3;
        QTest::newRow("Tiny bricks: black only") << 10 << 25 << 21 << false << 1;
        QTest::newRow("Thick lines, scale 2, odd width") << 7 << 13 << 11 << true << 2;
    }

    // Decoded by ImageMagick, the streamed PNG is the monochrome bitmap, overlay and scale
    // included, in 1-bit grey.
    void streamedPngIsTheMonochromeBitmap()
    {
        QFETCH(int, style);
        QFETCH(int, gw);
        QFETCH(int, gh);
        QFETCH(bool, overlay);
        QFETCH(int, scale);
        MazeState s = framedMaze(gw, gh, TopLeftToBottomRight, style);
        solve_maze(s);  // the solution marked along the maze's own passages
        const MonoOverlay layers{overlay, overlay, end_points(s)};
        const QString bmp = dir_.filePath("maze.bmp"), png = dir_.filePath("maze.png");
        Recorder bmpProgress, pngProgress;
        QVERIFY(write_mono_bitmap(s.grid, style, bmp.toStdString(), bmpProgress, layers, scale));
        QVERIFY(write_mono_png(s.grid, style, png.toStdString(), pngProgress, layers, scale));
        const tiles::TileSet &set = tiles::tile_set(style);
        const PngKind kind = pngKind(png);
        QCOMPARE(kind.depth, 1);
        QCOMPARE(kind.colourType, 0);
        QCOMPARE(kind.size, QSize(gw * set.width * scale, gh * set.height * scale));
        QCOMPARE(decodeWithImageMagick(png), decodeWithImageMagick(bmp));
        // The same progress, counted from the top instead of the bottom.
        QCOMPARE(pngProgress.percents.size(), bmpProgress.percents.size());
        QCOMPARE(pngProgress.percents.constLast(), 100);
        QCOMPARE(pngProgress.phases.constFirst(), Phase::RenderingToDisk);
    }

    void drawnPngIsTheBitmap_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("marks");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("colourType");
        QTest::newRow("Thin lines: black and white") << 1 << false << 1 << 3;
        QTest::newRow("Thin lines with marks: a palette") << 1 << true << 8 << 3;
        QTest::newRow("Shaded: four greys") << 8 << false << 8 << 3;
        QTest::newRow("Planks with marks") << 9 << true << 8 << 3;
    }

    // The drawn picture as a PNG has every pixel of the 24-bit bitmap, in as few bits as its
    // colours need, and is a small fraction of its size.
    void drawnPngIsTheBitmap()
    {
        QFETCH(int, style);
        QFETCH(bool, marks);
        QFETCH(int, depth);
        QFETCH(int, colourType);
        const MazeState s = framedMaze(41, 31, TopLeftToBottomRight, style);
        Progress quiet;
        QImage picture;
        QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, picture, SceneLayers{false, marks, false}),
                 RenderResult::Done);
        const QString bmp = dir_.filePath("maze.bmp"), png = dir_.filePath("maze.png");
        QString error;
        QVERIFY2(save_bitmap(picture, bmp, &error), qPrintable(error));
        QVERIFY2(save_png(picture, png, &error), qPrintable(error));
        const PngKind kind = pngKind(png);
        QCOMPARE(kind.depth, depth);
        QCOMPARE(kind.colourType, colourType);
        QCOMPARE(decodeWithImageMagick(png), decodeWithImageMagick(bmp));
        QVERIFY(QFileInfo(png).size() * 10 < QFileInfo(bmp).size());
    }

    // Enlarging repeats each pixel; a picture of more than 256 colours stays in full colour.
    void enlargedAndFullColour()
    {
        QImage picture(7, 5, QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                picture.setPixel(x, y, qRgb(x * 30, y * 40, (x * y) % 256));
        const QImage big = enlarged_picture(picture, 3);
        QCOMPARE(big.size(), QSize(21, 15));
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 21; ++x)
                QCOMPARE(big.pixel(x, y), picture.pixel(x / 3, y / 3));
        QCOMPARE(palette_picture(picture).format(), QImage::Format_Indexed8);
        QImage many(20, 20, QImage::Format_RGB32);
        for (int i = 0; i < 400; ++i)
            many.setPixel(i % 20, i / 20, qRgb(i % 256, i / 256, 7));
        QCOMPARE(palette_picture(many).format(), QImage::Format_RGB32);
    }

    // A stop, a missing folder and a full disk leave nothing and say why.
    void streamedFailuresLeaveNothing()
    {
        const MazeState s = framedMaze(201, 201, GridMaze, 5);
        Recorder stop;
        stop.stopAfter = 5;
        QVERIFY(!write_mono_png(s.grid, 5, dir_.filePath("stopped.png").toStdString(), stop));
        QCOMPARE(entries(dir_.path()), QStringList());

        Progress quiet;
        const QString missing = dir_.filePath("none/maze.png");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, write_mono_png(s.grid, 5, missing.toStdString(), quiet));

        const QString message = failureOnAFullDisk(8192, [&] { write_mono_png(s.grid, 5, dir_.filePath("full.png").toStdString(), quiet); });
        QCOMPARE(message, "cannot write " + dir_.filePath("full.png") + ": File too large");
        QCOMPARE(entries(dir_.path()), QStringList());
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestPng)
#include "tst_png.moc"

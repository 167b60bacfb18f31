#include "tests/support.h"
#include "render/atomic_file.h"
#include "maze/solve.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/save_file.h"
#include "render/scene.h"
#include "render/tile_images.h"
#include "render/tiles.h"
#include "render/too_large_dialog.h"

#include <QPainter>
#include <QPushButton>
#include <QtTest>

using namespace support;

namespace {

// The full picture folded into `size`, each pixel into the one it falls in, the darker colour winning.
QImage folded(const QImage &full, QSize size)
{
    QImage expected(size, QImage::Format_RGB32);
    expected.fill(Qt::white);
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            const QPoint to(x * size.width() / full.width(), y * size.height() / full.height());
            const QRgb a = expected.pixel(to), b = full.pixel(x, y);
            expected.setPixel(to, qRgb(qMin(qRed(a), qRed(b)), qMin(qGreen(a), qGreen(b)), qMin(qBlue(a), qBlue(b))));
        }
    return expected;
}

} // namespace

class TestDraw : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(emptyFolder(dir_.path()));
    }

    // Tiles pixel for pixel inside a one-node white margin; arrows stretched over the corner squares.
    void tilesAndArrowsLandOnTheirNodes()
    {
        const MazeState s = framedMaze(101, 141, TopLeftToBottomRight, 1);
        Progress quiet;
        QImage picture;
        QCOMPARE(maze_picture_size(s), QSize(515, 715));
        QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, picture), RenderResult::Done);
        QCOMPARE(picture.size(), QSize(515, 715));
        const QImage arrow = arrow_image();
        const int cw = s.CornerWidth, ch = s.CornerHeight, side = cw * 5;
        int ink = 0, arrowInk[2] = {}, amiss[2] = {};  // top left, bottom right
        for (int py = 0; py < picture.height(); ++py)
            for (int px = 0; px < picture.width(); ++px) {
                const int x = px / 5, y = py / 5;
                const bool inMaze = x >= 1 && x <= 101 && y >= 1 && y <= 141;
                const bool black = (picture.pixel(px, py) & 0xFFFFFF) == 0;
                if (inMaze && ((x <= cw && y <= ch) || (x > 101 - cw && y > 141 - ch))) {
                    const int ax = x <= cw ? px - 5 : px - 5 * (102 - cw), ay = y <= ch ? py - 5 : py - 5 * (142 - ch);
                    const QRgb want = arrow.pixel((ax * 128 + 64) / side, (ay * 128 + 64) / side);
                    amiss[x > cw] += black != ((want & 0xFFFFFF) == 0);
                    arrowInk[x > cw] += black;
                    continue;
                }
                const int t = inMaze ? find_bitmap(s.grid, x, y) : 0;
                const bool want = t > 0 && tiles::tile_set(1).ink(t, px % 5, py % 5);
                ink += want;
                if (black != want)
                    QFAIL(qPrintable(QString("pixel (%1, %2)").arg(px).arg(py)));
            }
        QVERIFY(ink > 10000);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(arrowInk[i] > side * side / 20, qPrintable(QString("arrow %1: %2 black").arg(i).arg(arrowInk[i])));
            QVERIFY2(amiss[i] < side * 4, qPrintable(QString("arrow %1: %2 amiss").arg(i).arg(amiss[i])));
        }
    }

    void shrunkKeepsEveryWall_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("gw");
        QTest::addColumn<int>("gh");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("lastCaption");
        QTest::newRow("Thin lines, 97 rows: the captions end at 99") << 1 << 21 << 97 << 4 << 99;
        QTest::newRow("Double line in thirds") << 2 << 41 << 21 << 3 << 100;
        QTest::newRow("Planks halved, two strips") << 9 << 121 << 21 << 2 << 100;
        QTest::newRow("Shaded halved") << 8 << 31 << 41 << 2 << 100;
    }

    // A shrunk picture is the full one folded pixel by pixel, the darker colour winning.
    void shrunkKeepsEveryWall()
    {
        QFETCH(int, style);
        QFETCH(int, gw);
        QFETCH(int, gh);
        QFETCH(int, divisor);
        QFETCH(int, lastCaption);
        const MazeState s = framedMaze(gw, gh, TopLeftToBottomRight, style);
        const QSize size = maze_picture_size(s) / divisor;
        QImage full, shrunk;
        for (QImage *picture : {&full, &shrunk}) {
            Recorder rec;
            QCOMPARE(render_maze(s, rec, picture == &full ? maze_picture_size(s) : size, DefaultPixelBudget, *picture),
                     RenderResult::Done);
            QCOMPARE(rec.phases, QList<Phase>(gh, Phase::Rendering));
            QCOMPARE(rec.percents.front(), 100 / gh);
            QCOMPARE(rec.percents.back(), lastCaption);
        }
        QCOMPARE(shrunk.convertToFormat(QImage::Format_RGB32), folded(full, size));
    }

    void aRectangleOfNodesAsInTheWholePicture_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QRect>("nodes");
        QTest::newRow("inside") << 1 << QRect(40, 50, 7, 5);
        QTest::newRow("over the top-left arrow") << 1 << QRect(8, 1, 6, 12);
        QTest::newRow("the bottom-right arrow and the margin") << 1 << QRect(95, 133, 8, 10);
        QTest::newRow("Double line, cells under walls that overlap them") << 2 << QRect(20, 30, 9, 1);
    }

    // A viewer's rectangle: its pixels as in the whole picture, nothing beyond the tiles reaching
    // into it (arrows aside, drawn whole).
    void aRectangleOfNodesAsInTheWholePicture()
    {
        QFETCH(int, style);
        QFETCH(QRect, nodes);
        const MazeState s = framedMaze(101, 141, TopLeftToBottomRight, style);
        Progress quiet;
        QImage full;
        QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, full), RenderResult::Done);
        QImage part(full.size(), QImage::Format_RGB32);
        part.fill(Qt::white);
        QPainter painter(&part);
        painter.setWindow(0, 0, 103, 143);
        const MazeScene scene(s, SceneOptions::bitmap());
        scene.paint(painter, nodes);
        painter.end();
        const int tile = tiles::tile_set(style).width;
        const QRect inside(nodes.topLeft() * tile, nodes.size() * tile);
        QCOMPARE(part.copy(inside), full.copy(inside));
        const QRect reach = inside.adjusted(-tile, -tile, tile, tile);
        const QRect corners[] = {QRect(1, 1, s.CornerWidth, s.CornerHeight),
                                 QRect(102 - s.CornerWidth, 142 - s.CornerHeight, s.CornerWidth, s.CornerHeight)};
        int stray = 0;
        for (int py = 0; py < part.height(); ++py)
            for (int px = 0; px < part.width(); ++px) {
                const QPoint node(px / tile, py / tile);
                stray += !reach.contains(px, py) && !corners[0].contains(node) && !corners[1].contains(node)
                         && part.pixel(px, py) != qRgb(255, 255, 255);
            }
        QCOMPARE(stray, 0);
    }

    void outputs_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<qint64>("budget");    // pixels
        QTest::addColumn<int>("button");       // of the too-large dialog (3: Cancel); -1: closed; -2: Escape; 0: never shown
        QTest::addColumn<QString>("name");     // empty: the save dialog cancelled
        QTest::addColumn<QSize>("saved");      // empty: a monochrome file
        QTest::addColumn<QString>("failure");  // its cause
        const qint64 all = DefaultPixelBudget, big = 515 * 715 - 1, half = 257 * 357 - 1;
        const QSize full(515, 715), halved(257, 357), quarter(128, 178), mono;
        QTest::newRow("24 bits, every shade intact") << 8 << all << 0 << "maze.bmp" << full << "";
        QTest::newRow("too large: monochrome only") << 1 << big << 2 << "maze.bmp" << mono << "";
        QTest::newRow("too large: scale down halves") << 1 << big << 1 << "maze.bmp" << halved << "";
        QTest::newRow("too large: Cancel writes nothing") << 1 << big << 3 << "maze.bmp" << QSize() << "";
        QTest::newRow("too large: closing the dialog cancels") << 1 << big << -1 << "maze.bmp" << QSize() << "";
        QTest::newRow("too large: Escape cancels") << 1 << big << -2 << "maze.bmp" << QSize() << "";
        QTest::newRow("too large: further failures halve silently") << 1 << half << 1 << "maze.bmp" << quarter << "";
        QTest::newRow("save cancelled") << 1 << all << 0 << "" << full << "";
        QTest::newRow("save cancelled, monochrome") << 1 << big << 2 << "" << mono << "";
        QTest::newRow("missing folder") << 1 << all << 0 << "missing/maze.bmp" << full << "No such file or directory";
        QTest::newRow("full disk") << 1 << all << 0 << "/dev/full" << full << "No space left on device";
    }

    // The too-large dialog is asked at most once; what is saved reads back as the full picture
    // folded to its size.
    void outputs()
    {
        QFETCH(int, style);
        QFETCH(qint64, budget);
        QFETCH(int, button);
        QFETCH(QString, name);
        QFETCH(QSize, saved);
        QFETCH(QString, failure);
        MazeState s = framedMaze(101, 141, TopLeftToBottomRight, style);
        Recorder rec;
        const QString fileName = name.isEmpty() || name[0] == '/' ? name : dir_.filePath(name);
        QStringList filters, messages;
        int dialogs = 0;
        const bool cancelled = button == 3 || button < 0;
        auto askTooLarge = [&] {
            ++dialogs;
            QTimer::singleShot(0, [&] {
                auto *dialog = qobject_cast<Form6 *>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                if (button == -2)
                    QTest::keyClick(dialog, Qt::Key_Escape);
                else if (button == -1)
                    dialog->close();
                else
                    (button == 1 ? dialog->Command1 : button == 2 ? dialog->Command2 : dialog->cancelButton)->click();
            });
            return Form6::ask(nullptr);
        };
        OutputContext ctx{s, rec, nullptr, [&](const QString &f) { return filters << f, fileName; }, askTooLarge,
                          [&](const QString &m) { messages << m; }, budget};
        draw_maze(ctx);
        QCOMPARE(dialogs, button != 0 ? 1 : 0);
        QCOMPARE(s.MonochromeChosen, button == 2);
        const QString offered = button == 2 ? "Bitmap files (*.bmp);;PNG pictures (*.png)"
                                            : "Bitmap files (*.bmp);;PNG pictures (*.png);;SVG drawings (*.svg);;PDF files (*.pdf)";
        QCOMPARE(filters, cancelled ? QStringList() : QStringList(offered));
        const bool written = !name.isEmpty() && failure.isEmpty() && !cancelled;
        QCOMPARE(messages.join(""), failure.isEmpty() ? "" : "cannot write " + fileName + ": " + failure);
        QCOMPARE(entries(dir_.path()), written ? QStringList(name) : QStringList());
        if (!written)
            return;
        const QByteArray b = readAll(fileName);
        if (saved.isEmpty()) {
            QCOMPARE(b.size(), 45182);
            QCOMPARE(le16(b, 28), 1u);
            QCOMPARE(rec.phases.back(), Phase::RenderingToDisk);
            QCOMPARE(rec.percents.back(), 100);
            QVERIFY(!rec.phases.contains(Phase::Rendering));
            return;
        }
        QCOMPARE(le16(b, 28), 24u);
        QCOMPARE(le32(b, 30), 0u);
        QImage full;
        QCOMPARE(render_maze(s, rec, maze_picture_size(s), DefaultPixelBudget, full), RenderResult::Done);
        const QImage read = decodeWithImageMagick(fileName);
        QCOMPARE(read, folded(full, saved).convertToFormat(QImage::Format_RGB888));
        if (style != 8)
            return;
        QSet<QRgb> colours;  // of "Shaded"
        for (int y = 0; y < read.height(); ++y)
            for (int x = 0; x < read.width(); ++x)
                colours.insert(read.pixel(x, y));
        QCOMPARE(colours, QSet<QRgb>({qRgb(0, 0, 0), qRgb(128, 128, 128), qRgb(192, 192, 192), qRgb(255, 255, 255)}));
    }

    void formatsByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("monochrome");  // the too-large dialog answered "Make a monochrome bitmap"
        QTest::addColumn<QByteArray>("magic");  // the file's first bytes; empty: no file
        QTest::newRow("PNG") << "maze.png" << false << QByteArray("\x89PNG");
        QTest::newRow("PNG, upper case") << "MAZE.PNG" << false << QByteArray("\x89PNG");
        QTest::newRow("SVG") << "maze.svg" << false << QByteArray("<?xml");
        QTest::newRow("PDF") << "maze.pdf" << false << QByteArray("%PDF");
        QTest::newRow("monochrome PNG") << "maze.png" << true << QByteArray("\x89PNG");
        QTest::newRow("JPEG refused") << "maze.jpg" << false << QByteArray();
        QTest::newRow("no extension refused") << "maze" << false << QByteArray();
        QTest::newRow("SVG not monochrome") << "maze.svg" << true << QByteArray();
    }

    // The saved file's extension chooses its format, with the answer key in the same format;
    // any other extension is refused with a message and writes nothing.
    void formatsByExtension()
    {
        QFETCH(QString, name);
        QFETCH(bool, monochrome);
        QFETCH(QByteArray, magic);
        MazeState s = framedMaze(41, 31, TopLeftToBottomRight, 8);
        Progress quiet;
        QStringList messages;
        OutputContext ctx{s, quiet, nullptr, [&](const QString &) { return dir_.filePath(name); },
                          [] { return TooLargeAnswer::Monochrome; }, [&](const QString &m) { messages << m; },
                          monochrome ? 100 : DefaultPixelBudget};
        ctx.marks = true;
        draw_maze(ctx);
        if (magic.isEmpty()) {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages[0].startsWith("Corvanthel cannot save " + dir_.filePath(name) + ": name the file ."),
                     qPrintable(messages[0]));
            QCOMPARE(entries(dir_.path()), QStringList());
            return;
        }
        QCOMPARE(messages, QStringList());
        QCOMPARE(entries(dir_.path()), QStringList(name));
        QVERIFY(readAll(dir_.filePath(name)).startsWith(magic));
        if (name.endsWith(".png", Qt::CaseInsensitive)) {
            // Every pixel of the bitmap the same choices make.
            QImage picture;
            QCOMPARE(render_maze(s, quiet, maze_picture_size(s), DefaultPixelBudget, picture, SceneLayers{false, true, false}),
                     RenderResult::Done);
            const QString bmp = dir_.filePath("same.bmp");
            if (monochrome)
                QVERIFY(write_mono_bitmap(s.grid, s.MazeStyle, bmp.toStdString(), quiet, MonoOverlay{false, true, end_points(s)}));
            else
                QVERIFY(save_bitmap(picture, bmp, nullptr));
            QCOMPARE(decodeWithImageMagick(dir_.filePath(name)), decodeWithImageMagick(bmp));
        }
    }

    void aKeyThatIsTheMazeIsRefused_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<qint64>("pixelBudget");  // too small: the dialog's monochrome bitmap
        QTest::newRow("bitmap") << "bmp" << DefaultPixelBudget;
        QTest::newRow("monochrome bitmap") << "bmp" << qint64(100);
        QTest::newRow("SVG") << "svg" << DefaultPixelBudget;
    }

    // The maze's file a link to its answer key's: saving refuses, naming both, and the key's
    // file and the link stay as they were.
    void aKeyThatIsTheMazeIsRefused()
    {
        QFETCH(QString, extension);
        QFETCH(qint64, pixelBudget);
        MazeState s = framedMaze(21, 21, TopLeftToBottomRight, 1);
        solve_maze(s);
        const QString maze = dir_.filePath("a." + extension), key = dir_.filePath("a-solution." + extension);
        QVERIFY(writeFile(key, "the old key"));
        QVERIFY(QFile::link(key, maze));
        Progress quiet;
        QStringList messages;
        OutputContext ctx{s, quiet, nullptr, [&](const QString &) { return maze; }, [] { return TooLargeAnswer::Monochrome; },
                          [&](const QString &m) { messages << m; }, pixelBudget};
        ctx.answerKey = true;
        ctx.keyFileName = [&](const QString &) { return key; };
        save_maze_file(ctx, maze);
        QCOMPARE(messages, QStringList("Corvanthel cannot save " + maze + ": it and its answer key " + key
                                       + " name the same file; give the maze another name."));
        QCOMPARE(readAll(key), QByteArray("the old key"));
        QCOMPARE(QFileInfo(maze).symLinkTarget(), key);
        QCOMPARE(entries(dir_.path()), QStringList({"a-solution." + extension, "a." + extension}));
    }

    void aStopWhileSavingKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bitmap") << "maze.bmp";
        QTest::newRow("PNG") << "maze.png";
    }

    // The window takes its events while a picture is written, and a stop asked for then ends
    // the write with nothing replaced.
    void aStopWhileSavingKeepsTheOldFile()
    {
        QFETCH(QString, name);
        // Noise, so that even the PNG takes many writes.
        QImage picture(800, 600, QImage::Format_RGB32);
        std::uint32_t noise = 12345;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                picture.setPixel(x, y, noise >> 8);
            }
        class StopAfter : public Progress {
        public:
            void processEvents() override { ++calls; }
            bool stopRequested() const override { return stopAt > 0 && calls >= stopAt; }
            int calls = 0;
            int stopAt = 0;
        } progress;
        const auto write = name.endsWith(".png") ? write_png : write_bitmap;
        const QString path = dir_.filePath(name);
        QString error;
        {
            AtomicFile file(file_system_name(path));
            QVERIFY2(write(picture, file, &error, &progress), qPrintable(error));
            file.commit();
        }
        QVERIFY2(progress.calls > 20, qPrintable(QString::number(progress.calls)));
        const QByteArray whole = readAll(path);

        progress.stopAt = progress.calls / 2;
        progress.calls = 0;
        {
            AtomicFile file(file_system_name(path));
            QVERIFY(!write(picture, file, &error, &progress));
        }
        QCOMPARE(error, "cannot write " + path + ": stopped");
        QCOMPARE(progress.calls, progress.stopAt);
        QCOMPARE(readAll(path), whole);
        QCOMPARE(entries(dir_.path()), QStringList{name});
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestDraw)
#include "tst_draw.moc"

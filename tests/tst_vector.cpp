#include "tests/support.h"
#include "render/svg_maze.h"
#include "render/tiles.h"
#include "render/vector_tiles.h"

#include <QPainterPath>
#include <QXmlStreamReader>
#include <QtTest>

using namespace support;

namespace {

/// The grid of tiles as pixels: the shade of every tile pixel, white where no tile is.
std::vector<tiles::Shade> tilePixels(const NodeGrid &g, const tiles::TileSet &set)
{
    const int w = g.width() * set.width, h = g.height() * set.height;
    std::vector<tiles::Shade> pixels(std::size_t(w) * h, tiles::White);
    for (int y = 1; y <= g.height(); ++y)
        for (int x = 1; x <= g.width(); ++x)
            if (const int t = find_bitmap(g, x, y); t > 0)
                for (int b = 0; b < set.height; ++b)
                    for (int a = 0; a < set.width; ++a)
                        pixels[std::size_t((y - 1) * set.height + b) * w + (x - 1) * set.width + a] = set.shade(t, a, b);
    return pixels;
}

QRgb rgbOf(tiles::Shade shade)
{
    return 0xFF000000u | tiles::rgb(shade);
}

/// What rsvg-convert makes of an SVG file; throws when it fails.
QImage rasteriseSvg(const QString &svg)
{
    const QString png = svg + ".png";
    QFile::remove(png);
    const Run run = runProgram("rsvg-convert", {"-b", "white", "-o", png, svg}, QFileInfo(svg).path());
    if (run.exitCode != 0)
        throw std::runtime_error("rsvg-convert failed: " + run.err.toStdString());
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

/// The elements of an XML document by name, or what the parser found wrong.
struct Parsed {
    QString error;
    QMap<QString, int> elements;
    QXmlStreamAttributes root;
};

Parsed parseXml(const QString &path)
{
    Parsed p;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"cannot open " + path, {}, {}};
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (p.elements.isEmpty())
                p.root = xml.attributes();
            ++p.elements[xml.name().toString()];
        }
    }
    if (xml.hasError())
        p.error = QString("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return p;
}

} // namespace

class TestVector : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("rsvg-convert").isEmpty(), "rsvg-convert is missing: run scripts/install-deps.sh");
    }

    void init()
    {
        QVERIFY(emptyFolder(dir_.path()));
    }

    // A straight Thin lines wall across seven nodes, ends included, is one rectangle; so is a
    // wall along a row. A span of nodes gives just their share.
    void aThinLinesWallIsOneRectangle()
    {
        NodeGrid g;
        g.allocate(7, 7);
        for (int y = 0; y <= 7; ++y)
            for (int x = 0; x <= 7; ++x)
                if (x != 4 && !(y == 6 && x < 4))
                    g.set(x, y, NodeGrid::Carved);
        QList<PixelRect> rects;
        auto keep = [&](const PixelRect &r) { rects << r; };
        const TileRects thin(tiles::tile_set(1));
        thin.trace(g, NodeSpan{4, 1, 4, 5}, keep);
        QCOMPARE(rects, QList<PixelRect>({{17, 2, 1, 23, tiles::Black}}));  // the column, open at its lower end
        rects.clear();
        thin.trace(g, NodeSpan{1, 6, 3, 6}, keep);
        QCOMPARE(rects, QList<PixelRect>({{2, 27, 13, 1, tiles::Black}}));  // the row, open at its right end
        rects.clear();
        thin.trace(g, NodeSpan{0, 0, 99, 99}, keep);  // clipped to the grid: the column and the row meeting it
        std::sort(rects.begin(), rects.end(), [](const PixelRect &a, const PixelRect &b) { return a.y < b.y; });
        QCOMPARE(rects, QList<PixelRect>({{17, 2, 1, 25, tiles::Black}, {2, 27, 16, 1, tiles::Black},
                                          {17, 28, 1, 5, tiles::Black}}));
    }

    // Its two shapes turn the same way, so a fill by winding covers their overlap, and they
    // hold the picture's pixels exactly: a pixel is black when its centre is inside.
    void arrowShapeIsThePicture()
    {
        const auto &shapes = corner_arrow_shape();
        auto area = [](const std::vector<std::array<double, 2>> &p) {
            double a = 0;
            for (std::size_t i = 0; i < p.size(); ++i)
                a += p[i][0] * p[(i + 1) % p.size()][1] - p[(i + 1) % p.size()][0] * p[i][1];
            return a / 2;
        };
        QVERIFY(area(shapes[0]) > 0);
        QVERIFY(area(shapes[1]) > 0);
        QPainterPath outline;
        outline.setFillRule(Qt::WindingFill);
        for (const auto &shape : shapes) {
            QPolygonF polygon;
            for (const auto &p : shape)
                polygon << QPointF(p[0], p[1]);
            outline.addPolygon(polygon);
        }
        int wrong = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                wrong += outline.contains(QPointF(x + 0.5, y + 0.5)) != tiles::corner_arrow().ink(1, x, y);
        QCOMPARE(wrong, 0);
    }

    void svgIsTheGridOfTiles_data() { tileSetRows(); }

    // Parsed as XML and drawn by librsvg at one pixel a unit: the margin is white, the tiles are
    // every pixel of the grid of tiles, and the arrows and marks are where the bitmap has them,
    // within the blur of their edges.
    void svgIsTheGridOfTiles()
    {
        QFETCH(int, style);
        MazeState s = framedMaze(41, 31, TopLeftToBottomRight, style);
        const tiles::TileSet &set = tiles::tile_set(style);
        const int tw = set.width, th = set.height, gw = s.grid.width(), gh = s.grid.height();
        const QString svg = dir_.filePath("maze.svg");
        QVERIFY(write_maze_svg(s, svg.toStdString(), quiet_, SvgOptions{false, true, 1, nullptr}));

        const Parsed xml = parseXml(svg);
        QCOMPARE(xml.error, QString());
        QCOMPARE(xml.root.value("viewBox").toString(), QString("0 0 %1 %2").arg(tw * (gw + 2)).arg(th * (gh + 2)));
        QCOMPARE(xml.elements.value("image"), 0);

        const QImage drawn = rasteriseSvg(svg);
        QCOMPARE(drawn.size(), QSize(tw * (gw + 2), th * (gh + 2)));
        const std::vector<tiles::Shade> grid = tilePixels(s.grid, set);

        const EndPoints ends = end_points(s);
        const int cw = s.CornerWidth, ch = s.CornerHeight;
        const QRect arrows[] = {QRect(tw, th, cw * tw, ch * th), QRect((gw - cw + 1) * tw, (gh - ch + 1) * th, cw * tw, ch * th)};
        const QRect marks[] = {QRect(ends.startX * tw, ends.startY * th, tw, th), QRect(ends.finishX * tw, ends.finishY * th, tw, th)};
        int arrowMisses = 0, arrowPixels = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const QPoint at(x, y);
                const QRgb got = drawn.pixel(at);
                if (marks[0].contains(at) || marks[1].contains(at))
                    continue;
                if (arrows[0].contains(at) || arrows[1].contains(at)) {
                    const QRect &a = arrows[arrows[0].contains(at) ? 0 : 1];
                    const int sx = (x - a.left()) * 128 / a.width(), sy = (y - a.top()) * 128 / a.height();
                    const bool ink = tiles::corner_arrow().ink(1, sx, sy);
                    ++arrowPixels;
                    arrowMisses += ink != (qGray(got) < 128);
                    continue;
                }
                const bool inside = x >= tw && y >= th && x < (gw + 1) * tw && y < (gh + 1) * th;
                const QRgb want = rgbOf(inside ? grid[std::size_t(y - th) * gw * tw + x - tw] : tiles::White);
                if ((got & 0xFFFFFF) != (want & 0xFFFFFF))
                    QFAIL(qPrintable(QString("pixel (%1, %2) is %3, not %4").arg(x).arg(y).arg(got & 0xFFFFFF, 6, 16).arg(want & 0xFFFFFF, 6, 16)));
            }
        QVERIFY2(arrowMisses * 20 < arrowPixels, qPrintable(QString("%1 of %2 arrow pixels differ").arg(arrowMisses).arg(arrowPixels)));
        const QRgb start = drawn.pixel(marks[0].center());
        QVERIFY2(qGreen(start) > 100 && qRed(start) < 100, qPrintable(QString::number(start, 16)));
        // The ring is under a pixel wide in the small sets: reddish there, red in the others.
        const QRgb ring = drawn.pixel(marks[1].center() + QPoint(int(0.31 * tw), 0));
        QVERIFY2(qRed(ring) > qGreen(ring) + (tw < 10 ? 40 : 150), qPrintable(QString::number(ring, 16)));
        if (tw >= 10)
            QCOMPARE(drawn.pixel(marks[1].center()) & 0xFFFFFF, 0xFFFFFFu);  // the ring's hole
    }

    // The answer key's line runs through every marked node; the scale sets the picture's size only.
    void svgSolutionAndScale()
    {
        params::Choices c;
        c.widthCells = c.heightCells = 10;
        c.appearance = params::AppearanceChoice::ThickLines;
        MazeState s = solvedMaze(c, 3);
        const QString svg = dir_.filePath("key.svg");
        QVERIFY(write_maze_svg(s, svg.toStdString(), quiet_, SvgOptions{true, false, 3, nullptr}));
        const QImage drawn = rasteriseSvg(svg);
        QCOMPARE(drawn.size(), QSize(3 * 10 * 23, 3 * 10 * 23));
        int marked = 0;
        for (int y = 1; y <= 21; ++y)
            for (int x = 1; x <= 21; ++x) {
                if (!s.grid.marked(x, y))
                    continue;
                ++marked;
                const QRgb c = drawn.pixel(QPoint(x * 30 + 15, y * 30 + 15));
                if (qRed(c) < 150 || qGreen(c) > 80)
                    QFAIL(qPrintable(QString("node (%1, %2) is not on the red line").arg(x).arg(y)));
            }
        QVERIFY(marked > 10);
    }

    // City plan draws its slabs from the sequence as the page does: four numbers a wall node.
    void cityPlanSlabsTakeThePagesNumbers()
    {
        MazeState s = framedMaze(21, 31, TopLeftToBottomRight);
        Random slabs(5), expected = afterCitySlabs(s.grid, 5);
        const QString svg = dir_.filePath("city.svg");
        QVERIFY(write_maze_svg(s, svg.toStdString(), quiet_, SvgOptions{false, false, 1, &slabs}));
        QCOMPARE(slabs.next(), expected.next());
        const QImage drawn = rasteriseSvg(svg);
        // A wall node's middle is always inside both its slabs; a passage's middle never is.
        for (int y = 1; y <= 31; ++y)
            for (int x = 1; x <= 21; ++x) {
                const bool wall = find_bitmap(s.grid, x, y) > 0;
                const bool corner = (x <= s.CornerWidth && y <= s.CornerHeight) || (x > 21 - s.CornerWidth && y > 31 - s.CornerHeight);
                if (!corner && (qGray(drawn.pixel(x * 5 + 2, y * 5 + 2)) < 128) != wall)
                    QFAIL(qPrintable(QString("node (%1, %2)").arg(x).arg(y)));
            }
    }

    void failuresLeaveNothing()
    {
        MazeState s = framedMaze(41, 41, GridMaze);
        Recorder stop;
        stop.stopAfter = 3;
        const QString svg = dir_.filePath("stopped.svg");
        QVERIFY(!write_maze_svg(s, svg.toStdString(), stop));
        QCOMPARE(entries(dir_.path()), QStringList());

        const QString missing = dir_.filePath("none/maze.svg");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, write_maze_svg(s, missing.toStdString(), quiet_));

        const QString message = failureOnAFullDisk(4096, [&] { write_maze_svg(s, dir_.filePath("full.svg").toStdString(), quiet_); });
        QVERIFY2(message.startsWith("cannot write " + dir_.filePath("full.svg") + ": "), qPrintable(message));
        QCOMPARE(entries(dir_.path()), QStringList());
    }

private:
    QTemporaryDir dir_;
    Progress quiet_;
};

QTEST_GUILESS_MAIN(TestVector)
#include "tst_vector.moc"

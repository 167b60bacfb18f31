#include "tests/support.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/solve.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/tiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace support;

namespace {

MazeState solvedMaze(params::MazeTypeChoice type, params::AppearanceChoice appearance, bool loops, std::uint32_t seed)
{
    params::Choices c;
    c.type = type;
    c.appearance = appearance;
    c.widthCells = 17;
    c.heightCells = 11;
    c.loops = loops;
    c.loopPercent = 80;
    return support::solvedMaze(c, seed);
}

/// Which nodes a layer may draw on, and must draw on.
struct Allowed {
    bool solution;
    bool marks;
    bool operator()(const MazeState &s, int x, int y) const
    {
        const EndPoints e = end_points(s);
        const bool end = (x == e.startX && y == e.startY) || (x == e.finishX && y == e.finishY);
        return (solution && s.grid.contains(x, y) && s.grid.marked(x, y)) || (marks && end);
    }
};

/// What is wrong between a picture without layers and one with them: pixels changed outside
/// the allowed nodes or off the paper, or allowed nodes left unchanged. `nodeOf` maps a pixel
/// to its node.
QString differences(const MazeState &s, const QImage &plain, const QImage &layered, const Allowed &allowed,
                    const std::function<QPoint(int, int)> &nodeOf)
{
    if (plain.size() != layered.size())
        return "the pictures differ in size";
    QStringList wrong;
    QSet<QPair<int, int>> changed;
    for (int py = 0; py < plain.height(); ++py)
        for (int px = 0; px < plain.width(); ++px) {
            if (plain.pixel(px, py) == layered.pixel(px, py))
                continue;
            const QPoint node = nodeOf(px, py);
            changed.insert({node.x(), node.y()});
            if (!allowed(s, node.x(), node.y()) && wrong.size() < 5)
                wrong << QString("pixel (%1, %2) of node (%3, %4) changed").arg(px).arg(py).arg(node.x()).arg(node.y());
            // Layers go on paper only: a wall's tile reaching into a passage stays as it was.
            if (plain.pixel(px, py) != qRgb(255, 255, 255) && wrong.size() < 5)
                wrong << QString("pixel (%1, %2) of a wall was drawn over").arg(px).arg(py);
        }
    for (int y = 1; y <= s.grid.height(); ++y)
        for (int x = 1; x <= s.grid.width(); ++x)
            if (allowed(s, x, y) && !changed.contains({x, y}) && wrong.size() < 10)
                wrong << QString("node (%1, %2) shows nothing").arg(x).arg(y);
    return wrong.join("; ");
}

} // namespace

class TestLayers : public QObject {
    Q_OBJECT
private slots:
    void layersChangeOnlyThePathAndTheMarks_data();
    void layersChangeOnlyThePathAndTheMarks();
    void shrunkKeyKeepsItsLine();
    void blackAndWhitePagesGetGreyLayers();

private:
    QTemporaryDir dir_;
};

void TestLayers::layersChangeOnlyThePathAndTheMarks_data()
{
    using params::AppearanceChoice;
    using params::MazeTypeChoice;
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("appearance");
    QTest::addColumn<bool>("loops");
    // Every appearance with tiles, each maze type, with and without loops.
    const MazeTypeChoice types[] = {MazeTypeChoice::TopLeftToBottomRight, MazeTypeChoice::Grid};
    for (std::size_t a = 0; a + 1 < params::Appearances.size(); ++a) {
        const MazeTypeChoice type = types[a % 2];
        const bool loops = a % 3 == 0;
        QTest::newRow(params::Appearances[a].caption) << int(type) << int(a) << loops;
    }
}

// In the drawn bitmap and in the monochrome file alike.
void TestLayers::layersChangeOnlyThePathAndTheMarks()
{
    QFETCH(int, type);
    QFETCH(int, appearance);
    QFETCH(bool, loops);
    const MazeState s = solvedMaze(params::MazeTypeChoice(type), params::AppearanceChoice(appearance), loops, 4);
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    Progress quiet;
    QImage plain, marked, key;
    const QSize size = maze_picture_size(s);
    QCOMPARE(render_maze(s, quiet, size, DefaultPixelBudget, plain), RenderResult::Done);
    QCOMPARE(render_maze(s, quiet, size, DefaultPixelBudget, marked, SceneLayers{false, true, false}), RenderResult::Done);
    QCOMPARE(render_maze(s, quiet, size, DefaultPixelBudget, key, SceneLayers{true, false, false}), RenderResult::Done);
    // The bitmap has a one-node margin: node x fills pixels x * tw to (x + 1) * tw - 1.
    const auto nodeOf = [&](int px, int py) { return QPoint(px / set.width, py / set.height); };
    QCOMPARE(differences(s, plain, marked, Allowed{false, true}, nodeOf), QString());
    QCOMPARE(differences(s, plain, key, Allowed{true, false}, nodeOf), QString());

    const QString plainFile = dir_.filePath("plain.bmp"), markedFile = dir_.filePath("marked.bmp"),
                  keyFile = dir_.filePath("key.bmp");
    QVERIFY(write_mono_bitmap(s.grid, s.MazeStyle, plainFile.toStdString(), quiet));
    QVERIFY(write_mono_bitmap(s.grid, s.MazeStyle, markedFile.toStdString(), quiet, MonoOverlay{false, true, end_points(s)}));
    QVERIFY(write_mono_bitmap(s.grid, s.MazeStyle, keyFile.toStdString(), quiet, MonoOverlay{true, false, end_points(s)}));
    const QImage mono = decodeWithImageMagick(plainFile);
    // No margin here: node x fills pixels (x - 1) * tw to x * tw - 1.
    const auto monoNodeOf = [&](int px, int py) { return QPoint(px / set.width + 1, py / set.height + 1); };
    QCOMPARE(differences(s, mono, decodeWithImageMagick(markedFile), Allowed{false, true}, monoNodeOf), QString());
    QCOMPARE(differences(s, mono, decodeWithImageMagick(keyFile), Allowed{true, false}, monoNodeOf), QString());
}

void TestLayers::shrunkKeyKeepsItsLine()
{
    // "Scale down the bitmap" draws strip by strip: the line must still reach every strip.
    const MazeState s = solvedMaze(params::MazeTypeChoice::TopLeftToBottomRight, params::AppearanceChoice::Planks, false, 2);
    Progress quiet;
    QImage plain, key;
    const QSize full = maze_picture_size(s);
    const QSize half(full.width() / 2, full.height() / 2);
    QCOMPARE(render_maze(s, quiet, half, DefaultPixelBudget, plain), RenderResult::Done);
    QCOMPARE(render_maze(s, quiet, half, DefaultPixelBudget, key, SceneLayers{true, false, false}), RenderResult::Done);
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    const auto nodeOf = [&](int px, int py) { return QPoint(2 * px / set.width, 2 * py / set.height); };
    QCOMPARE(differences(s, plain, key, Allowed{true, false}, nodeOf), QString());
}

void TestLayers::blackAndWhitePagesGetGreyLayers()
{
    const MazeState s = solvedMaze(params::MazeTypeChoice::Grid, params::AppearanceChoice::DoubleLine, true, 6);
    Progress quiet;
    QImage colour, grey;
    const QSize size = maze_picture_size(s);
    QCOMPARE(render_maze(s, quiet, size, DefaultPixelBudget, colour, SceneLayers{true, true, false}), RenderResult::Done);
    QCOMPARE(render_maze(s, quiet, size, DefaultPixelBudget, grey, SceneLayers{true, true, true}), RenderResult::Done);
    int coloured = 0, greyPixels = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QRgb c = colour.pixel(x, y), g = grey.pixel(x, y);
            coloured += qRed(c) != qGreen(c);
            QCOMPARE(qRed(g), qGreen(g));
            QCOMPARE(qGreen(g), qBlue(g));
            greyPixels += qRed(g) == 64;
        }
    QVERIFY(coloured > 0);
    QVERIFY(greyPixels > 0);
}

QTEST_MAIN(TestLayers)
#include "tst_layers.moc"

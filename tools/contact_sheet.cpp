// Draws every tile set on one sheet: the sixteen tiles enlarged in a labelled row, and
// beside them a small maze drawn with the set at its native tile size (enlarged once
// more for the sets whose tiles are too small to see). The corner arrow ends the sheet.
//
//   contact_sheet FILE.png      (target tiles_contact_sheet writes docs/tiles.png)

#include "maze/grid.h"
#include "render/tiles.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int Margin = 24;
constexpr int TileBox = 72;     // enlarged tiles are scaled by a whole factor to fit this
constexpr int Gap = 10;
constexpr int LabelHeight = 26;
constexpr int MazeCols = 8, MazeRows = 5;

QImage tileImage(const tiles::TileSet &set, int tile)
{
    QImage img(set.width, set.height, QImage::Format_RGB32);
    for (int y = 0; y < set.height; ++y)
        for (int x = 0; x < set.width; ++x)
            img.setPixel(x, y, 0xFF000000u | tiles::rgb(set.shade(tile, x, y)));
    return img;
}

/// A perfect maze carved depth-first, then a few extra openings so that loops give
/// lone posts and crossings too. Same seed, same maze, every run.
NodeGrid sampleMaze()
{
    NodeGrid g;
    const int gw = 2 * MazeCols + 1, gh = 2 * MazeRows + 1;
    g.allocate(gw, gh);
    std::mt19937 rng(20240607u);
    std::vector<std::pair<int, int>> stack{{2, 2}};
    g.set(2, 2, NodeGrid::Carved);
    while (!stack.empty()) {
        const auto [cx, cy] = stack.back();
        std::vector<std::pair<int, int>> next;
        for (auto [dx, dy] : {std::pair{2, 0}, {0, 2}, {-2, 0}, {0, -2}}) {
            const int nx = cx + dx, ny = cy + dy;
            if (nx >= 2 && nx < gw && ny >= 2 && ny < gh && !g.carved(nx, ny))
                next.emplace_back(nx, ny);
        }
        if (next.empty()) {
            stack.pop_back();
            continue;
        }
        const auto [nx, ny] = next[rng() % next.size()];
        g.set((cx + nx) / 2, (cy + ny) / 2, NodeGrid::Carved);
        g.set(nx, ny, NodeGrid::Carved);
        stack.emplace_back(nx, ny);
    }
    for (int opened = 0; opened < 9;) {
        const int x = 2 + static_cast<int>(rng() % (gw - 3)), y = 2 + static_cast<int>(rng() % (gh - 3));
        if ((x + y) % 2 == 1 && !g.carved(x, y)) {
            g.set(x, y, NodeGrid::Carved);
            ++opened;
        }
    }
    return g;
}

QImage mazeImage(const tiles::TileSet &set, const NodeGrid &g)
{
    QImage img(set.width * g.width(), set.height * g.height(), QImage::Format_RGB32);
    img.fill(Qt::white);
    std::vector<QImage> pics;
    for (int t = 1; t <= set.count; ++t)
        pics.push_back(tileImage(set, t));
    QPainter p(&img);
    for (int y = 1; y <= g.height(); ++y)
        for (int x = 1; x <= g.width(); ++x)
            if (const int t = find_bitmap(g, x, y))
                p.drawImage((x - 1) * set.width, (y - 1) * set.height, pics[t - 1]);
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: contact_sheet FILE.png\n");
        return 2;
    }

    const NodeGrid maze = sampleMaze();
    const int tilesWidth = tiles::TilesPerSet * (TileBox + Gap);

    struct Row {
        const tiles::TileSet *set;
        QImage maze, zoomed;
        int height;
    };
    std::vector<Row> rows;
    int sheetWidth = 0, sheetHeight = Margin;
    for (int style = 0; style < tiles::SetCount; ++style) {
        const tiles::TileSet &set = tiles::tile_set(style);
        Row row{&set, mazeImage(set, maze), {}, 0};
        int mazeWidth = row.maze.width();
        if (set.width < 20) {
            const int k = 36 / set.width;
            row.zoomed = row.maze.scaled(row.maze.size() * k, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            mazeWidth += Gap * 2 + row.zoomed.width();
        }
        const int mazeHeight = std::max(row.maze.height(), row.zoomed.height());
        row.height = LabelHeight + std::max(TileBox + LabelHeight, mazeHeight) + Gap * 2;
        sheetWidth = std::max(sheetWidth, Margin * 2 + tilesWidth + Gap * 3 + mazeWidth);
        sheetHeight += row.height;
        rows.push_back(std::move(row));
    }
    const tiles::TileSet &arrow = tiles::corner_arrow();
    sheetHeight += LabelHeight + arrow.height * 2 + Margin;

    QImage sheet(sheetWidth, sheetHeight, QImage::Format_RGB32);
    sheet.fill(QColor(236, 240, 244));
    QPainter p(&sheet);
    QFont font = p.font();
    font.setPixelSize(15);
    p.setFont(font);

    int top = Margin;
    for (int style = 0; style < tiles::SetCount; ++style) {
        const Row &row = rows[static_cast<std::size_t>(style)];
        const tiles::TileSet &set = *row.set;
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(Margin, top + 17,
                   QStringLiteral("%1  %2   (%3 x %4 pixels, %5-bit)")
                       .arg(style).arg(QString::fromUtf8(set.name)).arg(set.width).arg(set.height).arg(set.depth));
        font.setBold(false);
        p.setFont(font);

        const int scale = std::max(1, TileBox / set.width);
        const int box = set.width * scale;
        const int tilesTop = top + LabelHeight;
        for (int t = 1; t <= set.count; ++t) {
            const int left = Margin + (t - 1) * (TileBox + Gap) + (TileBox - box) / 2;
            p.drawImage(QRect(left, tilesTop + (TileBox - box) / 2, box, box), tileImage(set, t));
            p.setPen(QColor(150, 160, 170));
            p.drawRect(left - 1, tilesTop + (TileBox - box) / 2 - 1, box + 1, box + 1);
            p.setPen(Qt::black);
            p.drawText(QRect(Margin + (t - 1) * (TileBox + Gap), tilesTop + TileBox + 2, TileBox, LabelHeight),
                       Qt::AlignHCenter | Qt::AlignTop, QString::number(t));
        }

        int left = Margin + tilesWidth + Gap * 3;
        p.drawImage(left, tilesTop, row.maze);
        if (!row.zoomed.isNull()) {
            left += row.maze.width() + Gap * 2;
            p.drawImage(left, tilesTop, row.zoomed);
        }
        top += row.height;
    }

    p.setPen(Qt::black);
    p.drawText(Margin, top + 17, QStringLiteral("Corner arrow   (128 x 128 pixels, 1-bit; native and doubled)"));
    QImage arrowImage(arrow.width, arrow.height, QImage::Format_RGB32);
    for (int y = 0; y < arrow.height; ++y)
        for (int x = 0; x < arrow.width; ++x)
            arrowImage.setPixel(x, y, 0xFF000000u | tiles::rgb(arrow.shade(1, x, y)));
    p.drawImage(Margin, top + LabelHeight, arrowImage);
    p.drawImage(QRect(Margin + arrow.width + Gap * 2, top + LabelHeight, arrow.width * 2, arrow.height * 2), arrowImage);
    p.end();

    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "contact_sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

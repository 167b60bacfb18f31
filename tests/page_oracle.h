#pragma once

// Pages read back as a reader sees them: rasterised by poppler, their images listed, their
// number and size read.

#include "maze/state.h"
#include "render/tiles.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QStringList>
#include <QTransform>

#include <cmath>

namespace support {

/// Page `page` (from 1) of a PDF in grey at `dpi`, through pdftoppm.
inline QImage rasterised(const QString &pdf, int page = 1, int dpi = 300)
{
    const QString base = pdf + QStringLiteral(".p%1").arg(page);
    QFile::remove(base + ".pgm");
    QProcess::execute("pdftoppm", {"-r", QString::number(dpi), "-gray", "-f", QString::number(page), "-l",
                                   QString::number(page), "-singlefile", pdf, base});
    return QImage(base + ".pgm");
}

/// Every tile pixel of every node of `s` read back from a 300-dpi raster, where `toRaster`
/// maps the page's node units (node (x, y) from (x - 1, y - 1)) to raster pixels: each must
/// show its shade wherever the raster pixel under its centre lies wholly inside it.
inline QString tileMismatches(const QImage &raster, const MazeState &s, const QTransform &toRaster)
{
    if (raster.isNull())
        return "pdftoppm made no page";
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    const int gw = s.grid.width(), gh = s.grid.height();
    if (toRaster.m11() / set.width < 2.5 || toRaster.m22() / set.height < 2.5)
        return "the tiles' pixels are too small to tell apart at 300 dpi";
    QStringList wrong;
    for (int y = 1; y <= gh; ++y)
        for (int x = 1; x <= gw; ++x) {
            const int t = find_bitmap(s.grid, x, y);
            for (int b = 0; b < set.height; ++b)
                for (int a = 0; a < set.width; ++a) {
                    const QPointF at = toRaster.map(QPointF(x - 1 + (a + 0.5) / set.width, y - 1 + (b + 0.5) / set.height));
                    const int want = qGray(tiles::rgb(t > 0 ? set.shade(t, a, b) : tiles::White));
                    const int got = qGray(raster.pixel(int(std::floor(at.x())), int(std::floor(at.y()))));
                    if (std::abs(got - want) > 12 && wrong.size() < 5)
                        wrong << QString("node (%1, %2) pixel (%3, %4) is %5, not %6").arg(x).arg(y).arg(a).arg(b).arg(got).arg(want);
                }
        }
    return wrong.join("; ");
}

/// The lines of `pdfimages -list`: a heading of two lines, then one line an image.
inline QStringList pdfImages(const QString &pdf)
{
    QProcess p;
    p.start("pdfimages", {"-list", pdf});
    p.waitForFinished(60000);
    return QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

/// What pdfinfo says of a PDF: its pages and the size of its first page in points.
struct PdfInfo {
    int pages = 0;
    QSizeF size;
    QString sizeName;
};

inline PdfInfo pdfInfo(const QString &pdf)
{
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(60000);
    const QString text = QString::fromLatin1(p.readAllStandardOutput());
    PdfInfo info;
    info.pages = QRegularExpression("Pages:\\s+(\\d+)").match(text).captured(1).toInt();
    const auto size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts(?: \\((\\w+)\\))?").match(text);
    info.size = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    info.sizeName = size.captured(3);
    return info;
}

} // namespace support

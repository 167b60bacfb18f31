#include "matte/matte_picture.h"

#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/sampling.h"
#include "render/save_file.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>

#include <cmath>

QImage load_matte_picture(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull() && error)
        *error = QStringLiteral("cannot read %1: %2").arg(QFileInfo(path).fileName(), reader.errorString());
    return picture;
}

CellMap sample_matte_picture(const QImage &picture, int cols, int rows)
{
    return sample_picture(picture.width(), picture.height(), cols, rows, [&picture](int x, int y) {
        if (!picture.valid(x, y))
            return MatteColour::Outside;
        const QRgb p = picture.pixel(x, y);
        const int a = qAlpha(p);
        auto overWhite = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
        return MatteColour::pack(overWhite(qRed(p)), overWhite(qGreen(p)), overWhite(qBlue(p)));
    });
}

QImage matte_picture(const MattePainting &painting)
{
    const CellMap &paper = painting.paper;
    QImage picture(paper.cols(), paper.rows(), QImage::Format_RGB32);
    for (int cy = 0; cy < paper.rows(); ++cy) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(cy));
        for (int cx = 0; cx < paper.cols(); ++cx)
            line[cx] = paper.at(cx, cy) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    const auto mark = [&](MatteCell cell, const char *key, std::int32_t colour) {
        if (!paper.contains(cell))
            return;
        picture.setPixel(cell.cx, cell.cy, toQRgb(colour));
        picture.setText(QString::fromLatin1(key), QStringLiteral("%1,%2").arg(cell.cx).arg(cell.cy));
    };
    mark(painting.start, MatteStartKey, MatteColour::Start);
    mark(painting.finish, MatteFinishKey, MatteColour::Finish);
    picture.setText(QStringLiteral("Description"),
                    QStringLiteral("Corvanthel matte: dark cells are maze, white cells paper"));
    return picture;
}

MatteCell matte_picture_point(const QImage &picture, const char *key, int cols, int rows)
{
    static const QRegularExpression pair(QStringLiteral("^\\s*(\\d{1,9})\\s*,\\s*(\\d{1,9})\\s*$"));
    const QRegularExpressionMatch m = pair.match(picture.text(QString::fromLatin1(key)));
    if (!m.hasMatch() || picture.width() < 1 || picture.height() < 1 || cols < 1 || rows < 1)
        return {};
    const long long px = m.captured(1).toLongLong(), py = m.captured(2).toLongLong();
    if (px >= picture.width() || py >= picture.height())
        return {};
    // The cell whose share of the picture holds the centre of the point's pixel: at the
    // picture's own size, the same cell.
    const auto cell = [](long long p, int size, int cells) {
        return int(std::floor((double(p) + 0.5) * cells / size));
    };
    return {cell(px, picture.width(), cols), cell(py, picture.height(), rows)};
}

bool save_matte_picture(const MattePainting &painting, const QString &path, QString *error)
{
    const QImage picture = matte_picture(painting);
    return save_whole_file(path, error, [&](QFileDevice &file, QString &cause) {
        QImageWriter writer(&file, "png");
        if (writer.write(picture))
            return SaveStep::Written;
        cause = writer.errorString();
        return SaveStep::Failed;
    });
}

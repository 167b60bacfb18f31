#include "matte/matte_picture.h"

#include "matte/matte_colours.h"
#include "matte/sampling.h"

#include <QFileInfo>
#include <QImageReader>

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

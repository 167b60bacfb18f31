// Any bytes as a matte picture: the import must refuse or read them without a fault,
// and give the same answer, pixel for pixel, each time it reads them.

#include "matte/matte_picture.h"
#include "matte/picture_check.h"

#include <QCoreApplication>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The application object tells Qt where its format plugins are.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const PictureCheck check = check_picture(std::span(data, size));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString firstError, secondError;
    const QImage first = read_matte_picture(bytes, QStringLiteral("fuzz"), &firstError);
    const QImage second = read_matte_picture(bytes, QStringLiteral("fuzz"), &secondError);
    if (first != second || firstError != secondError)
        std::abort();
    // What the structure check calls damaged never reaches a reader.
    if (check.verdict == PictureCheck::Damaged && !first.isNull())
        std::abort();
    if (!first.isNull()) {
        const CellMap cells = sample_matte_picture(first, 7, 5);
        if (cells != sample_matte_picture(second, 7, 5))
            std::abort();
    }
    return 0;
}

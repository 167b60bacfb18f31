#include "matte/matte_picture.h"

#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/picture_check.h"
#include "matte/sampling.h"
#include "render/save_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <span>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Larger files are no picture a matte needs; reading them whole would only cost memory.
constexpr qint64 MaxFileBytes = qint64{256} << 20;

/// What Qt's readers say while one picture is read: some patch a damaged picture up
/// (a JPEG cut short comes out grey at the bottom) and say so only as a warning.
class Complaints {
public:
    Complaints()
    {
        previous_ = qInstallMessageHandler(&Complaints::collect);
        active_ = this;
    }
    ~Complaints()
    {
        qInstallMessageHandler(previous_);
        active_ = nullptr;
    }
    Complaints(const Complaints &) = delete;
    Complaints &operator=(const Complaints &) = delete;

    QStringList heard;

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (active_ && type != QtFatalMsg)
            active_->heard << message;
        else if (previous_)
            previous_(type, context, message);
    }
    static inline Complaints *active_ = nullptr;
    static inline QtMessageHandler previous_ = nullptr;
};

/// A complaint that means the pixels are not what the file holds. A PNG's ancillary
/// chunks (their names begin in lower case: "iCCP", "tEXt") change no pixel.
bool harmful(const QString &complaint)
{
    static const QRegularExpression ancillary(QStringLiteral("^libpng warning: [a-z][A-Za-z]{3}:"));
    return !ancillary.match(complaint).hasMatch();
}

/// True when every pixel of an indexed picture names a colour its palette has; any other
/// index would be looked up in whatever memory follows the palette.
bool indicesInPalette(const QImage &picture)
{
    const int colours = picture.colorCount();
    switch (picture.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return colours >= 2;
    case QImage::Format_Indexed8:
        for (int y = 0; y < picture.height(); ++y) {
            const uchar *row = picture.constScanLine(y);
            for (int x = 0; x < picture.width(); ++x)
                if (row[x] >= colours)
                    return false;
        }
        return true;
    default:
        return true;
    }
}

QString damaged(const QString &name, const QString &flaw)
{
    return QStringLiteral("the picture %1 is damaged or incomplete%2")
        .arg(name, flaw.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(flaw));
}

QString tooLarge(const QString &name, QSize size)
{
    const int megabytes = QImageReader::allocationLimit();
    const QString pixels = size.isValid() ? QStringLiteral(" %1 x %2 pixels,").arg(size.width()).arg(size.height())
                                          : QString();
    return QStringLiteral("the picture %1 is too large:%2 and a picture may take at most %3 MB of memory "
                          "(about %4 million pixels)")
        .arg(name, pixels).arg(megabytes).arg(megabytes / 4);
}

QImage refuse(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return {};
}

QString readFailure(const QString &name, int error)
{
    switch (error) {
    case ELOOP:
        return QStringLiteral("cannot read %1: its symbolic links form a loop").arg(name);
    case EISDIR:
        return QStringLiteral("cannot read %1: it is a folder, not a picture").arg(name);
    default:
        return QStringLiteral("cannot read %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

QImage load_matte_picture(const QString &path, QString *error, QSize fitInto)
{
    if (path.endsWith(QLatin1Char('/')))
        return refuse(error, QStringLiteral("cannot read %1: the name ends with '/', so it names a folder, "
                                            "not a picture").arg(path));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refuse(error, readFailure(path, errno));
    QByteArray bytes;
    struct stat st {};
    int failure = 0;
    if (::fstat(fd, &st) != 0)
        failure = errno;
    else if (S_ISDIR(st.st_mode))
        failure = EISDIR;
    else if (st.st_size > MaxFileBytes)
        failure = EFBIG;
    while (!failure && bytes.size() <= MaxFileBytes) {
        char block[65536];
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failure = errno;
        if (n <= 0)
            break;
        bytes.append(block, n);
    }
    ::close(fd);
    if (failure == EFBIG || bytes.size() > MaxFileBytes)
        return refuse(error, QStringLiteral("the picture %1 is too large: a picture file may hold at most %2 MB")
                                 .arg(path).arg(MaxFileBytes >> 20));
    if (failure)
        return refuse(error, readFailure(path, failure));
    return read_matte_picture(bytes, path, error, fitInto);
}

QString matte_picture_size_refusal(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (!size.isValid() || limit <= 0)
        return {};
    // The reader checks the picture it allocates, in the format the file's header names.
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytes = qint64(size.width()) * size.height() * bits / 8;
    return bytes > limit ? tooLarge(path, size) : QString();
}

QString readable_picture_formats()
{
    QStringList names;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        if (format != "jpg")  // the same reader as jpeg
            names << QString::fromLatin1(format).toUpper();
    const QString last = names.isEmpty() ? QString() : names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QImage read_matte_picture(const QByteArray &bytes, const QString &name, QString *error, QSize fitInto)
{
    if (bytes.isEmpty())
        return refuse(error, damaged(name, QStringLiteral("the file is empty")));
    const PictureCheck check =
        check_picture(std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())));
    if (check.verdict == PictureCheck::Damaged)
        return refuse(error, damaged(name, QString::fromStdString(check.flaw)));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // A format whose structure was checked is read as that format; any other goes to the
    // reader that recognises it, on that reader's own checks and the ones below.
    QImageReader reader(&buffer, QByteArray::fromStdString(check.format));
    reader.setAutoTransform(true);
    QImage picture;
    QSize declared;
    QStringList heard;
    {
        Complaints complaints;
        if (check.verdict == PictureCheck::Unknown && !reader.canRead())
            return refuse(error, QStringLiteral("cannot read %1: it is not a picture in a format this program reads (%2)")
                                     .arg(name, readable_picture_formats()));
        declared = check.width > 0 && check.width <= INT_MAX && check.height > 0 && check.height <= INT_MAX
                       ? QSize(int(check.width), int(check.height))
                       : reader.size();
        if (fitInto.isValid() && declared.isValid()
            && (declared.width() > fitInto.width() || declared.height() > fitInto.height()))
            reader.setScaledSize(declared.scaled(fitInto, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        picture = reader.read();
        heard = complaints.heard;
    }
    for (const QString &complaint : heard)
        if (complaint.contains(QLatin1String("allocation limit")))
            return refuse(error, tooLarge(name, declared));
    if (picture.isNull())
        return refuse(error, damaged(name, reader.errorString()));
    for (const QString &complaint : heard)
        if (harmful(complaint))
            return refuse(error, damaged(name, complaint));
    if (!indicesInPalette(picture))
        return refuse(error, damaged(name, QStringLiteral("a pixel names a colour the palette lacks")));
    // Every pixel the header promises must have come out of the file.
    const QSize read = picture.size();
    if (!reader.scaledSize().isValid() && declared.isValid() && read != declared && read != declared.transposed())
        return refuse(error, damaged(name, QStringLiteral("%1 x %2 pixels read of %3 x %4")
                                               .arg(read.width()).arg(read.height())
                                               .arg(declared.width()).arg(declared.height())));
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
    return save_whole_file(path, error, [&](QIODevice &file, QString &cause) {
        QImageWriter writer(&file, "png");
        if (writer.write(picture))
            return SaveStep::Written;
        cause = writer.errorString();
        return SaveStep::Failed;
    });
}

#include "render/draw.h"

#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/file_format.h"
#include "render/mono_bitmap.h"
#include "render/mono_png.h"
#include "render/print.h"
#include "render/save_file.h"
#include "render/scene.h"
#include "render/svg_maze.h"
#include "render/tiles.h"

#include <QHash>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// The bitmap first: the format the dialog offers unless another is chosen.
QString pictureFilters()
{
    return QObject::tr("Bitmap files (*.bmp);;PNG pictures (*.png);;SVG drawings (*.svg);;PDF files (*.pdf)");
}

QString monochromeFilters()
{
    return QObject::tr("Bitmap files (*.bmp);;PNG pictures (*.png)");
}

} // namespace

QSize maze_picture_size(const MazeState &s)
{
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    return QSize(set.width * (s.grid.width() + 2), set.height * (s.grid.height() + 2));
}

namespace {

// Widest strip of the full-size picture painted at once when shrinking.
constexpr int StripPixels = 4096;

QRgb darker(QRgb a, QRgb b)
{
    return qRgb(std::min(qRed(a), qRed(b)), std::min(qGreen(a), qGreen(b)), std::min(qBlue(a), qBlue(b)));
}

// The full-size picture, painted straight onto the surface.
RenderResult paintFullSize(const MazeState &s, const MazeScene &scene, Progress &progress, QImage &surface)
{
    QPainter painter;
    if (!painter.begin(&surface))
        return RenderResult::TooLarge;
    painter.setWindow(0, 0, s.grid.width() + 2, s.grid.height() + 2);
    return scene.paint(painter, scene.grid(), &progress, Phase::Rendering) ? RenderResult::Done
                                                                           : RenderResult::Stopped;
}

// A smaller picture: the full-size one is painted a strip of one node row at a time,
// and each of its pixels is folded into the pixel of the surface it falls in, the darker
// colour winning. Walls one pixel thin stay black at any size instead of dropping out
// between the samples of a plain stretch.
RenderResult paintShrunk(const MazeState &s, const MazeScene &scene, Progress &progress, QImage &surface)
{
    const int gh = s.grid.height();
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    const int tw = set.width;
    const int th = set.height;
    const qint64 fullWidth = qint64(tw) * (s.grid.width() + 2);
    const qint64 fullHeight = qint64(th) * (gh + 2);
    const int stripWidth = int(std::min<qint64>(fullWidth, StripPixels));
    QImage strip(stripWidth, th, QImage::Format_RGB32);
    if (strip.isNull())
        return RenderResult::TooLarge;
    std::vector<int> column(static_cast<std::size_t>(stripWidth));

    // Row gh + 1 is the bottom margin, which the last row's tiles overlap.
    for (int y = 1; y <= gh + 1; ++y) {
        if (y <= gh)
            progress.processEvents();
        const qint64 top = qint64(y) * th;
        for (qint64 left = 0; left < fullWidth; left += stripWidth) {
            strip.fill(Qt::white);
            QPainter painter;
            if (!painter.begin(&strip))
                return RenderResult::TooLarge;
            painter.translate(-double(left), -double(top));
            painter.scale(tw, th);
            // The nodes under the strip; the scene adds those whose tiles overlap into it.
            scene.paint(painter, scene.nodesIn(QRectF(double(left) / tw, y, double(stripWidth) / tw, 1)));
            painter.end();

            const int width = int(std::min<qint64>(stripWidth, fullWidth - left));
            for (int c = 0; c < width; ++c)
                column[c] = int((left + c) * surface.width() / fullWidth);
            for (int r = 0; r < th; ++r) {
                auto *to = reinterpret_cast<QRgb *>(surface.scanLine(int((top + r) * surface.height() / fullHeight)));
                const auto *from = reinterpret_cast<const QRgb *>(strip.constScanLine(r));
                for (int c = 0; c < width; ++c)
                    to[column[c]] = darker(to[column[c]], from[c]);
            }
        }
        if (y <= gh) {
            progress.phase(Phase::Rendering, row_percent(y, gh));
            progress.processEvents();
            if (progress.stopRequested())
                return RenderResult::Stopped;
        }
    }
    return RenderResult::Done;
}

} // namespace

RenderResult render_maze(const MazeState &s, Progress &progress, QSize size, qint64 pixelBudget,
                         QImage &picture, const SceneLayers &layers)
{
    picture = QImage();
    if (size.isEmpty() || qint64(size.width()) * size.height() > pixelBudget)
        return RenderResult::TooLarge;
    QImage surface(size, QImage::Format_RGB32);
    if (surface.isNull())
        return RenderResult::TooLarge;
    surface.fill(Qt::white);

    const MazeScene scene(s, SceneOptions::bitmap(layers));
    const RenderResult result = size == maze_picture_size(s) ? paintFullSize(s, scene, progress, surface)
                                                             : paintShrunk(s, scene, progress, surface);
    if (result == RenderResult::Done)
        picture = std::move(surface);
    return result;
}

namespace {

/// Writes `picture` in `format` (a name QImageWriter knows) to the device it is given.
FileWriter pictureWriter(const QImage &picture, const char *format)
{
    return [&picture, format](QIODevice &device, QString &cause) {
        QImageWriter writer(&device, format);
        if (writer.write(picture))
            return SaveStep::Written;
        cause = writer.errorString();
        return SaveStep::Failed;
    };
}

/// True, after saying so, when the maze's file `name` and its answer key's are one file (one
/// a link to the other): the key, replacing its old self last, would take the maze's place.
bool keyIsTheMaze(OutputContext &ctx, const QString &name)
{
    if (!ctx.answerKey)
        return false;
    const QString key = ctx.keyFileName(name);
    if (output_identity(file_system_name(name)) != output_identity(file_system_name(key)))
        return false;
    ctx.reportError(QObject::tr("Corvanthel cannot save %1: it and its answer key %2 name the same file; give the "
                                "maze another name.").arg(name, key));
    return true;
}

/// Writes the maze to `name` through write(file, solution) and, when asked, its answer key
/// beside it; the two replace their old selves together, or neither does.
template <class Write>
void writeMazeAndKey(OutputContext &ctx, const QString &name, Write &&write)
{
    if (keyIsTheMaze(ctx, name))
        return;
    AtomicFile maze(file_system_name(name));
    if (!write(maze, false))
        return;
    std::vector<AtomicFile *> files{&maze};
    std::optional<AtomicFile> key;
    if (ctx.answerKey) {
        key.emplace(file_system_name(ctx.keyFileName(name)));
        if (!write(*key, true))
            return;
        files.push_back(&*key);
    }
    AtomicFile::commitTogether(files);
}

} // namespace

std::uint64_t bitmap_file_bytes(QSize size)
{
    const std::uint64_t rowBytes = (std::uint64_t(size.width()) * 3 + 3) / 4 * 4;
    return 54 + rowBytes * std::uint64_t(size.height());
}

bool save_bitmap(const QImage &picture, const QString &path, QString *error)
{
    return save_to_file(path, error, [&](AtomicFile &file, bool &) { return write_bitmap(picture, file, error); });
}

bool write_bitmap(const QImage &picture, AtomicFile &file, QString *error, Progress *progress)
{
    try {
        file.expectBytes(bitmap_file_bytes(picture.size()));
    } catch (const std::runtime_error &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return false;
    }
    // RGB32 goes out as 24 bits per pixel, uncompressed: every tile colour survives.
    return write_whole_file(file, error, pictureWriter(picture, "bmp"), nullptr, progress);
}

QImage palette_picture(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> colours;
    QHash<QRgb, int> index;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (!index.contains(line[x])) {
                if (colours.size() == 256)
                    return rgb;
                index.insert(line[x], int(colours.size()));
                colours << line[x];
            }
    }
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    if (colours.size() <= 2 && std::all_of(colours.begin(), colours.end(), [&](QRgb c) { return c == black || c == white; })) {
        QImage mono(rgb.size(), QImage::Format_Mono);
        mono.setColorTable({black, white});
        mono.fill(1);
        for (int y = 0; y < rgb.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            uchar *bits = mono.scanLine(y);
            for (int x = 0; x < rgb.width(); ++x)
                if (line[x] == black)
                    bits[x >> 3] &= uchar(~(0x80u >> (x & 7)));
        }
        return mono;
    }
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(colours);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *to = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            to[x] = uchar(index.value(line[x]));
    }
    return indexed;
}

QImage enlarged_picture(const QImage &picture, int scale)
{
    if (scale <= 1)
        return picture;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QImage big(rgb.width() * scale, rgb.height() * scale, QImage::Format_RGB32);
    if (big.isNull())
        return big;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(big.scanLine(y * scale));
        for (int x = 0; x < rgb.width(); ++x)
            std::fill_n(to + qsizetype(x) * scale, scale, from[x]);
        for (int k = 1; k < scale; ++k)
            std::memcpy(big.scanLine(y * scale + k), to, std::size_t(big.bytesPerLine()));
    }
    return big;
}

bool save_png(const QImage &picture, const QString &path, QString *error)
{
    return save_to_file(path, error, [&](AtomicFile &file, bool &) { return write_png(picture, file, error); });
}

bool write_png(const QImage &picture, AtomicFile &file, QString *error, Progress *progress)
{
    const QImage fewest = palette_picture(picture);
    return write_whole_file(file, error, pictureWriter(fewest, "png"), nullptr, progress);
}

std::optional<FileFormat> format_for_saving(const QString &name)
{
    const std::string path = file_system_name(name);
    return output_format(path, is_stream_output(path));
}

QString unknown_format_message(const QString &name, const QString &accepted)
{
    return QObject::tr("Corvanthel cannot save %1: name the file %2.").arg(name, accepted);
}

void giant_bitmap(OutputContext &ctx)
{
    MazeState &s = ctx.state;
    const QString name = ctx.askFileName(monochromeFilters());
    ctx.progress.phase(Phase::RenderingToDisk);
    if (name.isEmpty())
        return;
    const auto format = format_for_saving(name);
    if (format != FileFormat::Bmp && format != FileFormat::Png) {
        ctx.reportError(unknown_format_message(name, QObject::tr(".bmp or .png")));
        return;
    }
    const bool png = format == FileFormat::Png;
    MonoOverlay overlay{false, ctx.marks, end_points(s)};
    try {
        writeMazeAndKey(ctx, name, [&](AtomicFile &file, bool solution) {
            overlay.solution = solution;
            return png ? write_mono_png(s.grid, s.MazeStyle, file, ctx.progress, overlay)
                       : write_mono_bitmap(s.grid, s.MazeStyle, file, ctx.progress, overlay);
        });
    } catch (const std::exception &e) {
        ctx.reportError(QString::fromLocal8Bit(e.what()));
    }
}

namespace {

/// The drawings made from the maze rather than from a picture, with the answer key beside
/// them when asked.
void saveVectors(OutputContext &ctx, FileFormat format, const QString &name)
{
    MazeState &s = ctx.state;
    QString error;
    if (format == FileFormat::Pdf) {
        if (!save_pdf_page(s, ctx.progress, ctx.pageLayout, PdfResolution, name, &error, PageOptions{ctx.marks, ctx.answerKey, {}, ctx.pageSetup}))
            ctx.reportError(error);
        return;
    }
    try {
        // City plan's key draws the maze's own slabs.
        Random mazeSlabs = s.rng, keySlabs = s.rng;
        writeMazeAndKey(ctx, name, [&](AtomicFile &file, bool solution) {
            Random *slabs = solution ? &keySlabs : &mazeSlabs;
            const SvgOptions options{solution, ctx.marks, 1, s.CityPlan ? slabs : nullptr};
            return write_maze_svg(s, file, ctx.progress, options);
        });
    } catch (const std::exception &e) {
        ctx.reportError(QString::fromStdString(e.what()));
    }
}

} // namespace

void save_maze_file(OutputContext &ctx, const QString &name)
{
    const auto format = format_for_saving(name);
    if (!format) {
        ctx.reportError(unknown_format_message(name, QObject::tr(FileFormatNames)));
        return;
    }
    if (*format == FileFormat::Svg || *format == FileFormat::Pdf)
        saveVectors(ctx, *format, name);
    else if (ctx.state.CityPlan)
        ctx.reportError(unknown_format_message(name, QObject::tr(".svg or .pdf (City plan is drawn only as shapes)")));
    else
        draw_maze(ctx, name);
}

void draw_maze(OutputContext &ctx, const QString &chosenName)
{
    MazeState &s = ctx.state;
    QSize size = maze_picture_size(s);
    SceneLayers layers;
    layers.marks = ctx.marks;
    // 0: nothing failed yet; above 0: ask the user; -1: scale down without asking.
    int failures = 0;
    QImage picture;
    for (;;) {
        s.MonochromeChosen = false;
        if (failures > 0) {
            const TooLargeAnswer answer = ctx.askTooLarge();
            if (answer == TooLargeAnswer::Cancel)
                return;
            s.MonochromeChosen = answer == TooLargeAnswer::Monochrome;
            if (s.MonochromeChosen) {
                giant_bitmap(ctx);
                return;
            }
            failures = -1;
        }
        const RenderResult result = render_maze(s, ctx.progress, size, ctx.pixelBudget, picture, layers);
        if (result == RenderResult::Stopped)
            return;
        if (result == RenderResult::Done)
            break;
        size = QSize(size.width() / 2, size.height() / 2);
        if (size.isEmpty()) {
            ctx.reportError(QObject::tr("Corvanthel cannot draw this maze on a bitmap of any size."));
            return;
        }
        if (failures >= 0)
            ++failures;
    }

    const QString name = chosenName.isEmpty() ? ctx.askFileName(pictureFilters()) : chosenName;
    ctx.progress.phase(Phase::Saving);
    if (name.isEmpty())
        return;
    const auto format = format_for_saving(name);
    if (!format) {
        ctx.reportError(unknown_format_message(name, QObject::tr(FileFormatNames)));
        return;
    }
    if (*format == FileFormat::Svg || *format == FileFormat::Pdf) {
        // Drawn again from the maze, at full size and sharp.
        picture = QImage();
        saveVectors(ctx, *format, name);
        return;
    }
    const auto write = *format == FileFormat::Png ? write_png : write_bitmap;
    QString error;
    try {
        if (keyIsTheMaze(ctx, name))
            return;
        // The maze and its key replace their old selves together, or neither does.
        AtomicFile maze(file_system_name(name));
        if (!write(picture, maze, &error, &ctx.progress)) {
            // Stopped: no file, and nothing to say.
            if (!ctx.progress.stopRequested())
                ctx.reportError(error);
            return;
        }
        std::vector<AtomicFile *> files{&maze};
        std::optional<AtomicFile> key;
        if (ctx.answerKey) {
            // The key at the size the maze was drawn at; one picture held at a time.
            picture = QImage();
            layers.solution = true;
            ctx.progress.phase(Phase::Rendering);
            const RenderResult drawn = render_maze(s, ctx.progress, size, ctx.pixelBudget, picture, layers);
            if (drawn == RenderResult::Stopped)
                return;
            if (drawn == RenderResult::TooLarge) {
                ctx.reportError(QObject::tr("Corvanthel cannot draw the answer key of this maze."));
                return;
            }
            ctx.progress.phase(Phase::Saving);
            key.emplace(file_system_name(ctx.keyFileName(name)));
            if (!write(picture, *key, &error, &ctx.progress)) {
                if (!ctx.progress.stopRequested())
                    ctx.reportError(error);
                return;
            }
            files.push_back(&*key);
        }
        AtomicFile::commitTogether(files);
    } catch (const std::runtime_error &e) {
        ctx.reportError(QString::fromLocal8Bit(e.what()));
    }
}

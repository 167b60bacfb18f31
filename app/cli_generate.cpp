#include "app/cli_progress.h"
#include "app/command_line.h"
#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/matte_picture.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/output_memory.h"
#include "render/print.h"
#include "render/save_file.h"
#include "render/text_maze.h"
#include "render/tiles.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// Fine enough that a page of the largest maze keeps its walls apart.
constexpr int PdfResolution = 1200;

/// A failure that ends the run with a message and exit code 1.
struct CliFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString &message)
{
    throw CliFailure(message.toStdString());
}

/// A refused matte in the command line's terms, cells counted from 1.
QString matteRefusal(const MatteResult &r)
{
    const auto cell = [](MatteCell c) { return QStringLiteral("%1,%2").arg(c.cx + 1).arg(c.cy + 1); };
    switch (r.verdict) {
    case MatteVerdict::NoPoints:
        return QStringLiteral("a matte needs a start and a finish cell: give --start X,Y and --finish X,Y");
    case MatteVerdict::NoStart:
        return QStringLiteral("a matte needs a start cell: give --start X,Y");
    case MatteVerdict::NoFinish:
        return QStringLiteral("a matte needs a finish cell: give --finish X,Y");
    case MatteVerdict::TooFewCells:
        return QStringLiteral("a matte needs at least one cell across and one cell down");
    case MatteVerdict::TooManyCells:
        return QStringLiteral("a matte of %1 x %2 cells is larger than a maze can be (%3 cells each way)")
            .arg(r.cols).arg(r.rows).arg(params::MaxCells);
    case MatteVerdict::StartOutside:
    case MatteVerdict::FinishOutside:
        return QStringLiteral("the %1 cell %2 lies outside the matte of %3 x %4 cells")
            .arg(r.verdict == MatteVerdict::StartOutside ? QStringLiteral("start") : QStringLiteral("finish"),
                 cell(r.verdict == MatteVerdict::StartOutside ? r.start : r.finish))
            .arg(r.cols).arg(r.rows);
    case MatteVerdict::SameCell:
        return QStringLiteral("the start and finish are the same cell %1").arg(cell(r.start));
    case MatteVerdict::NoPath:
        return QStringLiteral("no path of maze cells joins the start cell %1 to the finish cell %2")
            .arg(cell(r.start), cell(r.finish));
    case MatteVerdict::Accepted:
        break;
    }
    return {};
}

/// Imports the picture and accepts the matte as the editor does; leaves Blocked, the
/// points and UseMatte in `s`.
void acceptMatte(const CommandLine &o, MazeState &s)
{
    MatteResult size;
    size.cols = static_cast<long long>(std::floor(o.maze.widthCells));
    size.rows = static_cast<long long>(std::floor(o.maze.heightCells));
    if ((size.verdict = check_matte_size(size.cols, size.rows)) != MatteVerdict::Accepted)
        fail(matteRefusal(size));

    QString error;
    const QImage picture = load_matte_picture(o.mattePicture, &error);
    if (picture.isNull())
        fail(error);

    const auto cell = [](const std::optional<QPoint> &p) { return p ? MatteCell{p->x() - 1, p->y() - 1} : MatteCell{}; };
    const MattePainting painting{sample_matte_picture(picture, static_cast<int>(size.cols), static_cast<int>(size.rows)),
                                 cell(o.startCell), cell(o.finishCell)};
    const MatteResult result = accept_matte(painting, o.removeUnused, s.grid);
    if (!result.accepted())
        fail(matteRefusal(result));
    const NodePoint start = pointOf(result.start);
    const NodePoint finish = pointOf(result.finish);
    s.UseMatte = true;
    s.StartX = static_cast<std::int16_t>(start.x);
    s.StartY = static_cast<std::int16_t>(start.y);
    s.FinishX = static_cast<std::int16_t>(finish.x);
    s.FinishY = static_cast<std::int16_t>(finish.y);
}

/// The page a printer would print on: the named or default printer's, else A4 portrait.
QPageLayout pageLayout(const QString &printerName)
{
    const QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printerName);
    if (!info.isNull()) {
        QPrinter printer(info, QPrinter::HighResolution);
        return printer.pageLayout();
    }
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

void checkPageMemory(const MazeState &s, const QString &what);

/// Prints one page on the named or default printer; returns the printer's name.
QString print(const CommandLine &o, MazeState &s, Progress &progress)
{
    checkPageMemory(s, QStringLiteral("a printed page"));
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        fail(QStringLiteral("no printer is installed; use --pdf FILE.pdf to make the page as a file"));
    const QPrinterInfo info = o.printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(o.printerName);
    if (info.isNull())
        fail(o.printerName.isEmpty() ? QStringLiteral("no default printer is set; name one with --printer NAME")
                                     : QStringLiteral("no printer is called %1").arg(o.printerName));
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Maze"));
    QString error;
    if (print_page(printer, s, progress, &error) == PrintResult::Failed)
        fail(error);
    return info.printerName();
}

/// One output file of a maze, in the order the result line names them.
struct Output {
    enum Kind { Text, Bitmap, Pdf } kind;
    QString name;  // numbered for its maze
};

QList<Output> outputsOf(const CommandLine &o, int index)
{
    QList<Output> outputs;
    if (!o.textFile.isEmpty())
        outputs.append({Output::Text, numbered_file_name(o.textFile, index, o.count)});
    if (!o.bitmapFile.isEmpty())
        outputs.append({Output::Bitmap, numbered_file_name(o.bitmapFile, index, o.count)});
    if (!o.pdfFile.isEmpty())
        outputs.append({Output::Pdf, numbered_file_name(o.pdfFile, index, o.count)});
    return outputs;
}

/// The option an output comes from, for messages.
QString optionOf(Output::Kind kind)
{
    switch (kind) {
    case Output::Text:
        return QStringLiteral("--text");
    case Output::Bitmap:
        return QStringLiteral("--out");
    case Output::Pdf:
        break;
    }
    return QStringLiteral("--pdf");
}

/// The cells across and down of a grid of nodes.
QString cellsOf(const MazeState &s)
{
    return QStringLiteral("%1 x %2").arg(s.GridWidth / 2).arg(s.GridHeight / 2);
}

/// Refuses a page that the memory left cannot lay out, in the command line's terms.
void checkPageMemory(const MazeState &s, const QString &what)
{
    const PageMemory m = page_memory(s.GridWidth, s.GridHeight, s.CityPlan);
    if (m.fits())
        return;
    const long long side = static_cast<long long>(std::sqrt(double(m.largestCells)));
    fail(QStringLiteral("%1 of %2 cells needs about %3 of memory and only %4 is free; the largest that fits "
                        "has about %5 cells (%6 x %6); make larger mazes with --monochrome --out FILE.bmp")
             .arg(what, cellsOf(s), QString::fromStdString(memory_size(m.needed)),
                  QString::fromStdString(memory_size(m.available)), QString::fromStdString(grouped(std::uint64_t(m.largestCells))))
             .arg(side));
}

/// Everything that can be refused before any maze is carved: outputs no writer may
/// take, two outputs to one file, outputs the disk or the memory cannot hold.
void checkOutputs(const CommandLine &o, const MazeState &base)
{
    QHash<QString, QString> taken;  // identity -> the option and name that took it
    for (int index = 0; index < o.count; ++index)
        for (const Output &out : outputsOf(o, index)) {
            const std::string name = file_system_name(out.name);
            if (o.count > 1 && is_stream_output(name))
                fail(QStringLiteral("%1 %2 is written in place, so it cannot be numbered for --count %3")
                         .arg(optionOf(out.kind), out.name).arg(o.count));
            const QString identity = QString::fromStdString(output_identity(name));
            const QString mine = QStringLiteral("%1 %2").arg(optionOf(out.kind), out.name);
            if (const auto other = taken.constFind(identity); other != taken.cend())
                fail(QStringLiteral("%1 and %2 name the same file; give each output its own").arg(*other, mine));
            taken.insert(identity, mine);
        }
    const int width = base.GridWidth;
    const int height = base.GridHeight;
    for (const Output &out : outputsOf(o, 0)) {
        const std::string name = file_system_name(out.name);
        if (out.kind == Output::Text)
            check_output_room(name, (std::uint64_t(width) + 1) * std::uint64_t(height));
        else if (out.kind == Output::Bitmap && o.monochrome) {
            const tiles::TileSet &set = tiles::tile_set(base.MazeStyle);
            check_output_room(name, mono_layout(width, height, set.width, set.height).fileBytes);
        } else if (out.kind == Output::Pdf)
            checkPageMemory(base, QStringLiteral("a PDF page"));
    }
    if (o.print)
        checkPageMemory(base, QStringLiteral("a printed page"));
}

/// Writes one output of the finished maze into `file`; the caller commits.
void writeOutput(const CommandLine &o, MazeState &s, CliProgress &progress, Output::Kind kind, AtomicFile &file)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(file.path()));
    QString error;
    switch (kind) {
    case Output::Text:
        write_maze_text(s, file);
        return;
    case Output::Pdf:
        checkPageMemory(s, QStringLiteral("a PDF page"));
        if (!write_pdf_page(s, progress, pageLayout(o.printerName), PdfResolution, file, &error))
            fail(error);
        progress.finish();
        return;
    case Output::Bitmap:
        break;
    }
    if (!o.monochrome) {
        QImage picture;
        const RenderResult result = render_maze(s, progress, maze_picture_size(s), DefaultPixelBudget, picture);
        if (result == RenderResult::Done) {
            if (!write_bitmap(picture, file, &error))
                fail(error);
            progress.finish();
            return;
        }
        progress.finish();
        std::fprintf(stderr, "corvanthel: %s is too large to draw in colour; writing it as a monochrome bitmap\n",
                     qPrintable(name));
    }
    write_mono_bitmap(s.grid, s.MazeStyle, file, progress);
    progress.finish();
}

void makeOne(const CommandLine &o, MazeState &s, const MazeState &matte, int index, CliProgress &progress)
{
    if (s.UseMatte)
        s.grid = matte.grid;
    try {
        allocate_arrays(s);
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("not enough memory for a maze of %1 x %2 nodes").arg(s.GridWidth).arg(s.GridHeight));
    }
    const long long nodes = carve_maze(s, progress);
    progress.finish();

    // Files are written beside their old selves and replace them together; a stream
    // and a print job cannot be taken back, so they come once the files are in place.
    const QList<Output> outputs = outputsOf(o, index);
    std::vector<std::unique_ptr<AtomicFile>> files;
    std::vector<AtomicFile *> toCommit;
    QList<Output> streams;
    bool resultToStderr = false;
    for (const Output &out : outputs) {
        const std::string name = file_system_name(out.name);
        if (is_stream_output(name)) {
            streams.append(out);
            resultToStderr = resultToStderr || output_identity(name) == output_identity("-");
            continue;
        }
        files.push_back(std::make_unique<AtomicFile>(name));
        writeOutput(o, s, progress, out.kind, *files.back());
        toCommit.push_back(files.back().get());
    }
    AtomicFile::commitTogether(toCommit);
    for (const Output &out : streams) {
        AtomicFile stream(file_system_name(out.name));
        writeOutput(o, s, progress, out.kind, stream);
        stream.commit();
    }

    QStringList written;
    for (const Output &out : outputs)
        written << out.name;
    if (o.print) {
        written << QStringLiteral("printer %1").arg(print(o, s, progress));
        progress.finish();
    }
    // With a maze on standard output, the result line keeps out of its way.
    std::FILE *result = resultToStderr ? stderr : stdout;
    const int printed = std::fprintf(result, "%s: seed %u, %lld x %lld nodes, Nodes drawn: %lld\n",
                                     qPrintable(written.join(QStringLiteral(", "))), s.rng.currentSeed(),
                                     static_cast<long long>(s.GridWidth), static_cast<long long>(s.GridHeight), nodes);
    if (printed < 0 || std::fflush(result) != 0)
        fail(QStringLiteral("cannot write the result line to standard %1: %2")
                 .arg(resultToStderr ? QStringLiteral("error") : QStringLiteral("output"),
                      QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

/// `corvanthel generate`: makes each maze with the same routines as Generate and writes
/// its outputs. Returns the exit status: 0, or 1 after a message on stderr.
int run_generate(const CommandLine &o)
{
    try {
        if (const auto refusal = params::check_size(o.maze))
            fail(QString::fromStdString(refusal->message));
        // A fresh state: City plan keeps the start-up tile set, as in the window.
        MazeState base;
        params::apply_choices(o.maze, base);

        MazeState matte;
        if (o.maze.usesMatte()) {
            acceptMatte(o, matte);
            base.UseMatte = true;
            base.StartX = matte.StartX;
            base.StartY = matte.StartY;
            base.FinishX = matte.FinishX;
            base.FinishY = matte.FinishY;
        }

        checkOutputs(o, base);
        const std::uint32_t firstSeed = o.maze.seed ? *o.maze.seed : Random::clockSeed();
        CliProgress progress(stderr);
        for (int i = 0; i < o.count; ++i) {
            MazeState s = base;
            s.rng.seed(firstSeed + static_cast<std::uint32_t>(i));
            makeOne(o, s, matte, i, progress);
        }
        return 0;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "corvanthel: out of memory: a maze of %s cells with these outputs needs more memory "
                             "than is free\n", qPrintable(QStringLiteral("%1 x %2").arg(o.maze.widthCells).arg(o.maze.heightCells)));
        return 1;
    } catch (const std::exception &e) {
        // A refusal of the core (a grid it cannot walk, memory) is a failure like any other.
        std::fprintf(stderr, "corvanthel: %s\n", e.what());
        return 1;
    }
}

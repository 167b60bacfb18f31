#include "app/cli_batch.h"
#include "app/cli_progress.h"
#include "app/command_line.h"
#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/matte_picture.h"
#include "maze/frame.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/solve.h"
#include "maze/state.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/mono_png.h"
#include "render/print.h"
#include "render/save_file.h"
#include "render/svg_maze.h"
#include "render/text_maze.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

// The answer key's files are named after the maze's: "maze-solution.bmp".
const QString KeySibling = QStringLiteral("solution");

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

/// The page a PDF file is laid out on before the page options: A4 portrait, 10 mm margins.
QPageLayout filePageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

/// The named or default printer, ready to print; fails when there is none.
std::unique_ptr<QPrinter> openPrinter(const CommandLine &o)
{
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        fail(QStringLiteral("no printer is installed; use --pdf FILE.pdf to make the page as a file"));
    const QPrinterInfo info = o.printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(o.printerName);
    if (info.isNull())
        fail(o.printerName.isEmpty() ? QStringLiteral("no default printer is set; name one with --printer NAME")
                                     : QStringLiteral("no printer is called %1").arg(o.printerName));
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

/// Prints one page on the named or default printer; returns the printer's name.
QString print(const CommandLine &o, MazeState &s, Progress &progress, const PageOptions &pages)
{
    const std::unique_ptr<QPrinter> printer = openPrinter(o);
    printer->setDocName(maze_document_title(s.rng.currentSeed()));
    QString error;
    if (print_page(*printer, s, progress, &error, pages) == PrintResult::Failed)
        fail(error);
    return printer->printerName();
}

/// Where a file named on the command line is written: '-' is standard output.
std::string target(const QString &file)
{
    return file == QLatin1String("-") ? std::string("/dev/stdout") : file.toStdString();
}

/// The maze, or its answer key with `solution`, as --out's picture: an SVG drawing; or a
/// bitmap or PNG drawn in colour, enlarged `scale` times, or streamed as a monochrome file
/// when asked or when too large to draw.
void writePicture(MazeState &s, CliProgress &progress, const QString &file, FileFormat format, bool monochrome,
                  bool marks, bool solution, int scale)
{
    const bool png = format == FileFormat::Png;
    try {
        if (format == FileFormat::Svg) {
            Random slabs = s.rng;
            write_maze_svg(s, target(file), progress, SvgOptions{solution, marks, scale, s.CityPlan ? &slabs : nullptr});
            return;
        }
        if (!monochrome) {
            QImage picture;
            const QSize size = maze_picture_size(s);
            const bool fits = qint64(size.width()) * size.height() * scale * scale <= DefaultPixelBudget;
            const RenderResult result = fits ? render_maze(s, progress, size, DefaultPixelBudget, picture,
                                                           SceneLayers{solution, marks, false})
                                             : RenderResult::TooLarge;
            if (result == RenderResult::Stopped)
                return;
            if (result == RenderResult::Done)
                picture = enlarged_picture(picture, scale);
            if (!picture.isNull()) {
                QString error;
                const QString name = QString::fromStdString(target(file));
                if (!(png ? save_png(picture, name, &error) : save_bitmap(picture, name, &error)))
                    fail(error);
                return;
            }
            progress.finish();
            std::fprintf(stderr, "corvanthel: %s is too large to draw in colour; writing it as a monochrome %s\n",
                         qPrintable(file), png ? "PNG" : "bitmap");
        }
        const MonoOverlay overlay{solution, marks, end_points(s)};
        (png ? write_mono_png : write_mono_bitmap)(s.grid, s.MazeStyle, target(file), progress, overlay, scale);
    } catch (const std::runtime_error &e) {
        fail(QString::fromStdString(e.what()));
    }
}

/// One maze carved from `seed`, with its measures when they were asked for.
struct Made {
    std::uint32_t seed = 0;
    long long nodesDrawn = 0;
    std::optional<MazeMeasures> measures;
};

Made carve(MazeState &s, const MazeState &base, const MazeState &matte, std::uint32_t seed, bool measure,
           CliProgress &progress)
{
    s = base;
    s.rng.seed(seed);
    if (s.UseMatte)
        s.grid = matte.grid;
    try {
        allocate_arrays(s);
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("not enough memory for a maze of %1 x %2 nodes").arg(s.GridWidth).arg(s.GridHeight));
    }
    Made made;
    made.seed = seed;
    made.nodesDrawn = carve_maze(s, progress);
    progress.finish();
    if (measure)
        made.measures = solve_maze(s);
    return made;
}

long long measureOf(const MazeMeasures &m, CommandLine::BestBy by)
{
    switch (by) {
    case CommandLine::BestBy::DeadEnds:
        return m.deadEnds;
    case CommandLine::BestBy::Junctions:
        return m.junctions;
    case CommandLine::BestBy::Turns:
        return m.solutionTurns;
    case CommandLine::BestBy::SolutionLength:
        break;
    }
    return m.solutionLength;
}

/// Maze `index` of the batch: the best of its block of candidate seeds, carved into `s`.
Made makeBest(const CommandLine &o, MazeState &s, const MazeState &base, const MazeState &matte,
              std::uint32_t firstSeed, int index, CliProgress &progress)
{
    const bool measure = o.json || o.maze.answerKey || o.bestOf > 1;
    const std::uint32_t blockSeed = firstSeed + static_cast<std::uint32_t>(index) * static_cast<std::uint32_t>(o.bestOf);
    Made best = carve(s, base, matte, blockSeed, measure, progress);
    for (int k = 1; k < o.bestOf; ++k) {
        Made candidate = carve(s, base, matte, blockSeed + static_cast<std::uint32_t>(k), measure, progress);
        if (measureOf(*candidate.measures, o.bestBy) > measureOf(*best.measures, o.bestBy))
            best = candidate;
    }
    // Only one maze is held at a time: the kept one is made again from its seed.
    if (o.bestOf > 1 && best.seed != blockSeed + static_cast<std::uint32_t>(o.bestOf - 1))
        best = carve(s, base, matte, best.seed, measure, progress);
    return best;
}

QJsonObject jsonReport(const QStringList &files, const QString &printer, const MazeState &s, const Made &made)
{
    QJsonObject report{
        {"files", QJsonArray::fromStringList(files)},
        {"seed", qint64(made.seed)},
        {"width", qint64(s.GridWidth)},
        {"height", qint64(s.GridHeight)},
        {"nodes_drawn", made.nodesDrawn},
    };
    if (!printer.isEmpty())
        report.insert("printer", printer);
    const MazeMeasures &m = *made.measures;
    report.insert("solution_length", m.solutionLength);
    report.insert("dead_ends", m.deadEnds);
    report.insert("junctions", m.junctions);
    report.insert("solution_junctions", m.solutionJunctions);
    report.insert("solution_turns", m.solutionTurns);
    report.insert("longest_corridor", m.longestCorridor);
    return report;
}

/// Writes a result line to `stream` and sends it on at once.
void report(const QByteArray &line, FILE *stream)
{
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
    std::fflush(stream);
}

/// Makes maze `index` of the batch and its outputs; into `documents` (a batch's PDF book and
/// print job) when there are any, else into its own PDF file and print job. Returns its line
/// (or JSON object) for the report, and its seed in *seed.
QByteArray makeOne(const CommandLine &o, const MazeState &base, const MazeState &matte, std::uint32_t firstSeed,
                   int index, CliProgress &progress, const std::vector<MazeDocument *> &documents = {},
                   std::uint32_t *seed = nullptr)
{
    MazeState s;
    const Made made = makeBest(o, s, base, matte, firstSeed, index, progress);

    // Every output of a City plan maze draws the same slabs, from the sequence as carving left it.
    const Random afterCarving = s.rng;
    QStringList written;
    const QString text = numbered_file_name(o.textFile, index, o.count);
    if (!text.isEmpty()) {
        const QString key = numbered_file_name(o.textFile, index, o.count, KeySibling);
        try {
            write_maze_text(s, target(text));
            if (o.maze.answerKey)
                write_maze_text(s, target(key), true);
        } catch (const std::runtime_error &e) {
            fail(QString::fromStdString(e.what()));
        }
        written << text;
        if (o.maze.answerKey)
            written << key;
    }
    const QString bitmap = numbered_file_name(o.bitmapFile, index, o.count);
    if (!bitmap.isEmpty()) {
        writePicture(s, progress, bitmap, o.bitmapFormat, o.monochrome, o.maze.marks, false, o.scale);
        progress.finish();
        written << bitmap;
        if (o.maze.answerKey) {
            const QString key = numbered_file_name(o.bitmapFile, index, o.count, KeySibling);
            writePicture(s, progress, key, o.bitmapFormat, o.monochrome, o.maze.marks, true, o.scale);
            progress.finish();
            written << key;
        }
    }
    for (MazeDocument *document : documents) {
        QString error;
        s.rng = afterCarving;
        if (document->add(s, index + 1, false, o.maze.marks, progress, &error) == PrintResult::Failed)
            fail(error);
        progress.finish();
    }
    const PageOptions pages{o.maze.marks, o.maze.answerKey, {}, o.pages};
    const QString pdf = documents.empty() ? o.pdfFile : QString();
    if (!pdf.isEmpty()) {
        QString error;
        s.rng = afterCarving;
        if (!save_pdf_page(s, progress, filePageLayout(), PdfResolution, QString::fromStdString(target(pdf)), &error, pages))
            fail(error);
        progress.finish();
        written << pdf;
    }
    QString printer;
    if (o.print && documents.empty()) {
        s.rng = afterCarving;
        printer = print(o, s, progress, pages);
        progress.finish();
    }
    if (seed)
        *seed = made.seed;
    if (o.json)
        return QJsonDocument(jsonReport(written, printer, s, made)).toJson(QJsonDocument::Compact) + '\n';
    if (!printer.isEmpty())
        written << QStringLiteral("printer %1").arg(printer);
    // A maze that went only into the batch's documents is named by its number in them.
    if (written.isEmpty())
        written << QStringLiteral("maze %1").arg(index + 1);
    return QStringLiteral("%1: seed %2, %3 x %4 nodes, Nodes drawn: %5\n")
        .arg(written.join(QStringLiteral(", ")))
        .arg(made.seed)
        .arg(static_cast<long long>(s.GridWidth))
        .arg(static_cast<long long>(s.GridHeight))
        .arg(made.nodesDrawn)
        .toLocal8Bit();
}

/// The batch into one document for each of --pdf and --print: every maze, then every
/// answer key, each maze carved again from its seed so that one is held at a time.
void makeBook(const CommandLine &o, const MazeState &base, const MazeState &matte, std::uint32_t firstSeed,
              CliProgress &progress)
{
    const int gw = static_cast<int>(base.GridWidth), gh = static_cast<int>(base.GridHeight);
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<MazeDocument> printJob;
    if (o.print) {
        printer = openPrinter(o);
        printer->setDocName(QStringLiteral("%1 mazes").arg(o.count));
        printJob = std::make_unique<MazeDocument>(*printer, o.pages, gw, gh, o.count);
    }
    int pages = 0;
    auto fill = [&](MazeDocument *pdf, QString *error) {
        std::vector<MazeDocument *> documents;
        for (MazeDocument *d : {pdf, printJob.get()})
            if (d)
                documents.push_back(d);
        std::vector<std::uint32_t> seeds(static_cast<std::size_t>(o.count));
        for (int i = 0; i < o.count; ++i)
            report(makeOne(o, base, matte, firstSeed, i, progress, documents, &seeds[std::size_t(i)]), stdout);
        for (int i = 0; o.maze.answerKey && i < o.count; ++i) {
            MazeState s;
            carve(s, base, matte, seeds[std::size_t(i)], true, progress);
            for (MazeDocument *d : documents) {
                if (d->add(s, i + 1, true, o.maze.marks, progress, error) == PrintResult::Failed)
                    return false;
                progress.finish();
            }
        }
        pages = documents.front()->pages();
        return pdf ? pdf->finish(error) == PrintResult::Done : true;
    };
    QString error;
    if (!o.pdfFile.isEmpty()) {
        const bool saved = save_whole_file(QString::fromStdString(target(o.pdfFile)), &error, [&](QFileDevice &file, QString &cause) {
            QPdfWriter writer(&file);
            writer.setCreator(QStringLiteral("Corvanthel"));
            writer.setTitle(QStringLiteral("%1 mazes").arg(o.count));
            writer.setPageLayout(filePageLayout());
            writer.setResolution(PdfResolution);
            MazeDocument book(writer, o.pages, gw, gh, o.count);
            return fill(&book, &cause) ? SaveStep::Written : SaveStep::Failed;
        });
        if (!saved) {
            if (printer)
                printer->abort();
            fail(error);
        }
    } else if (!fill(nullptr, &error)) {
        fail(error);
    }
    // The print job goes out only once the file is in place.
    if (printJob && printJob->finish(&error) == PrintResult::Failed)
        fail(error);
    if (o.json) {
        QJsonObject book{{"mazes", o.count}, {"pages", pages}};
        if (!o.pdfFile.isEmpty())
            book.insert("files", QJsonArray{o.pdfFile});
        if (printer)
            book.insert("printer", printer->printerName());
        report(QJsonDocument(book).toJson(QJsonDocument::Compact) + '\n', stdout);
        return;
    }
    for (const QString &made : {o.pdfFile, printer ? QStringLiteral("printer %1").arg(printer->printerName()) : QString()})
        if (!made.isEmpty())
            report(QStringLiteral("%1: %2 mazes on %3 %4\n").arg(made).arg(o.count).arg(pages)
                       .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages")).toLocal8Bit(),
                   stdout);
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

        const std::uint32_t firstSeed = o.maze.seed ? *o.maze.seed : Random::clockSeed();
        // Pages come out of a printer in the order they are sent: printing goes one at a time.
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        // So do the pages of a book, one document for the whole batch.
        const bool oneAtATime = o.print || !o.pdfFile.isEmpty();
        const int jobs = oneAtATime ? 1 : batch_jobs(o.jobs, o.count, cores, maze_bytes(o, base), available_memory());
        if (jobs < std::min(o.jobs, o.count) && !oneAtATime)
            std::fprintf(stderr, "corvanthel: making %d mazes at once, as many as memory allows\n", jobs);
        if (jobs > 1)
            return run_batch(o.count, jobs, [&](int index, CliProgress &progress) {
                       return makeOne(o, base, matte, firstSeed, index, progress);
                   }) ? 0 : 1;
        CliProgress progress(stderr);
        if (o.count > 1 && (!o.pdfFile.isEmpty() || o.print)) {
            makeBook(o, base, matte, firstSeed, progress);
            return 0;
        }
        // Standard output carries the file when '-' named it; the result lines then go beside it.
        const QStringList outputs{o.textFile, o.bitmapFile, o.pdfFile};
        FILE *stream = outputs.contains(QStringLiteral("-")) ? stderr : stdout;
        for (int i = 0; i < o.count; ++i)
            report(makeOne(o, base, matte, firstSeed, i, progress), stream);
        return 0;
    } catch (const std::exception &e) {
        // A refusal of the core (a grid it cannot walk, memory) is a failure like any other.
        std::fprintf(stderr, "corvanthel: %s\n", e.what());
        return 1;
    }
}

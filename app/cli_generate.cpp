#include "app/cli_batch.h"
#include "app/cli_progress.h"
#include "app/command_line.h"
#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/matte_picture.h"
#include "matte/shapes.h"
#include "matte/word_matte.h"
#include "maze/frame.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/solve.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/mono_png.h"
#include "render/output_memory.h"
#include "render/print.h"
#include "render/save_file.h"
#include "render/svg_maze.h"
#include "render/text_maze.h"
#include "render/tiles.h"

#include <QFile>
#include <QHash>
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
#include <vector>

#include <unistd.h>

namespace {

/// A failure that ends the run with a message and exit code 1.
struct CliFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString &message)
{
    throw CliFailure(message.toStdString());
}

/// Options that cannot work together, found once the run knows more than the parser did:
/// a usage error, exit code 2.
struct CliUsageError : CliFailure {
    using CliFailure::CliFailure;
};

/// A cell as the command line writes it: "X,Y", counted from 1.
QString cell(MatteCell c)
{
    return QStringLiteral("%1,%2").arg(c.cx + 1).arg(c.cy + 1);
}

/// What the command line says when a maze of `o` runs out of memory.
QString outOfMemory(const CommandLine &o)
{
    return QStringLiteral("out of memory: a maze of %1 x %2 cells with these outputs needs more memory than is free")
        .arg(o.maze.widthCells)
        .arg(o.maze.heightCells);
}

/// A refused matte in the command line's terms, cells counted from 1.
QString matteRefusal(const MatteResult &r)
{
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

/// A word the command line cannot draw, in its terms.
QString wordRefusal(const WordMatte &w, long long cols, long long rows)
{
    switch (w.refusal) {
    case WordRefusal::NoLetters:
        return QStringLiteral("--shape-text has no letters to draw");
    case WordRefusal::NoFont:
        return QStringLiteral("cannot draw words: the font DejaVu Sans Bold is not installed (Debian package "
                              "fonts-dejavu-core)");
    case WordRefusal::MissingLetter:
        return QStringLiteral("the font DejaVu Sans Bold has no letter for '%1'").arg(w.missing);
    case WordRefusal::TooSmall:
        return QStringLiteral("\"%1\" is too small to read on %2 x %3 cells: letters %4 cells tall need at least "
                              "%5 x %6 cells (--width %5 --height %6)")
            .arg(w.word)
            .arg(cols)
            .arg(rows)
            .arg(MinLetterCells)
            .arg(w.needed.width())
            .arg(w.needed.height());
    case WordRefusal::None:
        break;
    }
    return {};
}

/// The matte asked for: the picture sampled (with the points a saved matte keeps), the
/// shape or the word.
MattePainting mattePainting(const CommandLine &o, int cols, int rows)
{
    if (o.shape)
        return {paper_outside(shape_cells(*o.shape, cols, rows)), {}, {}};
    if (!o.shapeText.isEmpty()) {
        const WordMatte word = word_matte(o.shapeText, cols, rows);
        if (!word.ok())
            fail(wordRefusal(word, cols, rows));
        return {paper_outside(word.inside), {}, {}};
    }
    QString error;
    const QImage picture = load_matte_picture(o.mattePicture, &error);
    if (picture.isNull())
        fail(error);
    MattePainting painting{sample_matte_picture(picture, cols, rows), {}, {}};
    // As the editor imports it: a point only on a maze cell, and not on the other's.
    const auto onMaze = [&](MatteCell c) { return painting.paper.contains(c) && !painting.paper.at(c); };
    if (const MatteCell start = matte_picture_point(picture, MatteStartKey, cols, rows); onMaze(start))
        painting.start = start;
    if (const MatteCell finish = matte_picture_point(picture, MatteFinishKey, cols, rows);
        onMaze(finish) && finish != painting.start)
        painting.finish = finish;
    return painting;
}

/// The points not given: both as far apart as the maze cells allow, or the one farthest
/// from the point given.
void placeMissingPoints(MattePainting &p)
{
    MatteResult outside;
    outside.cols = p.paper.cols();
    outside.rows = p.paper.rows();
    outside.start = p.start;
    outside.finish = p.finish;
    if (!p.start.isSet() && !p.finish.isSet()) {
        const FarPoints far = far_apart_points(p.paper);
        if (!far.start.isSet())
            fail(QStringLiteral("the matte has no two maze cells side by side to put a start and a finish on"));
        p.start = far.start;
        p.finish = far.finish;
        return;
    }
    MatteCell &given = p.start.isSet() ? p.start : p.finish;
    MatteCell &other = p.start.isSet() ? p.finish : p.start;
    const QString which = p.start.isSet() ? QStringLiteral("start") : QStringLiteral("finish");
    if (other.isSet())
        return;
    if (!p.paper.contains(given)) {
        outside.verdict = p.start.isSet() ? MatteVerdict::StartOutside : MatteVerdict::FinishOutside;
        fail(matteRefusal(outside));
    }
    if (p.paper.at(given))
        fail(QStringLiteral("the %1 cell %2 is paper, outside the maze's shape").arg(which, cell(given)));
    const FarCell far = farthest_cell(p.paper, given);
    if (far.steps < 1)
        fail(QStringLiteral("no maze cell is joined to the %1 cell %2 to put the %3 on")
                 .arg(which, cell(given), p.start.isSet() ? QStringLiteral("finish") : QStringLiteral("start")));
    other = far.cell;
}

/// Makes the matte (from the picture, the shape or the word), places the points not given
/// and accepts it as the editor does; leaves Blocked, the points and UseMatte in `s`, and the matte as accepted in
/// `accepted`.
void acceptMatte(const CommandLine &o, MazeState &s, MattePainting &accepted)
{
    MatteResult size;
    size.cols = static_cast<long long>(std::floor(o.maze.widthCells));
    size.rows = static_cast<long long>(std::floor(o.maze.heightCells));
    if ((size.verdict = check_matte_size(size.cols, size.rows)) != MatteVerdict::Accepted)
        fail(matteRefusal(size));

    MattePainting painting = mattePainting(o, static_cast<int>(size.cols), static_cast<int>(size.rows));
    // Points given on the command line take the place of those a saved matte keeps.
    if (o.startCell || o.finishCell) {
        const auto given = [](const std::optional<QPoint> &p) { return p ? MatteCell{p->x() - 1, p->y() - 1} : MatteCell{}; };
        painting.start = given(o.startCell);
        painting.finish = given(o.finishCell);
    }
    placeMissingPoints(painting);
    // What lies apart from the start's region is no use to a shape or a word.
    const bool removeUnused = o.removeUnused || o.shapedMatte();
    const MatteResult result = accept_matte(painting, removeUnused, s.grid);
    if (!result.accepted())
        fail(matteRefusal(result));
    accepted = {removeUnused ? paper_outside(result.linked) : painting.paper, result.start, result.finish};
    const NodePoint start = pointOf(result.start);
    const NodePoint finish = pointOf(result.finish);
    s.UseMatte = true;
    s.StartX = static_cast<std::int16_t>(start.x);
    s.StartY = static_cast<std::int16_t>(start.y);
    s.FinishX = static_cast<std::int16_t>(finish.x);
    s.FinishY = static_cast<std::int16_t>(finish.y);
}

/// Writes the accepted matte for --save-matte; returns its result line.
QByteArray saveMatte(const CommandLine &o, const MattePainting &matte)
{
    QString error;
    if (!save_matte_picture(matte, o.saveMatteFile, &error))
        fail(error);
    return QStringLiteral("%1: matte of %2 x %3 cells, start %4, finish %5\n")
        .arg(o.saveMatteFile)
        .arg(matte.paper.cols())
        .arg(matte.paper.rows())
        .arg(cell(matte.start), cell(matte.finish))
        .toLocal8Bit();
}

/// The page a PDF file is laid out on before the page options: A4 portrait, 10 mm margins.
QPageLayout filePageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

/// True when the batch goes into one document: with --count above 1, --pdf makes one book
/// and --print one print job of every maze.
bool isBook(const CommandLine &o)
{
    return o.count > 1 && (!o.pdfFile.isEmpty() || o.print);
}

void checkPageMemory(const CommandLine &o, const MazeState &s, const QString &what, bool answerKey = false);

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

/// The page of the printer --print would use, when there is one; a missing printer is
/// refused when printing.
std::optional<QPageLayout> printerPage(const CommandLine &o)
{
    const QPrinterInfo info = o.printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(o.printerName);
    if (info.isNull())
        return std::nullopt;
    return QPrinter(info, QPrinter::HighResolution).pageLayout();
}

/// Prints the maze's pages on the named or default printer; returns the printer's name.
QString print(const CommandLine &o, MazeState &s, Progress &progress, const PageOptions &pages)
{
    checkPageMemory(o, s, QStringLiteral("a printed page"), pages.answerKey);
    const std::unique_ptr<QPrinter> printer = openPrinter(o);
    printer->setDocName(maze_document_title(s.rng.currentSeed()));
    QString error;
    if (print_page(*printer, s, progress, &error, pages) == PrintResult::Failed)
        fail(error);
    return printer->printerName();
}

/// One output file of a maze, in the order the result line names them.
struct Output {
    enum Kind { Text, Picture, Pdf } kind;
    QString name;      // numbered for its maze
    bool key = false;  // the answer key beside the maze's own file
};

/// The files of maze `index`; a batch's book is not among them (bookOf).
QList<Output> outputsOf(const CommandLine &o, int index)
{
    QList<Output> outputs;
    const auto add = [&](Output::Kind kind, const QString &file) {
        if (file.isEmpty())
            return;
        outputs.append({kind, numbered_file_name(file, index, o.count)});
        // A PDF holds its key page; the other outputs get a file beside their own.
        if (o.maze.answerKey && kind != Output::Pdf)
            outputs.append({kind, key_file_name(file, index, o.count), true});
    };
    add(Output::Text, o.textFile);
    add(Output::Picture, o.bitmapFile);
    if (!isBook(o))
        add(Output::Pdf, o.pdfFile);
    return outputs;
}

/// The batch's one PDF of every maze, when there is one.
std::optional<Output> bookOf(const CommandLine &o)
{
    if (!isBook(o) || o.pdfFile.isEmpty())
        return std::nullopt;
    return Output{Output::Pdf, o.pdfFile};
}

/// The option an output comes from, for messages.
QString optionOf(const Output &out)
{
    const QString key = out.key ? QStringLiteral("--answer-key ") : QString();
    switch (out.kind) {
    case Output::Text:
        return key + QStringLiteral("--text");
    case Output::Picture:
        return key + QStringLiteral("--out");
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

/// Refuses pages that the memory left cannot lay out, in the command line's terms: a page
/// of a book holds up to --per-page mazes. With `answerKey` (a solved maze), the key page
/// too. A poster's pages each hold a part of the maze: the document checks each as it
/// comes.
void checkPageMemory(const CommandLine &o, const MazeState &s, const QString &what, bool answerKey)
{
    if (!o.pages.poster.isEmpty())
        return;
    const int mazes = std::min(o.pages.perPage, o.count);
    const PageMemory m = answerKey ? pages_memory(s, true, {}, mazes)
                                   : page_memory(s.GridWidth, s.GridHeight, s.CityPlan, 0, mazes);
    if (m.fits())
        return;
    const long long side = static_cast<long long>(std::sqrt(double(m.largestCells)));
    const QString held = mazes > 1 ? QStringLiteral(", %1 mazes to a page,").arg(mazes) : QString();
    fail(QStringLiteral("%1 of %2 cells%3%4 needs about %5 of memory and only %6 is free; the largest that fits "
                        "has about %7 cells%8 (%9 x %9); make larger mazes with --monochrome --out FILE.bmp")
             .arg(what, cellsOf(s), answerKey ? QStringLiteral(" with its answer key") : QString(), held,
                  QString::fromStdString(memory_size(m.needed)), QString::fromStdString(memory_size(m.available)),
                  QString::fromStdString(grouped(std::uint64_t(m.largestCells))),
                  mazes > 1 ? QStringLiteral(" a maze") : QString())
             .arg(side));
}

/// Everything that can be refused before any maze is carved: outputs no writer may
/// take, two outputs to one file, outputs the disk or the memory cannot hold.
void checkOutputs(const CommandLine &o, const MazeState &base)
{
    QHash<QString, QString> taken;  // identity -> the option and name that took it
    if (!o.saveMatteFile.isEmpty())
        taken.insert(QString::fromStdString(output_identity(file_system_name(o.saveMatteFile))),
                     QStringLiteral("--save-matte %1").arg(o.saveMatteFile));
    const std::optional<Output> book = bookOf(o);
    // A batch numbers its files (its PDF is one book), and a device or a pipe has no name to number.
    for (const auto &[option, file] : {std::pair{"--text", o.textFile}, {"--out", o.bitmapFile}})
        if (o.count > 1 && !file.isEmpty() && is_stream_output(file_system_name(file)))
            fail(QStringLiteral("%1 %2 is written in place, so it cannot be numbered for --count %3")
                     .arg(QLatin1String(option), file).arg(o.count));
    for (int index = 0; index < o.count; ++index) {
        QList<Output> outputs = outputsOf(o, index);
        if (index == 0 && book)
            outputs.append(*book);
        for (const Output &out : outputs) {
            const std::string name = file_system_name(out.name);
            const QString mine = QStringLiteral("%1 %2").arg(optionOf(out), out.name);
            // Its key would be a file of a name made up beside a device.
            if (!out.key && o.maze.answerKey && out.kind != Output::Pdf && is_stream_output(name))
                fail(QStringLiteral("%1 is written in place, so --answer-key has no file to put its key "
                                    "beside: give a file name").arg(mine));
            const QString identity = QString::fromStdString(output_identity(name));
            if (const auto other = taken.constFind(identity); other != taken.cend())
                fail(QStringLiteral("%1 and %2 name the same file; give each output its own").arg(*other, mine));
            taken.insert(identity, mine);
        }
    }
    const int width = base.GridWidth;
    const int height = base.GridHeight;
    // A page whose margins leave no room for a maze is a usage error, found before any is made.
    const auto checkPageRoom = [&](const QPageLayout &page) {
        const QString refusal = page_room_refusal(page, o.pages, width, height, isBook(o) ? o.count : 1, o.maze.answerKey);
        if (!refusal.isEmpty())
            throw CliUsageError(refusal.toStdString());
    };
    if (o.pages.custom() && !o.pdfFile.isEmpty())
        checkPageRoom(filePageLayout());
    if (o.pages.custom() && o.print)
        if (const std::optional<QPageLayout> page = printerPage(o))
            checkPageRoom(*page);
    // Room is checked where the size is known before writing: text and monochrome bitmaps.
    // PNG and SVG sizes are known only once written (a full disk fails the write then); a
    // drawn bitmap's room is checked once drawn, as it may become a monochrome file.
    for (const Output &out : outputsOf(o, 0)) {
        const std::string name = file_system_name(out.name);
        if (out.kind == Output::Text)
            check_output_room(name, maze_text_bytes(base));
        else if (out.kind == Output::Picture && o.monochrome && o.bitmapFormat == FileFormat::Bmp) {
            const tiles::TileSet &set = tiles::tile_set(base.MazeStyle);
            check_output_room(name, mono_layout(width, height, set.width * o.scale, set.height * o.scale).fileBytes);
        } else if (out.kind == Output::Pdf)
            checkPageMemory(o, base, QStringLiteral("a PDF page"));
    }
    if (book)
        checkPageMemory(o, base, QStringLiteral("a PDF page"));
    if (o.print)
        checkPageMemory(o, base, QStringLiteral("a printed page"));
}

/// What every maze of a run shares, worked out once before the first is made.
struct Batch {
    const CommandLine &o;
    const MazeState &base;   // the choices applied
    const MazeState &matte;  // the accepted matte's grid, for a matte maze
    std::uint32_t firstSeed;
    QPageLayout page;        // a PDF file's page before the page options
};

/// Writes one output of the finished maze into `file`; the caller commits. --out's picture
/// is an SVG drawing, or a bitmap or PNG drawn in colour and enlarged --scale times, or
/// streamed as a monochrome file when asked or when too large to draw.
void writeOutput(const Batch &b, MazeState &s, CliProgress &progress, const Output &out, const PageOptions &pages,
                 AtomicFile &file)
{
    const CommandLine &o = b.o;
    const QString name = QFile::decodeName(QByteArray::fromStdString(file.path()));
    QString error;
    switch (out.kind) {
    case Output::Text:
        write_maze_text(s, file, out.key);
        return;
    case Output::Pdf:
        checkPageMemory(o, s, QStringLiteral("a PDF page"), pages.answerKey);
        if (!write_pdf_page(s, progress, b.page, PdfResolution, file, &error, pages))
            fail(error);
        progress.finish();
        return;
    case Output::Picture:
        break;
    }
    if (o.bitmapFormat == FileFormat::Svg) {
        // City plan draws the maze's own slabs from a copy of its sequence.
        Random slabs = s.rng;
        write_maze_svg(s, file, progress, SvgOptions{out.key, o.maze.marks, o.scale, s.CityPlan ? &slabs : nullptr});
        progress.finish();
        return;
    }
    const bool png = o.bitmapFormat == FileFormat::Png;
    if (!o.monochrome) {
        QImage picture;
        const QSize size = maze_picture_size(s);
        const bool fits = qint64(size.width()) * size.height() * o.scale * o.scale <= DefaultPixelBudget;
        const RenderResult result = fits ? render_maze(s, progress, size, DefaultPixelBudget, picture,
                                                       SceneLayers{out.key, o.maze.marks, false})
                                         : RenderResult::TooLarge;
        if (result == RenderResult::Done)
            picture = enlarged_picture(picture, o.scale);
        if (!picture.isNull()) {
            if (!(png ? write_png(picture, file, &error) : write_bitmap(picture, file, &error)))
                fail(error);
            progress.finish();
            return;
        }
        progress.note(QStringLiteral("corvanthel: %1 is too large to draw in colour; writing it as a monochrome %2\n")
                          .arg(name, png ? QStringLiteral("PNG") : QStringLiteral("bitmap"))
                          .toLocal8Bit());
    }
    const MonoOverlay overlay{out.key, o.maze.marks, end_points(s)};
    if (png)
        write_mono_png(s.grid, s.MazeStyle, file, progress, overlay, o.scale);
    else
        write_mono_bitmap(s.grid, s.MazeStyle, file, progress, overlay, o.scale);
    progress.finish();
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

/// The documents of a batch every maze goes into: its book and its print job.
struct BatchDocuments {
    std::vector<MazeDocument *> all;
    QString book;     // the book's file name, when there is one
    QString printer;  // the print job's printer, when there is one
};

/// Makes maze `index` of the batch and its outputs; into `documents` when there are any, else
/// into its own PDF file and print job. Returns its result line (or JSON object: its files, the
/// book among them, and its printer), and its seed in *seed.
QByteArray makeOne(const Batch &b, int index, CliProgress &progress, const BatchDocuments &documents = {},
                   std::uint32_t *seed = nullptr)
{
    const CommandLine &o = b.o;
    MazeState s;
    const Made made = makeBest(o, s, b.base, b.matte, b.firstSeed, index, progress);
    // Every output of a City plan maze draws the same slabs, from the sequence as carving left it.
    const Random afterCarving = s.rng;
    const PageOptions pages{o.maze.marks, o.maze.answerKey, {}, o.pages};

    // Files, the keys among them, are written beside their old selves and replace them
    // together; a stream, a book's page and a print job cannot be taken back, so they come
    // once the files are in place.
    const QList<Output> outputs = outputsOf(o, index);
    std::vector<std::unique_ptr<AtomicFile>> files;
    std::vector<AtomicFile *> toCommit;
    QList<Output> streams;
    for (const Output &out : outputs) {
        const std::string name = file_system_name(out.name);
        if (is_stream_output(name)) {
            streams.append(out);
            continue;
        }
        files.push_back(std::make_unique<AtomicFile>(name));
        s.rng = afterCarving;
        writeOutput(b, s, progress, out, pages, *files.back());
        toCommit.push_back(files.back().get());
    }
    AtomicFile::commitTogether(toCommit);
    for (const Output &out : streams) {
        AtomicFile stream(file_system_name(out.name));
        s.rng = afterCarving;
        writeOutput(b, s, progress, out, pages, stream);
        stream.commit();
    }
    for (MazeDocument *document : documents.all) {
        QString error;
        s.rng = afterCarving;
        if (document->add(s, index + 1, false, o.maze.marks, progress, &error) == PrintResult::Failed)
            fail(error);
        progress.finish();
    }

    QStringList written;
    for (const Output &out : outputs)
        written << out.name;
    QString printer;
    if (o.print && documents.all.empty()) {
        s.rng = afterCarving;
        printer = print(o, s, progress, pages);
        progress.finish();
    }
    if (seed)
        *seed = made.seed;
    if (o.json) {
        const QStringList files = documents.book.isEmpty() ? written : written + QStringList{documents.book};
        return QJsonDocument(jsonReport(files, documents.printer.isEmpty() ? printer : documents.printer, s, made))
                   .toJson(QJsonDocument::Compact) + '\n';
    }
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

/// Writes a result to `results`; a result that cannot be written ends the run.
void report(std::FILE *results, const QByteArray &result)
{
    if (const QString failure = write_result(results, result); !failure.isEmpty())
        fail(failure);
}

/// The batch into one document for each of --pdf and --print: every maze, then every
/// answer key, each maze carved again from its seed so that one is held at a time. Each
/// maze's own files are committed with it, as in any batch; the book is one file, written
/// page by page and committed once it is whole, and the print job goes out after it. Pages
/// go in order into one document, so a book is made one maze at a time.
void makeBook(const Batch &b, std::FILE *results, CliProgress &progress)
{
    const CommandLine &o = b.o;
    const int gw = static_cast<int>(b.base.GridWidth), gh = static_cast<int>(b.base.GridHeight);
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<MazeDocument> printJob;
    if (o.print) {
        printer = openPrinter(o);
        printer->setDocName(QStringLiteral("%1 mazes").arg(o.count));
        printJob = std::make_unique<MazeDocument>(*printer, o.pages, gw, gh, o.count);
    }
    const std::optional<Output> book = bookOf(o);
    int pages = 0;
    // A maze's JSON names the book, so it waits until the book is whole.
    QList<QByteArray> objects;
    auto fill = [&](MazeDocument *pdf, QString *error) {
        BatchDocuments documents{{}, book ? book->name : QString(), printer ? printer->printerName() : QString()};
        for (MazeDocument *d : {pdf, printJob.get()})
            if (d)
                documents.all.push_back(d);
        std::vector<std::uint32_t> seeds(static_cast<std::size_t>(o.count));
        for (int i = 0; i < o.count; ++i) {
            const QByteArray result = makeOne(b, i, progress, documents, &seeds[std::size_t(i)]);
            if (o.json)
                objects.append(result);
            else
                report(results, result);
        }
        for (int i = 0; o.maze.answerKey && i < o.count; ++i) {
            MazeState s;
            carve(s, b.base, b.matte, seeds[std::size_t(i)], true, progress);
            const Random afterCarving = s.rng;
            for (MazeDocument *d : documents.all) {
                s.rng = afterCarving;
                if (d->add(s, i + 1, true, o.maze.marks, progress, error) == PrintResult::Failed)
                    return false;
                progress.finish();
            }
        }
        pages = documents.all.front()->pages();
        return pdf ? pdf->finish(error) == PrintResult::Done : true;
    };
    QString error;
    try {
        if (book) {
            AtomicFile file(file_system_name(book->name));
            const bool written = write_whole_file(file, &error, [&](QIODevice &device, QString &cause) {
                QPdfWriter writer(&device);
                writer.setCreator(QStringLiteral("Corvanthel"));
                writer.setTitle(QStringLiteral("%1 mazes").arg(o.count));
                writer.setPageLayout(b.page);
                writer.setResolution(PdfResolution);
                MazeDocument document(writer, o.pages, gw, gh, o.count);
                return fill(&document, &cause) ? SaveStep::Written : SaveStep::Failed;
            });
            if (!written)
                fail(error);
            file.commit();
        } else if (!fill(nullptr, &error)) {
            fail(error);
        }
    } catch (...) {
        // Nothing of a batch that failed is printed.
        if (printer)
            printer->abort();
        throw;
    }
    if (printJob && printJob->finish(&error) == PrintResult::Failed)
        fail(error);
    if (o.json) {
        for (const QByteArray &object : objects)
            report(results, object);
        return;
    }
    for (const QString &made : {book ? book->name : QString(),
                                printer ? QStringLiteral("printer %1").arg(printer->printerName()) : QString()})
        if (!made.isEmpty())
            report(results, QStringLiteral("%1: %2 mazes on %3 %4\n").arg(made).arg(o.count).arg(pages)
                                .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages")).toLocal8Bit());
}

/// True when one of the outputs is written in place into what `stream` ("-" or "/dev/stderr")
/// leads to, by its name or another.
bool writesInto(const CommandLine &o, const std::string &stream)
{
    const std::string target = output_identity(stream);
    QStringList names{o.saveMatteFile};
    for (const Output &out : outputsOf(o, 0))
        names << out.name;
    if (const std::optional<Output> book = bookOf(o))
        names << book->name;
    for (const QString &name : names)
        if (!name.isEmpty() && is_stream_output(file_system_name(name))
            && output_identity(file_system_name(name)) == target)
            return true;
    return false;
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
        MattePainting accepted;
        if (o.maze.usesMatte()) {
            acceptMatte(o, matte, accepted);
            base.UseMatte = true;
            base.StartX = matte.StartX;
            base.StartY = matte.StartY;
            base.FinishX = matte.FinishX;
            base.FinishY = matte.FinishY;
        }

        checkOutputs(o, base);
        // The result lines and the progress keep out of the way of an output on standard output
        // or standard error: a file or a pipe behind it takes that output alone. A terminal
        // keeps nothing, and shows a person the progress.
        const bool errorTaken = !::isatty(STDERR_FILENO) && writesInto(o, "/dev/stderr");
        std::FILE *notes = errorTaken ? nullptr : stderr;
        std::FILE *results = !writesInto(o, "-") ? stdout : notes;
        if (o.json && !results)
            fail(QStringLiteral("--json has nowhere to go: outputs are written to both standard output and standard "
                                "error"));
        if (!o.saveMatteFile.isEmpty()) {
            const QByteArray line = saveMatte(o, accepted);
            // JSON readers get one object a maze and nothing else.
            if (!o.json)
                report(results, line);
        }
        if (!o.makesMazes())
            return 0;
        const Batch batch{o, base, matte, o.maze.seed ? *o.maze.seed : Random::clockSeed(), filePageLayout()};
        // A book's pages go into one document, and a printer's out of it, in the order they are
        // sent: a book is made one maze at a time.
        const bool book = isBook(o);
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        const int jobs = book ? 1 : batch_jobs(o.jobs, o.count, cores, maze_bytes(o, base), memory_available());
        CliProgress progress(notes);
        if (jobs < std::min(o.jobs, o.count) && !book)
            progress.note(QStringLiteral("corvanthel: making %1 mazes at once, as many as memory allows\n")
                              .arg(jobs).toLocal8Bit());
        if (jobs > 1)
            return run_batch(o.count, jobs, results, notes, [&](int index, CliProgress &progress) {
                       return makeOne(batch, index, progress);
                   }, outOfMemory(o)) ? 0 : 1;
        if (book) {
            makeBook(batch, results, progress);
            return 0;
        }
        for (int i = 0; i < o.count; ++i)
            report(results, makeOne(batch, i, progress));
        return 0;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "corvanthel: %s\n", qPrintable(outOfMemory(o)));
        return 1;
    } catch (const CliUsageError &e) {
        std::fprintf(stderr, "corvanthel: %s\n", e.what());
        return 2;
    } catch (const std::exception &e) {
        // A refusal of the core (a grid it cannot walk, memory) is a failure like any other.
        std::fprintf(stderr, "corvanthel: %s\n", e.what());
        return 1;
    }
}

#include "app/command_line.h"

#include "maze/parameters.h"
#include "render/atomic_file.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <span>

namespace {

QString squeezed(const QString &text)
{
    QString out;
    for (const QChar c : text.toLower())
        if (c.isLetterOrNumber())
            out += c;
    return out;
}

/// Finds a choice by caption or by a short form: case and punctuation are ignored and
/// any unambiguous beginning of a caption will do ("thin-lines", "horizontal", "grid").
template <typename E>
std::optional<E> choose(const QString &text, std::span<const params::Choice> choices,
                        std::initializer_list<std::pair<const char *, E>> aliases)
{
    const QString key = squeezed(text);
    if (key.isEmpty())
        return std::nullopt;
    for (const auto &[alias, choice] : aliases)
        if (key == QLatin1String(alias))
            return choice;
    std::optional<E> found;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const QString caption = squeezed(QString::fromLatin1(choices[i].caption));
        if (caption == key)
            return static_cast<E>(i);
        if (caption.startsWith(key)) {
            if (found)
                return std::nullopt;  // ambiguous
            found = static_cast<E>(i);
        }
    }
    return found;
}

// Each reader below stores a good value and returns an empty text, or returns what the
// value should have been; the parser words the message around it.

template <typename E>
QString listed(const QString &v, std::span<const params::Choice> choices, E &target,
               std::initializer_list<std::pair<const char *, E>> aliases = {}, const char *what = nullptr)
{
    const auto choice = choose(v, choices, aliases);
    if (choice) {
        target = *choice;
        return {};
    }
    if (what)
        return QLatin1String(what);
    QStringList names;
    for (const auto &c : choices)
        names << QStringLiteral("\"%1\"").arg(QLatin1String(c.caption));
    return QStringLiteral("one of ") + names.join(QStringLiteral(", "));
}

QString number(const QString &v, double &target, const char *what)
{
    bool ok = false;
    const double value = v.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return QLatin1String(what);
    target = value;
    return {};
}

template <typename T>
QString whole(const QString &v, qulonglong lo, qulonglong hi, T &target, const char *what)
{
    bool ok = false;
    const qulonglong n = v.toULongLong(&ok);
    if (!ok || n < lo || n > hi)
        return QLatin1String(what);
    target = static_cast<T>(n);
    return {};
}

QString store(QString &target, const QString &v)
{
    target = v;
    return {};
}

QString set(bool &flag)
{
    flag = true;
    return {};
}

QString cell(const QString &v, std::optional<QPoint> &target)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,5})\\s*,\\s*(\\d{1,5})\\s*$"));
    const auto match = form.match(v);
    const QPoint point = match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt()) : QPoint();
    if (point.x() < 1 || point.y() < 1)
        return QStringLiteral("a cell X,Y counted from 1");
    target = point;
    return {};
}

/// The --help section an option is listed under, in order.
enum class Section { Maze, Matte, Output, Pages, Batch };
constexpr const char *SectionTitles[] = {
    "Maze (defaults are the main window's start-up values):",
    "Matte (makes a \"Custom (using matte)\" maze):",
    "Output (at least one, unless --save-matte alone; each FILE may be - for standard output, and the\n"
    "result line or JSON then goes to standard error; the files of a maze, its keys included, are\n"
    "written whole or not at all):",
    "Pages of --pdf and --print (none given: the maze from the page's top-left corner):",
    "Batches and repeats:",
};

/// The orientations --orientation names, in the order of PageSetup::Orientation after Device.
constexpr std::array<params::Choice, 3> OrientationNames{{
    {"portrait", 0},
    {"landscape", 1},
    {"auto", 2},
}};

QString paper(const QString &v, PageSetup &pages)
{
    for (const PaperName &p : PaperNames)
        if (v.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) {
            pages.paper = p.id;
            return {};
        }
    QStringList names;
    for (const PaperName &p : PaperNames)
        names << QLatin1String(p.name);
    return QStringLiteral("one of ") + names.join(QStringLiteral(", "));
}

QString poster(const QString &v, QSize &target)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})\\s*[xX]\\s*(\\d{1,2})\\s*$"));
    const auto match = form.match(v);
    const QSize pages = match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
    if (pages.width() < 1 || pages.height() < 1 || pages.width() > 20 || pages.height() > 20)
        return QStringLiteral("COLUMNSxROWS of pages, each from 1 to 20, such as 3x2");
    target = pages;
    return {};
}

/// What --format names, in this order: a format for '-', standard output.
constexpr std::array<params::Choice, 5> FormatNames{{
    {"bmp", 0},
    {"png", 1},
    {"svg", 2},
    {"pdf", 3},
    {"text", 4},
}};
constexpr int TextFormat = 4;

/// The command line read so far.
struct Reading {
    CommandLine &o;
    bool typeGiven = false;
    bool bestByGiven = false;
    bool scaleGiven = false;
    QStringList pageOptions = {};  // the page layout options given, for messages
    std::optional<int> format = std::nullopt;  // --format, a position in FormatNames
};

/// The measures --best-by names, in the order of CommandLine::BestBy.
constexpr std::array<params::Choice, 4> BestByNames{{
    {"solution-length", 0},
    {"dead-ends", 1},
    {"junctions", 2},
    {"turns", 3},
}};

/// One option: its name, the name of its value (none for a flag), its lines of --help,
/// and its effect, which returns what a bad value should have been.
struct Option {
    const char *name;
    const char *valueName;
    Section section;
    const char *help;
    QString (*effect)(Reading &, const QString &value);
};

using params::AppearanceChoice;
using params::DifficultyChoice;
using params::MazeTypeChoice;
using params::RunStyleChoice;

/// Every option of `generate`, in the order --help lists them.
const Option Options[] = {
    {"--width", "CELLS", Section::Maze, "cells across (50), at most 16383",
     [](Reading &r, const QString &v) { return number(v, r.o.maze.widthCells, "a number of cells"); }},
    {"--height", "CELLS", Section::Maze, "cells down (70), at most 16383",
     [](Reading &r, const QString &v) { return number(v, r.o.maze.heightCells, "a number of cells"); }},
    {"--type", "TYPE", Section::Maze, "\"Top left to bottom right\" (tlbr), \"Grid\", \"Custom (using matte)\"",
     [](Reading &r, const QString &v) {
         r.typeGiven = true;
         return listed(v, params::MazeTypes, r.o.maze.type,
                       {{"tlbr", MazeTypeChoice::TopLeftToBottomRight}, {"matte", MazeTypeChoice::CustomMatte}});
     }},
    {"--run", "0..10", Section::Maze, "the Run slider, short to long (3)",
     [](Reading &r, const QString &v) { return whole(v, 0, 10, r.o.maze.runSlider, "a position from 0 to 10"); }},
    {"--run-style", "STYLE", Section::Maze, "normal, horizontal, vertical, random",
     [](Reading &r, const QString &v) { return listed(v, params::RunStyles, r.o.maze.runStyle); }},
    {"--appearance", "NAME", Section::Maze,
     "thin-lines, thick-lines, thin-rounded, electronic-circuits,\n"
     "medium-lines, plumbing, fences, double-line, shaded, planks,\n"
     "tiny-bricks, city-plan (printed or PDF only)",
     [](Reading &r, const QString &v) { return listed(v, params::Appearances, r.o.maze.appearance); }},
    {"--loops", "PERCENT", Section::Maze, "allow loops, trying this percentage at dead ends",
     [](Reading &r, const QString &v) {
         r.o.maze.loops = true;
         return number(v, r.o.maze.loopPercent, "a percentage");
     }},
    {"--difficulty", "D", Section::Maze, "easier (default) or harder",
     [](Reading &r, const QString &v) {
         return listed(v, params::Difficulties, r.o.maze.difficulty,
                       {{"easy", DifficultyChoice::Easier}, {"hard", DifficultyChoice::Harder}},
                       "\"easier\" or \"harder\"");
     }},

    {"--matte", "PICTURE", Section::Matte, "a .bmp, .gif, .jpg, .jpeg or .png: dark pixels are maze, light\n"
                                          "are not; a damaged picture is refused",
     [](Reading &r, const QString &v) { return store(r.o.mattePicture, v); }},
    {"--shape", "NAME", Section::Matte,
     "a matte in a shape stretched to fill the grid: circle (an ellipse\n"
     "filling the grid; a circle on a square grid), ring, heart, star,\n"
     "triangle, diamond, hexagon",
     [](Reading &r, const QString &v) {
         MatteShape shape{};
         const QString what = listed(v, MatteShapes, shape);
         if (what.isEmpty())
             r.o.shape = shape;
         return what;
     }},
    {"--shape-text", "WORD", Section::Matte,
     "a matte of the word in DejaVu Sans Bold, scaled to fill the grid;\n"
     "its letters need 10 cells of height, and a word too small is\n"
     "refused with the size it needs",
     [](Reading &r, const QString &v) { return store(r.o.shapeText, v); }},
    {"--start", "X,Y", Section::Matte,
     "the start cell, counted from 1; without --start and --finish both\n"
     "are placed as far apart as the maze cells allow, and with one the\n"
     "other is the cell farthest from it",
     [](Reading &r, const QString &v) { return cell(v, r.o.startCell); }},
    {"--finish", "X,Y", Section::Matte, "the finish cell, counted from 1",
     [](Reading &r, const QString &v) { return cell(v, r.o.finishCell); }},
    {"--remove-unused", nullptr, Section::Matte,
     "leave out maze areas the start cannot reach (always so for --shape\n"
     "and --shape-text)",
     [](Reading &r, const QString &) { return set(r.o.removeUnused); }},
    {"--save-matte", "FILE.png", Section::Matte,
     "write the matte made, with its start and finish, as a PNG that the\n"
     "matte editor imports; alone, it makes no maze",
     [](Reading &r, const QString &v) { return store(r.o.saveMatteFile, v); }},

    {"--out", "FILE", Section::Output,
     "the drawn maze, in the format its extension names: .bmp (24-bit\n"
     "bitmap), .png, .svg (shapes) or .pdf (as --pdf); bitmaps and PNGs\n"
     "too large to draw become monochrome files; - writes it to standard\n"
     "output, in the format --format names",
     [](Reading &r, const QString &v) { return store(r.o.bitmapFile, v); }},
    {"--format", "FORMAT", Section::Output,
     "what --out - writes on standard output (or --out DEVICE): bmp\n(default), png, svg, pdf or text",
     [](Reading &r, const QString &v) {
         int format = 0;
         const QString what = listed(v, FormatNames, format, {}, "bmp, png, svg, pdf or text");
         if (what.isEmpty())
             r.format = format;
         return what;
     }},
    {"--scale", "K", Section::Output, "K pixels a tile pixel in --out's bitmap, PNG or SVG (1 to 64)",
     [](Reading &r, const QString &v) {
         r.scaleGiven = true;
         return whole(v, 1, 64, r.o.scale, "a whole number from 1 to 64");
     }},
    {"--monochrome", nullptr, Section::Output, "make --out a 1-bit bitmap or PNG streamed to disk",
     [](Reading &r, const QString &) { return set(r.o.monochrome); }},
    {"--pdf", "FILE.pdf", Section::Output, "one page laid out as the printer would print it; the page\n"
                                           "is held in memory, and one too large for it is refused",
     [](Reading &r, const QString &v) { return store(r.o.pdfFile, v); }},
    {"--print", nullptr, Section::Output, "print on the default printer",
     [](Reading &r, const QString &) { return set(r.o.print); }},
    {"--printer", "NAME", Section::Output, "print on this printer",
     [](Reading &r, const QString &v) {
         r.o.print = true;
         return store(r.o.printerName, v);
     }},
    {"--text", "FILE", Section::Output, "the maze as text: '#' wall, ' ' passage, '.' outside, S and F\n"
                                        "(16383 x 16383 cells need about 1.1 GB of memory)",
     [](Reading &r, const QString &v) { return store(r.o.textFile, v); }},
    {"--marks", nullptr, Section::Output, "mark the start (a disc) and the finish (a ring) in every output",
     [](Reading &r, const QString &) { return set(r.o.maze.marks); }},
    {"--answer-key", nullptr, Section::Output,
     "the solution too: a key page after the maze page, NAME-solution.EXT\n"
     "beside each file ('+' on the path in the text)",
     [](Reading &r, const QString &) { return set(r.o.maze.answerKey); }},
    {"--json", nullptr, Section::Output,
     "one JSON object per maze on stdout: files, seed, width and height\n"
     "in nodes, nodes_drawn and the measures (solution_length, dead_ends,\n"
     "junctions, solution_junctions, solution_turns, longest_corridor);\n"
     "alone, it makes no file",
     [](Reading &r, const QString &) { return set(r.o.json); }},

    {"--paper", "SIZE", Section::Pages, "A4 (files' default), A3, A5, Letter, Legal or Tabloid;\n--print: the printer's paper",
     [](Reading &r, const QString &v) {
         return paper(v, r.o.pages);
     }},
    {"--orientation", "O", Section::Pages, "portrait, landscape, or auto: whichever draws the maze larger",
     [](Reading &r, const QString &v) {
         int orientation = 0;
         const QString what = listed(v, OrientationNames, orientation, {}, "portrait, landscape or auto");
         if (what.isEmpty())
             r.o.pages.orientation = static_cast<PageSetup::Orientation>(orientation + 1);
         return what;
     }},
    {"--margin", "MM", Section::Pages, "the margin on every side, in millimetres (0 to 100)",
     [](Reading &r, const QString &v) {
         double mm = 0;
         if (!number(v, mm, "a number of millimetres").isEmpty() || mm < 0 || mm > 100)
             return QStringLiteral("a number of millimetres from 0 to 100");
         r.o.pages.marginMm = mm;
         return QString();
     }},
    {"--center", nullptr, Section::Pages, "the maze in the middle of its place, not at its top-left corner",
     [](Reading &r, const QString &) {
         return set(r.o.pages.center);
     }},
    {"--title", "TEXT", Section::Pages, "a title above the maze: %n its number in the batch, %s its seed,\n%% a percent sign",
     [](Reading &r, const QString &v) {
         return store(r.o.pages.title, v);
     }},
    {"--name-line", nullptr, Section::Pages, "a \"Name: ______  Date: ______\" line for worksheets",
     [](Reading &r, const QString &) {
         return set(r.o.pages.nameLine);
     }},
    {"--per-page", "N", Section::Pages, "1, 2, 4, 6 or 9 mazes a page, each as large as the page allows,\nnumbered; answer keys follow in the same arrangement",
     [](Reading &r, const QString &v) {
         int n = 0;
         if (!whole(v, 1, 9, n, "").isEmpty() || n == 3 || n == 5 || n == 7 || n == 8)
             return QStringLiteral("1, 2, 4, 6 or 9");
         r.o.pages.perPage = n;
         return QString();
     }},
    {"--poster", "CxR", Section::Pages, "one maze across C x R pages that overlap by 10 mm, with marks\nto line them up",
     [](Reading &r, const QString &v) {
         return poster(v, r.o.pages.poster);
     }},

    {"--seed", "N", Section::Batch, "the same seed and options make the same maze (0..4294967295)",
     [](Reading &r, const QString &v) {
         return whole(v, 0, 0xFFFFFFFFull, r.o.maze.seed, "a whole number from 0 to 4294967295");
     }},
    {"--count", "N", Section::Batch, "N mazes from consecutive seeds; NAME.EXT becomes NAME-01.EXT ...\n"
                                     "NAME-N.EXT, numbered to the width of N, but --pdf and --print\n"
                                     "make one document of them, pages numbered, the answer keys\n"
                                     "after all the mazes",
     [](Reading &r, const QString &v) { return whole(v, 1, 100000, r.o.count, "a number of mazes from 1 to 100000"); }},
    {"--jobs", "N", Section::Batch,
     "make N mazes of --count at once (default: one per core, fewer when\n"
     "memory is short; one at a time when printing)",
     [](Reading &r, const QString &v) { return whole(v, 1, 1024, r.o.jobs, "a number of jobs from 1 to 1024"); }},
    {"--best-of", "N", Section::Batch,
     "make N candidates from consecutive seeds and keep the one with the\n"
     "largest measure (ties to the lower seed); with --count, each maze\n"
     "is the best of its own N seeds",
     [](Reading &r, const QString &v) { return whole(v, 1, 10000, r.o.bestOf, "a number of candidates from 1 to 10000"); }},
    {"--best-by", "MEASURE", Section::Batch, "solution-length (default), dead-ends, junctions, turns",
     [](Reading &r, const QString &v) {
         r.bestByGiven = true;
         return listed(v, BestByNames, r.o.bestBy);
     }},
};

bool asksForHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

// Where the help text of every option starts.
constexpr qsizetype HelpColumn = 25;

/// The format --out names, from its extension or, for standard output, from --format; a
/// PDF named there becomes --pdf's and text --text's.
QString chooseFormat(Reading &r)
{
    CommandLine &o = r.o;
    if (o.bitmapFile.isEmpty())
        return r.format ? QStringLiteral("--format names what --out - writes on standard output") : QString();
    const std::string name = QFile::encodeName(o.bitmapFile).toStdString();
    const bool stream = is_stream_output(name);
    if (stream && r.format == TextFormat) {
        if (!o.textFile.isEmpty())
            return QStringLiteral("--out - --format text and --text both make the text: give one");
        o.textFile.swap(o.bitmapFile);
        return {};
    }
    if (!stream && r.format)
        return QStringLiteral("--format is for --out - (standard output) and devices: a file's extension names its format");
    const std::optional<FileFormat> format =
        output_format(name, stream, r.format ? std::optional(static_cast<FileFormat>(*r.format)) : std::nullopt);
    if (!format)
        return QStringLiteral("--out: '%1' is not a format Corvanthel writes; name the file %2")
            .arg(o.bitmapFile, QLatin1String(FileFormatNames));
    if (*format == FileFormat::Pdf) {
        if (!o.pdfFile.isEmpty())
            return QStringLiteral("--out %1 and --pdf %2 both make the PDF: give one").arg(o.bitmapFile, o.pdfFile);
        o.pdfFile.swap(o.bitmapFile);
        return {};
    }
    o.bitmapFormat = *format;
    return {};
}

/// The options that only make sense together, checked once every option is read.
QString checkCombination(Reading &r)
{
    CommandLine &o = r.o;
    QStringList sources;
    if (!o.mattePicture.isEmpty())
        sources << QStringLiteral("--matte");
    if (o.shape)
        sources << QStringLiteral("--shape");
    if (!o.shapeText.isEmpty())
        sources << QStringLiteral("--shape-text");
    if (sources.size() > 1)
        return QStringLiteral("%1 each make the matte: give only one").arg(sources.join(QStringLiteral(" and ")));
    if (!sources.isEmpty()) {
        if (r.typeGiven && !o.maze.usesMatte())
            return QStringLiteral("%1 makes a \"Custom (using matte)\" maze; drop --type or use --type custom")
                .arg(sources.front());
        o.maze.type = MazeTypeChoice::CustomMatte;
    } else if (o.maze.usesMatte()) {
        return QStringLiteral("a \"Custom (using matte)\" maze needs --matte PICTURE, --shape NAME or --shape-text WORD");
    } else if (o.startCell || o.finishCell || o.removeUnused || !o.saveMatteFile.isEmpty()) {
        return QStringLiteral("--start, --finish, --remove-unused and --save-matte go with --matte, --shape or "
                              "--shape-text");
    }
    if (!o.makesMazes() && o.saveMatteFile.isEmpty())
        return QStringLiteral("nothing to make: give --out FILE, --pdf FILE.pdf, --text FILE, --print, --json or --save-matte");
    if (r.bestByGiven && o.bestOf < 2)
        return QStringLiteral("--best-by goes with --best-of N");
    if (const QString refusal = chooseFormat(r); !refusal.isEmpty())
        return refusal;
    const QStringList files = {o.textFile, o.bitmapFile, o.pdfFile};
    if (files.count(QStringLiteral("-")) + (o.saveMatteFile == QLatin1String("-")) > 1)
        return QStringLiteral("only one output can go to standard output ('-')");
    // A batch's PDF is one book, not numbered: it may go where a single file would. Devices
    // and pipes are told apart from files once their names are looked up, before any maze.
    if (o.count > 1 && (o.textFile == QLatin1String("-") || o.bitmapFile == QLatin1String("-")))
        return QStringLiteral("--count %1 numbers its files, and '-' (standard output) cannot be numbered: give a "
                              "file name").arg(o.count);
    // A key file is named after its maze's file; standard output has no name to follow.
    if (o.maze.answerKey && (o.textFile == QLatin1String("-") || o.bitmapFile == QLatin1String("-")))
        return QStringLiteral("--answer-key writes NAME-solution beside the maze's file, and '-' (standard output) "
                              "has no name: give a file name");
    const bool picture = !o.bitmapFile.isEmpty();
    if (o.monochrome && (!picture || o.bitmapFormat == FileFormat::Svg))
        return QStringLiteral("--monochrome needs --out FILE.bmp or FILE.png");
    if (r.scaleGiven && !picture)
        return QStringLiteral("--scale goes with --out FILE.bmp, FILE.png or FILE.svg");
    if (!r.pageOptions.isEmpty() && o.pdfFile.isEmpty() && !o.print)
        return QStringLiteral("%1 lay out pages: give --pdf FILE.pdf or --print").arg(r.pageOptions.join(QStringLiteral(", ")));
    if (!o.pages.poster.isEmpty() && o.pages.perPage > 1)
        return QStringLiteral("--poster puts one maze on several pages and --per-page several on one: give one");
    if (o.maze.appearance == AppearanceChoice::CityPlan && picture && o.bitmapFormat != FileFormat::Svg)
        return QStringLiteral("\"City plan\" is drawn only as shapes: use --pdf, --print or --out FILE.svg, not a bitmap or PNG");
    return {};
}

} // namespace

ParsedCommandLine parse_command_line(const QStringList &arguments)
{
    ParsedCommandLine result;
    CommandLine &o = result.options;
    auto error = [&](const QString &text) {
        result.error = text;
        return result;
    };

    if (arguments.isEmpty())
        return result;
    const QString &first = arguments.front();
    if (asksForHelp(first) || first == QLatin1String("help")) {
        o.action = CommandLine::Action::Help;
        return result;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        o.action = CommandLine::Action::Version;
        return result;
    }
    if (first != QLatin1String("generate"))
        return error(QStringLiteral("unknown command '%1' (try --help)").arg(first));
    o.action = CommandLine::Action::Generate;

    Reading reading{o};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (const auto eq = name.indexOf(QLatin1Char('=')); name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (asksForHelp(name)) {
            o.action = CommandLine::Action::Help;
            return result;
        }
        const auto option = std::find_if(std::begin(Options), std::end(Options),
                                         [&](const Option &row) { return name == QLatin1String(row.name); });
        if (option == std::end(Options))
            return error(QStringLiteral("unknown option '%1' (try --help)").arg(name));
        if (!option->valueName) {
            if (value)
                return error(QStringLiteral("%1 takes no value").arg(name));
        } else if (!value && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (option->valueName && (!value || value->isEmpty()))
            return error(QStringLiteral("%1 needs a value").arg(name));
        if (option->section == Section::Pages)
            reading.pageOptions << name;
        if (const QString what = option->effect(reading, value.value_or(QString())); !what.isEmpty())
            return error(QStringLiteral("%1: '%2' is not %3").arg(name, *value, what));
    }
    return error(checkCombination(reading));
}

QString numbered_file_name(const QString &name, int index, int count, const QString &sibling)
{
    if (name.isEmpty() || name == QLatin1String("-") || (count <= 1 && sibling.isEmpty()))
        return name;
    // The extension is what follows the last dot of the file's own name, unless that
    // dot begins the name (".txt" is a hidden file without one).
    const qsizetype nameStart = name.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > nameStart && dot + 1 < name.size() ? dot : name.size();
    QString numbered = name.left(cut);
    if (count > 1) {
        const int digits = int(QString::number(count).size());
        numbered += QStringLiteral("-%1").arg(index + 1, digits, 10, QLatin1Char('0'));
    }
    if (!sibling.isEmpty())
        numbered += QLatin1Char('-') + sibling;
    return numbered + name.mid(cut);
}

QString key_file_name(const QString &name, int index, int count)
{
    return numbered_file_name(name, index, count, QStringLiteral("solution"));
}

QString command_line_help()
{
    QString text = QStringLiteral(
        "Usage: corvanthel\n"
        "  or:  corvanthel generate [options]\n"
        "  or:  corvanthel --help | --version\n"
        "Without arguments, opens the main window; generate makes mazes without a window.\n");
    std::optional<Section> section;
    for (const Option &option : Options) {
        if (option.section != section) {
            section = option.section;
            text += QLatin1Char('\n') + QLatin1String(SectionTitles[static_cast<int>(option.section)]) + QLatin1Char('\n');
        }
        QString head = QStringLiteral("  ") + QLatin1String(option.name);
        if (option.valueName)
            head += QLatin1Char(' ') + QLatin1String(option.valueName);
        const QString indent = QLatin1Char('\n') + QString(HelpColumn, QLatin1Char(' '));
        text += head.leftJustified(HelpColumn - 1) + QLatin1Char(' ')
                + QString::fromLatin1(option.help).replace(QLatin1Char('\n'), indent) + QLatin1Char('\n');
    }
    return text;
}

namespace {

/// A caption as the command line takes it: "Top left to bottom right" -> top-left-to-bottom-right.
QString optionValue(const char *caption)
{
    QString value;
    for (const QChar c : QString::fromLatin1(caption).toLower()) {
        if (c.isLetterOrNumber())
            value += c;
        else if (c == QLatin1Char(' ') && !value.endsWith(QLatin1Char('-')))
            value += QLatin1Char('-');
    }
    return value;
}

/// An argument as a POSIX shell reads it back.
QString shellQuoted(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./,:=+@%-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    return QLatin1Char('\'') + QString(argument).replace(QLatin1String("'"), QLatin1String("'\\''")) + QLatin1Char('\'');
}

} // namespace

QString command_line_for(const params::Choices &c, const QString &mattePicture, QPoint startCell, QPoint finishCell)
{
    QStringList words{QStringLiteral("corvanthel"), QStringLiteral("generate")};
    auto add = [&](const char *option, const QString &value = {}) {
        words << QLatin1String(option);
        if (!value.isNull())
            words << shellQuoted(value);
    };
    // The whole cells the maze has, and the percentage as exactly as it was typed: a rounded
    // number would make another maze.
    add("--width", QString::number((params::node_count(c.widthCells) - 1) / 2));
    add("--height", QString::number((params::node_count(c.heightCells) - 1) / 2));
    if (c.usesMatte()) {
        add("--matte", mattePicture);
        add("--start", QStringLiteral("%1,%2").arg(startCell.x()).arg(startCell.y()));
        add("--finish", QStringLiteral("%1,%2").arg(finishCell.x()).arg(finishCell.y()));
    } else {
        add("--type", optionValue(params::MazeTypes[params::position(c.type)].caption));
    }
    add("--run", QString::number(c.runSlider));
    add("--run-style", optionValue(params::RunStyles[params::position(c.runStyle)].caption));
    add("--appearance", optionValue(params::Appearances[params::position(c.appearance)].caption));
    if (c.loops)
        add("--loops", QString::number(c.loopPercent, 'g', QLocale::FloatingPointShortest));
    add("--difficulty", c.difficulty == params::DifficultyChoice::Harder ? QStringLiteral("harder") : QStringLiteral("easier"));
    if (c.seed)
        add("--seed", QString::number(*c.seed));
    if (c.marks)
        add("--marks");
    if (c.answerKey)
        add("--answer-key");
    if (c.appearance == params::AppearanceChoice::CityPlan)
        add("--pdf", QStringLiteral("maze.pdf"));
    else
        add("--out", QStringLiteral("maze.bmp"));
    return words.join(QLatin1Char(' '));
}

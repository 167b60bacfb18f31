#include "app/command_line.h"

#include "maze/parameters.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

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
std::optional<int> choose(const QString &text, std::span<const params::Choice> choices,
                          std::initializer_list<std::pair<const char *, int>> aliases = {})
{
    const QString key = squeezed(text);
    if (key.isEmpty())
        return std::nullopt;
    for (const auto &[alias, index] : aliases)
        if (key == QLatin1String(alias))
            return index;
    std::optional<int> found;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const QString caption = squeezed(QString::fromLatin1(choices[i].caption));
        if (caption == key)
            return static_cast<int>(i);
        if (caption.startsWith(key)) {
            if (found)
                return std::nullopt;  // ambiguous
            found = static_cast<int>(i);
        }
    }
    return found;
}

QString captionList(std::span<const params::Choice> choices)
{
    QStringList names;
    for (const auto &choice : choices)
        names << QStringLiteral("\"%1\"").arg(QLatin1String(choice.caption));
    return names.join(QStringLiteral(", "));
}

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QPoint> cell(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,5})\\s*,\\s*(\\d{1,5})\\s*$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QPoint(match.captured(1).toInt(), match.captured(2).toInt());
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
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
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

    bool typeGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool hasValue = false;
        if (const auto eq = name.indexOf(QLatin1Char('=')); name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            hasValue = true;
        }
        auto take = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        auto flag = [&](bool &target) {
            if (hasValue)
                return false;
            target = true;
            return true;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.action = CommandLine::Action::Help;
            return result;
        }
        if (name == QLatin1String("--monochrome")) {
            if (!flag(o.monochrome))
                return error(QStringLiteral("--monochrome takes no value"));
            continue;
        }
        if (name == QLatin1String("--print")) {
            if (!flag(o.print))
                return error(QStringLiteral("--print takes no value"));
            continue;
        }
        if (name == QLatin1String("--remove-unused")) {
            if (!flag(o.removeUnused))
                return error(QStringLiteral("--remove-unused takes no value"));
            continue;
        }

        static const QStringList withValue = {
            "--width", "--height", "--type", "--run", "--run-style", "--appearance", "--loops",
            "--difficulty", "--out", "--printer", "--pdf", "--text", "--matte", "--start",
            "--finish", "--seed", "--count"};
        if (!withValue.contains(name))
            return error(QStringLiteral("unknown option '%1' (try --help)").arg(name));
        const auto given = take();
        if (!given || given->isEmpty())
            return error(QStringLiteral("%1 needs a value").arg(name));
        const QString &v = *given;

        // A choice from one of the window's lists, by caption or short form.
        auto listed = [&](std::span<const params::Choice> choices,
                          std::initializer_list<std::pair<const char *, int>> aliases = {}) {
            const auto index = choose(v, choices, aliases);
            if (!index)
                result.error = QStringLiteral("%1: '%2' is not one of %3").arg(name, v, captionList(choices));
            return index;
        };
        // A whole number in lo..hi; `what` says what it should have been.
        auto whole = [&](qulonglong lo, qulonglong hi, const QString &what) -> std::optional<qulonglong> {
            bool ok = false;
            const qulonglong n = v.toULongLong(&ok);
            if (ok && n >= lo && n <= hi)
                return n;
            result.error = QStringLiteral("%1: '%2' is not %3").arg(name, v, what);
            return std::nullopt;
        };

        if (name == QLatin1String("--width") || name == QLatin1String("--height")) {
            const auto cells = number(v);
            if (!cells)
                return error(QStringLiteral("%1: '%2' is not a number of cells").arg(name, v));
            (name == QLatin1String("--width") ? o.maze.widthCells : o.maze.heightCells) = *cells;
        } else if (name == QLatin1String("--type")) {
            const auto index = listed(params::MazeTypes,
                                      {{"tlbr", int(params::position(params::MazeTypeChoice::TopLeftToBottomRight))},
                                       {"matte", int(params::position(params::MazeTypeChoice::CustomMatte))}});
            if (!index)
                return result;
            o.maze.type = static_cast<params::MazeTypeChoice>(*index);
            typeGiven = true;
        } else if (name == QLatin1String("--run")) {
            const auto slider = whole(0, 10, QStringLiteral("a position from 0 to 10"));
            if (!slider)
                return result;
            o.maze.runSlider = static_cast<int>(*slider);
        } else if (name == QLatin1String("--run-style")) {
            const auto index = listed(params::RunStyles);
            if (!index)
                return result;
            o.maze.runStyle = static_cast<params::RunStyleChoice>(*index);
        } else if (name == QLatin1String("--appearance")) {
            const auto index = listed(params::Appearances);
            if (!index)
                return result;
            o.maze.appearance = static_cast<params::AppearanceChoice>(*index);
        } else if (name == QLatin1String("--loops")) {
            const auto percent = number(v);
            if (!percent)
                return error(QStringLiteral("--loops: '%1' is not a percentage").arg(v));
            o.maze.loops = true;
            o.maze.loopPercent = *percent;
        } else if (name == QLatin1String("--difficulty")) {
            const auto index = choose(v, params::Difficulties, {{"easy", 0}, {"hard", 1}});
            if (!index)
                return error(QStringLiteral("--difficulty: '%1' is not \"easier\" or \"harder\"").arg(v));
            o.maze.difficulty = static_cast<params::DifficultyChoice>(*index);
        } else if (name == QLatin1String("--out")) {
            o.bitmapFile = v;
        } else if (name == QLatin1String("--printer")) {
            o.printerName = v;
            o.print = true;
        } else if (name == QLatin1String("--pdf")) {
            o.pdfFile = v;
        } else if (name == QLatin1String("--text")) {
            o.textFile = v;
        } else if (name == QLatin1String("--matte")) {
            o.mattePicture = v;
        } else if (name == QLatin1String("--start") || name == QLatin1String("--finish")) {
            const auto point = cell(v);
            if (!point || point->x() < 1 || point->y() < 1)
                return error(QStringLiteral("%1: '%2' is not a cell X,Y counted from 1").arg(name, v));
            (name == QLatin1String("--start") ? o.startCell : o.finishCell) = *point;
        } else if (name == QLatin1String("--seed")) {
            const auto seed = whole(0, 0xFFFFFFFFull, QStringLiteral("a whole number from 0 to 4294967295"));
            if (!seed)
                return result;
            o.maze.seed = static_cast<std::uint32_t>(*seed);
        } else if (name == QLatin1String("--count")) {
            const auto count = whole(1, 100000, QStringLiteral("a number of mazes from 1 to 100000"));
            if (!count)
                return result;
            o.count = static_cast<int>(*count);
        }
    }

    if (!o.mattePicture.isEmpty()) {
        if (typeGiven && !o.maze.usesMatte())
            return error(QStringLiteral("--matte makes a \"Custom (using matte)\" maze; drop --type or use --type custom"));
        o.maze.type = params::MazeTypeChoice::CustomMatte;
    } else if (o.maze.usesMatte()) {
        return error(QStringLiteral("a \"Custom (using matte)\" maze needs --matte PICTURE"));
    } else if (o.startCell || o.finishCell || o.removeUnused) {
        return error(QStringLiteral("--start, --finish and --remove-unused go with --matte"));
    }
    if (o.bitmapFile.isEmpty() && o.pdfFile.isEmpty() && o.textFile.isEmpty() && !o.print)
        return error(QStringLiteral("nothing to make: give --out FILE.bmp, --pdf FILE.pdf, --text FILE or --print"));
    if (o.monochrome && o.bitmapFile.isEmpty())
        return error(QStringLiteral("--monochrome needs --out FILE.bmp"));
    if (o.maze.appearance == params::AppearanceChoice::CityPlan && !o.bitmapFile.isEmpty())
        return error(QStringLiteral("\"City plan\" is only printed: use --pdf or --print, not --out"));
    return result;
}

QString numbered_file_name(const QString &name, int index, int count)
{
    if (name.isEmpty() || count <= 1)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString stem = name.left(name.size() - suffix.size());

    static const QRegularExpression trailingDigits(QStringLiteral("(\\d+)$"));
    const auto match = trailingDigits.match(stem);
    if (match.hasMatch() && !info.completeBaseName().isEmpty()) {
        const QString digits = match.captured(1);
        stem.chop(digits.size());
        const qulonglong number = digits.toULongLong() + static_cast<qulonglong>(index);
        return stem + QStringLiteral("%1").arg(number, digits.size(), 10, QLatin1Char('0')) + suffix;
    }
    return stem + QStringLiteral("-%1").arg(index + 1) + suffix;
}

QString command_line_help()
{
    return QStringLiteral(
        "Usage: corvanthel                      open the main window\n"
        "       corvanthel generate [options]   make mazes without a window\n"
        "       corvanthel --help | --version\n"
        "\n"
        "Maze (defaults are the main window's start-up values):\n"
        "  --width CELLS          cells across (50), at most 16383\n"
        "  --height CELLS         cells down (70), at most 16383\n"
        "  --type TYPE            \"Top left to bottom right\" (tlbr), \"Grid\", \"Custom (using matte)\"\n"
        "  --run 0..10            the Run slider, short to long (3)\n"
        "  --run-style STYLE      normal, horizontal, vertical, random\n"
        "  --appearance NAME      thin-lines, thick-lines, thin-rounded, electronic-circuits,\n"
        "                         medium-lines, plumbing, fences, double-line, shaded, planks,\n"
        "                         tiny-bricks, city-plan (printed or PDF only)\n"
        "  --loops PERCENT        allow loops, trying this percentage at dead ends\n"
        "  --difficulty D         easier (default) or harder\n"
        "\n"
        "Matte (makes a \"Custom (using matte)\" maze):\n"
        "  --matte PICTURE        a .bmp, .gif, .jpg or .jpeg: dark pixels are maze, light are not\n"
        "  --start X,Y            the start cell, counted from 1\n"
        "  --finish X,Y           the finish cell, counted from 1\n"
        "  --remove-unused        leave out maze areas the start cannot reach\n"
        "\n"
        "Output (at least one):\n"
        "  --out FILE.bmp         the drawn bitmap; too large ones become monochrome files\n"
        "  --monochrome           make --out a 1-bit bitmap streamed to disk\n"
        "  --pdf FILE.pdf         one page laid out as the printer would print it\n"
        "  --print                print on the default printer\n"
        "  --printer NAME         print on this printer\n"
        "  --text FILE            the maze as text: '#' wall, ' ' passage, '.' outside, S and F\n"
        "\n"
        "Batches and repeats:\n"
        "  --seed N               the same seed and options make the same maze (0..4294967295)\n"
        "  --count N              N mazes from consecutive seeds; file names are numbered\n");
}

#include "app/cli_batch.h"
#include "app/command_line.h"
#include "tests/support.h"
#include "tests/text_oracle.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>

using params::AppearanceChoice;
using params::DifficultyChoice;
using params::MazeTypeChoice;
using params::RunStyleChoice;
using support::decodeWithImageMagick;
using support::readAll;

namespace {

using support::Run;

Run corvanthel(const QStringList &arguments, const QString &workingDirectory)
{
    return support::runProgram(QStringLiteral(CORVANTHEL_BINARY), arguments, workingDirectory);
}

QStringList textRows(const QString &path)
{
    QStringList rows = QString::fromLatin1(readAll(path)).split(QLatin1Char('\n'));
    if (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast();
    return rows;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void parsesEveryOption();
    void helpListsWhatTheParserTakes();
    void acceptsCaptionsAndShortForms_data();
    void acceptsCaptionsAndShortForms();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void numbersBatchFiles();

    void helpAndVersionNeedNoDisplay();
    void startUpMazeReportsItsNodes();
    void sameSeedSameMaze();
    void appearanceAndTypeToABitmap_data();
    void appearanceAndTypeToABitmap();
    void textAgreesWithThePictures();
    void monochromeAndPdf();
    void batchesNumberTheirFiles();
    void matteFromAPicture();
    void jsonAgreesWithTheText_data();
    void jsonAgreesWithTheText();
    void bestOfKeepsTheLargest();
    void jobsMakeTheBatchOfOneJob();
    void jobsFitTheCoresAndTheMemory();
    void answerKeysBesideEveryOutput();
    void picturesByExtension();
    void failuresWriteNothing_data();
    void failuresWriteNothing();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

void TestCommandLine::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestCommandLine::parsesEveryOption()
{
    const auto parsed = parse_command_line(
        {"generate", "--width", "20", "--height=30.5", "--type", "grid", "--run", "7", "--run-style", "vertical",
         "--appearance", "Tiny bricks", "--loops", "12.5", "--difficulty", "harder", "--out", "a.bmp", "--monochrome",
         "--pdf", "a.pdf", "--text", "a.txt", "--printer", "Office", "--seed", "99", "--count", "3", "--marks",
         "--answer-key", "--json", "--best-of", "4", "--best-by", "dead-ends", "--jobs", "5"});
    QCOMPARE(parsed.error, QString());
    const CommandLine &o = parsed.options;
    QCOMPARE(o.action, CommandLine::Action::Generate);
    QCOMPARE(o.maze.widthCells, 20.0);
    QCOMPARE(o.maze.heightCells, 30.5);
    QCOMPARE(o.maze.type, MazeTypeChoice::Grid);
    QCOMPARE(o.maze.runSlider, 7);
    QCOMPARE(o.maze.runStyle, RunStyleChoice::VerticalBias);
    QCOMPARE(o.maze.appearance, AppearanceChoice::TinyBricks);
    QVERIFY(o.maze.loops);
    QCOMPARE(o.maze.loopPercent, 12.5);
    QCOMPARE(o.maze.difficulty, DifficultyChoice::Harder);
    QCOMPARE(o.maze.seed, std::optional<std::uint32_t>(99));
    QCOMPARE(o.count, 3);
    QCOMPARE(o.jobs, 5);
    QVERIFY(o.maze.marks);
    QVERIFY(o.maze.answerKey);
    QVERIFY(o.json);
    QCOMPARE(o.bestOf, 4);
    QCOMPARE(o.bestBy, CommandLine::BestBy::DeadEnds);
    QVERIFY(o.monochrome);
    QVERIFY(o.print);
    QCOMPARE(QStringList({o.printerName, o.bitmapFile, o.pdfFile, o.textFile}),
             QStringList({"Office", "a.bmp", "a.pdf", "a.txt"}));

    const auto matte = parse_command_line({"generate", "--matte", "m.png", "--start", "1,2", "--finish", " 30 , 40 ",
                                           "--remove-unused", "--text", "t"});
    QCOMPARE(matte.error, QString());
    QCOMPARE(matte.options.maze.type, MazeTypeChoice::CustomMatte);
    QCOMPARE(*matte.options.startCell, QPoint(1, 2));
    QCOMPARE(*matte.options.finishCell, QPoint(30, 40));
    QVERIFY(matte.options.removeUnused);

    QCOMPARE(parse_command_line({}).options.action, CommandLine::Action::Window);
    QCOMPARE(parse_command_line({"--version"}).options.action, CommandLine::Action::Version);
    QCOMPARE(parse_command_line({"generate", "--help"}).options.action, CommandLine::Action::Help);
}

void TestCommandLine::helpListsWhatTheParserTakes()
{
    // Every option --help shows is known, and needs a value exactly when help names one.
    static const QRegularExpression line(QStringLiteral("^  (--[a-z-]+)( \\S+)?  "));
    int options = 0;
    for (const QString &text : command_line_help().split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (!match.hasMatch())
            continue;
        ++options;
        const QString name = match.captured(1);
        const QString error = parse_command_line({"generate", name}).error;
        QVERIFY2(!error.contains("unknown option"), qPrintable(error));
        QCOMPARE(error.contains(name + " needs a value"), match.hasCaptured(2));
    }
    QCOMPARE(options, 36);
}

void TestCommandLine::acceptsCaptionsAndShortForms_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("type caption") << "--type" << "Top left to bottom right" << "Top left to bottom right";
    QTest::newRow("type tlbr") << "--type" << "TLBR" << "Top left to bottom right";
    QTest::newRow("type grid") << "--type" << "GRID" << "Grid";
    QTest::newRow("style horizontal") << "--run-style" << "horizontal" << "Horizontal bias";
    QTest::newRow("style caption") << "--run-style" << "Vertical bias" << "Vertical bias";
    QTest::newRow("style random") << "--run-style" << "random" << "Random run";
    QTest::newRow("thin-lines") << "--appearance" << "thin-lines" << "Thin lines";
    QTest::newRow("city-plan") << "--appearance" << "city-plan" << "City plan";
    QTest::newRow("caption any case") << "--appearance" << "ELECTRONIC circuits" << "Electronic circuits";
    QTest::newRow("unique beginning") << "--appearance" << "plumb" << "Plumbing";
    QTest::newRow("medium_lines") << "--appearance" << "medium_lines" << "Medium lines";
    QTest::newRow("easy") << "--difficulty" << "easy" << "Easier";
    QTest::newRow("hard") << "--difficulty" << "HARD" << "Harder (slower)";
}

void TestCommandLine::acceptsCaptionsAndShortForms()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    const auto parsed = parse_command_line({"generate", "--difficulty", "harder", option, value, "--pdf", "x.pdf"});
    QCOMPARE(parsed.error, QString());
    const params::Choices &c = parsed.options.maze;
    const char *got = option == "--type"        ? params::MazeTypes[params::position(c.type)].caption
                      : option == "--run-style" ? params::RunStyles[params::position(c.runStyle)].caption
                      : option == "--difficulty" ? params::Difficulties[params::position(c.difficulty)].caption
                                                 : params::Appearances[params::position(c.appearance)].caption;
    QCOMPARE(QLatin1String(got), caption);
}

void TestCommandLine::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown command") << QStringList{"make"} << "make";
    QTest::newRow("unknown option") << QStringList{"generate", "--colour", "red"} << "--colour";
    QTest::newRow("missing value") << QStringList{"generate", "--text", "t", "--width"} << "--width";
    QTest::newRow("width not a number") << QStringList{"generate", "--width", "wide", "--text", "t"} << "wide";
    QTest::newRow("run out of range") << QStringList{"generate", "--run", "11", "--text", "t"} << "0 to 10";
    QTest::newRow("ambiguous appearance") << QStringList{"generate", "--appearance", "thin", "--text", "t"} << "Thin rounded";
    QTest::newRow("unknown type") << QStringList{"generate", "--type", "spiral", "--text", "t"} << "spiral";
    QTest::newRow("bad difficulty") << QStringList{"generate", "--difficulty", "fiendish", "--text", "t"} << "fiendish";
    QTest::newRow("negative seed") << QStringList{"generate", "--seed", "-1", "--text", "t"} << "--seed";
    QTest::newRow("zero count") << QStringList{"generate", "--count", "0", "--text", "t"} << "--count";
    QTest::newRow("zero jobs") << QStringList{"generate", "--jobs", "0", "--text", "t"} << "--jobs";
    QTest::newRow("bad cell") << QStringList{"generate", "--matte", "m", "--start", "0,3", "--text", "t"} << "--start";
    QTest::newRow("custom without matte") << QStringList{"generate", "--type", "custom", "--text", "t"} << "--matte";
    QTest::newRow("start without matte") << QStringList{"generate", "--start", "1,1", "--text", "t"} << "--matte";
    QTest::newRow("no output") << QStringList{"generate", "--width", "10", "--marks"} << "nothing to make";
    QTest::newRow("city plan bitmap") << QStringList{"generate", "--appearance", "city", "--out", "c.bmp"} << "City plan";
    QTest::newRow("city plan PNG") << QStringList{"generate", "--appearance", "city", "--out", "c.png"} << "FILE.svg";
    QTest::newRow("monochrome alone") << QStringList{"generate", "--monochrome", "--text", "t"} << "--out";
    QTest::newRow("monochrome SVG") << QStringList{"generate", "--monochrome", "--out", "m.svg"} << "FILE.png";
    QTest::newRow("unknown extension") << QStringList{"generate", "--out", "maze.jpg"} << ".bmp, .png, .svg or .pdf";
    QTest::newRow("no extension") << QStringList{"generate", "--out", "maze"} << "'maze'";
    QTest::newRow("two PDFs") << QStringList{"generate", "--out", "a.pdf", "--pdf", "b.pdf"} << "give one";
    QTest::newRow("format for a file") << QStringList{"generate", "--out", "a.bmp", "--format", "png"} << "--out -";
    QTest::newRow("format alone") << QStringList{"generate", "--text", "t", "--format", "png"} << "--out -";
    QTest::newRow("unknown format") << QStringList{"generate", "--out", "-", "--format", "gif"} << "bmp, png, svg, pdf or text";
    QTest::newRow("scale without picture") << QStringList{"generate", "--text", "t", "--scale", "2"} << "--scale";
    QTest::newRow("scale too large") << QStringList{"generate", "--out", "a.png", "--scale", "65"} << "1 to 64";
    QTest::newRow("flag with value") << QStringList{"generate", "--print=yes"} << "--print";
    QTest::newRow("best-by alone") << QStringList{"generate", "--best-by", "turns", "--text", "t"} << "--best-of";
    QTest::newRow("unknown measure") << QStringList{"generate", "--best-of", "3", "--best-by", "width", "--text", "t"} << "dead-ends";
    QTest::newRow("no candidates") << QStringList{"generate", "--best-of", "0", "--text", "t"} << "--best-of";
}

void TestCommandLine::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    const auto parsed = parse_command_line(arguments);
    QVERIFY2(parsed.error.contains(mentions), qPrintable(parsed.error));
}

void TestCommandLine::numbersBatchFiles()
{
    QCOMPARE(numbered_file_name("maze.bmp", 0, 1), "maze.bmp");
    QCOMPARE(numbered_file_name("sheet.bmp", 0, 3), "sheet-1.bmp");
    QCOMPARE(numbered_file_name("sheet.bmp", 2, 3), "sheet-3.bmp");
    QCOMPARE(numbered_file_name("out/level07.bmp", 0, 5), "out/level07.bmp");
    QCOMPARE(numbered_file_name("out/level07.bmp", 3, 5), "out/level10.bmp");
    QCOMPARE(numbered_file_name("level9.txt", 1, 2), "level10.txt");
    QCOMPARE(numbered_file_name("maze", 1, 2), "maze-2");
    QCOMPARE(numbered_file_name("", 1, 2), QString());
    // A file made beside a maze's file is named after it, the number first.
    QCOMPARE(numbered_file_name("maze.txt", 0, 1, "solution"), "maze-solution.txt");
    QCOMPARE(numbered_file_name("maze-01.txt", 2, 5, "solution"), "maze-03-solution.txt");
    QCOMPARE(numbered_file_name("sheet.bmp", 1, 3, "solution"), "sheet-2-solution.bmp");
    QCOMPARE(numbered_file_name("out.d/maze", 0, 1, "solution"), "out.d/maze-solution");
    QCOMPARE(numbered_file_name("", 0, 1, "solution"), QString());
}

void TestCommandLine::helpAndVersionNeedNoDisplay()
{
    qunsetenv("DISPLAY");
    const Run help = corvanthel({"--help"}, dir.path());
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("corvanthel generate"));
    const Run version = corvanthel({"--version"}, dir.path());
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out.trimmed(), QStringLiteral("corvanthel %1.%2").arg(CORVANTHEL_VERSION_MAJOR).arg(CORVANTHEL_VERSION_MINOR));
    const Run usage = corvanthel({"generate", "--width"}, dir.path());
    QCOMPARE(usage.exitCode, 2);
    QVERIFY(usage.err.startsWith("corvanthel: "));
}

void TestCommandLine::startUpMazeReportsItsNodes()
{
    const Run run = corvanthel({"generate", "--text", "startup.txt", "--seed", "7"}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("Nodes drawn: 3452"), qPrintable(run.out));
    QVERIFY(run.out.contains("seed 7"));
    QVERIFY(run.out.contains("101 x 141 nodes"));
    QVERIFY(run.err.contains("Nodes drawn: "));
    const QStringList rows = textRows(path("startup.txt"));
    QCOMPARE(rows.size(), 141);
    QCOMPARE(rows[0].size(), 101);
    QCOMPARE(rows[9][9], QLatin1Char('S'));
    QCOMPARE(rows[131][91], QLatin1Char('F'));
    // The random seed is chosen and printed when none is given.
    const Run unseeded = corvanthel({"generate", "--text", "unseeded.txt"}, dir.path());
    QCOMPARE(unseeded.exitCode, 0);
    QVERIFY(unseeded.out.contains(QRegularExpression("seed \\d+")));
}

void TestCommandLine::sameSeedSameMaze()
{
    const QStringList common = {"generate", "--width", "30", "--height", "20", "--loops", "40", "--run-style", "random"};
    for (const char *difficulty : {"easier", "harder"}) {
        const QString d = QString::fromLatin1(difficulty);
        QCOMPARE(corvanthel(common + QStringList{"--difficulty", d, "--seed", "5", "--out", d + "a.bmp"}, dir.path()).exitCode, 0);
        QCOMPARE(corvanthel(common + QStringList{"--difficulty", d, "--seed", "5", "--out", d + "b.bmp"}, dir.path()).exitCode, 0);
        QCOMPARE(corvanthel(common + QStringList{"--difficulty", d, "--seed", "6", "--out", d + "c.bmp"}, dir.path()).exitCode, 0);
        const QByteArray a = readAll(path(d + "a.bmp"));
        QVERIFY(!a.isEmpty());
        QCOMPARE(a, readAll(path(d + "b.bmp")));
        QVERIFY(a != readAll(path(d + "c.bmp")));
    }
}

void TestCommandLine::appearanceAndTypeToABitmap_data()
{
    QTest::addColumn<QString>("appearance");
    QTest::addColumn<QString>("type");
    QTest::newRow("thin lines, top left to bottom right") << "thin-lines" << "tlbr";
    QTest::newRow("tiny bricks, grid") << "tiny-bricks" << "grid";
}

void TestCommandLine::appearanceAndTypeToABitmap()
{
    QFETCH(QString, appearance);
    QFETCH(QString, type);
    const QString file = appearance + QLatin1Char('-') + type + QStringLiteral(".bmp");
    const Run run = corvanthel({"generate", "--width", "9", "--height", "8", "--type", type, "--appearance", appearance,
                                "--seed", "3", "--out", file},
                               dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QImage picture = decodeWithImageMagick(path(file));
    QVERIFY2(!picture.isNull(), qPrintable(file));
    // Square tiles on 19 x 17 nodes and a margin of one node all round.
    QCOMPARE(picture.width() % 21, 0);
    QCOMPARE(picture.height() * 21, picture.width() * 19);
    QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
    int ink = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ink += qGray(picture.pixel(x, y)) < 128;
    QVERIFY(ink > 0);
}

void TestCommandLine::textAgreesWithThePictures()
{
    // "Thin lines" draws a wall node's centre pixel black and nothing on other nodes.
    const QStringList common = {"generate", "--width", "23", "--height", "17", "--type", "grid", "--seed", "11",
                                "--loops", "30", "--text", "agree.txt"};
    QCOMPARE(corvanthel(common + QStringList{"--out", "agree.bmp"}, dir.path()).exitCode, 0);
    QCOMPARE(corvanthel(common + QStringList{"--out", "agree-mono.bmp", "--monochrome"}, dir.path()).exitCode, 0);
    const QStringList rows = textRows(path("agree.txt"));
    const QImage colour = decodeWithImageMagick(path("agree.bmp"));
    const QImage mono = decodeWithImageMagick(path("agree-mono.bmp"));
    QCOMPARE(rows.size(), 35);
    QCOMPARE(mono.size(), QSize(5 * 47, 5 * 35));
    for (int y = 1; y <= 35; ++y)
        for (int x = 1; x <= 47; ++x) {
            const bool wall = rows[y - 1][x - 1] == QLatin1Char('#');
            const bool colourInk = qGray(colour.pixel(5 * x + 2, 5 * y + 2)) < 128;
            const bool monoInk = qGray(mono.pixel(5 * (x - 1) + 2, 5 * (y - 1) + 2)) < 128;
            const QByteArray node = QStringLiteral("node %1,%2").arg(x).arg(y).toLatin1();
            QVERIFY2(colourInk == wall, node + " in colour");
            QVERIFY2(monoInk == wall, node + " in monochrome");
        }
}

void TestCommandLine::monochromeAndPdf()
{
    const Run run = corvanthel({"generate", "--appearance", "city-plan", "--pdf", "page.pdf", "--seed", "2"}, dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(readAll(path("page.pdf")).startsWith("%PDF"));
    QProcess raster;
    raster.start("pdftoppm", {"-r", "30", "-png", "-singlefile", path("page.pdf"), path("page")});
    QVERIFY(raster.waitForFinished(60000));
    QCOMPARE(raster.exitCode(), 0);
    const QImage page(path("page.png"));
    QVERIFY(!page.isNull());
    // Some ink, much paper.
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += qGray(page.pixel(x, y)) < 128;
    QVERIFY(dark > page.width() * page.height() / 50);
    QVERIFY(dark < page.width() * page.height() / 2);
}

void TestCommandLine::batchesNumberTheirFiles()
{
    const Run run = corvanthel({"generate", "--width", "10", "--height", "10", "--count", "3", "--seed", "40",
                                "--text", "sheet.txt"},
                               dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count('\n'), 3);
    for (const char *seed : {"seed 40", "seed 41", "seed 42"})
        QVERIFY2(run.out.contains(seed), qPrintable(run.out));
    const QByteArray first = readAll(path("sheet-1.txt"));
    QVERIFY(!first.isEmpty());
    QVERIFY(first != readAll(path("sheet-2.txt")));
    // Maze 2 of the batch is the maze of its own seed.
    QCOMPARE(corvanthel({"generate", "--width", "10", "--height", "10", "--seed", "41", "--text", "single.txt"}, dir.path()).exitCode, 0);
    QCOMPARE(readAll(path("sheet-2.txt")), readAll(path("single.txt")));
}

void TestCommandLine::matteFromAPicture()
{
    // A dark disc on white paper, with a white island of paper inside it.
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QPoint(200, 150), 190, 140);
        painter.setBrush(Qt::white);
        painter.drawRect(180, 130, 40, 40);
    }
    QVERIFY(picture.save(path("disc.png")));
    const int cols = 40;
    const int rows = 30;
    const Run run = corvanthel({"generate", "--matte", "disc.png", "--width", QString::number(cols), "--height",
                                QString::number(rows), "--start", "5,15", "--finish", "36,15", "--seed", "1",
                                "--text", "disc.txt", "--out", "disc.bmp"},
                               dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList text = textRows(path("disc.txt"));
    QCOMPARE(text.size(), 2 * rows + 1);
    QCOMPARE(text[29][9], QLatin1Char('S'));
    QCOMPARE(text[29][71], QLatin1Char('F'));
    int carved = 0;
    for (int j = 1; j <= rows; ++j)
        for (int i = 1; i <= cols; ++i) {
            const QChar c = text[2 * j - 1][2 * i - 1];
            // The same sample the import takes: the centre of the cell's share of the picture.
            const bool dark = qGray(picture.pixel(int((i - 0.5) * 10), int((j - 0.5) * 10))) < 128;
            if (c == QLatin1Char(' ') || c == QLatin1Char('S') || c == QLatin1Char('F')) {
                ++carved;
                QVERIFY2(dark, qPrintable(QStringLiteral("cell %1,%2 is carved outside the shape").arg(i).arg(j)));
            }
            if (!dark)
                QCOMPARE(c, QLatin1Char('.'));
        }
    QVERIFY(carved > 600);
    QVERIFY(!decodeWithImageMagick(path("disc.bmp")).isNull());
}

void TestCommandLine::jsonAgreesWithTheText_data()
{
    // A dark ring on white paper for the matte row.
    QImage ring(200, 120, QImage::Format_RGB32);
    ring.fill(Qt::white);
    {
        QPainter painter(&ring);
        painter.setPen(QPen(Qt::black, 40));
        painter.drawEllipse(QPoint(100, 60), 75, 35);
    }
    QVERIFY(ring.save(path("ring.png")));
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("start-up") << QStringList{"--seed", "7"};
    QTest::newRow("grid, harder, loops") << QStringList{"--type", "grid", "--width", "40", "--height", "25", "--difficulty",
                                                        "harder", "--loops", "50", "--seed", "3"};
    QTest::newRow("tlbr, loops, random run") << QStringList{"--width", "30", "--height", "30", "--loops", "90",
                                                            "--run-style", "random", "--seed", "12"};
    QTest::newRow("matte") << QStringList{"--matte", "ring.png", "--width", "40", "--height", "24", "--start", "3,12",
                                          "--finish", "38,12", "--seed", "9"};
}

void TestCommandLine::jsonAgreesWithTheText()
{
    using namespace text_oracle;
    QFETCH(QStringList, arguments);
    const Run run = corvanthel(QStringList{"generate", "--json", "--text", "j.txt", "--answer-key"} + arguments, dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out.count(QLatin1Char('\n')), 1);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(report["files"].toArray(), QJsonArray({"j.txt", "j-solution.txt"}));
    QCOMPARE(report["seed"].toInteger(), arguments[arguments.indexOf("--seed") + 1].toLongLong());

    const QByteArray text = readAll(path("j.txt"));
    const TextMaze maze(text.toStdString());
    QCOMPARE(report["width"].toInteger(), maze.width());
    QCOMPARE(report["height"].toInteger(), maze.height());
    const QList<QPoint> solution = shortestNodePath(maze);
    QVERIFY(!solution.isEmpty());
    QCOMPARE(report["solution_length"].toInteger(), solution.size() / 2 + 1);
    const TextMeasures m = measureText(maze);
    QCOMPARE(report["dead_ends"].toInteger(), m.deadEnds);
    QCOMPARE(report["junctions"].toInteger(), m.junctions);
    QCOMPARE(report["longest_corridor"].toInteger(), m.corridor);
    long long cells = 0;
    for (const std::string &row : maze.rows)
        cells += std::count(row.begin(), row.end(), ' ') + std::count(row.begin(), row.end(), 'S')
                 + std::count(row.begin(), row.end(), 'F');
    QVERIFY(report["nodes_drawn"].toInteger() > 0);
    QVERIFY(report["nodes_drawn"].toInteger() < cells);
    for (const char *key : {"solution_junctions", "solution_turns"})
        QVERIFY2(report[key].toInteger() >= 0 && report.contains(key), key);

    // The key is the maze with the path's nodes drawn '+', and nothing else changed.
    const QByteArray key = readAll(path("j-solution.txt"));
    QCOMPARE(key.size(), text.size());
    int pluses = 0;
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key[i] == '+') {
            ++pluses;
            QCOMPARE(text[i], ' ');
        } else {
            QCOMPARE(key[i], text[i]);
        }
    }
    QCOMPARE(pluses, solution.size() - 2);

    // --json alone measures the same maze and writes nothing.
    const Run alone = corvanthel(QStringList{"generate", "--json"} + arguments, dir.path());
    QVERIFY2(alone.exitCode == 0, qPrintable(alone.err));
    QJsonObject measured = QJsonDocument::fromJson(alone.out.toUtf8()).object();
    QCOMPARE(measured["files"].toArray(), QJsonArray());
    measured["files"] = report["files"];
    QCOMPARE(measured, report);
}

void TestCommandLine::jobsMakeTheBatchOfOneJob()
{
    // Every output and the result lines (JSON, with the measures) alike, byte for byte, with
    // more jobs than cores; the progress is one line for the batch.
    const QStringList batch = {"generate", "--width", "30", "--height", "20", "--count", "7", "--seed", "61",
                               "--difficulty", "harder", "--loops", "10", "--text", "m.txt", "--out", "m.bmp",
                               "--monochrome", "--answer-key", "--json"};
    QTemporaryDir one, three;
    const Run alone = corvanthel(batch + QStringList{"--jobs", "1"}, one.path());
    const Run jobs = corvanthel(batch + QStringList{"--jobs", "3"}, three.path());
    QCOMPARE(alone.exitCode, 0);
    QCOMPARE(jobs.exitCode, 0);
    QCOMPARE(jobs.out, alone.out);
    QCOMPARE(jobs.out.count('\n'), 7);
    const QStringList files = QDir(one.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 28);
    QCOMPARE(QDir(three.path()).entryList(QDir::Files), files);
    for (const QString &f : files)
        QVERIFY2(readAll(one.filePath(f)) == readAll(three.filePath(f)), qPrintable(f));
    QVERIFY2(jobs.err.contains("Mazes made: 7 of 7"), qPrintable(jobs.err));
    QVERIFY2(!jobs.err.contains("\nGenerating..."), qPrintable(jobs.err));

    // A maze that cannot be written is reported in its place; those before it are all made and
    // reported first, and the lines that follow are in seed order.
    QVERIFY(QDir(three.path()).mkdir("f-4.txt"));
    const Run failing = corvanthel({"generate", "--width", "10", "--height", "10", "--count", "9", "--seed", "1",
                                    "--text", "f.txt", "--jobs", "2"},
                                   three.path());
    QCOMPARE(failing.exitCode, 1);
    QVERIFY2(failing.err.contains("corvanthel: cannot write f-4.txt"), qPrintable(failing.err));
    const QStringList lines = failing.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 3, qPrintable(failing.out));
    int previous = 0;
    for (const QString &line : lines) {
        const int seed = line.section(QStringLiteral("seed "), 1).section(',', 0, 0).toInt();
        QVERIFY2(seed > previous && seed != 4, qPrintable(failing.out));
        QVERIFY2(seed > 3 || seed == previous + 1, qPrintable(failing.out));
        QVERIFY2(QFileInfo::exists(three.filePath(QStringLiteral("f-%1.txt").arg(seed))), qPrintable(line));
        previous = seed;
    }
}

void TestCommandLine::jobsFitTheCoresAndTheMemory()
{
    constexpr std::uint64_t MiB = 1 << 20;
    // One per core by default, no more than asked or than the batch holds.
    QCOMPARE(batch_jobs(0, 60, 2, 10 * MiB, 0), 2);
    QCOMPARE(batch_jobs(0, 60, 16, 10 * MiB, 20000 * MiB), 16);
    QCOMPARE(batch_jobs(5, 60, 2, 10 * MiB, 0), 5);
    QCOMPARE(batch_jobs(0, 3, 8, 10 * MiB, 0), 3);
    QCOMPARE(batch_jobs(0, 1, 0, 10 * MiB, 0), 1);
    // Three quarters of the memory free for the mazes, and always one.
    QCOMPARE(batch_jobs(0, 60, 16, 100 * MiB, 1000 * MiB), 7);
    QCOMPARE(batch_jobs(8, 60, 16, 600 * MiB, 1000 * MiB), 1);
    QCOMPARE(batch_jobs(0, 60, 16, 4000 * MiB, 1000 * MiB), 1);

    // The estimate grows with the grid and with what is written: the largest harder maze in
    // its monochrome file takes well under the 4.5 bytes a cell it is held to, yet more than
    // its grid's 2.
    MazeState base;
    base.GridWidth = base.GridHeight = 32767;
    base.Harder = true;
    base.MazeStyle = 1;
    CommandLine o;
    o.bitmapFile = QStringLiteral("m.bmp");
    o.monochrome = true;
    const double cells = 16383.0 * 16383.0;
    QVERIFY(maze_bytes(o, base) > 2 * cells);
    QVERIFY(maze_bytes(o, base) < 4.5 * cells);
    base.GridWidth = base.GridHeight = 601;
    const std::uint64_t small = maze_bytes(o, base);
    o.textFile = QStringLiteral("m.txt");
    QVERIFY(maze_bytes(o, base) > small);
}

void TestCommandLine::bestOfKeepsTheLargest()
{
    const QStringList common = {"generate", "--width", "25", "--height", "20", "--difficulty", "harder", "--json"};
    for (const QString &by : {QStringLiteral("solution-length"), QStringLiteral("dead-ends"), QStringLiteral("turns")}) {
        const QString key = by == "solution-length" ? "solution_length" : by == "dead-ends" ? "dead_ends" : "solution_turns";
        // Two mazes, each the best of its own four seeds: 20..23 and 24..27.
        const Run best = corvanthel(common + QStringList{"--seed", "20", "--best-of", "4", "--best-by", by, "--count", "2",
                                                         "--text", "best.txt"},
                                    dir.path());
        QVERIFY2(best.exitCode == 0, qPrintable(best.err));
        const QStringList lines = best.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        for (int maze = 0; maze < 2; ++maze) {
            qint64 bestSeed = -1, bestValue = -1;
            for (int k = 0; k < 4; ++k) {
                const QString seed = QString::number(20 + 4 * maze + k);
                const Run one = corvanthel(common + QStringList{"--seed", seed, "--text", "one-" + seed + ".txt"}, dir.path());
                const qint64 value = QJsonDocument::fromJson(one.out.toUtf8()).object()[key].toInteger();
                if (value > bestValue) {
                    bestValue = value;
                    bestSeed = seed.toLongLong();
                }
            }
            const QJsonObject kept = QJsonDocument::fromJson(lines[maze].toUtf8()).object();
            QCOMPARE(kept["seed"].toInteger(), bestSeed);
            QCOMPARE(kept[key].toInteger(), bestValue);
            // Only the kept maze is written, and it is the maze of its seed.
            const QString written = QStringLiteral("best-%1.txt").arg(maze + 1);
            QCOMPARE(kept["files"].toArray(), QJsonArray({written}));
            QCOMPARE(readAll(path(written)), readAll(path(QStringLiteral("one-%1.txt").arg(bestSeed))));
        }
    }
}

void TestCommandLine::answerKeysBesideEveryOutput()
{
    const Run run = corvanthel({"generate", "--width", "15", "--height", "12", "--seed", "30", "--count", "2", "--marks",
                                "--answer-key", "--json", "--out", "k.bmp", "--pdf", "k.pdf", "--text", "k.txt"},
                               dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    for (int maze = 1; maze <= 2; ++maze) {
        const QJsonObject report = QJsonDocument::fromJson(lines[maze - 1].toUtf8()).object();
        const QString n = QString::number(maze);
        QCOMPARE(report["files"].toArray(), QJsonArray({"k-" + n + ".txt", "k-" + n + "-solution.txt", "k-" + n + ".bmp",
                                                        "k-" + n + "-solution.bmp"}));
        const QImage bitmap = decodeWithImageMagick(path("k-" + n + ".bmp"));
        const QImage key = decodeWithImageMagick(path("k-" + n + "-solution.bmp"));
        QVERIFY(!bitmap.isNull());
        QCOMPARE(key.size(), bitmap.size());
        QVERIFY(key != bitmap);
    }
    // One PDF of the batch: both mazes, then both keys.
    const QJsonObject book = QJsonDocument::fromJson(lines[2].toUtf8()).object();
    QCOMPARE(book["files"].toArray(), QJsonArray({"k.pdf"}));
    QCOMPARE(book["pages"].toInt(), 4);
    QProcess info;
    info.start("pdfinfo", {path("k.pdf")});
    QVERIFY(info.waitForFinished(60000));
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("Pages:\\s+4\\n")), qPrintable(text));

    // A single maze's PDF: the maze page, then its key page; its title names the seed.
    QCOMPARE(corvanthel({"generate", "--width", "15", "--height", "12", "--seed", "31", "--answer-key", "--pdf", "one.pdf"},
                        dir.path()).exitCode, 0);
    info.start("pdfinfo", {path("one.pdf")});
    QVERIFY(info.waitForFinished(60000));
    const QString single = QString::fromLatin1(info.readAllStandardOutput());
    QVERIFY2(single.contains(QRegularExpression("Pages:\\s+2\\n")), qPrintable(single));
    QVERIFY2(single.contains(QRegularExpression("Title:\\s+Maze, seed 31\\n")), qPrintable(single));

    // The monochrome key: 1-bit, the same size, more ink.
    const Run mono = corvanthel({"generate", "--width", "15", "--height", "12", "--seed", "30", "--answer-key",
                                 "--monochrome", "--out", "km.bmp"},
                                dir.path());
    QVERIFY2(mono.exitCode == 0, qPrintable(mono.err));
    const QByteArray maze = readAll(path("km.bmp")), key = readAll(path("km-solution.bmp"));
    QCOMPARE(key.size(), maze.size());
    QCOMPARE(support::le16(key, 28), 1u);
    auto ink = [](const QByteArray &bitmap) {
        int zeros = 0;
        for (qsizetype i = 62; i < bitmap.size(); ++i)
            zeros += 8 - std::popcount(std::uint8_t(bitmap[i]));
        return zeros;
    };
    QVERIFY(ink(key) > ink(maze));
}

// One maze in every picture format: the PNG has the bitmap's pixels, --scale repeats them, and
// standard output takes the format --format names.
void TestCommandLine::picturesByExtension()
{
    const QStringList maze{"generate", "--width", "12", "--height", "9", "--seed", "5", "--appearance", "shaded", "--marks"};
    for (const QString out : {"m.bmp", "m.png", "m.svg", "m.pdf"}) {
        const Run run = corvanthel(maze + QStringList{"--out", out}, dir.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith(out + ": seed 5"), qPrintable(run.out));
    }
    const QImage bmp = decodeWithImageMagick(path("m.bmp"));
    QCOMPARE(decodeWithImageMagick(path("m.png")), bmp);
    QVERIFY(readAll(path("m.svg")).startsWith("<?xml"));
    QVERIFY(readAll(path("m.pdf")).startsWith("%PDF"));

    const Run scaled = corvanthel(maze + QStringList{"--out", "big.png", "--scale", "3"}, dir.path());
    QCOMPARE(scaled.exitCode, 0);
    const QImage big = decodeWithImageMagick(path("big.png"));
    QCOMPARE(big.size(), bmp.size() * 3);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            if (big.pixel(x, y) != bmp.pixel(x / 3, y / 3))
                QFAIL(qPrintable(QString("pixel (%1, %2) is not repeated").arg(x).arg(y)));

    QProcess toStdout;
    toStdout.setWorkingDirectory(dir.path());
    toStdout.start(CORVANTHEL_BINARY, maze + QStringList{"--out", "-", "--format", "svg"});
    QVERIFY(toStdout.waitForFinished(60000));
    QCOMPARE(toStdout.exitCode(), 0);
    QCOMPARE(toStdout.readAllStandardOutput(), readAll(path("m.svg")));
    QVERIFY(toStdout.readAllStandardError().contains("-: seed 5"));
}

void TestCommandLine::failuresWriteNothing_data()
{
    QFile corrupt(path("corrupt.jpg"));
    QVERIFY(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("\xFF\xD8\xFF\xE0 this is not really a picture");
    corrupt.close();
    QImage plain(20, 20, QImage::Format_RGB32);
    plain.fill(Qt::black);
    plain.save(path("black.png"));
    QImage split(20, 10, QImage::Format_RGB32);  // a white band down the middle
    split.fill(Qt::black);
    QPainter(&split).fillRect(8, 0, 4, 10, Qt::white);
    split.save(path("split.png"));

    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("exitCode");
    const QString out = "failed.bmp";
    QTest::newRow("too small") << QStringList{"generate", "--width", "3", "--out", out} << "at least 4 x 4" << 1;
    QTest::newRow("grid too small") << QStringList{"generate", "--type", "grid", "--width", "6", "--out", out} << "at least 7 x 7" << 1;
    QTest::newRow("too large") << QStringList{"generate", "--width", "16384", "--out", out} << "16383" << 1;
    QTest::newRow("bad number") << QStringList{"generate", "--height", "ten", "--out", out} << "ten" << 2;
    QTest::newRow("missing picture") << QStringList{"generate", "--matte", "nowhere.png", "--start", "1,1", "--finish", "2,2", "--out", out} << "nowhere.png" << 1;
    QTest::newRow("corrupt picture") << QStringList{"generate", "--matte", "corrupt.jpg", "--start", "1,1", "--finish", "2,2", "--out", out} << "corrupt.jpg" << 1;
    QTest::newRow("no start") << QStringList{"generate", "--matte", "black.png", "--finish", "2,2", "--out", out} << "a matte needs a start cell: give --start X,Y" << 1;
    QTest::newRow("no points") << QStringList{"generate", "--matte", "black.png", "--out", out} << "a matte needs a start and a finish cell" << 1;
    QTest::newRow("outside matte") << QStringList{"generate", "--matte", "black.png", "--width", "5", "--height", "5", "--start", "1,1", "--finish", "6,2", "--out", out} << "the finish cell 6,2 lies outside the matte of 5 x 5 cells" << 1;
    QTest::newRow("same cell") << QStringList{"generate", "--matte", "black.png", "--width", "5", "--height", "5", "--start", "3,4", "--finish", "3,4", "--out", out} << "the start and finish are the same cell 3,4" << 1;
    QTest::newRow("no path") << QStringList{"generate", "--matte", "split.png", "--width", "10", "--height", "5", "--start", "1,2", "--finish", "10,5", "--out", out} << "no path of maze cells joins the start cell 1,2 to the finish cell 10,5" << 1;
    QTest::newRow("unwritable") << QStringList{"generate", "--out", "no/such/folder/" + out} << "no/such/folder/" + out << 1;
    QTest::newRow("unknown extension") << QStringList{"generate", "--out", "failed.gif"} << "name the file .bmp, .png, .svg or .pdf" << 2;
    QTest::newRow("City plan PNG") << QStringList{"generate", "--appearance", "city-plan", "--out", "failed.png"} << "FILE.svg" << 2;
    QTest::newRow("unwritable PNG") << QStringList{"generate", "--out", "no/such/folder/failed.png"} << "No such file or directory" << 1;
    QTest::newRow("unwritable SVG") << QStringList{"generate", "--out", "no/such/folder/failed.svg"} << "No such file or directory" << 1;
    QTest::newRow("full disk, PNG") << QStringList{"generate", "--out", "/dev/full", "--format", "png"} << "No space left on device" << 1;
    QTest::newRow("full disk, streamed PNG") << QStringList{"generate", "--out", "/dev/full", "--format", "png", "--monochrome"} << "No space left on device" << 1;
    QTest::newRow("full disk, SVG") << QStringList{"generate", "--out", "/dev/full", "--format", "svg"} << "No space left on device" << 1;
}

void TestCommandLine::failuresWriteNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    const Run run = corvanthel(arguments, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.startsWith("corvanthel: ") || run.err.contains("\ncorvanthel: "));
    QCOMPARE(QDir(dir.path()).entryList({"failed*"}), QStringList());
    QCOMPARE(QDir(dir.path()).entryList({"*.part*"}), QStringList());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"

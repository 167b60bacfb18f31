#include "app/cli_batch.h"
#include "app/cli_progress.h"
#include "app/command_line.h"
#include "matte/far_points.h"
#include "matte/matte_picture.h"
#include "matte/shapes.h"
#include "render/draw.h"
#include "render/mono_bitmap.h"
#include "render/output_context.h"
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
#include <QTemporaryFile>
#include <QtTest>

#include <bit>
#include <cstdio>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using params::AppearanceChoice;
using params::DifficultyChoice;
using params::MazeTypeChoice;
using params::RunStyleChoice;
using support::decodeWithImageMagick;
using support::readAll;

Q_DECLARE_METATYPE(MatteShape)

namespace {

using support::Run;

/// How to start the program beyond its arguments.
struct Start {
    QString standardOutput;                  // a file standard output goes to (appended to)
    QMap<QString, QString> environment;      // set; an empty value unsets
    std::function<void()> child;             // run in the child before the program starts
};

Run corvanthel(const QStringList &arguments, const QString &workingDirectory, const Start &start = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    if (!start.standardOutput.isEmpty())
        process.setStandardOutputFile(start.standardOutput, QIODevice::Append);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = start.environment.cbegin(); it != start.environment.cend(); ++it)
        it.value().isEmpty() ? environment.remove(it.key()) : environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    if (start.child)
        process.setChildProcessModifier(start.child);
    process.start(QStringLiteral(CORVANTHEL_BINARY), arguments);
    process.waitForFinished(300000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

/// Runs the program under a limit of `resource` (files as a nearly full disk would, or memory).
Start limited(int resource, rlim_t bytes)
{
    Start start;
    start.child = [resource, bytes] {
        const rlimit limit{bytes, bytes};
        ::setrlimit(resource, &limit);
    };
    return start;
}

/// Runs the program as the unprivileged user "nobody" (a test not run as root is
/// unprivileged already).
Start asNobody()
{
    Start start;
    start.child = [] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    };
    return start;
}

/// Files a run left that are not outputs: temporaries of any kind.
QStringList leftovers(const QString &dir)
{
    return QDir(dir).entryList({"*.part*", ".corvanthel-partial-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

QStringList textRows(const QString &path)
{
    QStringList rows = QString::fromLatin1(readAll(path)).split(QLatin1Char('\n'));
    if (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast();
    return rows;
}

QJsonObject jsonOf(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

/// Saves a picture of `fill` with whatever `paint` draws on it.
bool savePicture(const QString &file, int width, int height, Qt::GlobalColor fill,
                 const std::function<void(QPainter &)> &paint = {})
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(fill);
    if (paint) {
        QPainter painter(&picture);
        paint(painter);
    }
    return picture.save(file);
}

/// The file an output of `kind` named after `stem` writes: a picture's name says its format.
QString outputName(const QString &kind, const QString &stem)
{
    return kind == "monochrome" || kind == "colour" ? stem + ".bmp" : stem;
}

/// The arguments that make one output of each kind into the file outputName names.
QStringList outputArguments(const QString &kind, const QString &stem)
{
    const QString name = outputName(kind, stem);
    if (kind == "text")
        return {"--text", name};
    if (kind == "monochrome")
        return {"--monochrome", "--out", name};
    if (kind == "colour")
        return {"--out", name};
    return {"--pdf", name};
}

/// A fresh folder inside `dir` for one case.
QString freshFolder(const QTemporaryDir &dir, const QString &name)
{
    const QString folder = dir.filePath(name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
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
    void numbersBatchFiles_data();
    void numbersBatchFiles();

    void startUpMazeReportsItsNodes();
    void textAgreesWithThePictures();
    void matteFromAPicture();
    void jsonAgreesWithTheText_data();
    void jsonAgreesWithTheText();
    void bestOfKeepsTheLargest();
    void jobsMakeTheBatchOfOneJob();
    void batchesReportFailuresInPlace_data();
    void batchesReportFailuresInPlace();
    void jobsFitTheCoresAndTheMemory();
    void scaledPicturesCountTheirMemory_data();
    void scaledPicturesCountTheirMemory();
    void answerKeysBesideEveryOutput();
    void picturesByExtension();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void numberingRuleForEveryOutput();
    void standardOutputIsWrittenInPlace_data();
    void standardOutputIsWrittenInPlace();
    void wholeOutputsOnStandardOutput_data();
    void wholeOutputsOnStandardOutput();
    void standardErrorAsAnOutput_data();
    void standardErrorAsAnOutput();
    void notesInABatchTakeALineOfTheirOwn();
    void twoOutputsToOneFileAreRefused_data();
    void twoOutputsToOneFileAreRefused();
    void oldFilesOutliveRefusals_data();
    void oldFilesOutliveRefusals();
    void aRealFullDiskKeepsTheOldPdf();
    void filesOfOneMazeAreAllOrNothing();
    void checksTheResultLine_data();
    void checksTheResultLine();
    void refusesAStreamTheDiskCannotHold();
    void pdfsAreMadeOrRefusedUnderAMemoryLimit_data();
    void pdfsAreMadeOrRefusedUnderAMemoryLimit();
    void outOfMemorySaysWhat();
    void closedStandardOutputIsRefused();
    void signalsLeaveNoTemporary_data();
    void signalsLeaveNoTemporary();
    void runsWithoutADisplay_data();
    void runsWithoutADisplay();
    void damagedPicturesAreRefused_data();
    void damagedPicturesAreRefused();
    void unreadablePicturesSayWhy();
    void shapesMakeTheirMatte_data();
    void shapesMakeTheirMatte();
    void wordsMakeTheirMatte();
    void pointsNotGivenAreChosenFarApart();
    void savedMattesKeepTheirPoints();

private:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    /// `corvanthel generate ARGUMENTS`, in the test's folder unless told otherwise.
    Run generate(const QStringList &arguments, const QString &folder = {}, const Start &start = {}) const
    {
        return corvanthel(QStringList{"generate"} + arguments, folder.isEmpty() ? dir.path() : folder, start);
    }
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

    QVERIFY(parse_command_line({"make"}).error.contains("make"));
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
    QCOMPARE(options, 39);
}

void TestCommandLine::acceptsCaptionsAndShortForms_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("type caption") << "--type" << "Top left to bottom right" << "Top left to bottom right";
    QTest::newRow("type tlbr") << "--type" << "TLBR" << "Top left to bottom right";
    QTest::newRow("style horizontal") << "--run-style" << "horizontal" << "Horizontal bias";
    QTest::newRow("style random") << "--run-style" << "random" << "Random run";
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
    QTest::newRow("unknown option") << QStringList{"--colour", "red"} << "--colour";
    QTest::newRow("missing value") << QStringList{"--text", "t", "--width"} << "--width";
    QTest::newRow("width not a number") << QStringList{"--width", "wide", "--text", "t"} << "wide";
    QTest::newRow("run out of range") << QStringList{"--run", "11", "--text", "t"} << "0 to 10";
    QTest::newRow("ambiguous appearance") << QStringList{"--appearance", "thin", "--text", "t"} << "Thin rounded";
    QTest::newRow("unknown type") << QStringList{"--type", "spiral", "--text", "t"} << "spiral";
    QTest::newRow("bad difficulty") << QStringList{"--difficulty", "fiendish", "--text", "t"} << "fiendish";
    QTest::newRow("negative seed") << QStringList{"--seed", "-1", "--text", "t"} << "--seed";
    QTest::newRow("zero count") << QStringList{"--count", "0", "--text", "t"} << "--count";
    QTest::newRow("zero jobs") << QStringList{"--jobs", "0", "--text", "t"} << "--jobs";
    QTest::newRow("bad cell") << QStringList{"--matte", "m", "--start", "0,3", "--text", "t"} << "--start";
    QTest::newRow("start without matte") << QStringList{"--start", "1,1", "--text", "t"} << "--matte";
    QTest::newRow("no output") << QStringList{"--width", "10", "--marks"} << "nothing to make";
    QTest::newRow("city plan bitmap") << QStringList{"--appearance", "city", "--out", "c.bmp"} << "City plan";
    QTest::newRow("monochrome alone") << QStringList{"--monochrome", "--text", "t"} << "--out";
    QTest::newRow("monochrome SVG") << QStringList{"--monochrome", "--out", "m.svg"} << "FILE.png";
    QTest::newRow("no extension") << QStringList{"--out", "maze"} << "'maze'";
    QTest::newRow("two PDFs") << QStringList{"--out", "a.pdf", "--pdf", "b.pdf"} << "give one";
    QTest::newRow("format for a file") << QStringList{"--out", "a.bmp", "--format", "png"} << "--out -";
    QTest::newRow("format alone") << QStringList{"--text", "t", "--format", "png"} << "--out -";
    QTest::newRow("unknown format") << QStringList{"--out", "-", "--format", "gif"} << "bmp, png, svg, pdf or text";
    QTest::newRow("scale without picture") << QStringList{"--text", "t", "--scale", "2"} << "--scale";
    QTest::newRow("scale too large") << QStringList{"--out", "a.png", "--scale", "65"} << "1 to 64";
    QTest::newRow("flag with value") << QStringList{"--print=yes"} << "--print";
    QTest::newRow("two outputs to standard output") << QStringList{"--text", "-", "--pdf", "-"}
                                                    << "only one output can go to standard output";
    QTest::newRow("standard output in a batch") << QStringList{"--count", "2", "--out", "-"}
                                                << "'-' (standard output) cannot be numbered";
    QTest::newRow("a key beside standard output") << QStringList{"--answer-key", "--out", "-"}
                                                  << "'-' (standard output) has no name";
    QTest::newRow("best-by alone") << QStringList{"--best-by", "turns", "--text", "t"} << "--best-of";
    QTest::newRow("unknown measure") << QStringList{"--best-of", "3", "--best-by", "width", "--text", "t"} << "dead-ends";
    QTest::newRow("no candidates") << QStringList{"--best-of", "0", "--text", "t"} << "--best-of";
    QTest::newRow("shape and matte") << QStringList{"--shape", "heart", "--matte", "m.png", "--text", "t"}
                                     << "--matte and --shape each make the matte: give only one";
    QTest::newRow("shape and word") << QStringList{"--shape-text", "Al", "--shape", "ring", "--text", "t"}
                                    << "--shape and --shape-text each make the matte";
    QTest::newRow("shape of a grid") << QStringList{"--type", "grid", "--shape", "star", "--text", "t"}
                                     << "--shape makes a \"Custom (using matte)\" maze";
    QTest::newRow("unknown shape") << QStringList{"--shape", "blob", "--text", "t"} << "\"Hexagon\"";
    QTest::newRow("custom without any matte") << QStringList{"--type", "custom", "--text", "t"}
                                              << "--shape NAME or --shape-text WORD";
    QTest::newRow("save-matte without matte") << QStringList{"--save-matte", "m.png", "--text", "t"}
                                              << "--save-matte go with --matte, --shape or --shape-text";
    QTest::newRow("matte and maze to standard output") << QStringList{"--shape", "ring", "--save-matte", "-",
                                                                      "--text", "-"}
                                                       << "only one output can go to standard output";
}

void TestCommandLine::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    const auto parsed = parse_command_line(QStringList{"generate"} + arguments);
    QVERIFY2(parsed.error.contains(mentions), qPrintable(parsed.error));
}

void TestCommandLine::numbersBatchFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("sibling");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("a single maze keeps its name") << "maze.bmp" << 0 << 1 << "" << "maze.bmp";
    QTest::newRow("last of 3") << "sheet.bmp" << 2 << 3 << "" << "sheet-3.bmp";
    QTest::newRow("100 of 100") << "m.pdf" << 99 << 100 << "" << "m-100.pdf";
    QTest::newRow("a huge trailing number is kept") << "l99999999999999999999.txt" << 1 << 2 << ""
                                                    << "l99999999999999999999-2.txt";
    QTest::newRow("in a folder") << "out/level07.bmp" << 3 << 5 << "" << "out/level07-4.bmp";
    QTest::newRow("a dotted folder") << "my.mazes/maze" << 1 << 2 << "" << "my.mazes/maze-2";
    QTest::newRow("a trailing dot") << "maze." << 0 << 2 << "" << "maze.-1";
    QTest::newRow("a solution without extension") << "out.d/maze" << 0 << 1 << "solution" << "out.d/maze-solution";
    QTest::newRow("a numbered name's solution") << "maze-01.txt" << 2 << 5 << "solution" << "maze-01-3-solution.txt";
    QTest::newRow("standard output stays") << "-" << 0 << 1 << "solution" << "-";
    QTest::newRow("no name") << "" << 1 << 2 << "" << "";
}

void TestCommandLine::numbersBatchFiles()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QString, sibling);
    QFETCH(QString, numbered);
    QCOMPARE(numbered_file_name(name, index, count, sibling), numbered);
}

void TestCommandLine::startUpMazeReportsItsNodes()
{
    const Run run = generate({"--text", "startup.txt", "--seed", "7"});
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
    const Run unseeded = generate({"--text", "unseeded.txt"});
    QCOMPARE(unseeded.exitCode, 0);
    QVERIFY(unseeded.out.contains(QRegularExpression("seed \\d+")));
}

void TestCommandLine::textAgreesWithThePictures()
{
    // "Thin lines" draws a wall node's centre pixel black and nothing on other nodes.
    const QStringList common = {"--width", "23", "--height", "17", "--type", "grid", "--seed", "11", "--loops", "30",
                                "--text", "agree.txt"};
    QCOMPARE(generate(common + QStringList{"--out", "agree.bmp"}).exitCode, 0);
    QCOMPARE(generate(common + QStringList{"--out", "agree-mono.bmp", "--monochrome"}).exitCode, 0);
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

void TestCommandLine::matteFromAPicture()
{
    // A dark disc on white paper, with a white island of paper inside it.
    QVERIFY(savePicture(path("disc.png"), 400, 300, Qt::white, [](QPainter &painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QPoint(200, 150), 190, 140);
        painter.fillRect(180, 130, 40, 40, Qt::white);
    }));
    const QImage picture(path("disc.png"));
    const Run run = generate({"--matte", "disc.png", "--width", "40", "--height", "30", "--start", "5,15", "--finish",
                              "36,15", "--seed", "1", "--text", "disc.txt", "--out", "disc.bmp"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList text = textRows(path("disc.txt"));
    QCOMPARE(text.size(), 61);
    QCOMPARE(text[29][9], QLatin1Char('S'));
    QCOMPARE(text[29][71], QLatin1Char('F'));
    int carved = 0;
    for (int j = 1; j <= 30; ++j)
        for (int i = 1; i <= 40; ++i) {
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
    QVERIFY(savePicture(path("ring.png"), 200, 120, Qt::white, [](QPainter &painter) {
        painter.setPen(QPen(Qt::black, 40));
        painter.drawEllipse(QPoint(100, 60), 75, 35);
    }));
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
    const Run run = generate(QStringList{"--json", "--text", "j.txt", "--answer-key"} + arguments);
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
    for (int j = 0; j < maze.cellRows(); ++j)
        for (int i = 0; i < maze.cols(); ++i)
            cells += maze.cellOpen(i, j);
    QCOMPARE(report["nodes_drawn"].toInteger(), cells);
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
    const Run alone = generate(QStringList{"--json"} + arguments);
    QVERIFY2(alone.exitCode == 0, qPrintable(alone.err));
    QJsonObject measured = jsonOf(alone.out);
    QCOMPARE(measured["files"].toArray(), QJsonArray());
    measured["files"] = report["files"];
    QCOMPARE(measured, report);
}

void TestCommandLine::jobsMakeTheBatchOfOneJob()
{
    // Every output and the result lines (JSON, with the measures) alike, byte for byte, with
    // more jobs than cores; the progress is one line for the batch.
    const QStringList batch = {"--width", "30", "--height", "20", "--count", "7", "--seed", "61", "--difficulty",
                               "harder", "--loops", "10", "--text", "m.txt", "--out", "m.bmp", "--monochrome",
                               "--answer-key", "--json"};
    QTemporaryDir one, three;
    const Run alone = generate(batch + QStringList{"--jobs", "1"}, one.path());
    const Run jobs = generate(batch + QStringList{"--jobs", "3"}, three.path());
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

    // A file no output may take is refused before any maze is carved, in a batch of jobs as
    // in one of one job.
    QVERIFY(QDir(three.path()).mkdir("f-4.txt"));
    const Run refused = generate({"--width", "10", "--height", "10", "--count", "9", "--seed", "1", "--text", "f.txt",
                                  "--jobs", "2"},
                                 three.path());
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("corvanthel: cannot write f-4.txt"), qPrintable(refused.err));
    QCOMPARE(refused.out, QString());
    QVERIFY(!QFileInfo::exists(three.filePath("f-1.txt")));
}

void TestCommandLine::batchesReportFailuresInPlace_data()
{
    QTest::addColumn<bool>("outOfMemory");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file refused") << false << "cannot write f-4.txt: Is a directory";
    QTest::newRow("out of memory") << true << "out of memory: a maze of 9 x 9 cells needs more memory than is free";
}

// A maze that fails is reported in its place, in the command line's words; those before it are
// all made and reported first, and the lines that follow are in seed order.
void TestCommandLine::batchesReportFailuresInPlace()
{
    QFETCH(bool, outOfMemory);
    QFETCH(QString, message);
    QTemporaryFile results, messages;
    QVERIFY(results.open());
    QVERIFY(messages.open());
    std::FILE *stream = ::fdopen(::dup(results.handle()), "w");
    QVERIFY(stream);
    const int standardError = ::dup(STDERR_FILENO);
    ::dup2(messages.handle(), STDERR_FILENO);
    const bool made = run_batch(9, 2, stream, stderr, [&](int index, CliProgress &) -> QByteArray {
        if (index == 3 && outOfMemory)
            throw std::bad_alloc();
        if (index == 3)
            throw std::runtime_error(message.toStdString());
        return "maze " + QByteArray::number(index + 1) + '\n';
    }, QStringLiteral("out of memory: a maze of 9 x 9 cells needs more memory than is free"));
    std::fflush(stderr);
    ::dup2(standardError, STDERR_FILENO);
    ::close(standardError);
    std::fclose(stream);
    QVERIFY(!made);
    QVERIFY(messages.seek(0));
    const QString said = QString::fromLocal8Bit(messages.readAll());
    QVERIFY2(said.contains("corvanthel: " + message + '\n'), qPrintable(said));
    QVERIFY(results.seek(0));  // the stream moved the offset both share
    const QStringList lines = QString::fromLatin1(results.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 3, qPrintable(lines.join('|')));
    int previous = 0;
    for (const QString &line : lines) {
        const int maze = line.section(' ', 1).toInt();
        QVERIFY2(maze > previous && maze != 4, qPrintable(lines.join('|')));
        QVERIFY2(maze > 3 || maze == previous + 1, qPrintable(lines.join('|')));
        previous = maze;
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

#if !defined(__SANITIZE_ADDRESS__)
    // The memory counted on is what this process may take, not what the machine has free.
    const Run limit = generate({"--count", "2", "--jobs", "2", "--width", "16383", "--height", "16383", "--json"}, {},
                               limited(RLIMIT_AS, 600000000));
    QVERIFY2(limit.err.contains("corvanthel: making 1 mazes at once, as many as memory allows"), qPrintable(limit.err));
#endif
}

void TestCommandLine::scaledPicturesCountTheirMemory_data()
{
    QTest::addColumn<bool>("monochrome");
    QTest::addColumn<int>("nodes");  // across and down
    QTest::addColumn<int>("scale");
    QTest::newRow("colour at its own size") << false << 201 << 1;
    QTest::newRow("colour enlarged 4 times") << false << 201 << 4;
    QTest::newRow("colour too large to enlarge, so monochrome") << false << 4001 << 8;
    QTest::newRow("monochrome enlarged 16 times") << true << 32767 << 16;
}

// A maze of a batch is held to the memory its writer takes: a colour picture and its enlarged
// copy, or two blocks of the enlarged monochrome file's rows, a band of tiles deep.
void TestCommandLine::scaledPicturesCountTheirMemory()
{
    QFETCH(bool, monochrome);
    QFETCH(int, nodes);
    QFETCH(int, scale);
    MazeState base;
    base.GridWidth = base.GridHeight = nodes;
    CommandLine o;
    o.bitmapFile = QStringLiteral("m.bmp");
    o.monochrome = monochrome;
    o.scale = scale;
    const tiles::TileSet &set = tiles::tile_set(base.MazeStyle);
    const MonoLayout rows = mono_layout(nodes, nodes, set.width * scale, set.height * scale);
    std::uint64_t held = 2 * std::uint64_t(rows.rowBytes) * std::uint64_t(set.height * scale);
    if (!monochrome) {
        allocate_arrays(base);
        const std::uint64_t pixels = std::uint64_t(maze_picture_size(base).width()) * maze_picture_size(base).height();
        if (pixels * scale * scale <= std::uint64_t(DefaultPixelBudget))
            held = 4 * pixels * (scale > 1 ? 1 + scale * scale : 1);
    }
    CommandLine noPicture;
    const std::uint64_t share = maze_bytes(o, base) - maze_bytes(noPicture, base);
    QVERIFY2(share >= held, qPrintable(QStringLiteral("%1 < %2").arg(share).arg(held)));
    // Nor a picture that is not drawn: no more than the writer's blocks beyond.
    QVERIFY2(share < held + (std::uint64_t{16} << 20), qPrintable(QStringLiteral("%1 for %2").arg(share).arg(held)));
}

void TestCommandLine::bestOfKeepsTheLargest()
{
    const QStringList common = {"--width", "25", "--height", "20", "--difficulty", "harder", "--json"};
    for (const QString &by : {QStringLiteral("solution-length"), QStringLiteral("dead-ends"), QStringLiteral("turns")}) {
        const QString key = by == "solution-length" ? "solution_length" : by == "dead-ends" ? "dead_ends" : "solution_turns";
        // Two mazes, each the best of its own four seeds: 20..23 and 24..27.
        const Run best = generate(common + QStringList{"--seed", "20", "--best-of", "4", "--best-by", by, "--count", "2",
                                                       "--text", "best.txt"});
        QVERIFY2(best.exitCode == 0, qPrintable(best.err));
        const QStringList lines = best.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        for (int maze = 0; maze < 2; ++maze) {
            qint64 bestSeed = -1, bestValue = -1;
            for (int k = 0; k < 4; ++k) {
                const QString seed = QString::number(20 + 4 * maze + k);
                const qint64 value = jsonOf(generate(common + QStringList{"--seed", seed, "--text", "one-" + seed + ".txt"}).out)[key].toInteger();
                if (value > bestValue) {
                    bestValue = value;
                    bestSeed = seed.toLongLong();
                }
            }
            const QJsonObject kept = jsonOf(lines[maze]);
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
    const Run run = generate({"--width", "15", "--height", "12", "--seed", "30", "--count", "2", "--marks",
                              "--answer-key", "--json", "--out", "k.bmp", "--pdf", "k.pdf", "--text", "k.txt"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // One JSON object a maze, naming every file it is in.
    const QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    for (const QString n : {"1", "2"}) {
        QCOMPARE(jsonOf(lines[n.toInt() - 1])["files"].toArray(),
                 QJsonArray({"k-" + n + ".txt", "k-" + n + "-solution.txt", "k-" + n + ".bmp", "k-" + n + "-solution.bmp",
                             "k.pdf"}));
        const QImage bitmap = decodeWithImageMagick(path("k-" + n + ".bmp"));
        const QImage key = decodeWithImageMagick(path("k-" + n + "-solution.bmp"));
        QVERIFY(!bitmap.isNull());
        QCOMPARE(key.size(), bitmap.size());
        QVERIFY(key != bitmap);
    }
    // One PDF of the batch: both mazes, then both keys.
    QProcess info;
    info.start("pdfinfo", {path("k.pdf")});
    QVERIFY(info.waitForFinished(60000));
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("Pages:\\s+4\\n")), qPrintable(text));

    // A single maze's PDF: the maze page, then its key page; its title names the seed.
    QCOMPARE(generate({"--width", "15", "--height", "12", "--seed", "31", "--answer-key", "--pdf", "one.pdf"}).exitCode, 0);
    info.start("pdfinfo", {path("one.pdf")});
    QVERIFY(info.waitForFinished(60000));
    const QString single = QString::fromLatin1(info.readAllStandardOutput());
    QVERIFY2(single.contains(QRegularExpression("Pages:\\s+2\\n")), qPrintable(single));
    QVERIFY2(single.contains(QRegularExpression("Title:\\s+Maze, seed 31\\n")), qPrintable(single));

    // The monochrome key: 1-bit, the same size, more ink.
    const Run mono = generate({"--width", "15", "--height", "12", "--seed", "30", "--answer-key", "--monochrome",
                               "--out", "km.bmp"});
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
    const QStringList maze{"--width", "12", "--height", "9", "--seed", "5", "--appearance", "shaded", "--marks"};
    for (const QString out : {"m.bmp", "m.png", "m.svg", "m.pdf"}) {
        const Run run = generate(maze + QStringList{"--out", out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith(out + ": seed 5"), qPrintable(run.out));
    }
    const QImage bmp = decodeWithImageMagick(path("m.bmp"));
    QCOMPARE(decodeWithImageMagick(path("m.png")), bmp);
    QVERIFY(readAll(path("m.svg")).startsWith("<?xml"));
    QVERIFY(readAll(path("m.pdf")).startsWith("%PDF"));

    QCOMPARE(generate(maze + QStringList{"--out", "big.png", "--scale", "3"}).exitCode, 0);
    const QImage big = decodeWithImageMagick(path("big.png"));
    QCOMPARE(big, bmp.scaled(bmp.size() * 3));  // each pixel repeated

    Start start;
    start.standardOutput = path("streamed.svg");
    const Run streamed = generate(maze + QStringList{"--out", "-", "--format", "svg"}, {}, start);
    QCOMPARE(streamed.exitCode, 0);
    QCOMPARE(readAll(path("streamed.svg")), readAll(path("m.svg")));
    QVERIFY(streamed.err.contains("-: seed 5"));
}

void TestCommandLine::failuresWriteNothing_data()
{
    QVERIFY(support::writeFile(path("corrupt.jpg"), "\xFF\xD8\xFF\xE0 this is not really a picture"));
    QVERIFY(savePicture(path("black.png"), 20, 20, Qt::black));
    QVERIFY(savePicture(path("white.png"), 30, 20, Qt::white));
    QVERIFY(savePicture(path("full.png"), 120, 112, Qt::black));
    // A white band down the middle.
    QVERIFY(savePicture(path("split.png"), 20, 10, Qt::black, [](QPainter &p) { p.fillRect(8, 0, 4, 10, Qt::white); }));

    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("exitCode");
    const QStringList out = {"--out", "failed.bmp"};
    const auto matte = [&](const QString &picture, const QString &cols, const QString &rows) {
        return QStringList{"--matte", picture, "--width", cols, "--height", rows};
    };
    QTest::newRow("too small") << QStringList{"--width", "3"} + out << "at least 4 x 4" << 1;
    QTest::newRow("grid too small") << QStringList{"--type", "grid", "--width", "6"} + out << "at least 7 x 7" << 1;
    QTest::newRow("too large") << QStringList{"--width", "16384"} + out << "16383" << 1;
    QTest::newRow("missing picture") << QStringList{"--matte", "nowhere.png", "--start", "1,1", "--finish", "2,2"} + out
                                     << "nowhere.png" << 1;
    QTest::newRow("corrupt picture") << QStringList{"--matte", "corrupt.jpg", "--start", "1,1", "--finish", "2,2"} + out
                                     << "corrupt.jpg" << 1;
    // A point not given is chosen, unless there is nowhere to put it.
    QTest::newRow("finish on paper, no start") << matte("split.png", "10", "5") + QStringList{"--finish", "5,2"} + out
                                               << "the finish cell 5,2 is paper, outside the maze's shape" << 1;
    QTest::newRow("nowhere for the points") << matte("white.png", "30", "20") + out
                                            << "corvanthel: the matte has no two maze cells side by side to put a "
                                               "start and a finish on\n"
                                            << 1;
    QTest::newRow("outside matte") << matte("black.png", "5", "5") + QStringList{"--start", "1,1", "--finish", "6,2"} + out
                                   << "the finish cell 6,2 lies outside the matte of 5 x 5 cells" << 1;
    QTest::newRow("start is finish, counted in cells")
        << matte("full.png", "60", "56") + QStringList{"--start", "30,28", "--finish", "30,28"} + out
        << "corvanthel: the start and finish are the same cell 30,28" << 1;
    QTest::newRow("no path") << matte("split.png", "10", "5") + QStringList{"--start", "1,2", "--finish", "10,5"} + out
                             << "no path of maze cells joins the start cell 1,2 to the finish cell 10,5" << 1;
    QTest::newRow("a word too small")
        << QStringList{"--shape-text", "ANNA", "--width", "30", "--height", "8", "--save-matte", "failed.png"} + out
        << "corvanthel: \"ANNA\" is too small to read on 30 x 8 cells: letters 10 cells tall need at least 45 x 10 "
           "cells (--width 45 --height 10)\n"
        << 1;
    QTest::newRow("a letter the font lacks") << QStringList{"--shape-text", QString::fromUtf8("Li 名")} + out
                                             << QString::fromUtf8("the font DejaVu Sans Bold has no letter for '名'\n") << 1;
    QTest::newRow("unwritable") << QStringList{"--out", "no/such/folder/failed.bmp"} << "no/such/folder/failed.bmp" << 1;
    QTest::newRow("unwritable matte") << QStringList{"--shape", "ring", "--save-matte", "missing/ring.png", "--text",
                                                     "failed.txt"}
                                      << "corvanthel: cannot write missing/ring.png" << 1;
    QTest::newRow("unknown extension") << QStringList{"--out", "failed.gif"} << "name the file .bmp, .png, .svg or .pdf" << 2;
    QTest::newRow("City plan PNG") << QStringList{"--appearance", "city-plan", "--out", "failed.png"} << "FILE.svg" << 2;
    // Pages without room for a maze are a usage error, found before any maze is made.
    const QStringList worksheet = {"--pdf", "failed.pdf", "--text", "failed.txt", "--paper", "A5"};
    QTest::newRow("margins wider than the paper") << worksheet + QStringList{"--margin", "100"}
                                                  << "corvanthel: the 100 mm margins leave no room for a maze on A5 paper\n"
                                                  << 2;
    QTest::newRow("a book of nine a page under a title")
        << worksheet + QStringList{"--margin", "62", "--per-page", "9", "--count", "9", "--title", "T", "--name-line"}
        << "corvanthel: the 62 mm margins leave no room for 9 mazes a page on A5 paper with the title, the name line "
           "and the page numbers\n"
        << 2;
    QTest::newRow("unwritable PNG") << QStringList{"--out", "no/such/folder/failed.png"} << "No such file or directory" << 1;
    QTest::newRow("unwritable SVG") << QStringList{"--out", "no/such/folder/failed.svg"} << "No such file or directory" << 1;
    QTest::newRow("full disk, PNG") << QStringList{"--out", "/dev/full", "--format", "png"} << "No space left on device" << 1;
    QTest::newRow("full disk, streamed PNG") << QStringList{"--out", "/dev/full", "--format", "png", "--monochrome"}
                                             << "No space left on device" << 1;
    QTest::newRow("full disk, SVG") << QStringList{"--out", "/dev/full", "--format", "svg"} << "No space left on device" << 1;
    QTest::newRow("a key beside a device") << QStringList{"--answer-key", "--text", "/dev/stdout"}
                                           << "--text /dev/stdout is written in place, so --answer-key has no file" << 1;
    QTest::newRow("a device in a batch") << QStringList{"--count", "2", "--text", "/dev/stdout"}
                                         << "--text /dev/stdout is written in place, so it cannot be numbered" << 1;
    QTest::newRow("an output into a folder") << QStringList{"--text", "."} << "cannot write .: Is a directory" << 1;
    QTest::newRow("an output name ending in /") << QStringList{"--text", "t.txt/"}
                                                << "cannot write t.txt/: the name ends with '/'" << 1;
}

void TestCommandLine::failuresWriteNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    const Run run = generate(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.startsWith("corvanthel: ") || run.err.contains("\ncorvanthel: "));
    QCOMPARE(run.out, QString());
    QCOMPARE(QDir(dir.path()).entryList({"failed*"}), QStringList());
    QCOMPARE(leftovers(dir.path()), QStringList());
}

// One rule for every output: NAME-NN.EXT, NN to the width of the count, and nothing else
// written; a batch's PDF is one book, not numbered. Each maze of a batch is the maze of its seed.
void TestCommandLine::numberingRuleForEveryOutput()
{
    const QString folder = freshFolder(dir, "numbered");
    const QStringList maze = {"--width", "5", "--height", "5"};
    const Run run = generate(maze + QStringList{"--seed", "1", "--count", "12", "--text", ".txt", "--out", "level2.png",
                                                "--pdf", "book.pdf"},
                             folder);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out.count('\n'), 13);
    QStringList expected{"book.pdf"};
    for (int i = 1; i <= 12; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        expected << ".txt-" + n << "level2-" + n + ".png";
        QVERIFY2(run.out.contains(QStringLiteral(".txt-%1, level2-%1.png: seed %2,").arg(n).arg(i)), qPrintable(run.out));
    }
    expected.sort();
    QCOMPARE(support::entries(folder), expected);
    QVERIFY(readAll(folder + "/.txt-01") != readAll(folder + "/.txt-02"));
    // A name as long as a file name may be is written; the temporary's name is short.
    const QString longName = QString(250, 'l') + ".txt";
    const Run single = generate(maze + QStringList{"--seed", "2", "--text", longName}, folder);
    QVERIFY2(single.exitCode == 0, qPrintable(single.err));
    QCOMPARE(readAll(folder + "/" + longName), readAll(folder + "/.txt-02"));

    // Files are numbered wherever they are, a folder under /dev too.
    const QTemporaryDir shm("/dev/shm/corvanthel-XXXXXX");
    if (!shm.isValid())
        QSKIP("no /dev/shm to write in");
    const Run underDev = generate(maze + QStringList{"--count", "2", "--text", shm.filePath("n.txt")});
    QVERIFY2(underDev.exitCode == 0, qPrintable(underDev.err));
    QCOMPARE(support::entries(shm.path()), QStringList({"n-1.txt", "n-2.txt"}));
}

void TestCommandLine::standardOutputIsWrittenInPlace_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// `... --text /dev/stdout >> log.txt` appends to the log: the file behind standard output is
// not replaced, and the result line keeps out of the maze's way on standard error.
void TestCommandLine::standardOutputIsWrittenInPlace()
{
    QFETCH(QString, name);
    const QString folder = freshFolder(dir, "stdout");
    QVERIFY(support::writeFile(folder + "/log.txt", "LOG 1\\n"));
    const QStringList maze = {"--width", "5", "--height", "5", "--seed", "1"};
    Start start;
    start.standardOutput = folder + "/log.txt";
    const Run run = generate(maze + QStringList{"--text", name}, folder, start);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(name + ": seed 1, 11 x 11 nodes"), qPrintable(run.err));
    QCOMPARE(generate(maze + QStringList{"--text", "file.txt"}, folder).exitCode, 0);
    QCOMPARE(readAll(folder + "/log.txt"), "LOG 1\\n" + readAll(folder + "/file.txt"));
    QVERIFY(QFileInfo("/dev/stdout").isSymLink());
    QCOMPARE(leftovers(folder), QStringList());
}

void TestCommandLine::wholeOutputsOnStandardOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("colour bitmap") << QStringList{"--out", "-"} << "colour.bmp";
    QTest::newRow("monochrome bitmap") << QStringList{"--monochrome", "--out", "-"} << "mono.bmp";
    QTest::newRow("PDF with its key, JSON") << QStringList{"--pdf", "-", "--answer-key", "--json"} << "";
}

// `-` gives the same bytes a file of that output would hold.
void TestCommandLine::wholeOutputsOnStandardOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const QString folder = freshFolder(dir, "whole");
    const QStringList maze = {"--width", "9", "--height", "7", "--seed", "3"};
    Start start;
    start.standardOutput = folder + "/stdout";
    const Run run = generate(maze + arguments, folder, start);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QByteArray streamed = readAll(folder + "/stdout");
    if (arguments.contains("--json")) {
        // The JSON keeps out of the maze's way on standard error.
        const QJsonObject report = jsonOf(run.err.section('\n', -2));
        QCOMPARE(report["files"].toArray(), QJsonArray({"-"}));
        QCOMPARE(report["seed"].toInteger(), 3);
    }
    if (file.isEmpty()) {
        QVERIFY(streamed.startsWith("%PDF"));
        QVERIFY(streamed.trimmed().endsWith("%%EOF"));
        return;
    }
    QCOMPARE(generate(maze + QStringList(arguments).replaceInStrings(QRegularExpression("^-$"), file), folder).exitCode, 0);
    QCOMPARE(streamed, readAll(folder + "/" + file));
}

void TestCommandLine::standardErrorAsAnOutput_data()
{
    QTest::addColumn<QStringList>("arguments");  // "@" stands for the output's name
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("joined");  // standard error joins standard output into one file
    QTest::newRow("monochrome --out /dev/stderr") << QStringList{"--monochrome", "--out", "@"} << "/dev/stderr" << false;
    QTest::newRow("--text /dev/fd/2") << QStringList{"--text", "@"} << "/dev/fd/2" << false;
    QTest::newRow("--out /proc/self/fd/2, joined") << QStringList{"--out", "@"} << "/proc/self/fd/2" << true;
    QTest::newRow("--text -, joined") << QStringList{"--text", "@"} << "-" << true;
}

// An output on standard error (`2> maze.bmp`, `> maze.txt 2>&1`) gets the maze alone: no
// progress, and the result line on standard output if that is free, else nowhere.
void TestCommandLine::standardErrorAsAnOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    QFETCH(bool, joined);
    const QString folder = freshFolder(dir, "stderr");
    const QStringList maze = {"--width", "30", "--height", "20", "--seed", "4"};
    QCOMPARE(generate(maze + QStringList(arguments).replaceInStrings("@", "reference.bmp"), folder).exitCode, 0);
    const QByteArray taken = QFile::encodeName(folder + "/taken");
    Start start;
    if (joined)
        start.standardOutput = QFile::decodeName(taken);
    start.child = [taken, joined] { ::dup2(joined ? 1 : ::open(taken.constData(), O_WRONLY | O_CREAT, 0644), 2); };
    const Run run = generate(maze + QStringList(arguments).replaceInStrings("@", name), folder, start);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(taken), readAll(folder + "/reference.bmp"));
    QVERIFY2(joined ? run.out.isEmpty() : run.out.startsWith(name + ": seed 4, 61 x 41 nodes,"), qPrintable(run.out));
    if (joined) {
        // JSON asked for has nowhere to go.
        const Run json = generate(maze + QStringList(arguments).replaceInStrings("@", name) + QStringList{"--json"},
                                  folder, start);
        QCOMPARE(json.exitCode, 1);
        QVERIFY2(readAll(taken).contains("corvanthel: --json has nowhere to go"), readAll(taken).constData());
    }
}

// On a terminal, a note (a maze drawn monochrome for want of room) clears the batch's
// progress line first, under the same lock as the line.
void TestCommandLine::notesInABatchTakeALineOfTheirOwn()
{
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(terminal >= 0);
    QCOMPARE(::grantpt(terminal), 0);
    QCOMPARE(::unlockpt(terminal), 0);
    std::FILE *stream = std::fopen(::ptsname(terminal), "w");
    QVERIFY(stream);
    {
        BatchProgress batch(stream, 2, 1);
        CliProgress &maze = batch.start(0, 0);
        maze.phase(Phase::Generating);
        maze.note("corvanthel: m.bmp is too large\n");
    }
    std::fclose(stream);
    QByteArray shown;
    char block[4096];
    for (ssize_t n; (n = ::read(terminal, block, sizeof block)) > 0;)
        shown.append(block, n);
    ::close(terminal);
    QVERIFY2(shown.contains("maze 1: Generating...\x1b[K\r\x1b[Kcorvanthel: m.bmp is too large"), shown.constData());
}

void TestCommandLine::twoOutputsToOneFileAreRefused_data()
{
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QString>("message");
    QTest::newRow("one name twice") << QStringList{"--out", "x.png", "--text", "x.png"} << "--text x.png and --out x.png";
    QTest::newRow("a name without extension") << QStringList{"--text", "x", "--pdf", "x"} << "--text x and --pdf x";
    QTest::newRow("./ before a name") << QStringList{"--out", "x.bmp", "--text", "./x.bmp"} << "--text ./x.bmp and --out x.bmp";
    QTest::newRow("a link and its file") << QStringList{"--out", "old.bmp", "--text", "link.txt"}
                                         << "--text link.txt and --out old.bmp";
    QTest::newRow("a folder spelt twice") << QStringList{"--out", "sub/../x.bmp", "--pdf", "x.bmp"}
                                          << "--out sub/../x.bmp and --pdf x.bmp";
    QTest::newRow("standard output twice") << QStringList{"--text", "-", "--out", "/dev/stdout"}
                                           << "--text - and --out /dev/stdout";
    QTest::newRow("the same names in a batch") << QStringList{"--count", "2", "--out", "a.bmp", "--text", "a.bmp"}
                                               << "--text a-1.bmp and --out a-1.bmp";
    QTest::newRow("a key and a file") << QStringList{"--answer-key", "--text", "m.svg", "--out", "m-solution.svg"}
                                      << "--answer-key --text m-solution.svg and --out m-solution.svg";
    QTest::newRow("the matte and a maze") << QStringList{"--shape", "ring", "--save-matte", "x.png", "--out", "./x.png"}
                                          << "--save-matte x.png and --out ./x.png";
}

// Refused before a maze is carved, with nothing written.
void TestCommandLine::twoOutputsToOneFileAreRefused()
{
    QFETCH(QStringList, outputs);
    QFETCH(QString, message);
    const QString folder = freshFolder(dir, "twice");
    QVERIFY(support::writeFile(folder + "/old.bmp", "old"));
    QVERIFY(QFile::link("old.bmp", folder + "/link.txt"));
    QVERIFY(QDir(folder).mkdir("sub"));
    const Run run = generate(QStringList{"--width", "5", "--height", "5"} + outputs, folder);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("corvanthel: " + message + " name the same file"), qPrintable(run.err));
    QVERIFY2(!run.err.contains("Nodes drawn"), qPrintable(run.err));
    QCOMPARE(support::entries(folder), QStringList({"link.txt", "old.bmp", "sub"}));
    QCOMPARE(readAll(folder + "/old.bmp"), QByteArray("old"));
}

void TestCommandLine::oldFilesOutliveRefusals_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"text", "monochrome", "colour", "pdf"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// Replacing a file of each kind: a 0600 file stays private; a 0444 file (to a user who may not
// write it), a full disk and a dangling link are refused, with the old file whole, nothing left
// beside it and a message that names the file and the cause.
void TestCommandLine::oldFilesOutliveRefusals()
{
    QFETCH(QString, kind);
    const QString folder = freshFolder(dir, "old-" + kind);
    const QString name = outputName(kind, "maze"), file = folder + "/" + name;
    const auto write = [&](const QString &cells, const Start &start = {}) {
        return generate(QStringList{"--width", cells, "--height", cells, "--seed", "4"} + outputArguments(kind, "maze"),
                        folder, start);
    };
    QVERIFY(support::writeFile(file, "old"));
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    Run run = write("6");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(QFileInfo(file).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QVERIFY(QFileInfo(file).size() > 3);

    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    QVERIFY(support::writeFile(file, "old"));
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    run = write("6", asNobody());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write " + name + ": the file is read-only (Permission denied)"), qPrintable(run.err));
    QCOMPARE(readAll(file), QByteArray("old"));
    QCOMPARE(support::entries(folder), QStringList({name}));

    // Every write, flush and sync is checked.
    const QByteArray old(30000, 'o');
    QVERIFY(QFile::remove(file));
    QVERIFY(support::writeFile(file, old));
    run = write("200", limited(RLIMIT_FSIZE, 40000));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("corvanthel: cannot write " + name + ": File too large"), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readAll(file), old);
    QCOMPARE(support::entries(folder), QStringList({name}));

    QVERIFY(QFile::remove(file));
    QVERIFY(QFile::link("gone/maze", file));
    run = write("5");
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write " + name + ": it is a symbolic link to gone/maze, which does not exist"),
             qPrintable(run.err));
    QCOMPARE(support::entries(folder), QStringList({name}));
}

// The case as found: a PDF on a full 1 MB disk (600 x 600 cells: drawn as shapes, 400 x 400
// now fit). Mounting needs the administrator's rights.
void TestCommandLine::aRealFullDiskKeepsTheOldPdf()
{
    const QString folder = freshFolder(dir, "small");
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", folder});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
        QSKIP("cannot mount a 1 MB tmpfs here (needs root and mount rights); oldFilesOutliveRefusals stands in");
    const QStringList maze = {"--seed", "4", "--appearance", "thick", "--pdf", "m.pdf"};
    QCOMPARE(generate(QStringList{"--width", "40", "--height", "40"} + maze, folder).exitCode, 0);
    const QByteArray old = readAll(folder + "/m.pdf");
    const Run run = generate(QStringList{"--width", "600", "--height", "600"} + maze, folder);
    const QStringList left = support::entries(folder);
    const QByteArray kept = readAll(folder + "/m.pdf");
    QProcess::execute("umount", {folder});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write m.pdf: No space left on device"), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(kept, old);
    QVERIFY(old.trimmed().endsWith("%%EOF"));
    QCOMPARE(left, QStringList({"m.pdf"}));
}

// When a later output of the maze fails, the earlier ones are not replaced either.
void TestCommandLine::filesOfOneMazeAreAllOrNothing()
{
    const QString folder = freshFolder(dir, "together");
    const QStringList names = {"m-solution.bmp", "m-solution.txt", "m.bmp", "m.txt"};
    for (const QString &name : names)
        QVERIFY(support::writeFile(folder + "/" + name, "old " + name.toLatin1()));
    // The text and its key (14 kB each) fit under the limit, the bitmap (1.1 MB) does not:
    // neither the maze's files nor its keys replace theirs.
    const Run run = generate({"--width", "60", "--height", "60", "--text", "m.txt", "--out", "m.bmp", "--answer-key"},
                             folder, limited(RLIMIT_FSIZE, 100000));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write m.bmp: File too large"), qPrintable(run.err));
    for (const QString &name : names)
        QCOMPARE(readAll(folder + "/" + name), "old " + name.toLatin1());
    QCOMPARE(support::entries(folder), names);
}

void TestCommandLine::checksTheResultLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("result line") << QStringList{"--text", "result.txt"};
    QTest::newRow("JSON") << QStringList{"--text", "result.txt", "--json"};
    QTest::newRow("JSON alone") << QStringList{"--json"};
    QTest::newRow("a batch of jobs") << QStringList{"--text", "result.txt", "--count", "4", "--jobs", "2"};
}

// A result line that cannot be written is a failure.
void TestCommandLine::checksTheResultLine()
{
    QFETCH(QStringList, arguments);
    Start full;
    full.standardOutput = "/dev/full";
    const Run run = generate(QStringList{"--width", "5", "--height", "5"} + arguments, {}, full);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write the result line to standard output: No space left on device"),
             qPrintable(run.err));
}

// A monochrome poster larger than the disk is refused before it is carved, naming both sizes.
void TestCommandLine::refusesAStreamTheDiskCannotHold()
{
    const std::uint64_t bytes = 62 + std::uint64_t(36 * 32767) * ((36 * 32767 + 31) / 32 * 4);
    struct statvfs vfs {};
    QCOMPARE(::statvfs(dir.path().toLocal8Bit().constData(), &vfs), 0);
    if (std::uint64_t(vfs.f_bavail) * vfs.f_frsize >= bytes)
        QSKIP("this disk has room for a 174 GB bitmap");
    const Run run = generate({"--appearance", "plumbing", "--width", "16383", "--height", "16383", "--monochrome",
                              "--out", "poster.bmp"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write poster.bmp: it needs 173,936,148,686 bytes and only "), qPrintable(run.err));
    QVERIFY(run.err.contains(" bytes are free on its disk"));
    QVERIFY2(!run.err.contains("Generating"), qPrintable(run.err));
    QVERIFY(!QFile::exists(path("poster.bmp")));
}

void TestCommandLine::pdfsAreMadeOrRefusedUnderAMemoryLimit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("4000 x 4000 under 2 GB") << QStringList{"--width", "4000", "--height", "4000"} << 2000
                                            << "corvanthel: a PDF page of 4000 x 4000 cells needs about .* the largest "
                                               "that fits has about .* make larger mazes with --monochrome";
    // An answer key's page holds its line as well: a long maze whose line runs through most of
    // its cells, under limits about where the key page stops fitting.
    for (const int megabytes : {280, 290, 300, 310, 330})
        QTest::addRow("a long key page under %d MB", megabytes)
            << QStringList{"--width", "16383", "--height", "20", "--answer-key"} << megabytes << " needs about ";
}

// Under an address-space limit a PDF is made or refused with a message, never ended by the allocator.
void TestCommandLine::pdfsAreMadeOrRefusedUnderAMemoryLimit()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer's shadow memory alone is larger than these address-space limits");
#endif
    QFETCH(QStringList, arguments);
    QFETCH(int, megabytes);
    QFETCH(QString, refusal);
    const QString folder = freshFolder(dir, "memory");
    const Run run = generate(arguments + QStringList{"--seed", "3", "--pdf", "big.pdf"}, folder,
                             limited(RLIMIT_AS, rlim_t(megabytes) * 1000000));
    QVERIFY2(run.exitCode == 0 || run.exitCode == 1, qPrintable(run.err));
    if (run.exitCode == 0) {
        QVERIFY(readAll(folder + "/big.pdf").startsWith("%PDF"));
        return;
    }
    QVERIFY2(run.err.contains(QRegularExpression(refusal)), qPrintable(run.err));
    QCOMPARE(support::entries(folder), QStringList());
}

// Running out of memory names the maze that needed it, not the allocator's exception.
void TestCommandLine::outOfMemorySaysWhat()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer's shadow memory alone is larger than the address-space limit");
#endif
    QVERIFY(savePicture(path("black64.png"), 64, 64, Qt::black));
    const Run run = generate({"--matte", "black64.png", "--width", "16383", "--height", "16383", "--start", "1,1",
                              "--finish", "2,1", "--text", "oom.txt"},
                             {}, limited(RLIMIT_AS, 800000000));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("corvanthel: out of memory: a maze of 16383 x 16383 cells"), qPrintable(run.err));
    QVERIFY(!QFile::exists(path("oom.txt")));
}

// With standard output closed, /dev/stdout names no file: it is refused, and the link in
// /dev is left alone.
void TestCommandLine::closedStandardOutputIsRefused()
{
    Start closed;
    closed.child = [] { ::close(STDOUT_FILENO); };
    const Run run = generate({"--width", "5", "--height", "5", "--text", "/dev/stdout"}, {}, closed);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write /dev/stdout: descriptor 1 is not open"), qPrintable(run.err));
    QVERIFY(QFileInfo("/dev/stdout").isSymLink());
}

void TestCommandLine::signalsLeaveNoTemporary_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("kind");
    for (const auto &[name, signal] : {std::pair{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}})
        for (const char *kind : {"text", "monochrome"})
            QTest::addRow("%s during %s", name, kind) << signal << QString::fromLatin1(kind);
}

// Caught while the file is being written (its descriptor open in the folder), the program
// ends by the signal and leaves the folder as it was.
void TestCommandLine::signalsLeaveNoTemporary()
{
    QFETCH(int, signal);
    QFETCH(QString, kind);
    const QString folder = freshFolder(dir, "signals");
    QVERIFY(support::writeFile(folder + "/old", "old"));
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const QStringList size = kind == "text" ? QStringList{"--width", "6000", "--height", "6000"}
                                            : QStringList{"--width", "4000", "--height", "4000", "--appearance", "thick"};
    process.start(QStringLiteral(CORVANTHEL_BINARY), QStringList{"generate", "--seed", "1"} + size + outputArguments(kind, "big"));
    QVERIFY(process.waitForStarted());
    const pid_t pid = pid_t(process.processId());
    QVERIFY(pid > 0);
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    bool writing = false;
    while (!writing && !process.waitForFinished(0)) {
        DIR *open = ::opendir(QFile::encodeName(fds).constData());
        while (dirent *fd = open ? ::readdir(open) : nullptr) {
            char target[4096];
            const QByteArray link = QFile::encodeName(fds) + "/" + fd->d_name;
            const ssize_t n = ::readlink(link.constData(), target, sizeof target);
            writing = writing || (n > 0 && QFile::decodeName(QByteArray(target, n)).startsWith(folder + "/"));
        }
        if (open)
            ::closedir(open);
        if (!writing)
            QThread::usleep(200);
    }
    QVERIFY2(writing, "the program ended before it wrote");
    QCOMPARE(::kill(pid, signal), 0);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(support::entries(folder), QStringList({"old"}));
    QCOMPARE(readAll(folder + "/old"), QByteArray("old"));
}

void TestCommandLine::runsWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QStringList generate = {"generate", "--width", "5", "--height", "5", "--text", "headless.txt"};
    QTest::newRow("generate, xcb, no DISPLAY") << generate << "" << 0 << "headless.txt: seed " << "";
    QTest::newRow("generate, xcb, a display nobody serves") << generate << ":4711" << 0 << "headless.txt: seed " << "";
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << "corvanthel generate" << "";
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0
                               << QStringLiteral("corvanthel %1.%2\n").arg(CORVANTHEL_VERSION_MAJOR).arg(CORVANTHEL_VERSION_MINOR)
                               << "";
    QTest::newRow("a usage error") << QStringList{"generate", "--width"} << "" << 2 << "" << "corvanthel: ";
    QTest::newRow("the window, no DISPLAY")
        << QStringList() << "" << 1 << "" << "corvanthel: no display to open the window on (DISPLAY is not set)";
    QTest::newRow("the window, a display nobody serves")
        << QStringList() << ":4711" << 1 << "" << "corvanthel: cannot open the window: could not connect to display :4711";
}

// Whatever QT_QPA_PLATFORM says, the command line needs no display, and the window without one
// says so and exits 1 rather than aborting.
void TestCommandLine::runsWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    Start start;
    start.environment = {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}};
    const Run run = corvanthel(arguments, dir.path(), start);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(err.isEmpty() || run.err.startsWith(err), qPrintable(run.err));
}

void TestCommandLine::damagedPicturesAreRefused_data()
{
    QTest::addColumn<QString>("picture");
    for (const QString &name : QDir(CORVANTHEL_PICTURES).entryList({"ok*", "bad-*"}, QDir::Files))
        QTest::newRow(qPrintable(name)) << name;
    QVERIFY(QDir(CORVANTHEL_PICTURES).entryList({"bad-*"}).size() >= 18);
}

// A damaged picture is refused, the same way each time; a sound one makes the same maze each time.
void TestCommandLine::damagedPicturesAreRefused()
{
    QFETCH(QString, picture);
    const QString folder = freshFolder(dir, "pictures");
    QVERIFY(QFile::copy(QDir(CORVANTHEL_PICTURES).filePath(picture), folder + "/" + picture));
    // The dark disc of every sound picture covers cells 5,5 and 6,5.
    const QStringList maze = {"--matte", picture, "--width", "10", "--height", "10", "--start", "5,5", "--finish", "6,5",
                              "--seed", "3"};
    const Run first = generate(maze + QStringList{"--text", "first.txt"}, folder);
    const Run second = generate(maze + QStringList{"--text", "second.txt"}, folder);
    if (picture.startsWith("bad-")) {
        QCOMPARE(first.exitCode, 1);
        QVERIFY2(first.err.startsWith("corvanthel: the picture " + picture + " is damaged or incomplete"), qPrintable(first.err));
        QCOMPARE(second.err, first.err);
        QCOMPARE(support::entries(folder), QStringList({picture}));
        return;
    }
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(readAll(folder + "/second.txt"), readAll(folder + "/first.txt"));
}

// Each reason a picture cannot be read is named, with the file as given.
void TestCommandLine::unreadablePicturesSayWhy()
{
    const QString folder = freshFolder(dir, "unreadable");
    QVERIFY(QDir(folder).mkdir("folder"));
    QVERIFY(QFile::link("loop-b", folder + "/loop-a"));
    QVERIFY(QFile::link("loop-a", folder + "/loop-b"));
    QImage huge(6000, 6000, QImage::Format_Mono);
    huge.fill(0);
    QVERIFY(huge.save(folder + "/huge.bmp"));
    QVERIFY(support::writeFile(folder + "/secret.png", readAll(QDir(CORVANTHEL_PICTURES).filePath("ok.png"))));
    QCOMPARE(::chmod((folder + "/secret.png").toLocal8Bit().constData(), 0), 0);
    QVERIFY(support::writeFile(folder + "/notes.txt", "Eggs, milk, a new maze book"));
    QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
    const QList<std::pair<QString, QString>> cases = {
        {"folder", "cannot read folder: it is a folder, not a picture"},
        {"folder/", "cannot read folder/: the name ends with '/', so it names a folder, not a picture"},
        {"loop-a", "cannot read loop-a: its symbolic links form a loop"},
        {"missing.png", "cannot read missing.png: No such file or directory"},
        {"huge.bmp", "the picture huge.bmp is too large: 6000 x 6000 pixels, and a picture may take at most 128 MB"},
        {"secret.png", "cannot read secret.png: Permission denied"},
        {"notes.txt", "cannot read notes.txt: it is not a picture in a format this program reads (BMP, "},
    };
    for (const auto &[picture, message] : cases) {
        const Run run = generate({"--matte", picture, "--start", "1,1", "--finish", "2,2", "--text", "t"}, folder,
                                 picture == "secret.png" ? asNobody() : Start());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith("corvanthel: " + message), qPrintable(run.err));
    }
}

namespace {

/// The cells a maze's text shows carved, and its start and finish, 0-based.
struct TextCells {
    CellMap carved;
    MatteCell start, finish;
};

TextCells textCells(const QString &file)
{
    const text_oracle::TextMaze maze(readAll(file).toStdString());
    TextCells t{CellMap(maze.cols(), maze.cellRows()), {}, {}};
    for (int j = 0; j < maze.cellRows(); ++j)
        for (int i = 0; i < maze.cols(); ++i) {
            t.carved.set(i, j, maze.cellOpen(i, j));
            const char c = maze.at(2 * i + 1, 2 * j + 1);
            if (c == 'S')
                t.start = {i, j};
            if (c == 'F')
                t.finish = {i, j};
        }
    return t;
}

/// Cells joined left, right, up and down to `from`, through true cells.
CellMap joinedTo(const CellMap &cells, MatteCell from)
{
    CellMap seen(cells.cols(), cells.rows());
    std::vector<MatteCell> todo{from};
    seen.set(from.cx, from.cy);
    while (!todo.empty()) {
        const MatteCell c = todo.back();
        todo.pop_back();
        for (const MatteCell n : {MatteCell{c.cx + 1, c.cy}, {c.cx - 1, c.cy}, {c.cx, c.cy + 1}, {c.cx, c.cy - 1}})
            if (cells.contains(n) && cells.at(n) && !seen.at(n))
                seen.set(n.cx, n.cy), todo.push_back(n);
    }
    return seen;
}

QString cellText(MatteCell c)
{
    return QStringLiteral("%1,%2").arg(c.cx + 1).arg(c.cy + 1);
}

} // namespace

void TestCommandLine::shapesMakeTheirMatte_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<MatteShape>("shape");
    for (const params::Choice &c : MatteShapes)
        QTest::newRow(c.caption) << QString::fromLatin1(c.caption).toLower() << MatteShape(c.value);
}

void TestCommandLine::shapesMakeTheirMatte()
{
    QFETCH(QString, name);
    QFETCH(MatteShape, shape);
    const Run run = generate({"--shape", name, "--width", "31", "--height", "23", "--seed", "4", "--text", name + ".txt"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // The maze fills the shape's region that holds the points, which lie as far apart
    // as the shape allows; the islands a shape leaves at its outline are left out.
    const CellMap paper = paper_outside(shape_cells(shape, 31, 23));
    const FarPoints far = far_apart_points(paper);
    const TextCells made = textCells(path(name + ".txt"));
    QCOMPARE(made.start, far.start);
    QCOMPARE(made.finish, far.finish);
    QCOMPARE(made.carved, joinedTo(paper_outside(paper), far.start));
}

// The maze is the word's one region, its points at the far ends, as the matte keeps them.
void TestCommandLine::wordsMakeTheirMatte()
{
    const Run run = generate({"--shape-text", "Ida", "--width", "60", "--height", "24", "--seed", "2", "--text",
                              "ida.txt", "--save-matte", "ida.png"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const TextCells made = textCells(path("ida.txt"));
    QCOMPARE(joinedTo(made.carved, made.start), made.carved);
    QVERIFY(made.carved.count() > 300);
    QString error;
    const QImage matte = load_matte_picture(path("ida.png"), &error);
    QVERIFY2(!matte.isNull(), qPrintable(error));
    QCOMPARE(paper_outside(sample_matte_picture(matte, 60, 24)), made.carved);
    const FarPoints far = far_apart_points(sample_matte_picture(matte, 60, 24));
    QCOMPARE(made.start, far.start);
    QCOMPARE(made.finish, far.finish);
    // The "I" on the left and the "a" on the right: the points lie at the word's two ends.
    QVERIFY(std::min(made.start.cx, made.finish.cx) < 15);
    QVERIFY(std::max(made.start.cx, made.finish.cx) > 35);
}

void TestCommandLine::pointsNotGivenAreChosenFarApart()
{
    // A dark U on white paper: its far ends are the tips of the U, the way round the bottom.
    QVERIFY(savePicture(path("u.png"), 30, 20, Qt::white, [](QPainter &painter) {
        painter.fillRect(2, 2, 6, 16, Qt::black);
        painter.fillRect(2, 12, 26, 6, Qt::black);
        painter.fillRect(22, 2, 6, 16, Qt::black);
    }));
    const CellMap paper = sample_matte_picture(load_matte_picture(path("u.png")), 30, 20);
    const auto make = [&](const QStringList &points, const QString &text) {
        return generate(QStringList{"--matte", "u.png", "--width", "30", "--height", "20", "--seed", "1", "--text", text}
                        + points);
    };
    // Neither given: both, as far apart as the U allows.
    Run run = make({}, "both.txt");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const FarPoints far = far_apart_points(paper);
    TextCells made = textCells(path("both.txt"));
    QCOMPARE(made.start, far.start);
    QCOMPARE(made.finish, far.finish);
    QVERIFY(far.steps > 40);
    // One given: the other is the cell farthest from it.
    run = make({"--start", "25,4"}, "start.txt");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    made = textCells(path("start.txt"));
    QCOMPARE(made.start, (MatteCell{24, 3}));
    QCOMPARE(made.finish, farthest_cell(paper, {24, 3}).cell);
    QVERIFY(made.finish.cx < 8);
    run = make({"--finish", "4,17"}, "finish.txt");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    made = textCells(path("finish.txt"));
    QCOMPARE(made.finish, (MatteCell{3, 16}));
    QCOMPARE(made.start, farthest_cell(paper, {3, 16}).cell);
    // A given point on paper is refused as such.
    run = make({"--start", "15,3"}, "paper.txt");
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "corvanthel: the start cell 15,3 is paper, outside the maze's shape\n");
}

void TestCommandLine::savedMattesKeepTheirPoints()
{
    // Alone, --save-matte makes the matte and no maze.
    Run run = generate({"--shape", "star", "--width", "40", "--height", "30", "--save-matte", "star.png"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const CellMap inside = shape_cells(MatteShape::Star, 40, 30);
    const FarPoints far = far_apart_points(paper_outside(inside));
    QCOMPARE(run.out, QStringLiteral("star.png: matte of 40 x 30 cells, start %1, finish %2\n")
                          .arg(cellText(far.start), cellText(far.finish)));
    QCOMPARE(run.err, QString());
    // Another program reads it as one pixel a cell: the star dark, the start green, the finish red.
    const QImage read = decodeWithImageMagick(path("star.png"));
    QCOMPARE(read.size(), QSize(40, 30));
    const CellMap used = joinedTo(inside, far.start);
    for (int cy = 0; cy < 30; ++cy)
        for (int cx = 0; cx < 40; ++cx) {
            const QRgb expected = MatteCell{cx, cy} == far.start    ? qRgb(0, 255, 0)
                                  : MatteCell{cx, cy} == far.finish ? qRgb(255, 0, 0)
                                  : used.at(cx, cy)                 ? qRgb(0, 0, 0)
                                                                    : qRgb(255, 255, 255);
            if (read.pixel(cx, cy) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(cx).arg(cy)));
        }
    // The editor's import finds the points in it, at this size and at another.
    const QImage matte = load_matte_picture(path("star.png"));
    QCOMPARE(matte_picture_point(matte, MatteStartKey, 40, 30), far.start);
    QCOMPARE(matte_picture_point(matte, MatteFinishKey, 40, 30), far.finish);

    // As --matte, leaving out unused areas as --shape does, it makes the very maze --shape
    // makes from the same seed; points given on the command line win over the saved ones.
    const QStringList size = {"--width", "40", "--height", "30"};
    QCOMPARE(generate(size + QStringList{"--shape", "star", "--seed", "9", "--text", "shape.txt"}).exitCode, 0);
    QCOMPARE(generate(size + QStringList{"--matte", "star.png", "--seed", "9", "--text", "saved.txt", "--remove-unused"})
                 .exitCode,
             0);
    QCOMPARE(readAll(path("saved.txt")), readAll(path("shape.txt")));
    QCOMPARE(generate(size + QStringList{"--matte", "star.png", "--finish", cellText(far.start), "--text", "given.txt"})
                 .exitCode,
             0);
    QCOMPARE(textCells(path("given.txt")).finish, far.start);

    // On standard output, the matte's line goes to standard error.
    run = generate({"--shape", "ring", "--width", "9", "--height", "9", "--save-matte", "-", "--text", "ring.txt"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.startsWith("\x89PNG") || run.out.startsWith(QString::fromLocal8Bit("\x89PNG")));
    QVERIFY2(run.err.contains("-: matte of 9 x 9 cells"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"

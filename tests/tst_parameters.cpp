#include "maze/parameters.h"
#include "maze/state.h"
#include "render/tiles.h"

#include <QtTest>

#include <utility>

using params::AppearanceChoice;
using params::Choices;
using params::DifficultyChoice;
using params::MazeTypeChoice;
using params::RunStyleChoice;

namespace {

/// The fields apply_choices writes, with what the start-up choices give.
struct Applied {
    qint64 GridWidth = 101;
    qint64 GridHeight = 141;
    int MazeType = TopLeftToBottomRight;
    int RunLength = 3;
    int RunBias = 0;
    bool RandomRun = false;
    int MazeStyle = 1;
    bool CityPlan = false;
    float LoopChance = 0.0f;
    bool Harder = false;
};

// A previous Generate's tile set, City plan must keep it; no appearance has this
// number, so keeping it cannot pass for setting it.
constexpr int PreviousStyle = 42;

} // namespace

Q_DECLARE_METATYPE(Choices)
Q_DECLARE_METATYPE(Applied)

class TestParameters : public QObject {
    Q_OBJECT
private slots:
    void choicesApplyToTheState_data();
    void choicesApplyToTheState();
    void leadingNumbers_data();
    void leadingNumbers();
    void sizeChecks();
};

void TestParameters::choicesApplyToTheState_data()
{
    QTest::addColumn<Choices>("choices");
    QTest::addColumn<Applied>("applied");
    QTest::newRow("start-up values") << Choices{} << Applied{};
    QTest::newRow("7.9 x -2 cells truncate") << Choices{.widthCells = 7.9, .heightCells = -2}
                                             << Applied{.GridWidth = 15, .GridHeight = -3};
    QTest::newRow("Grid") << Choices{.type = MazeTypeChoice::Grid} << Applied{.MazeType = GridMaze};
    QTest::newRow("Custom (using matte)") << Choices{.type = MazeTypeChoice::CustomMatte}
                                          << Applied{.MazeType = CustomMatte};

    // Each rule of the slider table where it first applies.
    for (const auto &[position, runLength] : {std::pair{0, 0}, {4, 8}, {7, 18}, {9, 32}, {10, 54}})
        QTest::newRow(qPrintable(QStringLiteral("slider %1").arg(position)))
            << Choices{.runSlider = position} << Applied{.RunLength = runLength};

    QTest::newRow("Horizontal bias") << Choices{.runStyle = RunStyleChoice::HorizontalBias} << Applied{.RunBias = 1};
    QTest::newRow("Vertical bias") << Choices{.runStyle = RunStyleChoice::VerticalBias} << Applied{.RunBias = 2};
    QTest::newRow("Random run") << Choices{.runStyle = RunStyleChoice::RandomRun} << Applied{.RandomRun = true};

    // Each appearance draws with the tile set of its own name.
    for (std::size_t a = 0; a + 1 < params::Appearances.size(); ++a) {
        int style = 0;
        while (style < tiles::SetCount && QByteArray(tiles::tile_set(style).name) != params::Appearances[a].caption)
            ++style;
        QTest::newRow(params::Appearances[a].caption) << Choices{.appearance = AppearanceChoice(a)} << Applied{.MazeStyle = style};
    }
    QTest::newRow("City plan keeps the previous tile set") << Choices{.appearance = AppearanceChoice::CityPlan}
                                                           << Applied{.MazeStyle = PreviousStyle, .CityPlan = true};

    QTest::newRow("loops at the default 10%") << Choices{.loops = true} << Applied{.LoopChance = 2.5f};
    QTest::newRow("loops at 100%") << Choices{.loops = true, .loopPercent = 100} << Applied{.LoopChance = 25.0f};
    QTest::newRow("loops off ignore the percentage") << Choices{.loopPercent = 100} << Applied{};
    QTest::newRow("negative percentage") << Choices{.loops = true, .loopPercent = -8} << Applied{.LoopChance = -2.0f};
    QTest::newRow("Harder (slower)") << Choices{.difficulty = DifficultyChoice::Harder} << Applied{.Harder = true};
}

void TestParameters::choicesApplyToTheState()
{
    QFETCH(Choices, choices);
    QFETCH(Applied, applied);
    // What a previous Generate left: every field must be written, none merely added to.
    MazeState s;
    s.GridWidth = s.GridHeight = 999;
    s.MazeType = GridMaze;
    s.RunLength = 77;
    s.RunBias = 2;
    s.RandomRun = true;
    s.MazeStyle = PreviousStyle;
    s.CityPlan = true;
    s.LoopChance = 7.0f;
    s.Harder = true;

    params::apply_choices(choices, s);
    QCOMPARE(s.GridWidth, applied.GridWidth);
    QCOMPARE(s.GridHeight, applied.GridHeight);
    QCOMPARE(int(s.MazeType), applied.MazeType);
    QCOMPARE(int(s.RunLength), applied.RunLength);
    QCOMPARE(int(s.RunBias), applied.RunBias);
    QCOMPARE(s.RandomRun, applied.RandomRun);
    QCOMPARE(int(s.MazeStyle), applied.MazeStyle);
    QCOMPARE(s.CityPlan, applied.CityPlan);
    QCOMPARE(s.LoopChance, applied.LoopChance);
    QCOMPARE(s.Harder, applied.Harder);
}

void TestParameters::leadingNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("nodes");
    QTest::newRow("12") << "12" << qint64(25);
    QTest::newRow("7.9 truncates") << "7.9" << qint64(15);
    QTest::newRow("-2") << "-2" << qint64(-3);
    QTest::newRow("-2.5 rounds down") << "-2.5" << qint64(-5);
    QTest::newRow("empty") << "" << qint64(1);
    QTest::newRow("letters") << "abc" << qint64(1);
    QTest::newRow("leading part") << "12abc" << qint64(25);
    QTest::newRow("blank first") << "  30" << qint64(61);
    QTest::newRow("huge is held, not wrapped") << "99999999999" << qint64(199999999999);
}

void TestParameters::leadingNumbers()
{
    QFETCH(QString, text);
    QFETCH(qint64, nodes);
    const std::string utf8 = text.toStdString();
    QCOMPARE(params::node_count(params::leading_number(utf8)), nodes);
}

void TestParameters::sizeChecks()
{
    QVERIFY(!params::check_size(TopLeftToBottomRight, 101, 141));
    QCOMPARE(params::check_size(TopLeftToBottomRight, 7, 141)->minimumCells, 4);
    QCOMPARE(params::check_size(GridMaze, 13, 141)->message, "Sorry, grid mazes must be at least 7 x 7.");
    QVERIFY(!params::check_size(GridMaze, 15, 15));
    QVERIFY(!params::check_size(CustomMatte, 3, 3));
    QVERIFY(!params::check_size(TopLeftToBottomRight, 32767, 32767));
    QVERIFY(params::check_size(TopLeftToBottomRight, 32769, 101));
    QVERIFY(params::check_size(CustomMatte, 101, 199999999999));
}

QTEST_APPLESS_MAIN(TestParameters)
#include "tst_parameters.moc"

#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/shapes.h"
#include "matte/word_matte.h"
#include "tests/matte_maze.h"

#include <QtTest>
#include <QFontDatabase>
#include <QPainterPath>

Q_DECLARE_METATYPE(WordRefusal)

namespace {

/// The word drawn by Qt's own text layout in DejaVu Sans Bold, its ink box fitted to the
/// same cells as word_matte fits it: a second opinion on which cells are letters.
CellMap drawnByQt(const QString &word, int cols, int rows)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(WordFontFile));
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setBold(true);
    font.setPixelSize(2048);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    QPainterPath path;
    path.addText(0, 0, font, word);
    path.setFillRule(Qt::WindingFill);
    const QRectF ink = path.boundingRect();
    const double scale = std::min(cols / ink.width(), rows / ink.height());
    const QPointF margin((cols - ink.width() * scale) / 2, (rows - ink.height() * scale) / 2);
    CellMap cells(cols, rows);
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            cells.set(cx, cy, path.contains((QPointF(cx + 0.5, cy + 0.5) - margin) / scale + ink.topLeft()));
    return cells;
}

} // namespace

class TestWordMatte : public QObject {
    Q_OBJECT
private slots:
    void wordsMakeOneMazeThroughEveryLetter_data();
    void wordsMakeOneMazeThroughEveryLetter();
    void strokesAreTwoCellsThick_data();
    void strokesAreTwoCellsThick();
    void refusals_data();
    void refusals();
};

void TestWordMatte::wordsMakeOneMazeThroughEveryLetter_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QSize>("size");
    QTest::newRow("two letters") << "Jo" << QSize(40, 30);
    QTest::newRow("five letters") << "EMILY" << QSize(80, 30);
    QTest::newRow("five letters, dots and accents") << "Zoë Ji" << QSize(90, 25);
    QTest::newRow("ANNA") << "ANNA" << QSize(60, 20);
    QTest::newRow("Max, square") << "Max" << QSize(40, 40);
    QTest::newRow("Wolfgang") << "Wolfgang" << QSize(120, 30);
}

void TestWordMatte::wordsMakeOneMazeThroughEveryLetter()
{
    QFETCH(QString, word);
    QFETCH(QSize, size);
    const int cols = size.width(), rows = size.height();
    const WordMatte w = word_matte(word, cols, rows);
    QVERIFY(w.ok());
    QCOMPARE(w.letters.size(), word.size() - word.count(u' '));
    // The same word makes the same cells every time.
    QCOMPARE(word_matte(word, cols, rows).inside, w.inside);
    // Drawn as Qt draws it, but for the joins and a few cells whose centres lie on an outline.
    const CellMap qt = drawnByQt(word, cols, rows);
    long long differ = 0;
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            differ += w.inside.at(cx, cy) != qt.at(cx, cy) && !w.joins.at(cx, cy);
    QVERIFY2(differ * 20 <= qint64(qt.count()), qPrintable(QStringLiteral("%1 of %2 cells differ").arg(differ).arg(qt.count())));

    FarPoints points;
    MatteVerdict verdict;
    const MazeState s = carvedInCells(w.inside, 3, points, verdict);
    QCOMPARE(verdict, MatteVerdict::Accepted);
    // The maze is the word, one perfect maze: every word cell carved, and nothing else.
    QCOMPARE(carvingFaults(s), QString());
    CellMap carved(cols, rows);
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            carved.set(cx, cy, s.grid.carved(2 * cx + 2, 2 * cy + 2));
    QCOMPARE(carved, w.inside);
    // Every letter has maze cells of its own, left to right.
    int lastLeft = -1;
    for (const QRect &letter : w.letters) {
        QVERIFY(QRect(0, 0, cols, rows).contains(letter));
        QVERIFY(letter.left() > lastLeft);
        lastLeft = letter.left();
        long long mazeCells = 0;
        for (int cy = letter.top(); cy <= letter.bottom(); ++cy)
            for (int cx = letter.left(); cx <= letter.right(); ++cx)
                mazeCells += carved.at(cx, cy);
        QVERIFY2(mazeCells >= 4, qPrintable(QStringLiteral("%1 cells in the letter at %2").arg(mazeCells).arg(letter.left())));
    }
    // The start and the finish lie in the first and the last letter.
    QVERIFY(w.letters.first().contains(points.start.cx, points.start.cy)
            || w.letters.first().contains(points.finish.cx, points.finish.cy));
    QVERIFY(w.letters.last().contains(points.start.cx, points.start.cy)
            || w.letters.last().contains(points.finish.cx, points.finish.cy));
}

void TestWordMatte::strokesAreTwoCellsThick_data()
{
    QTest::addColumn<QString>("word");
    for (const char *word : {"ANNA", "anna", "Wxyz", "KESZ", "Sophie", "Quentin", "ÉLODIE", "Bjørn", "&?%@"})
        QTest::newRow(word) << QString::fromUtf8(word);
}

void TestWordMatte::strokesAreTwoCellsThick()
{
    QFETCH(QString, word);
    // At the least size the word is drawn at, as a refusal names it.
    const WordMatte small = word_matte(word, 4, 4);
    QCOMPARE(small.refusal, WordRefusal::TooSmall);
    const int cols = small.needed.width(), rows = small.needed.height();
    const WordMatte w = word_matte(word, cols, rows);
    QVERIFY(w.ok());
    QVERIFY(!word_matte(word, cols - 1, rows - 1).ok());
    // No line of a letter is one cell thin: a letter cell has another beside it across
    // and another above or below it, unless a second cell either way would close a gap of
    // one cell (the eye of a small 'e'). The joins, one cell high or wide, are apart.
    const auto letter = [&](int x, int y) { return w.inside.contains(x, y) && w.inside.at(x, y) && !w.joins.at(x, y); };
    const auto closes = [&](int x, int y) { return !w.inside.contains(x, y) || letter(x, y); };
    QStringList thin;
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            if (!letter(cx, cy))
                continue;
            if (!(letter(cx - 1, cy) || letter(cx + 1, cy)) && !(closes(cx - 2, cy) && closes(cx + 2, cy)))
                thin << QStringLiteral("%1,%2 across").arg(cx).arg(cy);
            if (!(letter(cx, cy - 1) || letter(cx, cy + 1)) && !(closes(cx, cy - 2) && closes(cx, cy + 2)))
                thin << QStringLiteral("%1,%2 down").arg(cx).arg(cy);
        }
    QCOMPARE(thin.join(u' '), QString());
    QVERIFY(w.joins.count() < w.inside.count() / 10);
}

void TestWordMatte::refusals_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<WordRefusal>("refusal");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QSize>("needed");
    QTest::newRow("empty") << "  " << QSize(50, 50) << WordRefusal::NoLetters << "" << QSize();
    QTest::newRow("a letter the font lacks") << QString::fromUtf8("Li 名") << QSize(50, 50)
                                             << WordRefusal::MissingLetter << QString::fromUtf8("名") << QSize();
    QTest::newRow("a letter beyond 16 bits") << QString::fromUtf8("A\U00020000") << QSize(50, 50)
                                             << WordRefusal::MissingLetter << QString::fromUtf8("\U00020000") << QSize();
    // 45 x 10 is the least: there the letters stand 10 cells tall.
    QTest::newRow("too small") << "ANNA" << QSize(30, 8) << WordRefusal::TooSmall << "" << QSize(45, 10);
    QTest::newRow("too low") << "ANNA" << QSize(200, 9) << WordRefusal::TooSmall << "" << QSize(200, 10);
    // Lower-case letters are shorter: the same word needs more cells.
    QTest::newRow("lower case") << "anna" << QSize(46, 12) << WordRefusal::TooSmall << "" << QSize(48, 12);
    QTest::newRow("too narrow") << "Wolfgang" << QSize(20, 200) << WordRefusal::TooSmall << "" << QSize(69, 200);
}

void TestWordMatte::refusals()
{
    QFETCH(QString, word);
    QFETCH(QSize, size);
    QFETCH(WordRefusal, refusal);
    QFETCH(QString, missing);
    QFETCH(QSize, needed);
    const WordMatte w = word_matte(word, size.width(), size.height());
    QCOMPARE(w.refusal, refusal);
    QCOMPARE(w.missing, missing);
    QCOMPARE(w.needed, needed);
    QCOMPARE(w.inside.cols(), 0);
    if (refusal == WordRefusal::TooSmall) {
        // At the size named the word is drawn; a cell less both ways, it is not.
        QVERIFY(word_matte(word, needed.width(), needed.height()).ok());
        QCOMPARE(word_matte(word, needed.width() - 1, needed.height() - 1).refusal, WordRefusal::TooSmall);
    }
}

QTEST_MAIN(TestWordMatte)
#include "tst_word_matte.moc"

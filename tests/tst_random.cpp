#include "maze/random.h"

#include <QtTest>

#include <random>

/// The program's numbers are the standard engine's, drawn one at a time, copied or skipped.
class TestRandom : public QObject {
    Q_OBJECT
private slots:
    void drawsTheStandardSequence_data();
    void drawsTheStandardSequence();
    void skipsAndCopiesKeepThePlace();
};

void TestRandom::drawsTheStandardSequence_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("default seed") << quint32(5489);
    QTest::newRow("seed 0") << quint32(0);
    QTest::newRow("seed 1") << quint32(1);
    QTest::newRow("largest seed") << quint32(4294967295u);
    QTest::newRow("clock-like seed") << quint32(2718281828u);
}

void TestRandom::drawsTheStandardSequence()
{
    QFETCH(quint32, seed);
    std::mt19937 engine(seed);
    Random rng(seed);
    QCOMPARE(rng.currentSeed(), seed);
    // Several blocks, so that both halves of every block's making are crossed more than once.
    for (int i = 0; i < 5 * Random::BlockSize + 7; ++i) {
        const std::uint32_t expected = static_cast<std::uint32_t>(engine()) >> 8;
        if (i % 3 == 0) {
            const float r = rng.next();
            QCOMPARE(r, static_cast<float>(expected) / 16777216.0f);
            QVERIFY(r < 1.0f);
        } else {
            QCOMPARE(rng.nextBits(), expected);
        }
    }
    // Seeding again restarts the sequence.
    rng.seed(seed);
    engine.seed(seed);
    QCOMPARE(rng.nextBits(), static_cast<std::uint32_t>(engine()) >> 8);
}

void TestRandom::skipsAndCopiesKeepThePlace()
{
    // Skips within a block, up to its end, across one and across several blocks.
    for (const long long count : {0LL, 1LL, 622LL, 623LL, 624LL, 625LL, 2000LL}) {
        std::mt19937 engine(77);
        Random rng(77);
        rng.nextBits();
        engine();
        rng.skip(count);
        engine.discard(static_cast<unsigned long long>(count));
        QCOMPARE(rng.nextBits(), static_cast<std::uint32_t>(engine()) >> 8);
    }
    // A copy taken mid-block goes on exactly as the original.
    Random rng(9);
    rng.skip(300);
    Random copy = rng;
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(copy.nextBits(), rng.nextBits());
}

QTEST_APPLESS_MAIN(TestRandom)
#include "tst_random.moc"

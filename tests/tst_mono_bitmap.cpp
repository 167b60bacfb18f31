#include "tests/support.h"
#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/state.h"
#include "render/mono_bitmap.h"
#include "render/tiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cctype>
#include <csignal>
#include <set>
#include <stdexcept>
#include <sys/resource.h>

using namespace support;

namespace {

// Any width and height, nodes carved or blocked at random: every tile number occurs,
// lone posts and crosses included.
NodeGrid randomGrid(int gw, int gh, std::uint32_t seed)
{
    Random rng(seed);
    NodeGrid g;
    g.allocate(gw, gh);
    for (int y = 0; y <= gh; ++y)
        for (int x = 0; x <= gw; ++x) {
            const float r = rng.next();
            if (r < 0.3f)
                g.set(x, y, NodeGrid::Carved);
            else if (r < 0.4f)
                g.set(x, y, NodeGrid::Blocked);
        }
    return g;
}

} // namespace

class TestMonoBitmap : public QObject {
    Q_OBJECT
private slots:
    void init();
    void defaultGridHeader();
    void layout_data();
    void layout();
    void padBitsAndBytes_data();
    void padBitsAndBytes();
    void decodesToTheTileMasks_data();
    void decodesToTheTileMasks();
    void largestGridFitsThirtyTwoBits();
    void captions_data();
    void captions();
    void unwritableNamesTheFile_data();
    void unwritableNamesTheFile();
    void fullDisk();
    void failedWriteRemovesThePartialFile();
    void stopLeavesNothing();
    void replacesAnExistingFile();

private:
    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }
};

void TestMonoBitmap::init()
{
    QVERIFY(dir_.isValid());
    for (const QString &f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir_.filePath(f));
}

// The start-up grid in "Thin lines": every header field as the file format lays it out.
void TestMonoBitmap::defaultGridHeader()
{
    const MazeState s = framedMaze(101, 141, TopLeftToBottomRight);
    Progress quiet;
    QVERIFY(write_mono_bitmap(s.grid, 1, path("maze.bmp").toStdString(), quiet));
    QFile f(path("maze.bmp"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();

    QCOMPARE(b.size(), 45182);
    QCOMPARE(b.left(2), QByteArray("BM"));
    QCOMPARE(le32(b, 2), 45182u);
    QCOMPARE(le32(b, 6), 0u);
    QCOMPARE(le32(b, 10), 62u);
    QCOMPARE(le32(b, 14), 40u);
    QCOMPARE(le32(b, 18), 505u);
    QCOMPARE(le32(b, 22), 705u);
    QCOMPARE(le16(b, 26), 1u);
    QCOMPARE(le16(b, 28), 1u);
    QCOMPARE(le32(b, 30), 0u);
    QCOMPARE(le32(b, 34), 705u * 64u);
    for (int at = 38; at < 54; at += 4)
        QCOMPARE(le32(b, at), 0u);
    QCOMPARE(b.mid(54, 8), QByteArray("\0\0\0\0\xff\xff\xff\0", 8));
}

void TestMonoBitmap::layout_data()
{
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("rowBytes");
    QTest::newRow("101 x 141 Thin lines") << 101 << 141 << 1 << 64;
    QTest::newRow("101 x 141 Planks") << 101 << 141 << 9 << 456;       // 3636 bits
    QTest::newRow("width 32 bits exactly") << 8 << 3 << 0 << 4;         // Medium lines
    QTest::newRow("width 160 bits, no pad") << 32 << 5 << 1 << 20;
    QTest::newRow("one node") << 1 << 1 << 1 << 4;
}

void TestMonoBitmap::layout()
{
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(int, style);
    QFETCH(int, rowBytes);
    const NodeGrid g = randomGrid(gw, gh, 3);
    Progress quiet;
    QVERIFY(write_mono_bitmap(g, style, path("l.bmp").toStdString(), quiet));
    const tiles::TileSet &set = tiles::tile_set(style);
    QCOMPARE(QFileInfo(path("l.bmp")).size(), 62 + qint64(rowBytes) * set.height * gh);
    const MonoLayout l = mono_layout(gw, gh, set.width, set.height);
    QCOMPARE(l.width, std::uint32_t(set.width * gw));
    QCOMPARE(l.height, std::uint32_t(set.height * gh));
    QCOMPARE(l.rowBytes, std::uint32_t(rowBytes));
}

// Bits past the picture's width are white, and so are whole pad bytes up to a multiple
// of four; read straight from our file, since decoders drop them.
void TestMonoBitmap::padBitsAndBytes_data()
{
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("style");
    QTest::newRow("505 bits: 7 pad bits, no pad byte") << 101 << 1;
    QTest::newRow("15 bits: 1 pad bit, 2 pad bytes") << 3 << 1;
    QTest::newRow("40 bits: 3 pad bytes") << 10 << 0;
    QTest::newRow("252 bits: 4 pad bits") << 63 << 0;
    QTest::newRow("32 bits: nothing to pad") << 8 << 0;
}

void TestMonoBitmap::padBitsAndBytes()
{
    QFETCH(int, gw);
    QFETCH(int, style);
    // Nothing carved: wall everywhere.
    NodeGrid g;
    g.allocate(gw, 5);
    Progress quiet;
    QVERIFY(write_mono_bitmap(g, style, path("p.bmp").toStdString(), quiet));
    QFile f(path("p.bmp"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    const int width = int(le32(b, 18)), height = int(le32(b, 22));
    const int rowBytes = (width + 31) / 32 * 4;
    QCOMPARE(b.size(), 62 + rowBytes * height);
    bool inkSeen = false;
    for (int row = 0; row < height; ++row) {
        const char *r = b.constData() + 62 + row * rowBytes;
        for (int bit = 0; bit < rowBytes * 8; ++bit) {
            const bool white = (std::uint8_t(r[bit / 8]) >> (7 - bit % 8)) & 1;
            if (bit >= width)
                QVERIFY2(white, qPrintable(QString("row %1 pad bit %2").arg(row).arg(bit)));
            else
                inkSeen |= !white;
        }
    }
    QVERIFY(inkSeen);
}

void TestMonoBitmap::decodesToTheTileMasks_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("gw");
    QTest::addColumn<int>("gh");
    QTest::addColumn<bool>("framed");
    QTest::newRow("Thin lines, 101 x 141 maze") << 1 << 101 << 141 << true;
    QTest::newRow("Thin lines, random 33 x 17") << 1 << 33 << 17 << false;
    QTest::newRow("Medium lines, random 31 x 9") << 0 << 31 << 9 << false;
    QTest::newRow("Thick lines, random 21 x 11") << 7 << 21 << 11 << false;
    QTest::newRow("Shaded, random 25 x 13") << 8 << 25 << 13 << false;
    QTest::newRow("Double line, random 15 x 13") << 2 << 15 << 13 << false;
    QTest::newRow("Plumbing, 21 x 21 maze") << 5 << 21 << 21 << true;
    QTest::newRow("Tiny bricks, random 15 x 13") << 10 << 15 << 13 << false;
    QTest::newRow("Planks, random 15 x 13") << 9 << 15 << 13 << false;
}

// ImageMagick reads every file back; each pixel must be what the tile of its node
// shows, with only pure black as ink.
void TestMonoBitmap::decodesToTheTileMasks()
{
    QFETCH(int, style);
    QFETCH(int, gw);
    QFETCH(int, gh);
    QFETCH(bool, framed);
    const NodeGrid g = framed ? std::move(framedMaze(gw, gh, TopLeftToBottomRight).grid) : randomGrid(gw, gh, 11);
    Progress quiet;
    QVERIFY(write_mono_bitmap(g, style, path("d.bmp").toStdString(), quiet));

    const QImage d = decodeWithImageMagick(path("d.bmp"));
    const tiles::TileSet &set = tiles::tile_set(style);
    QCOMPARE(d.width(), set.width * gw);
    QCOMPARE(d.height(), set.height * gh);
    std::set<int> tilesSeen;
    for (int py = 0; py < d.height(); ++py)
        for (int px = 0; px < d.width(); ++px) {
            const int t = find_bitmap(g, px / set.width + 1, py / set.height + 1);
            tilesSeen.insert(t);
            const bool ink = t > 0 && set.shade(t, px % set.width, py % set.height) == tiles::Black;
            if ((d.pixel(px, py) == qRgb(0, 0, 0)) != ink)
                QFAIL(qPrintable(QString("pixel (%1, %2) of tile %3 differs").arg(px).arg(py).arg(t)));
        }
    if (!framed)
        QCOMPARE(int(tilesSeen.size()), 17);
}

// Past 32,767 pixels the sizes are plain 32-bit numbers; beyond 4 GiB the two size
// fields have no room and read 0.
void TestMonoBitmap::largestGridFitsThirtyTwoBits()
{
    const MonoLayout l = mono_layout(32767, 32767, 36, 36);
    QCOMPARE(l.width, 1179612u);
    QCOMPARE(l.rowBytes, 147452u);
    QCOMPARE(l.fileBytes, 62 + std::uint64_t(1179612) * 147452);
    const auto h = mono_header(l);
    const QByteArray b(reinterpret_cast<const char *>(h.data()), int(h.size()));
    QCOMPARE(le32(b, 18), 1179612u);
    QCOMPARE(le32(b, 22), 1179612u);
    QCOMPARE(le32(b, 2), 0u);
    QCOMPARE(le32(b, 34), 0u);

    const MonoLayout thin = mono_layout(32767, 32767, 5, 5);  // 3.4 GB still fits
    const auto t = mono_header(thin);
    const QByteArray tb(reinterpret_cast<const char *>(t.data()), int(t.size()));
    QCOMPARE(std::uint64_t(le32(tb, 2)), thin.fileBytes);
    QCOMPARE(le32(tb, 18), 163835u);
}

void TestMonoBitmap::captions_data()
{
    QTest::addColumn<int>("gh");
    QTest::addColumn<int>("last");
    QTest::newRow("141 rows") << 141 << 100;
    QTest::newRow("15 rows") << 15 << 94;
    QTest::newRow("1 row") << 1 << 0;
}

void TestMonoBitmap::captions()
{
    QFETCH(int, gh);
    QFETCH(int, last);
    const NodeGrid g = randomGrid(7, gh, 5);
    Recorder rec;
    QVERIFY(write_mono_bitmap(g, 1, path("c.bmp").toStdString(), rec));
    QCOMPARE(int(rec.captions.size()), gh);
    const QString prefix = "Rendering direct to disk - ";
    int previous = -1;
    for (const QString &text : rec.captions) {
        QVERIFY2(text.startsWith(prefix) && text.endsWith('%'), qPrintable(text));
        bool ok = false;
        const int n = text.mid(prefix.size()).chopped(1).toInt(&ok);
        QVERIFY2(ok && n >= previous && n <= 100, qPrintable(text));
        previous = n;
    }
    QCOMPARE(rec.captions.front(), prefix + "0%");
    QCOMPARE(rec.captions.back(), prefix + QString::number(last) + "%");
}

void TestMonoBitmap::unwritableNamesTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing folder") << "no such folder/maze.bmp" << "No such file or directory";
    QTest::newRow("a folder of that name") << "taken" << "Is a directory";
    QTest::newRow("inside a plain file") << "plain/maze.bmp" << "Not a directory";
}

void TestMonoBitmap::unwritableNamesTheFile()
{
    QFETCH(QString, name);
    QFETCH(QString, cause);
    QVERIFY(QDir(dir_.path()).mkpath("taken"));
    QFile plain(path("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const NodeGrid g = randomGrid(21, 21, 1);
    Progress quiet;
    const std::string target = path(name).toStdString();
    try {
        write_mono_bitmap(g, 1, target, quiet);
        QFAIL("no error");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString(e.what()), QString::fromStdString("cannot write " + target + ": ") + cause);
    }
    // Nothing but what the test made itself.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"plain", "taken"}));
    QVERIFY(QDir(path("taken")).isEmpty());
}

void TestMonoBitmap::fullDisk()
{
    const NodeGrid g = randomGrid(21, 21, 1);
    Progress quiet;
    try {
        write_mono_bitmap(g, 1, "/dev/full", quiet);
        QFAIL("no error");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString(e.what()), QString("cannot write /dev/full: No space left on device"));
    }
}

// The disk fills up half way (a file size limit stands in for it): the file under the
// user's name keeps its old contents and no partial file is left beside it.
void TestMonoBitmap::failedWriteRemovesThePartialFile()
{
    QFile old(path("maze.bmp"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old picture");
    old.close();

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto restore = qScopeGuard([&] {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    });

    const MazeState s = framedMaze(201, 201, TopLeftToBottomRight);  // 1005 x 1005 pixels, 128 kB
    Progress quiet;
    try {
        write_mono_bitmap(s.grid, 1, path("maze.bmp").toStdString(), quiet);
        QFAIL("no error");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString(e.what()), "cannot write " + path("maze.bmp") + ": File too large");
    }
    restore.dismiss();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"maze.bmp"}));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
}

void TestMonoBitmap::stopLeavesNothing()
{
    const NodeGrid g = randomGrid(41, 41, 2);
    Recorder rec;
    rec.stopAfter = 3;
    QVERIFY(!write_mono_bitmap(g, 1, path("stopped.bmp").toStdString(), rec));
    QCOMPARE(int(rec.captions.size()), 3);
    QVERIFY(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestMonoBitmap::replacesAnExistingFile()
{
    QFile old(path("maze.bmp"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    const NodeGrid g = randomGrid(11, 11, 4);
    Progress quiet;
    QVERIFY(write_mono_bitmap(g, 1, path("maze.bmp").toStdString(), quiet));
    QCOMPARE(QFileInfo(path("maze.bmp")).size(), qint64(62 + 8 * 55));
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"maze.bmp"}));
}

QTEST_GUILESS_MAIN(TestMonoBitmap)
#include "tst_mono_bitmap.moc"

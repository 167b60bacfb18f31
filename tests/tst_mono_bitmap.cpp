#include "tests/support.h"
#include "render/mono_bitmap.h"
#include "render/tiles.h"

#include <QtTest>

#include <algorithm>

using namespace support;

namespace {

// Nodes carved or blocked at random: every tile number occurs, lone posts and crosses included.
NodeGrid randomGrid(int gw, int gh)
{
    Random rng(11);
    NodeGrid g;
    g.allocate(gw, gh);
    for (int y = 0; y <= gh; ++y)
        for (int x = 0; x <= gw; ++x)
            if (const float r = rng.next(); r < 0.4f)
                g.set(x, y, r < 0.3f ? NodeGrid::Carved : NodeGrid::Blocked);
    return g;
}

// The 62-byte header the format prescribes: one bit a pixel, black then white.
QByteArray formatHeader(std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t image = (width + 31) / 32 * 4 * height;
    QByteArray h;
    QDataStream out(&h, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16('B' | 'M' << 8) << 62 + image << 0u << 62u << 40u << width << height << quint16(1) << quint16(1)
        << 0u << image << 0u << 0u << 0u << 0u;
    out.writeRawData("\0\0\0\0\xff\xff\xff\0", 8);
    return h;
}

} // namespace

class TestMonoBitmap : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(emptyFolder(dir_.path()));
        QVERIFY(writeFile(path("old.bmp"), oldPicture_));
    }

    void decodesToTheTileMasks_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("gw");
        QTest::addColumn<int>("gh");
        QTest::addColumn<bool>("framed");
        QTest::addColumn<int>("lastCaption");  // -1: not checked
        QTest::newRow("Thin lines, 101 x 141 maze: 7 pad bits") << 1 << 101 << 141 << true << 100;
        QTest::newRow("Thin lines, 3 wide: 1 pad bit, 2 pad bytes") << 1 << 3 << 41 << false << -1;
        QTest::newRow("Medium lines, 10 wide: 3 pad bytes") << 0 << 10 << 31 << false << -1;
        QTest::newRow("Medium lines, 8 wide: 32 bits, nothing to pad") << 0 << 8 << 31 << false << -1;
        QTest::newRow("Medium lines, 37 wide: 16 nodes at a time and 5 more") << 0 << 37 << 9 << false << -1;
        QTest::newRow("Thick lines, 21 wide") << 7 << 21 << 11 << false << -1;
        QTest::newRow("Shaded, 25 x 15") << 8 << 25 << 15 << false << 94;
        QTest::newRow("Plumbing, 21 x 21 maze") << 5 << 21 << 21 << true << -1;
        QTest::newRow("Planks, 101 wide: 4 pad bits, 1 pad byte") << 9 << 101 << 7 << false << -1;
        QTest::newRow("Tiny bricks, 9 wide: 4 pad bits") << 10 << 9 << 31 << false << -1;
    }

    // Replaces a longer file whole; pad bits are white (read raw: decoders drop them).
    void decodesToTheTileMasks()
    {
        QFETCH(int, style);
        QFETCH(int, gw);
        QFETCH(int, gh);
        QFETCH(bool, framed);
        QFETCH(int, lastCaption);
        const NodeGrid g = framed ? std::move(framedMaze(gw, gh, TopLeftToBottomRight).grid) : randomGrid(gw, gh);
        Recorder rec;
        QVERIFY(write_mono_bitmap(g, style, path("old.bmp").toStdString(), rec));
        QCOMPARE(entries(dir_.path()), QStringList({"old.bmp"}));
        const tiles::TileSet &set = tiles::tile_set(style);
        const int width = set.width * gw, height = set.height * gh, rowBytes = (width + 31) / 32 * 4;
        const QByteArray b = readAll(path("old.bmp"));
        QCOMPARE(b.size(), gw == 101 && gh == 141 ? 45182 : 62 + rowBytes * height);
        QCOMPARE(b.left(62), formatHeader(width, height));
        for (int row = 0; row < height; ++row)
            for (int bit = width; bit < rowBytes * 8; ++bit)
                if (!((std::uint8_t(b[62 + row * rowBytes + bit / 8]) >> (7 - bit % 8)) & 1))
                    QFAIL(qPrintable(QString("row %1 pad bit %2 is black").arg(row).arg(bit)));
        const QImage d = decodeWithImageMagick(path("old.bmp"));
        QCOMPARE(d.size(), QSize(width, height));
        QSet<int> tilesSeen;
        for (int py = 0; py < height; ++py)
            for (int px = 0; px < width; ++px) {
                const int t = find_bitmap(g, px / set.width + 1, py / set.height + 1);
                tilesSeen.insert(t);
                if ((d.pixel(px, py) == qRgb(0, 0, 0)) != (t > 0 && set.ink(t, px % set.width, py % set.height)))
                    QFAIL(qPrintable(QString("pixel (%1, %2) of tile %3 differs").arg(px).arg(py).arg(t)));
            }
        if (!framed)
            QCOMPARE(tilesSeen.size(), 17);
        QCOMPARE(rec.phases, QList<Phase>(gh, Phase::RenderingToDisk));
        QCOMPARE(rec.percents.front(), 0);
        QVERIFY(std::is_sorted(rec.percents.begin(), rec.percents.end()));
        QVERIFY(rec.percents.back() <= 100);
        if (lastCaption >= 0)
            QCOMPARE(rec.percents.back(), lastCaption);
    }

    void headerSizesBeyond4GiB_data()
    {
        QTest::addColumn<quint64>("fileBytes");
        QTest::addColumn<quint32>("fileField");
        QTest::addColumn<quint32>("imageField");
        const quint64 largest = mono_layout(32767, 32767, 36, 36).fileBytes;  // 174 GB
        QTest::newRow("largest grid in 36-pixel tiles") << largest << 0u << 0u;
        QTest::newRow("exactly 4 GiB") << (quint64(1) << 32) << 0u << 0u;
        QTest::newRow("a byte less: still fits") << quint64(0xFFFFFFFFu) << 0xFFFFFFFFu << 0xFFFFFFFFu - 62;
    }

    // Sizes that outgrow their 32-bit fields read 0 ("work it out"); width and height stay.
    void headerSizesBeyond4GiB()
    {
        QFETCH(quint64, fileBytes);
        QFETCH(quint32, fileField);
        QFETCH(quint32, imageField);
        const MonoLayout layout = mono_layout(32767, 32767, 36, 36);
        const auto header = mono_header({layout.width, layout.height, layout.rowBytes, fileBytes});
        const QByteArray h(reinterpret_cast<const char *>(header.data()), qsizetype(header.size()));
        QCOMPARE(le32(h, 2), fileField);
        QCOMPARE(le32(h, 34), imageField);
        QCOMPARE(le32(h, 18), 32767u * 36);
        QCOMPARE(le32(h, 22), 32767u * 36);
    }

    void failuresLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sizeLimit");  // bytes a file may grow to; 0 for no limit
        QTest::addColumn<QString>("cause");  // empty: stopped after three rows
        QTest::newRow("missing folder") << "no such folder/maze.bmp" << 0 << "No such file or directory";
        QTest::newRow("a folder of that name") << "taken" << 0 << "Is a directory";
        QTest::newRow("full disk") << "/dev/full" << 0 << "No space left on device";
        QTest::newRow("disk full half way") << "old.bmp" << 100000 << "File too large";
        QTest::newRow("stopped") << "stopped.bmp" << 0 << "";
    }

    // The old file stays intact and nothing is left; a size limit stands in for a full disk.
    void failuresLeaveNothingBehind()
    {
        QFETCH(QString, name);
        QFETCH(int, sizeLimit);
        QFETCH(QString, cause);
        QVERIFY(QDir(dir_.path()).mkpath("taken"));
        const MazeState s = framedMaze(201, 201, TopLeftToBottomRight);  // 128 kB
        Recorder rec;
        rec.stopAfter = cause.isEmpty() ? 3 : -1;
        bool written = false;
        const QString said = failureOnAFullDisk(sizeLimit > 0 ? rlim_t(sizeLimit) : RLIM_INFINITY,
                                                [&] { written = write_mono_bitmap(s.grid, 1, path(name).toStdString(), rec); });
        QVERIFY(!written);
        QCOMPARE(said, cause.isEmpty() ? QString() : "cannot write " + path(name) + ": " + cause);
        if (cause.isEmpty())
            QCOMPARE(rec.phases.size(), 3);
        QCOMPARE(entries(dir_.path()), QStringList({"old.bmp", "taken"}));
        QVERIFY(QDir(path("taken")).isEmpty());
        QCOMPARE(readAll(path("old.bmp")), oldPicture_);
    }

private:
    QTemporaryDir dir_;
    const QByteArray oldPicture_ = QByteArray(200000, 'x');
    QString path(const QString &name) const { return name.startsWith('/') ? name : dir_.filePath(name); }
};

QTEST_GUILESS_MAIN(TestMonoBitmap)
#include "tst_mono_bitmap.moc"

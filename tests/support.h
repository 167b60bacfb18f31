#pragma once

// What several test suites need alike: maze-like grids, a progress recorder, and
// pictures decoded by ImageMagick rather than by the program's own readers.

#include "maze/frame.h"
#include "maze/generation.h"
#include "maze/parameters.h"
#include "maze/progress.h"
#include "maze/solve.h"
#include "maze/state.h"
#include "render/tiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <csignal>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include <sys/resource.h>

namespace support {

/// The frame of a maze type, then every cell opened east or south at random, so that
/// walls of every shape occur.
inline MazeState framedMaze(int gw, int gh, std::uint8_t type, int style = 1, std::uint32_t seed = 17)
{
    MazeState s;
    s.GridWidth = gw;
    s.GridHeight = gh;
    s.MazeType = type;
    s.MazeStyle = static_cast<std::uint8_t>(style);
    s.rng.seed(seed);
    s.grid.allocate(gw, gh);
    make_frame(s);
    for (int y = 2; y < gh; y += 2)
        for (int x = 2; x < gw; x += 2) {
            if (s.grid.blocked(x, y))
                continue;
            s.grid.set(x, y, NodeGrid::Carved);
            if (x + 2 < gw && s.Rnd() < 0.5f)
                s.grid.set(x + 1, y, NodeGrid::Carved);
            else if (y + 2 < gh)
                s.grid.set(x, y + 1, NodeGrid::Carved);
        }
    return s;
}

/// The maze of `choices` and `seed` carved as Generate carves it, once `prepare` (a matte,
/// say) has had the state.
inline MazeState carvedMaze(const params::Choices &choices, std::uint32_t seed,
                            const std::function<void(MazeState &)> &prepare = {})
{
    MazeState s;
    params::apply_choices(choices, s);
    if (prepare)
        prepare(s);
    s.rng.seed(seed);
    allocate_arrays(s);
    Progress quiet;
    carve_maze(s, quiet);
    return s;
}

/// The maze of `choices` and `seed` carved as Generate carves it, then solved.
inline MazeState solvedMaze(const params::Choices &choices, std::uint32_t seed)
{
    MazeState s = carvedMaze(choices, seed);
    solve_maze(s);
    return s;
}

/// A data row a tile set, named after it, in the column "style".
inline void tileSetRows()
{
    QTest::addColumn<int>("style");
    for (int style = 0; style < tiles::SetCount; ++style)
        QTest::newRow(tiles::tile_set(style).name) << style;
}

/// The sequence seeded `seed` once City plan has drawn its slabs over `g`: four numbers a wall node.
inline Random afterCitySlabs(const NodeGrid &g, std::uint32_t seed)
{
    Random r(seed);
    for (int y = 1; y <= g.height(); ++y)
        for (int x = 1; x <= g.width(); ++x)
            if (find_bitmap(g, x, y) > 0)
                r.skip(4);
    return r;
}

/// Empties a folder, making it if need be.
inline bool emptyFolder(const QString &dir)
{
    return QDir(dir).removeRecursively() && QDir().mkpath(dir);
}

/// What `write` throws while no file may grow past `bytes`, as a full disk would stop it;
/// empty when it throws nothing.
inline QString failureOnAFullDisk(rlim_t bytes, const std::function<void()> &write)
{
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{bytes, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the test
    setrlimit(RLIMIT_FSIZE, &small);
    QString message;
    try {
        write();
    } catch (const std::runtime_error &e) {
        message = QString::fromStdString(e.what());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    return message;
}

/// Keeps every phase report; asks the routine to stop once it has made stopAfter.
class Recorder : public Progress {
public:
    void phase(Phase p, int percent) override
    {
        phases << p;
        percents << percent;
    }
    bool stopRequested() const override { return stopAfter >= 0 && phases.size() >= stopAfter; }
    QList<Phase> phases;
    QList<int> percents;
    int stopAfter = -1;
};

inline std::uint32_t le16(const QByteArray &b, int at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}

inline std::uint32_t le32(const QByteArray &b, int at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

/// Everything in a folder, hidden files, folders and dangling links included.
inline QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

/// The picture as ImageMagick decodes it, never through the program's own code.
/// Throws when ImageMagick is missing or cannot read the file.
inline QImage decodeWithImageMagick(const QString &path)
{
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty())
        throw std::runtime_error("ImageMagick's convert is missing: run scripts/install-deps.sh");
    QProcess p;
    p.start(convert, {path, "-depth", "8", "ppm:-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error("convert failed on " + path.toStdString() + ": " + p.readAllStandardError().toStdString());
    // ImageMagick has decoded it; Qt only unpacks the plain P6 samples.
    QImage image;
    if (!image.loadFromData(p.readAllStandardOutput(), "PPM"))
        throw std::runtime_error("convert did not write a P6 picture for " + path.toStdString());
    return image.convertToFormat(QImage::Format_RGB888);
}

/// How a run of a program ended, and what it said.
struct Run {
    int exitCode = -1;  // -1 when it crashed or did not finish
    QString out;
    QString err;
};

/// Runs `program` in `workingDirectory` and waits up to two minutes for it.
inline Run runProgram(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace support

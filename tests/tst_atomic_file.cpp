#include "render/atomic_file.h"
#include "tests/support.h"

#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

using support::entries;
using support::readAll;
using support::writeFile;

namespace {

/// What a writer did: "written", or the message it threw.
template <typename Body>
QString outcome(Body body)
{
    try {
        body();
        return QStringLiteral("written");
    } catch (const std::runtime_error &e) {
        return QString::fromLocal8Bit(e.what());
    }
}

void writeWhole(const QString &path, const QByteArray &bytes)
{
    AtomicFile file(path.toStdString());
    file.write(bytes.constData(), std::size_t(bytes.size()));
    file.commit();
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

/// Runs `body` in a child process, as the unprivileged user "nobody" when `asNobody`;
/// returns what it wrote to its pipe.
template <typename Body>
QString inChild(Body body, bool asNobody = false)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("no pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const QByteArray said = body().toLocal8Bit();
        const ssize_t n = ::write(channel[1], said.constData(), std::size_t(said.size()));
        ::_exit(n == said.size() ? 0 : 4);
    }
    ::close(channel[1]);
    QByteArray said;
    char block[4096];
    for (ssize_t n; (n = ::read(channel[0], block, sizeof block)) > 0;)
        said.append(block, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return QString::fromLocal8Bit(said);
}

} // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(support::emptyFolder(dir_.path()));
        QVERIFY(writeFile(path("old"), oldBytes_));
        AtomicFile::useNamedTemporaries(false);
    }

    // The new file takes the old one's mode; a new file gets what the umask allows.
    void keepsTheModeOfTheFileReplaced_data()
    {
        QTest::addColumn<int>("oldMode");  // -1: no old file
        QTest::newRow("private 0600") << 0600;
        QTest::newRow("group-readable 0640") << 0640;
        QTest::newRow("executable 0755") << 0755;
        QTest::newRow("new file") << -1;
    }

    void keepsTheModeOfTheFileReplaced()
    {
        QFETCH(int, oldMode);
        for (bool named : {false, true}) {
            AtomicFile::useNamedTemporaries(named);
            const QString file = path(named ? "named" : "unnamed");
            if (oldMode >= 0) {
                QVERIFY(writeFile(file, oldBytes_));
                QCOMPARE(::chmod(file.toLocal8Bit().constData(), mode_t(oldMode)), 0);
            }
            QCOMPARE(outcome([&] { writeWhole(file, "new"); }), "written");
            QCOMPARE(readAll(file), QByteArray("new"));
            QCOMPARE(modeOf(file), oldMode >= 0 ? mode_t(oldMode) : mode_t(0666 & ~currentUmask()));
        }
        QCOMPARE(entries(dir_.path()), QStringList({"named", "old", "unnamed"}));
    }

    // Paths that no output may take are refused, naming the cause, before anything is written.
    void refusesWhatNoOutputMayTake_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a folder") << "folder" << "Is a directory";
        QTest::newRow("a name ending in /") << "new/" << "the name ends with '/'";
        QTest::newRow("a dangling link") << "dangling" << "it is a symbolic link to gone, which does not exist";
        QTest::newRow("a link to a dangling link") << "to-dangling" << "it leads to " + path("dangling") + ", which is a symbolic link to gone";
        QTest::newRow("a loop of links") << "loop-a" << "its symbolic links form a loop";
        QTest::newRow("a missing folder") << "missing/file" << "No such file or directory";
        QTest::newRow("a closed descriptor") << "/dev/fd/987" << "descriptor 987 is not open";
    }

    void refusesWhatNoOutputMayTake()
    {
        QFETCH(QString, name);
        QFETCH(QString, cause);
        QVERIFY(QDir(dir_.path()).mkdir("folder"));
        QVERIFY(QFile::link("gone", path("dangling")));
        QVERIFY(QFile::link(path("dangling"), path("to-dangling")));
        QVERIFY(QFile::link("loop-b", path("loop-a")));
        QVERIFY(QFile::link("loop-a", path("loop-b")));
        const QString file = name.startsWith('/') ? name : path(name);
        const QString said = outcome([&] { writeWhole(file, "new"); });
        QCOMPARE(said.left(said.indexOf(": ") + 2), "cannot write " + file + ": ");
        QVERIFY2(said.contains(cause), qPrintable(said));
        QCOMPARE(entries(dir_.path()), QStringList({"dangling", "folder", "loop-a", "loop-b", "old", "to-dangling"}));
        QVERIFY(QDir(path("folder")).isEmpty());
    }

    // A read-only file is refused to a user who may not write it, as every output refuses it.
    void refusesReadOnlyFiles()
    {
        QVERIFY(QDir(dir_.path()).mkdir("shared"));
        const QString file = path("shared/ro.txt");
        QVERIFY(writeFile(file, oldBytes_));
        QCOMPARE(::chmod(path("shared").toLocal8Bit().constData(), 0777), 0);
        QCOMPARE(::chmod(dir_.path().toLocal8Bit().constData(), 0755), 0);
        QCOMPARE(::chmod(file.toLocal8Bit().constData(), 0444), 0);
        const QString said = inChild([&] { return outcome([&] { writeWhole(file, "new"); }); }, true);
        QCOMPARE(said, "cannot write " + file + ": the file is read-only (Permission denied)");
        QCOMPARE(readAll(file), oldBytes_);
        QCOMPARE(entries(path("shared")), QStringList({"ro.txt"}));
    }

    // A failed write keeps the old file whole and leaves nothing beside it.
    void failuresKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sizeLimit");
        QTest::addColumn<QString>("cause");
        QTest::newRow("file-size limit") << "old" << 100000 << "File too large";
        QTest::newRow("file-size limit, named temporary") << "old" << -100000 << "File too large";
        QTest::newRow("a full device") << "/dev/full" << 0 << "No space left on device";
    }

    void failuresKeepTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(int, sizeLimit);
        QFETCH(QString, cause);
        AtomicFile::useNamedTemporaries(sizeLimit < 0);
        const QString file = name.startsWith('/') ? name : path(name);
        const QString said = support::failureOnAFullDisk(sizeLimit ? rlim_t(std::abs(sizeLimit)) : RLIM_INFINITY,
                                                         [&] { writeWhole(file, QByteArray(300000, 'n')); });
        QCOMPARE(said, "cannot write " + file + ": " + cause);
        QCOMPARE(readAll(path("old")), oldBytes_);
        QCOMPARE(entries(dir_.path()), QStringList({"old"}));
    }

    // A real full disk: a 64 kB file system. Mounting needs the administrator's rights.
    void aFullDiskKeepsTheOldFile()
    {
        const QString disk = path("disk");
        QVERIFY(QDir().mkpath(disk));
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk});
        if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
            QSKIP("cannot mount a small tmpfs here (needs root and mount rights); the file-size limit rows stand in");
        const QString file = disk + "/m.pdf";
        const QByteArray old(20000, 'o');
        QVERIFY(writeFile(file, old));
        const QString said = outcome([&] { writeWhole(file, QByteArray(100000, 'n')); });
        const QStringList left = entries(disk);
        const QByteArray kept = readAll(file);
        QProcess::execute("umount", {disk});
        QCOMPARE(said, "cannot write " + file + ": No space left on device");
        QCOMPARE(kept, old);
        QCOMPARE(left, QStringList({"m.pdf"}));
    }

    // Room is checked before the first byte: the message names what is needed and what is free.
    void refusesAnOutputTheDiskCannotHold()
    {
        struct statvfs vfs {};
        QCOMPARE(::statvfs(dir_.path().toLocal8Bit().constData(), &vfs), 0);
        const std::uint64_t free = std::uint64_t(vfs.f_bavail) * vfs.f_frsize;
        const std::uint64_t needed = free + (std::uint64_t(1) << 30);
        const QString said = outcome([&] {
            AtomicFile file(path("old").toStdString());
            file.expectBytes(needed);
            file.write("x", 1);
            file.commit();
        });
        QVERIFY2(said.startsWith("cannot write " + path("old") + ": it needs " + QString::fromStdString(grouped(needed))
                                 + " bytes and only "),
                 qPrintable(said));
        QVERIFY(said.endsWith("bytes are free on its disk (No space left on device)"));
        QCOMPARE(outcome([&] { check_output_room(path("new").toStdString(), needed); }).left(said.indexOf(": it needs")),
                 "cannot write " + path("new"));
        QCOMPARE(readAll(path("old")), oldBytes_);
        QCOMPARE(entries(dir_.path()), QStringList({"old"}));
        QCOMPARE(outcome([&] { check_output_room(path("new").toStdString(), 1); }), "written");
    }

    // A descriptor's name is written in place: the file behind it keeps what it held, and
    // the name (a link in /dev and /proc) is never renamed over.
    void descriptorsAreWrittenInPlace_data()
    {
        QTest::addColumn<QString>("form");  // %1: the descriptor
        QTest::newRow("/dev/fd/N") << "/dev/fd/%1";
        QTest::newRow("/proc/self/fd/N") << "/proc/self/fd/%1";
        QTest::newRow("/proc/PID/fd/N") << "/proc/" + QString::number(::getpid()) + "/fd/%1";
        QTest::newRow("a link to /dev/fd/N") << "link";
    }

    void descriptorsAreWrittenInPlace()
    {
        QFETCH(QString, form);
        QVERIFY(writeFile(path("log"), "LOG 1\n"));
        const int fd = ::open(path("log").toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        QVERIFY(fd >= 0);
        struct stat before {};
        QCOMPARE(::fstat(fd, &before), 0);
        const QString name = form == "link" ? path("link") : form.arg(fd);
        if (form == "link")
            QVERIFY(QFile::link(QStringLiteral("/dev/fd/%1").arg(fd), name));
        QVERIFY(is_stream_output(name.toStdString()));
        QCOMPARE(output_identity(name.toStdString()), output_identity(path("log").toStdString()));
        const QString said = outcome([&] {
            AtomicFile file(name.toStdString());
            QVERIFY(file.isStream());
            file.write("maze\n", 5);
            file.commit();
        });
        ::close(fd);
        QCOMPARE(said, "written");
        QCOMPARE(readAll(path("log")), QByteArray("LOG 1\nmaze\n"));
        struct stat after {};
        QCOMPARE(::stat(path("log").toLocal8Bit().constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(entries(dir_.path()), form == "link" ? QStringList({"link", "log", "old"}) : QStringList({"log", "old"}));
    }

    // Two spellings of one file are one output; two files are two.
    void identities_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("./ and plain") << "./x.bmp" << "x.bmp" << true;
        QTest::newRow("folder/.. and plain") << "sub/../x.bmp" << "x.bmp" << true;
        QTest::newRow("a link and its file") << "link-to-old" << "old" << true;
        QTest::newRow("standard output three ways") << "-" << "/dev/stdout" << true;
        QTest::newRow("/dev/fd/1 and -") << "/dev/fd/1" << "-" << true;
        QTest::newRow("two new names") << "x.bmp" << "x.txt" << false;
        QTest::newRow("new and old") << "x.bmp" << "old" << false;
    }

    void identities()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QVERIFY(QDir(dir_.path()).mkdir("sub"));
        QVERIFY(QFile::link("old", path("link-to-old")));
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        const std::string ia = output_identity(a.toStdString()), ib = output_identity(b.toStdString());
        QDir::setCurrent(cwd);
        QCOMPARE(ia == ib, same);
    }

    // Writing through a symbolic link replaces the file it names, whole, and keeps the link.
    void writesThroughALink()
    {
        QVERIFY(QFile::link("old", path("link")));
        QCOMPARE(outcome([&] { writeWhole(path("link"), "new"); }), "written");
        QVERIFY(QFileInfo(path("link")).isSymLink());
        QCOMPARE(readAll(path("old")), QByteArray("new"));
        QCOMPARE(entries(dir_.path()), QStringList({"link", "old"}));
    }

    // A name at the file system's limit is written: the temporary's name is short.
    void longNames()
    {
        const QString name = path(QString(250, 'l') + ".txt");
        QCOMPARE(outcome([&] { writeWhole(name, "long"); }), "written");
        AtomicFile::useNamedTemporaries(true);
        QCOMPARE(outcome([&] { writeWhole(name, "longer"); }), "written");
        QCOMPARE(readAll(name), QByteArray("longer"));
    }

    // Files committed together replace their old selves all or none: when the second
    // cannot take its name, the first goes back to what it was.
    void commitsTogetherOrNotAtAll()
    {
        QVERIFY(writeFile(path("a"), "old a"));
        QVERIFY(writeFile(path("b"), "old b"));
        const QString said = outcome([&] {
            AtomicFile a(path("a").toStdString()), b(path("b").toStdString()), c(path("c").toStdString());
            a.write("new a", 5);
            b.write("new b", 5);
            c.write("new c", 5);
            // Between writing and naming, "c" turns into a folder that holds a file.
            QVERIFY(QDir(dir_.path()).mkpath("c/inside"));
            AtomicFile *files[] = {&a, &b, &c};
            AtomicFile::commitTogether(files);
        });
        QVERIFY2(said.startsWith("cannot write " + path("c") + ": "), qPrintable(said));
        QCOMPARE(readAll(path("a")), QByteArray("old a"));
        QCOMPARE(readAll(path("b")), QByteArray("old b"));
        QCOMPARE(entries(dir_.path()), QStringList({"a", "b", "c", "old"}));
        QCOMPARE(entries(path("c")), QStringList({"inside"}));

        QCOMPARE(outcome([&] {
                     AtomicFile a(path("a").toStdString()), n(path("n").toStdString());
                     a.write("new a", 5);
                     n.write("new n", 5);
                     AtomicFile *files[] = {&a, &n};
                     AtomicFile::commitTogether(files);
                 }),
                 "written");
        QCOMPARE(readAll(path("a")), QByteArray("new a"));
        QCOMPARE(readAll(path("n")), QByteArray("new n"));
        QCOMPARE(entries(dir_.path()), QStringList({"a", "b", "c", "n", "old"}));
    }

    // A signal that ends the process takes its named temporaries with it; only SIGKILL
    // cannot be caught, and its leftover's name says what it is.
    void signalsLeaveNoTemporary_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("files");  // written at once
        QTest::newRow("SIGTERM") << SIGTERM << 1;
        QTest::newRow("SIGINT") << SIGINT << 1;
        QTest::newRow("SIGHUP") << SIGHUP << 1;
        QTest::newRow("SIGQUIT") << SIGQUIT << 1;
        QTest::newRow("SIGUSR1") << SIGUSR1 << 1;
        QTest::newRow("SIGALRM") << SIGALRM << 1;
        QTest::newRow("SIGKILL") << SIGKILL << 1;
        QTest::newRow("SIGTERM, a batch's 100 files") << SIGTERM << 100;
    }

    void signalsLeaveNoTemporary()
    {
        QFETCH(int, signal);
        QFETCH(int, files);
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // A fresh process: the test framework's own handlers are not in the way.
            for (int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM})
                std::signal(s, SIG_DFL);
            AtomicFile::useNamedTemporaries(true);
            std::vector<std::unique_ptr<AtomicFile>> open;
            for (int i = 0; i < files; ++i) {
                open.push_back(std::make_unique<AtomicFile>(path("old").toStdString()));
                open.back()->write("part", 4);
            }
            const ssize_t told = ::write(ready[1], "w", 1);
            (void)told;
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char c = 0;
        QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
        ::close(ready[0]);
        const QStringList whileWriting = entries(dir_.path());
        QCOMPARE(whileWriting.size(), files + 1);
        QVERIFY2(whileWriting.first().startsWith(".corvanthel-partial-"), qPrintable(whileWriting.join(' ')));
        QCOMPARE(::kill(pid, signal), 0);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);
        QCOMPARE(readAll(path("old")), oldBytes_);
        QCOMPARE(entries(dir_.path()), signal == SIGKILL ? whileWriting : QStringList({"old"}));
    }

private:
    QTemporaryDir dir_;
    const QByteArray oldBytes_ = QByteArray(2000, 'o');
    QString path(const QString &name) const { return dir_.filePath(name); }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomic_file.moc"

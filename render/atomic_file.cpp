#include "render/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The name says what a file left by a killed process is.
constexpr const char *TempPrefix = ".corvanthel-partial-";

std::atomic<bool> namedOnly{false};
bool closedAtStart[3] = {false, false, false};

[[noreturn]] void refuse(const std::string &path, const std::string &cause)
{
    throw std::runtime_error("cannot write " + path + ": " + cause);
}

std::string cause(int error)
{
    switch (error) {
    case ELOOP:
        return "its symbolic links form a loop";
    case EISDIR:
        return "Is a directory";
    default:
        return std::strerror(error);
    }
}

// --- Clean-up on signals -------------------------------------------------------------
// A handler may only do what is safe in one, so the names to remove sit in slots that are
// never freed: blocks of them are added as names need them (never in a handler), each whole
// before it is published, and a handler only reads them.

struct LeftoverSlot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 a name to remove
    char name[PATH_MAX];
};
constexpr int SlotsPerBlock = 16;
struct LeftoverBlock {
    LeftoverSlot slots[SlotsPerBlock];
};
// Room for every name a run holds at once: --jobs allows 1024 mazes at a time, each with up
// to five files and a backup of each while they are committed, 10240 names in all.
constexpr int LeftoverBlocks = 1024;
std::atomic<LeftoverBlock *> leftovers[LeftoverBlocks];

// While names are swapped, a signal from outside waits, so that the files of one commit
// are replaced all or none.
std::atomic<int> holding{0};
std::atomic<int> heldSignal{0};

// Signals sent from outside, which may wait; the others come from a fault and cannot.
constexpr int AsyncSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                                SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGPWR};
constexpr int FaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGSYS};

void removeLeftovers() noexcept
{
    for (const std::atomic<LeftoverBlock *> &entry : leftovers)
        if (LeftoverBlock *block = entry.load())
            for (LeftoverSlot &slot : block->slots)
                if (slot.state.load() == 2)
                    ::unlink(slot.name);
}

void onSignal(int signal)
{
    const bool async = std::find(std::begin(AsyncSignals), std::end(AsyncSignals), signal) != std::end(AsyncSignals);
    if (async && holding.load() > 0) {
        heldSignal.store(signal);
        return;
    }
    removeLeftovers();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    // Blocked until the handler returns, then the default action ends the process.
    ::raise(signal);
}

mode_t processUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

mode_t newFileMode()
{
    static const mode_t mode = 0666 & ~processUmask();
    return mode;
}

/// Catches every signal that would end the process and is left at its default, each
/// time a file is opened: a signal reset since (by a child process) is caught again.
void installCleanup()
{
    // A file-size limit then fails the write (EFBIG), which takes the normal way out.
    std::signal(SIGXFSZ, SIG_IGN);
    newFileMode();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int s : AsyncSignals)
        sigaddset(&action.sa_mask, s);
    auto install = [&](int s) {
        // A signal the process ignores, or one somebody else handles, is left alone.
        struct sigaction old {};
        if (::sigaction(s, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL)
            ::sigaction(s, &action, nullptr);
    };
    for (int s : AsyncSignals)
        install(s);
    for (int s : FaultSignals)
        install(s);
}

/// Holds signals from outside until it ends; then one that came meanwhile takes effect.
class SignalsHeld {
public:
    SignalsHeld() { holding.fetch_add(1); }
    ~SignalsHeld()
    {
        if (holding.fetch_sub(1) == 1)
            if (const int signal = heldSignal.exchange(0))
                ::raise(signal);
    }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;
};

int rememberLeftover(const std::string &name)
{
    if (name.size() >= PATH_MAX)
        return -1;
    for (int b = 0; b < LeftoverBlocks; ++b) {
        LeftoverBlock *block = leftovers[b].load();
        if (!block) {
            // Without memory for a block the name goes unremembered, as one too long does.
            std::unique_ptr<LeftoverBlock> fresh(new (std::nothrow) LeftoverBlock);
            if (!fresh)
                return -1;
            if (leftovers[b].compare_exchange_strong(block, fresh.get()))
                block = fresh.release();
        }
        for (int i = 0; i < SlotsPerBlock; ++i) {
            LeftoverSlot &slot = block->slots[i];
            int expected = 0;
            if (slot.state.compare_exchange_strong(expected, 1)) {
                std::memcpy(slot.name, name.c_str(), name.size() + 1);
                slot.state.store(2);
                return b * SlotsPerBlock + i;
            }
        }
    }
    return -1;
}

void forgetLeftover(int &slot)
{
    if (slot >= 0)
        leftovers[slot / SlotsPerBlock].load()->slots[slot % SlotsPerBlock].state.store(0);
    slot = -1;
}

std::string randomSuffix()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof Letters) - 2);
    std::string s(6, 'x');
    for (char &c : s)
        c = Letters[pick(engine)];
    return s;
}

/// A fresh name beside `folder`'s files that `create` makes, or -1 with errno; the name
/// is remembered for removal before a signal can find it unremembered.
template <typename Create>
std::string createTemporary(const std::string &folder, int &slot, Create create)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "/" + TempPrefix + randomSuffix();
        SignalsHeld held;
        if (create(name)) {
            slot = rememberLeftover(name);
            return name;
        }
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

// --- What a path names -----------------------------------------------------------------

struct Resolved {
    bool stream = false;
    std::string target;  // a file to replace, or a device or pipe to open in place
    int fd = -1;         // a descriptor the process holds, written in place
    bool exists = false;
    struct stat st {};
};

/// The descriptor a name stands for by itself: opening /dev/stdout or /proc/self/fd/1
/// again would start the file behind it afresh, and renaming over it would replace the link.
int descriptorNamed(const std::string &path)
{
    std::error_code ec;
    const std::string p = fs::absolute(path, ec).lexically_normal().string();
    if (ec)
        return -1;
    if (p == "/dev/stdin")
        return 0;
    if (p == "/dev/stdout")
        return 1;
    if (p == "/dev/stderr")
        return 2;
    for (const std::string &prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                     std::string("/proc/thread-self/fd/"),
                                     "/proc/" + std::to_string(::getpid()) + "/fd/"}) {
        if (p.size() <= prefix.size() || p.size() > prefix.size() + 9 || p.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = p.substr(prefix.size());
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::stoi(digits);
    }
    return -1;
}

std::string folderOf(const std::string &path)
{
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

Resolved resolve(const std::string &path)
{
    Resolved r;
    if (path == "-") {
        r.stream = true;
        r.fd = STDOUT_FILENO;
        return r;
    }
    if (path.empty())
        refuse(path, "the file name is empty");
    if (path.back() == '/')
        refuse(path, "the name ends with '/', so it names a folder, not a file");
    std::string current = path;
    std::string link, linkText;
    for (int hops = 0;; ++hops) {
        if (const int fd = descriptorNamed(current); fd >= 0) {
            r.stream = true;
            r.fd = fd;
            return r;
        }
        if (hops > 40)
            refuse(path, cause(ELOOP));
        if (::lstat(current.c_str(), &r.st) != 0) {
            const int error = errno;
            if (error == ENOENT && hops > 0)
                refuse(path, (link == path ? std::string("it is") : "it leads to " + link + ", which is")
                                 + " a symbolic link to " + linkText + ", which does not exist");
            if (error != ENOENT)
                refuse(path, cause(error));
            r.target = current;
            return r;
        }
        if (S_ISLNK(r.st.st_mode)) {
            std::vector<char> text(PATH_MAX + 1);
            const ssize_t n = ::readlink(current.c_str(), text.data(), text.size() - 1);
            if (n < 0)
                refuse(path, cause(errno));
            link = current;
            linkText.assign(text.data(), std::size_t(n));
            current = linkText.front() == '/' ? linkText : (fs::path(folderOf(current)) / linkText).string();
            continue;
        }
        if (S_ISDIR(r.st.st_mode))
            refuse(path, cause(EISDIR));
        r.target = current;
        r.exists = true;
        if (!S_ISREG(r.st.st_mode)) {
            r.stream = true;
            return r;
        }
        if (::faccessat(AT_FDCWD, current.c_str(), W_OK, AT_EACCESS) != 0)
            refuse(path, errno == EACCES ? "the file is read-only (Permission denied)" : cause(errno));
        return r;
    }
}

// What the file system offers to anyone; blocks it keeps back are not counted on, even for
// the administrator, as some keep back far more than the usual few percent.
std::uint64_t freeBytes(const struct statvfs &vfs)
{
    return std::uint64_t(vfs.f_bavail) * vfs.f_frsize;
}

[[noreturn]] void refuseRoom(const std::string &path, std::uint64_t bytes, std::uint64_t free)
{
    refuse(path, "it needs " + grouped(bytes) + " bytes and only " + grouped(free)
                     + " bytes are free on its disk (No space left on device)");
}

} // namespace

void guard_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // Read-only: a write to it fails as a write to a closed descriptor would.
            const int null = ::open("/dev/null", O_RDONLY);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
            closedAtStart[fd] = true;
        }
}

std::string grouped(std::uint64_t n)
{
    std::string digits = std::to_string(n);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(std::size_t(at), 1, ',');
    return digits;
}

void AtomicFile::useNamedTemporaries(bool named)
{
    namedOnly.store(named);
}

AtomicFile::AtomicFile(const std::string &path) : path_(path)
{
    installCleanup();
    const Resolved r = resolve(path);
    if (r.stream) {
        store_ = Store::Stream;
        if (r.fd >= 0) {
            const int flags = ::fcntl(r.fd, F_GETFL);
            if (flags < 0 || (r.fd <= 2 && closedAtStart[r.fd]))
                refuse(path_, "descriptor " + std::to_string(r.fd) + " is not open");
            if ((flags & O_ACCMODE) == O_RDONLY)
                refuse(path_, "descriptor " + std::to_string(r.fd) + " is open for reading only");
            fd_ = r.fd;
            ownsFd_ = false;
            return;
        }
        fd_ = ::open(r.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0)
            fail(errno);
        return;
    }

    target_ = r.target;
    folder_ = folderOf(target_);
    static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;
    if (procFds && !namedOnly.load()) {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            store_ = Store::Unnamed;
        else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            fail(errno);
    }
    if (fd_ < 0) {
        temp_ = createTemporary(folder_, leftoverSlot_, [this](const std::string &name) {
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            return fd_ >= 0;
        });
        if (fd_ < 0)
            fail(errno);
        store_ = Store::Named;
        ::fchmod(fd_, newFileMode());
    }
    if (r.exists) {
        // The new file is the old one's successor: same owner where allowed, same mode.
        if (r.st.st_uid != ::geteuid() || r.st.st_gid != ::getegid()) {
            const int owned = ::fchown(fd_, r.st.st_uid, r.st.st_gid);
            (void)owned;
        }
        ::fchmod(fd_, r.st.st_mode & 07777);
    }
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::discard() noexcept
{
    if (fd_ >= 0 && ownsFd_)
        ::close(fd_);
    fd_ = -1;
    if (store_ == Store::Named) {
        ::unlink(temp_.c_str());
        forgetLeftover(leftoverSlot_);
    }
}

void AtomicFile::fail(int error) const
{
    refuse(path_, cause(error));
}

void AtomicFile::expectBytes(std::uint64_t bytes)
{
    struct statvfs vfs {};
    if (isStream() || ::fstatvfs(fd_, &vfs) != 0)
        return;
    if (bytes > freeBytes(vfs))
        refuseRoom(path_, bytes, freeBytes(vfs));
}

void AtomicFile::write(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::finish()
{
    if (finished_)
        return;
    // Pipes and terminals cannot be synced, and need not be.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno);
    if (isStream() && ownsFd_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            fail(errno);
    }
    finished_ = true;
}

void AtomicFile::name()
{
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    temp_ = createTemporary(folder_, leftoverSlot_, [&proc](const std::string &name) {
        return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
    if (temp_.empty())
        fail(errno);
    store_ = Store::Named;
}

void AtomicFile::replace()
{
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fail(errno);
    forgetLeftover(leftoverSlot_);
    store_ = Store::Committed;
    ::close(fd_);
    fd_ = -1;
    // The new name itself on the disk, not only the bytes.
    const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void AtomicFile::commit()
{
    AtomicFile *const self = this;
    commitTogether({&self, 1});
}

void AtomicFile::commitTogether(std::span<AtomicFile *const> files)
{
    std::vector<AtomicFile *> named;
    for (AtomicFile *f : files) {
        f->finish();
        if (f->store_ == Store::Unnamed || f->store_ == Store::Named)
            named.push_back(f);
    }
    // Naming is what can still fail for want of room or rights; nothing is replaced yet.
    for (AtomicFile *f : named)
        if (f->store_ == Store::Unnamed)
            f->name();
    SignalsHeld held;
    if (named.size() == 1) {
        named.front()->replace();
        return;
    }
    // Each old file is kept under a second name until every new one is in place.
    struct Backup {
        bool existed = false;
        std::string name;  // empty where the old file could not be kept
        int slot = -1;
    };
    std::vector<Backup> backups(named.size());
    auto dropBackups = [&] {
        for (Backup &b : backups)
            if (!b.name.empty()) {
                ::unlink(b.name.c_str());
                forgetLeftover(b.slot);
            }
    };
    for (std::size_t i = 0; i < named.size(); ++i) {
        struct stat st {};
        backups[i].existed = ::lstat(named[i]->target_.c_str(), &st) == 0;
        if (backups[i].existed)
            backups[i].name = createTemporary(named[i]->folder_, backups[i].slot, [&](const std::string &name) {
                return ::link(named[i]->target_.c_str(), name.c_str()) == 0;
            });
    }
    std::size_t done = 0;
    try {
        for (; done < named.size(); ++done)
            named[done]->replace();
    } catch (...) {
        for (std::size_t i = 0; i < done; ++i) {
            if (!backups[i].name.empty() && ::rename(backups[i].name.c_str(), named[i]->target_.c_str()) == 0) {
                forgetLeftover(backups[i].slot);
                backups[i].name.clear();
            } else if (!backups[i].existed) {
                ::unlink(named[i]->target_.c_str());
            }
        }
        dropBackups();
        throw;
    }
    dropBackups();
}

std::string output_identity(const std::string &path)
{
    const Resolved r = resolve(path);
    struct stat st {};
    if (r.fd >= 0)
        return ::fstat(r.fd, &st) == 0 ? "inode " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino)
                                        : "descriptor " + std::to_string(r.fd);
    if (r.exists)
        return "inode " + std::to_string(r.st.st_dev) + ":" + std::to_string(r.st.st_ino);
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(folderOf(r.target), ec), ec);
    return "new " + (folder / fs::path(r.target).filename()).string();
}

bool is_stream_output(const std::string &path)
{
    try {
        return resolve(path).stream;
    } catch (const std::runtime_error &) {
        return false;
    }
}

void check_output_room(const std::string &path, std::uint64_t bytes)
{
    const Resolved r = resolve(path);
    struct statvfs vfs {};
    if (r.stream || ::statvfs(folderOf(r.target).c_str(), &vfs) != 0)
        return;
    if (bytes > freeBytes(vfs))
        refuseRoom(path, bytes, freeBytes(vfs));
}

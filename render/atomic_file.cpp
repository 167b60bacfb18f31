#include "render/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const std::string &path, int error)
{
    throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
}

} // namespace

AtomicFile::AtomicFile(const std::string &path) : path_(path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0)
            fail(path_, errno);
        return;
    }
    // Write through a symbolic link to the file it names, as an editor would.
    std::error_code ec;
    target_ = std::filesystem::is_symlink(path, ec) ? std::filesystem::weakly_canonical(path, ec).string() : path;
    if (ec)
        target_ = path;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = target_ + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            fail(path_, errno);
    }
    if (fd_ < 0)
        fail(path_, EEXIST);
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

void AtomicFile::write(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path_, errno);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::commit()
{
    // A file is reported written only once it is on the disk: a late write-back error
    // (a full disk on some file systems) surfaces here and not afterwards.
    if (!temp_.empty() && ::fsync(fd_) != 0 && errno != EINVAL)
        fail(path_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        fail(path_, errno);
    if (temp_.empty())
        return;
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fail(path_, errno);
    temp_.clear();
}

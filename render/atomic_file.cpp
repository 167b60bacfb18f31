#include "render/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

AtomicFile::AtomicFile(std::string path) : path_(std::move(path))
{
    // "x" opens exclusively, so two writers never share a temporary name.
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temporary_ = path_ + ".part" + std::to_string(attempt);
        errno = 0;
        file_ = std::fopen(temporary_.c_str(), "wbx");
        if (!file_ && errno != EEXIST)
            break;
    }
    if (!file_)
        fail(errno != 0 ? errno : EEXIST);
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
}

AtomicFile::~AtomicFile()
{
    if (file_) {
        std::fclose(file_);
        std::remove(temporary_.c_str());
    }
}

void AtomicFile::write(std::string_view bytes)
{
    write(bytes.data(), bytes.size());
}

void AtomicFile::write(const void *data, std::size_t size)
{
    if (size > 0 && std::fwrite(data, 1, size, file_) != size)
        fail(errno);
}

void AtomicFile::commit()
{
    std::FILE *file = std::exchange(file_, nullptr);
    int error = 0;
    if (std::fflush(file) != 0)
        error = errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (error == 0) {
        std::error_code ec;
        std::filesystem::rename(temporary_, path_, ec);
        error = ec.value();
    }
    if (error != 0) {
        std::remove(temporary_.c_str());
        fail(error);
    }
}

void AtomicFile::fail(int error) const
{
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(error));
}

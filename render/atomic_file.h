#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// A file written whole or not at all: a regular file goes under a temporary name
/// beside its final one and replaces it only in commit(); a device or a pipe
/// (/dev/stdout) is written in place. Whatever is not committed is removed. Every
/// failure throws std::runtime_error("cannot write NAME: cause").
class AtomicFile {
public:
    explicit AtomicFile(const std::string &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    /// Writes everything or throws; unbuffered, so hand it large blocks.
    void write(const void *data, std::size_t size);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
    /// Puts the file on the disk and under its name.
    void commit();

private:
    std::string path_;    // as the user named it, for messages
    std::string target_;  // the file finally replaced
    std::string temp_;
    int fd_ = -1;
};

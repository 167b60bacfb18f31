#pragma once

#include <cstdio>
#include <string>
#include <string_view>

/// A file written under a temporary name beside its final one and renamed into place
/// by commit(), so that a failure never leaves a half-written file under the user's
/// name. Every failure throws std::runtime_error("cannot write NAME: cause").
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();  // removes the temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(std::string_view bytes);
    void write(const void *data, std::size_t size);
    /// Flushes, closes and renames the file to its final name.
    void commit();

    const std::string &path() const { return path_; }

private:
    [[noreturn]] void fail(int error) const;

    std::string path_;
    std::string temporary_;
    std::FILE *file_ = nullptr;
};

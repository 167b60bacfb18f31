#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// A file written whole or not at all. A regular file is written to an unnamed file
/// (or, where the file system has none, a temporary `.corvanthel-partial-XXXXXX`) in the
/// folder of the file it replaces, and only replaces it in commit(), keeping its mode; a
/// symbolic link is written through, and stays a link. A stream (`-` for standard output,
/// /dev/stdout, /dev/fd/N, /proc/self/fd/N, a device or a pipe) is written in place and
/// cannot be taken back. Nothing uncommitted outlives the object, nor the process on any
/// signal it can catch. Every failure throws std::runtime_error("cannot write NAME: cause").
class AtomicFile {
public:
    explicit AtomicFile(const std::string &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    /// The name as the user gave it, for messages.
    const std::string &path() const { return path_; }
    /// True when the output is written in place (standard output, a device, a pipe).
    bool isStream() const { return store_ == Store::Stream; }

    /// Refuses, before anything is written, an output of `bytes` that the free space of
    /// its file system cannot hold. Streams are not checked.
    void expectBytes(std::uint64_t bytes);

    /// Writes everything or throws; unbuffered, so hand it large blocks.
    void write(const void *data, std::size_t size);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }

    /// Puts everything written on the disk; a late write-back error (a full disk on some
    /// file systems) surfaces here. After it, commit() only names the file.
    void finish();
    /// finish(), then the file replaces its old self under its name.
    void commit();

    /// Commits several files as one: either every file replaces its old self, or none
    /// does and the old files stay as they were. Streams are finished, not named.
    static void commitTogether(std::span<AtomicFile *const> files);

    /// Writes through named temporaries even where unnamed files exist; for tests of the
    /// clean-up on signals and for file systems that claim support they lack.
    static void useNamedTemporaries(bool named);

private:
    /// Where the bytes go until commit().
    enum class Store { Stream, Unnamed, Named, Committed };
    void name();     // an Unnamed temporary gets a temporary name beside its target
    void replace();  // the Named temporary takes the target's name
    void discard() noexcept;
    [[noreturn]] void fail(int error) const;

    std::string path_;    // as the user named it
    std::string target_;  // the regular file finally replaced, links followed
    std::string folder_;  // the target's folder, where temporaries go
    std::string temp_;    // Named: the temporary's path
    int leftoverSlot_ = -1;
    Store store_ = Store::Stream;
    int fd_ = -1;
    bool ownsFd_ = true;  // false for a descriptor the process was given (standard output)
    bool finished_ = false;
};

/// Writes `path` whole through write(AtomicFile &), committing it unless write returns
/// false (stopped: nothing is left behind).
template <class Write>
bool write_atomically(const std::string &path, Write &&write)
{
    AtomicFile file(path);
    if (!write(file))
        return false;
    file.commit();
    return true;
}

/// What an output path finally names: the same key for two paths that would write the
/// same file or stream ("x.bmp", "./x.bmp", a link to it; "-", /dev/stdout, /dev/fd/1).
/// Throws the writer's own refusal for a path no output may take (a folder, a dangling
/// link, a loop of links, a name ending in '/', a read-only file).
std::string output_identity(const std::string &path);

/// True when `path` is written in place: `-`, a descriptor, a device or a pipe.
bool is_stream_output(const std::string &path);

/// Throws, naming both sizes, when the file system that `path` would be written on has
/// less than `bytes` free. Streams are not checked.
void check_output_room(const std::string &path, std::uint64_t bytes);

/// Call first thing in main(): a standard descriptor (0 to 2) the program was started
/// without is taken by /dev/null, read-only, so that no file opened later gets its number
/// and receives what was meant for it; AtomicFile then refuses it as closed.
void guard_standard_descriptors();

/// "173,936,148,686": a count of bytes or cells for a message.
std::string grouped(std::uint64_t n);

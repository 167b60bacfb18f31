#include "render/mono_png.h"

#include "render/atomic_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <vector>

namespace {

// Compressed bytes go to the file in blocks of this size.
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

/// libpng's writer over an AtomicFile. libpng reports failures by a long jump, so every
/// call into it goes through a guard that turns the jump into a return value, and the
/// cause (ours from the file, or libpng's message) into an exception afterwards.
class PngSink : public MonoRowSink {
public:
    PngSink(AtomicFile &file, int scale) : path_(file.path()), file_(file), scale_(scale)
    {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, &PngSink::onError, &PngSink::onWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (!png_ || !info_)
            fail("out of memory");
        buffer_.reserve(BlockBytes);
    }

    ~PngSink() override { png_destroy_write_struct(&png_, info_ ? &info_ : nullptr); }

    bool bottomUp() const override { return false; }

    void start(const MonoLayout &layout, int tileHeight) override
    {
        layout_ = layout;
        const std::uint64_t width = std::uint64_t{layout.width} * scale_, height = std::uint64_t{layout.height} * scale_;
        if (width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX)
            fail("the picture is larger than a PNG file can describe");
        node_.resize(std::size_t{layout.rowBytes} * tileHeight);
        if (scale_ > 1)
            scaled_.resize(scaled_row_bytes(layout.width, scale_));
        if (!guarded([&] {
                png_set_write_fn(png_, this, &PngSink::onWrite, &PngSink::onFlush);
                png_set_user_limits(png_, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
                // Most rows repeat the one above (a tile's rows repeat), which the Up filter turns
                // into zeros; a quick level then loses little to the slow ones.
                png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
                png_set_compression_level(png_, 3);
                // 1-bit grey: 0 black, 1 white, as the composed rows hold them.
                png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 1,
                             PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                             PNG_FILTER_TYPE_DEFAULT);
                png_write_info(png_, info_);
            }))
            rethrow();
    }

    std::uint8_t *reserve() override { return node_.data(); }

    void take(int rows) override
    {
        // Stored bottom row first: handed on from the last.
        for (int r = rows - 1; r >= 0; --r) {
            const std::uint8_t *row = node_.data() + std::size_t(r) * layout_.rowBytes;
            if (scale_ > 1) {
                scale_mono_row(row, layout_.width, scale_, scaled_.data());
                row = scaled_.data();
            }
            for (int k = 0; k < scale_; ++k)
                if (!guarded([&] { png_write_row(png_, row); }))
                    rethrow();
        }
    }

    void finish() override
    {
        if (!guarded([&] { png_write_end(png_, info_); }))
            rethrow();
        flush();
    }

private:
    template <typename F>
    bool guarded(const F &call)
    {
        // Nothing with a destructor lives in this frame across the jump.
        if (setjmp(png_jmpbuf(png_)))
            return false;
        call();
        return true;
    }

    [[noreturn]] void fail(const std::string &cause) { throw std::runtime_error("cannot write " + path_ + ": " + cause); }

    [[noreturn]] void rethrow()
    {
        if (failure_)
            std::rethrow_exception(failure_);
        fail(message_[0] ? message_ : "the PNG library failed");
    }

    void flush()
    {
        file_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    static PngSink &self(png_structp png) { return *static_cast<PngSink *>(png_get_io_ptr(png)); }

    static void onWrite(png_structp png, png_bytep data, png_size_t size)
    {
        PngSink &sink = self(png);
        bool failed = false;
        try {
            sink.buffer_.insert(sink.buffer_.end(), data, data + size);
            if (sink.buffer_.size() >= BlockBytes)
                sink.flush();
        } catch (...) {
            sink.failure_ = std::current_exception();
            failed = true;
        }
        if (failed)
            png_error(png, "write failed");
    }

    static void onFlush(png_structp) {}

    static void onError(png_structp png, png_const_charp message)
    {
        auto &sink = *static_cast<PngSink *>(png_get_error_ptr(png));
        if (!sink.failure_)
            std::snprintf(sink.message_, sizeof sink.message_, "%s", message);
        png_longjmp(png, 1);
    }

    static void onWarning(png_structp, png_const_charp) {}

    std::string path_;
    AtomicFile &file_;
    int scale_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    MonoLayout layout_;
    std::vector<std::uint8_t> node_, scaled_, buffer_;
    std::exception_ptr failure_;
    char message_[256] = {};  // libpng's, kept without allocating inside its callback
};

} // namespace

bool write_mono_png(const NodeGrid &grid, int style, AtomicFile &file, Progress &progress,
                    const MonoOverlay &overlay, int scale)
{
    check_mono_request(grid, style, scale, file.path());
    // No room is checked before: the compressed size is known only once written, and the
    // raw rows, its only bound, are hundreds of times larger, so a check against them would
    // refuse files that fit. A full disk fails the write and leaves nothing.
    PngSink sink(file, scale);
    return compose_mono_rows(grid, style, sink, progress, overlay);
}

bool write_mono_png(const NodeGrid &grid, int style, const std::string &path, Progress &progress,
                    const MonoOverlay &overlay, int scale)
{
    return write_atomically(path, [&](AtomicFile &file) {
        return write_mono_png(grid, style, file, progress, overlay, scale);
    });
}

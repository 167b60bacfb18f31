#include "render/mono_bitmap.h"

#include "maze/progress.h"
#include "render/atomic_file.h"
#include "render/tiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::uint32_t HeaderBytes = 62;
// Enough to keep system calls rare without holding much of the picture.
constexpr std::size_t BlockBytes = std::size_t{4} << 20;

void put16(std::uint8_t *p, std::uint32_t n)
{
    p[0] = static_cast<std::uint8_t>(n);
    p[1] = static_cast<std::uint8_t>(n >> 8);
}

void put32(std::uint8_t *p, std::uint32_t n)
{
    p[0] = static_cast<std::uint8_t>(n);
    p[1] = static_cast<std::uint8_t>(n >> 8);
    p[2] = static_cast<std::uint8_t>(n >> 16);
    p[3] = static_cast<std::uint8_t>(n >> 24);
}

void putBigEndian32(std::uint8_t *p, std::uint32_t n)
{
    p[0] = static_cast<std::uint8_t>(n >> 24);
    p[1] = static_cast<std::uint8_t>(n >> 16);
    p[2] = static_cast<std::uint8_t>(n >> 8);
    p[3] = static_cast<std::uint8_t>(n);
}


// find_bitmap's rule as an index: wall 16, then the open sides (tiles::Side). Codes below
// 16 are passages and draw nothing.
constexpr int Codes = 32;
constexpr int tileOfCode(int code)
{
    return code < 16 ? 0 : tiles::TileOfOpenSides[code - 16];
}

/// Pixel-row patterns of one tile set: for every tile row b and node code (see
/// tileOfCode) the tile width's bits of that row, leftmost pixel highest, 1 for white.
struct Patterns {
    int tw = 0;
    int th = 0;
    std::vector<std::uint64_t> bits;  // [b * Codes + code]
    // Two neighbours' bits at once, for tiles at most 16 pixels wide.
    std::vector<std::uint64_t> pairs; // [b * Codes * Codes + (left << 5 | right)]
    // Tile rows that are equal in every tile are composed once per node row and copied.
    std::vector<int> sameAs;          // [b]: the highest b' >= b whose rows equal row b

    explicit Patterns(const tiles::TileSet &set) : tw(set.width), th(set.height)
    {
        if (tw < 1 || tw > 64 || th < 1 || set.count != tiles::TilesPerSet)
            throw std::invalid_argument(std::string("tile set ") + set.name
                                        + " cannot be written as a monochrome bitmap");
        bits.assign(static_cast<std::size_t>(th) * Codes, 0);
        for (int b = 0; b < th; ++b)
            for (int code = 0; code < Codes; ++code) {
                const int t = tileOfCode(code);
                std::uint64_t row = 0;
                for (int a = 0; a < tw; ++a)
                    row = (row << 1) | (t > 0 && set.ink(t, a, b) ? 0u : 1u);
                bits[static_cast<std::size_t>(b) * Codes + code] = row;
            }
        if (2 * tw <= 32) {
            pairs.resize(static_cast<std::size_t>(th) * Codes * Codes);
            for (int b = 0; b < th; ++b)
                for (int left = 0; left < Codes; ++left)
                    for (int right = 0; right < Codes; ++right)
                        pairs[(static_cast<std::size_t>(b) * Codes + left) * Codes + right]
                            = (row(b)[left] << tw) | row(b)[right];
        }
        // Rows go out bottom first, so the highest equal row is the one composed.
        sameAs.resize(static_cast<std::size_t>(th));
        for (int b = 0; b < th; ++b) {
            sameAs[b] = b;
            for (int c = th - 1; c > b; --c)
                if (std::equal(row(b), row(b) + Codes, row(c))) {
                    sameAs[b] = c;
                    break;
                }
        }
    }

    const std::uint64_t *row(int b) const { return bits.data() + static_cast<std::size_t>(b) * Codes; }
    const std::uint64_t *pairRow(int b) const
    {
        return pairs.empty() ? nullptr : pairs.data() + static_cast<std::size_t>(b) * Codes * Codes;
    }
};

/// One stored pixel row: each node's bits for its code, then white pad bits to 32.
/// FixedTW is the tile width known at compile time, 0 to read it from tw; from 16
/// pixels down two nodes go in at a time through `pairs`.
template <int FixedTW>
void composeRow(const std::uint8_t *codes, int count, const std::uint64_t *pattern,
                const std::uint64_t *pairs, int tw, std::uint8_t *out)
{
    const int width = FixedTW ? FixedTW : tw;
    std::uint64_t acc = 0;
    int n = 0;  // bits held in acc, always below 32 between nodes
    auto flush = [&] {
        if (n >= 32) {
            n -= 32;
            putBigEndian32(out, static_cast<std::uint32_t>(acc >> n));
            out += 4;
        }
    };
    int x = 0;
    if constexpr (FixedTW > 0 && 2 * FixedTW <= 32) {
        for (; x + 1 < count; x += 2) {
            acc = (acc << (2 * FixedTW)) | pairs[(codes[x] << 5) | codes[x + 1]];
            n += 2 * FixedTW;
            flush();
        }
    } else {
        (void)pairs;
    }
    for (; x < count; ++x) {
        const std::uint64_t p = pattern[codes[x]];
        if (width > 32) {
            const int high = width - 32;
            acc = (acc << high) | (p >> 32);
            n += high;
            flush();
            acc = (acc << 32) | (p & 0xFFFFFFFFu);
            n += 32;
        } else {
            acc = (acc << width) | p;
            n += width;
        }
        flush();
    }
    if (n > 0) {
        const int pad = 32 - n;
        acc = (acc << pad) | ((std::uint64_t{1} << pad) - 1);
        putBigEndian32(out, static_cast<std::uint32_t>(acc));
    }
}

using ComposeFn = void (*)(const std::uint8_t *, int, const std::uint64_t *, const std::uint64_t *, int,
                           std::uint8_t *);

ComposeFn composerFor(int tw)
{
    switch (tw) {
    case 4: return composeRow<4>;
    case 5: return composeRow<5>;
    case 10: return composeRow<10>;
    case 28: return composeRow<28>;
    case 36: return composeRow<36>;
    default: return composeRow<0>;
    }
}

/// The codes of one node row at a time, from the bottom row up. Each node's wall flag is
/// worked out once and the codes come from plain byte arithmetic over whole rows, which
/// the compiler turns into vector code; tileOfCode then names the same tile as find_bitmap.
class CodeRows {
public:
    explicit CodeRows(const NodeGrid &grid)
        : grid_(grid), gw_(grid.width()), gh_(grid.height()),
          below_(static_cast<std::size_t>(gw_) + 2, 0), here_(below_), above_(below_),
          codes_(static_cast<std::size_t>(gw_))
    {
        load(here_, gh_);
    }

    /// Codes of nodes 1..width of row y; y must run from the height down to 1.
    const std::uint8_t *row(int y)
    {
        if (y != gh_) {
            std::swap(below_, here_);
            std::swap(here_, above_);
        }
        if (y > 1)
            load(above_, y - 1);
        else
            std::fill(above_.begin(), above_.end(), 0);
        if (y == gh_)
            std::fill(below_.begin(), below_.end(), 0);

        const std::uint8_t *n = above_.data(), *c = here_.data(), *s = below_.data();
        std::uint8_t *out = codes_.data();
        for (int x = 1; x <= gw_; ++x)
            out[x - 1] = static_cast<std::uint8_t>((c[x] << 4) | (n[x] << 3) | (c[x + 1] << 2) | (s[x] << 1) | c[x - 1]);
        return out;
    }

private:
    // 1 for a wall node (neither carved nor blocked) at 1..width; 0 beyond either edge,
    // so that no wall opens toward the outside.
    void load(std::vector<std::uint8_t> &walls, int y) const
    {
        constexpr std::uint8_t gone = NodeGrid::Carved | NodeGrid::Blocked;
        const std::uint8_t *flags = grid_.row(y);
        std::uint8_t *w = walls.data();
        for (int x = 1; x <= gw_; ++x)
            w[x] = (flags[x] & gone) == 0;
        w[0] = 0;
        w[gw_ + 1] = 0;
    }

    const NodeGrid &grid_;
    int gw_, gh_;
    std::vector<std::uint8_t> below_, here_, above_;
    std::vector<std::uint8_t> codes_;
};

} // namespace

MonoLayout mono_layout(int gridWidth, int gridHeight, int tileWidth, int tileHeight)
{
    MonoLayout l;
    l.width = static_cast<std::uint32_t>(tileWidth) * static_cast<std::uint32_t>(gridWidth);
    l.height = static_cast<std::uint32_t>(tileHeight) * static_cast<std::uint32_t>(gridHeight);
    l.rowBytes = std::max<std::uint32_t>(4, (l.width + 31) / 32 * 4);
    l.fileBytes = HeaderBytes + std::uint64_t{l.height} * l.rowBytes;
    return l;
}

std::array<std::uint8_t, 62> mono_header(const MonoLayout &l)
{
    const std::uint64_t imageBytes = l.fileBytes - HeaderBytes;
    // Beyond 4 GiB neither size fits its field; 0 is the value readers know as
    // "work it out from width, height and depth".
    const bool fits = l.fileBytes <= 0xFFFFFFFFu;
    std::array<std::uint8_t, 62> h{};
    h[0] = 'B';
    h[1] = 'M';
    put32(&h[2], fits ? static_cast<std::uint32_t>(l.fileBytes) : 0);
    put32(&h[10], HeaderBytes);
    put32(&h[14], 40);
    put32(&h[18], l.width);
    put32(&h[22], l.height);
    put16(&h[26], 1);
    put16(&h[28], 1);
    put32(&h[34], fits ? static_cast<std::uint32_t>(imageBytes) : 0);
    h[58] = h[59] = h[60] = 255;
    return h;
}

int mono_percent(int y, int gridHeight)
{
    return 100 - row_percent(y, gridHeight);
}

bool write_mono_bitmap(const NodeGrid &grid, int style, const std::string &path, Progress &progress)
{
    AtomicFile out(path);
    if (!write_mono_bitmap(grid, style, out, progress))
        return false;
    out.commit();
    return true;
}

bool write_mono_bitmap(const NodeGrid &grid, int style, AtomicFile &out, Progress &progress)
{
    const int gw = grid.width();
    const int gh = grid.height();
    if (gw < 1 || gh < 1)
        throw std::invalid_argument("cannot write " + out.path() + ": the grid is empty");
    if (style < 0 || style >= tiles::SetCount)
        throw std::invalid_argument("cannot write " + out.path() + ": no tile set " + std::to_string(style));
    const Patterns patterns(tiles::tile_set(style));
    const MonoLayout layout = mono_layout(gw, gh, patterns.tw, patterns.th);
    const ComposeFn compose = composerFor(patterns.tw);
    const std::size_t nodeRowBytes = std::size_t{layout.rowBytes} * static_cast<std::size_t>(patterns.th);

    CodeRows codeRows(grid);
    out.expectBytes(layout.fileBytes);
    const auto header = mono_header(layout);
    out.write(header.data(), header.size());

    // Two blocks: one is composed while the other goes to the disk on its own thread,
    // so the writer runs at the slower of the two rather than at their sum.
    std::vector<std::uint8_t> filling(std::max(BlockBytes, nodeRowBytes));
    std::vector<std::uint8_t> writing(filling.size());
    std::size_t used = 0;
    std::future<void> pending;  // destroyed first: waits for the block in flight
    auto handOver = [&] {
        if (pending.valid())
            pending.get();
        std::swap(filling, writing);
        pending = std::async(std::launch::async, [&out, data = writing.data(), size = used] {
            out.write(data, size);
        });
        used = 0;
    };

    for (int y = gh; y >= 1; --y) {
        const std::uint8_t *codes = codeRows.row(y);
        if (filling.size() - used < nodeRowBytes)
            handOver();
        // Rows of a node row are stored bottom row first; row b sits at (th - 1 - b).
        std::uint8_t *base = filling.data() + used;
        for (int b = patterns.th - 1; b >= 0; --b) {
            std::uint8_t *dst = base + std::size_t(patterns.th - 1 - b) * layout.rowBytes;
            const int same = patterns.sameAs[b];
            if (same != b)
                std::memcpy(dst, base + std::size_t(patterns.th - 1 - same) * layout.rowBytes, layout.rowBytes);
            else
                compose(codes, gw, patterns.row(b), patterns.pairRow(b), patterns.tw, dst);
        }
        used += nodeRowBytes;

        progress.phase(Phase::RenderingToDisk, mono_percent(y, gh));
        progress.processEvents();
        if (progress.stopRequested())
            return false;
    }
    handOver();
    pending.get();
    return true;
}

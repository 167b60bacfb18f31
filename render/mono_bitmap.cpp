#include "render/mono_bitmap.h"

#include "maze/progress.h"
#include "render/atomic_file.h"
#include "render/overlay.h"
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

/// Nodes composed at once in the fast path: the most whose pixels make whole bytes within
/// 64 bits (0: none do).
constexpr int groupOf(int tw)
{
    int group = 0;
    for (int n = 1; tw > 0 && n * tw <= 64; ++n)
        if (n * tw % 8 == 0)
            group = n;
    return group;
}

/// The bits of the nodes from `x` on, one at a time, then white to the end of the row at `out`
/// (rowBytes long), from `p` on; tiles at most 56 pixels wide.
inline void composeTail(const std::uint8_t *codes, int x, int count, const std::uint64_t *pattern, int tw,
                        std::uint8_t *p, std::uint8_t *out, std::size_t rowBytes)
{
    std::uint64_t acc = 0;
    int n = 0;  // bits held in acc, below 8 between nodes
    for (; x < count; ++x) {
        acc = (acc << tw) | pattern[codes[x]];
        for (n += tw; n >= 8; n -= 8)
            *p++ = static_cast<std::uint8_t>(acc >> (n - 8));
    }
    if (n > 0)
        *p++ = static_cast<std::uint8_t>((acc << (8 - n)) | ((1u << (8 - n)) - 1));
    std::memset(p, 0xFF, static_cast<std::size_t>(out + rowBytes - p));
}

/// One stored pixel row of any tile width up to 64: each node's bits for its code, then white
/// pad bits to 32.
void composeRow(const std::uint8_t *codes, int count, const std::uint64_t *pattern, int width, std::uint8_t *out)
{
    std::uint64_t acc = 0;
    int n = 0;  // bits held in acc, always below 32 between nodes
    auto flush = [&] {
        if (n >= 32) {
            n -= 32;
            putBigEndian32(out, static_cast<std::uint32_t>(acc >> n));
            out += 4;
        }
    };
    for (int x = 0; x < count; ++x) {
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

/// The distinct pixel rows of a node row: row r from pattern[r] (pairs[r] for two nodes at a
/// time) into out[r], each rowBytes long. FixedTW is the tile width known at compile time, 0 to
/// read it from tw. Where a group of nodes fills whole bytes (groupOf), each group's bits are
/// gathered independently of the other groups and stored as one word, whose surplus bytes the
/// next store overwrites; the last few nodes, whose word would reach past the row, go in one
/// at a time. The codes of a group are read once for all the rows.
template <int FixedTW>
void composeRows(const std::uint8_t *codes, int count, const std::uint64_t *const *pattern,
                 const std::uint64_t *const *pairs, int rows, int tw, std::uint8_t *const *out, std::size_t rowBytes)
{
    constexpr int group = groupOf(FixedTW);
    if constexpr (FixedTW > 0 && group > 0) {
        constexpr bool byPairs = 2 * FixedTW <= 32 && group % 2 == 0;
        constexpr int lookups = byPairs ? group / 2 : group;
        constexpr int shift = byPairs ? 2 * FixedTW : FixedTW;
        constexpr int bytes = group * FixedTW / 8;
        int x = 0;
        for (std::size_t at = 0; x + group <= count && at + sizeof(std::uint64_t) <= rowBytes; x += group, at += bytes) {
            unsigned index[lookups];
            for (int k = 0; k < lookups; ++k)
                index[k] = byPairs ? (codes[x + 2 * k] << 5) | codes[x + 2 * k + 1] : codes[x + k];
            for (int r = 0; r < rows; ++r) {
                const std::uint64_t *table = byPairs ? pairs[r] : pattern[r];
                std::uint64_t v = 0;
                for (int k = 0; k < lookups; ++k)
                    v = (v << shift) | table[index[k]];
                const std::uint64_t bigEndian = __builtin_bswap64(v << (64 - group * FixedTW));
                std::memcpy(out[r] + at, &bigEndian, sizeof bigEndian);
            }
        }
        for (int r = 0; r < rows; ++r)
            composeTail(codes, x, count, pattern[r], FixedTW, out[r] + static_cast<std::size_t>(x / group) * bytes,
                        out[r], rowBytes);
        return;
    }
    (void)pairs;
    (void)rowBytes;
    for (int r = 0; r < rows; ++r)
        composeRow(codes, count, pattern[r], FixedTW ? FixedTW : tw, out[r]);
}

using ComposeFn = void (*)(const std::uint8_t *, int, const std::uint64_t *const *, const std::uint64_t *const *, int,
                           int, std::uint8_t *const *, std::size_t);

ComposeFn composerFor(int tw)
{
    switch (tw) {
    case 4: return composeRows<4>;
    case 5: return composeRows<5>;
    case 10: return composeRows<10>;
    case 28: return composeRows<28>;
    default: return composeRows<0>;
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

    /// Codes of nodes 1..width of row y in any order: its three rows loaded afresh.
    const std::uint8_t *rowAt(int y)
    {
        load(here_, y);
        if (y > 1)
            load(above_, y - 1);
        else
            std::fill(above_.begin(), above_.end(), 0);
        if (y < gh_)
            load(below_, y + 1);
        else
            std::fill(below_.begin(), below_.end(), 0);
        return codes();
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
        return codes();
    }

private:
    const std::uint8_t *codes()
    {
        const std::uint8_t *n = above_.data(), *c = here_.data(), *s = below_.data();
        std::uint8_t *out = codes_.data();
        for (int x = 1; x <= gw_; ++x)
            out[x - 1] = static_cast<std::uint8_t>((c[x] << 4) | (n[x] << 3) | (c[x + 1] << 2) | (s[x] << 1) | c[x - 1]);
        return out;
    }

    // 1 for a wall node (neither carved nor blocked) at 1..width; 0 beyond either edge,
    // so that no wall opens toward the outside.
    void load(std::vector<std::uint8_t> &walls, int y) const
    {
        constexpr unsigned gone = NodeGrid::Carved | NodeGrid::Blocked;
        const std::uint16_t *blocks = grid_.blockRow(y >> 1);
        const int shift = (y & 1) * 8;  // the odd row's nodes lie in the upper byte
        std::uint8_t *w = walls.data();
        // Node 2i is block i's lower half-byte, node 2i + 1 its upper one.
        for (int i = 0; i <= gw_ / 2; ++i) {
            const unsigned pair = blocks[i] >> shift;
            w[2 * i] = (pair & gone) == 0;
            w[2 * i + 1] = ((pair >> 4) & gone) == 0;
        }
        w[0] = 0;
        w[gw_ + 1] = 0;
    }

    const NodeGrid &grid_;
    int gw_, gh_;
    std::vector<std::uint8_t> below_, here_, above_;
    std::vector<std::uint8_t> codes_;
};

/// The overlay's black pixels over one node at a time: for every tile row b, the tile width's
/// bits, leftmost pixel highest, 1 for ink (the opposite of the composed rows' 1 for white).
class OverlayInk {
public:
    OverlayInk(const tiles::TileSet &set, const NodeGrid &grid, const MonoOverlay &overlay)
        : grid_(grid), overlay_(overlay), tw_(set.width), th_(set.height)
    {
        const int lineAcross = strokePixels(overlay::PathWidth * tw_, tw_);
        const int lineDown = strokePixels(overlay::PathWidth * th_, th_);
        dotted_ = std::min(lineAcross, lineDown) >= thinnestWall(set);
        path_.resize(16 * static_cast<std::size_t>(th_));
        start_.resize(static_cast<std::size_t>(th_));
        finish_.resize(static_cast<std::size_t>(th_));
        for (int b = 0; b < th_; ++b) {
            const double dy = b + 0.5 - th_ / 2.0;
            for (int a = 0; a < tw_; ++a) {
                const double dx = a + 0.5 - tw_ / 2.0;
                const std::uint64_t bit = std::uint64_t{1} << (tw_ - 1 - a);
                // Pixel centres within half the line's width of the centre lines.
                const bool inRow = 2 * std::abs(dy) < lineDown;
                const bool inColumn = 2 * std::abs(dx) < lineAcross;
                for (unsigned sides = 0; sides < 16; ++sides) {
                    const bool ink = (inRow && inColumn) || (inRow && dx > 0 && (sides & tiles::East))
                                     || (inRow && dx < 0 && (sides & tiles::West))
                                     || (inColumn && dy > 0 && (sides & tiles::South))
                                     || (inColumn && dy < 0 && (sides & tiles::North));
                    if (ink && sides != 0)
                        path_[sides * static_cast<std::size_t>(th_) + b] |= bit;
                }
                // Distances in node units, so a tile that is not square keeps round marks.
                const double u = dx / tw_, v = dy / th_;
                const double r2 = u * u + v * v;
                if (r2 <= overlay::StartRadius * overlay::StartRadius)
                    start_[b] |= bit;
                if (r2 <= overlay::FinishOuter * overlay::FinishOuter && r2 >= overlay::FinishInner * overlay::FinishInner)
                    finish_[b] |= bit;
            }
        }
    }

    bool empty() const { return !overlay_.solution && !overlay_.marks; }

    /// Blackens the overlay's pixels in node row y, whose th tile rows of rowBytes each start
    /// at `rows`, stored bottom row first.
    void apply(int y, std::uint8_t *rows, std::size_t rowBytes) const
    {
        const int gw = grid_.width();
        const EndPoints &e = overlay_.ends;
        for (int x = 1; x <= gw; ++x) {
            const bool start = overlay_.marks && x == e.startX && y == e.startY;
            const bool finish = overlay_.marks && x == e.finishX && y == e.finishY;
            const unsigned sides = overlay_.solution && grid_.marked(x, y) ? markedSides(x, y) : 0;
            if (!start && !finish && sides == 0)
                continue;
            for (int b = 0; b < th_; ++b) {
                const std::uint64_t line = sides ? path_[sides * static_cast<std::size_t>(th_) + b] : 0;
                const std::uint64_t mark = (start ? start_[b] : 0) | (finish ? finish_[b] : 0);
                if ((line | mark) == 0)
                    continue;
                std::uint8_t *row = rows + static_cast<std::size_t>(th_ - 1 - b) * rowBytes;
                const std::uint64_t pixelY = static_cast<std::uint64_t>(y - 1) * th_ + b;
                for (int a = 0; a < tw_; ++a) {
                    const std::uint64_t bit = std::uint64_t{1} << (tw_ - 1 - a);
                    const std::uint64_t pixelX = static_cast<std::uint64_t>(x - 1) * tw_ + a;
                    // Dots on a checkerboard of the whole picture, so they run on across nodes.
                    const bool ink = (mark & bit) || ((line & bit) && (!dotted_ || (pixelX + pixelY) % 2 == 0));
                    if (ink)
                        row[pixelX >> 3] &= static_cast<std::uint8_t>(~(0x80u >> (pixelX & 7)));
                }
            }
        }
    }

private:
    /// The line's width in whole pixels nearest to `width`, odd in an odd tile and even in an
    /// even one, so that it sits on the tile's centre line.
    static int strokePixels(double width, int tile)
    {
        int w = tile % 2 ? 1 : 2;
        while (std::abs(w + 2 - width) < std::abs(w - width))
            w += 2;
        return w;
    }

    /// The narrowest run of ink across the middle of the straight tiles: the set's thinnest
    /// wall line.
    static int thinnestWall(const tiles::TileSet &set)
    {
        int thinnest = std::max(set.width, set.height);
        auto runs = [&](int count, auto inkAt) {
            int run = 0;
            for (int i = 0; i <= count; ++i) {
                if (i < count && inkAt(i)) {
                    ++run;
                } else if (run > 0) {
                    thinnest = std::min(thinnest, run);
                    run = 0;
                }
            }
        };
        runs(set.height, [&](int b) { return set.ink(10, set.width / 2, b); });  // west-east
        runs(set.width, [&](int a) { return set.ink(9, a, set.height / 2); });   // north-south
        return thinnest;
    }

    unsigned markedSides(int x, int y) const
    {
        unsigned sides = 0;
        if (x > 1 && grid_.marked(x - 1, y))
            sides |= tiles::West;
        if (x < grid_.width() && grid_.marked(x + 1, y))
            sides |= tiles::East;
        if (y > 1 && grid_.marked(x, y - 1))
            sides |= tiles::North;
        if (y < grid_.height() && grid_.marked(x, y + 1))
            sides |= tiles::South;
        return sides;
    }

    const NodeGrid &grid_;
    MonoOverlay overlay_;
    int tw_, th_;
    bool dotted_ = false;
    std::vector<std::uint64_t> path_;  // [sides * th + b]
    std::vector<std::uint64_t> start_, finish_;
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

std::size_t scaled_row_bytes(std::uint32_t width, int scale)
{
    return mono_layout(static_cast<int>(width), 1, scale, 1).rowBytes;
}

void scale_mono_row(const std::uint8_t *row, std::uint32_t width, int scale, std::uint8_t *out)
{
    const std::size_t bytes = scaled_row_bytes(width, scale);
    std::memset(out, 0xFF, bytes);
    std::uint64_t to = 0;
    for (std::uint32_t x = 0; x < width; ++x, to += static_cast<std::uint64_t>(scale)) {
        if (row[x >> 3] & (0x80u >> (x & 7)))
            continue;
        for (std::uint64_t i = to; i < to + static_cast<std::uint64_t>(scale); ++i)
            out[i >> 3] &= static_cast<std::uint8_t>(~(0x80u >> (i & 7)));
    }
}

void check_mono_request(const NodeGrid &grid, int style, int scale, const std::string &path)
{
    if (grid.width() < 1 || grid.height() < 1)
        throw std::invalid_argument("cannot write " + path + ": the grid is empty");
    if (style < 0 || style >= tiles::SetCount)
        throw std::invalid_argument("cannot write " + path + ": no tile set " + std::to_string(style));
    if (scale < 1)
        throw std::invalid_argument("cannot write " + path + ": no scale " + std::to_string(scale));
}

namespace {

/// The bitmap file: the header, then the rows from the bottom up, handed to the disk in
/// large blocks. At scale 1 the rows are composed straight into the block being filled.
class BmpSink : public MonoRowSink {
public:
    BmpSink(AtomicFile &out, int scale) : out_(out), scale_(scale) {}

    bool bottomUp() const override { return true; }

    void start(const MonoLayout &layout, int tileHeight) override
    {
        layout_ = layout;
        scaled_ = mono_layout(static_cast<int>(layout.width), static_cast<int>(layout.height), scale_, scale_);
        out_.expectBytes(scaled_.fileBytes);
        const auto header = mono_header(scaled_);
        out_.write(header.data(), header.size());
        nodeRowBytes_ = std::size_t{layout.rowBytes} * static_cast<std::size_t>(tileHeight);
        const std::size_t outBytes = scale_ == 1 ? nodeRowBytes_ : std::size_t{scaled_.rowBytes} * tileHeight * scale_;
        filling_.resize(std::max(BlockBytes, outBytes));
        writing_.resize(filling_.size());
        if (scale_ > 1)
            node_.resize(nodeRowBytes_);
    }

    std::uint8_t *reserve() override
    {
        if (scale_ > 1)
            return node_.data();
        if (filling_.size() - used_ < nodeRowBytes_)
            handOver();
        return filling_.data() + used_;
    }

    void take(int rows) override
    {
        if (scale_ == 1) {
            used_ += nodeRowBytes_;
            return;
        }
        // Each row enlarged once and repeated: the rows stay bottom row first.
        const std::size_t rowBytes = scaled_.rowBytes;
        if (filling_.size() - used_ < rowBytes * rows * scale_)
            handOver();
        for (int r = 0; r < rows; ++r) {
            std::uint8_t *first = filling_.data() + used_;
            scale_mono_row(node_.data() + std::size_t(r) * layout_.rowBytes, layout_.width, scale_, first);
            used_ += rowBytes;
            for (int k = 1; k < scale_; ++k, used_ += rowBytes)
                std::memcpy(filling_.data() + used_, first, rowBytes);
        }
    }

    void finish() override
    {
        handOver();
        pending_.get();
    }

private:
    // Two blocks: one is composed while the other goes to the disk on its own thread,
    // so the writer runs at the slower of the two rather than at their sum.
    void handOver()
    {
        if (pending_.valid())
            pending_.get();
        std::swap(filling_, writing_);
        pending_ = std::async(std::launch::async, [this, data = writing_.data(), size = used_] { out_.write(data, size); });
        used_ = 0;
    }

    AtomicFile &out_;
    int scale_;
    MonoLayout layout_, scaled_;
    std::size_t nodeRowBytes_ = 0;
    std::vector<std::uint8_t> filling_, writing_, node_;
    std::size_t used_ = 0;
    std::future<void> pending_;  // declared last, destroyed first: waits for the block in flight
};

} // namespace

bool compose_mono_rows(const NodeGrid &grid, int style, MonoRowSink &sink, Progress &progress,
                       const MonoOverlay &overlay)
{
    const int gw = grid.width();
    const int gh = grid.height();
    const Patterns patterns(tiles::tile_set(style));
    const OverlayInk overlayInk(tiles::tile_set(style), grid, overlay);
    const MonoLayout layout = mono_layout(gw, gh, patterns.tw, patterns.th);
    const ComposeFn compose = composerFor(patterns.tw);
    const bool bottomUp = sink.bottomUp();

    // The tile rows composed for every node row; the others are copies of one of them.
    std::vector<int> distinct;
    std::vector<const std::uint64_t *> distinctPatterns, distinctPairs;
    for (int b = patterns.th - 1; b >= 0; --b)
        if (patterns.sameAs[b] == b) {
            distinct.push_back(b);
            distinctPatterns.push_back(patterns.row(b));
            distinctPairs.push_back(patterns.pairRow(b));
        }
    std::vector<std::uint8_t *> distinctOut(distinct.size());

    CodeRows codeRows(grid);
    sink.start(layout, patterns.th);
    for (int i = 0; i < gh; ++i) {
        const int y = bottomUp ? gh - i : i + 1;
        const std::uint8_t *codes = bottomUp ? codeRows.row(y) : codeRows.rowAt(y);
        // Rows of a node row are stored bottom row first; row b sits at (th - 1 - b).
        std::uint8_t *base = sink.reserve();
        for (std::size_t r = 0; r < distinct.size(); ++r)
            distinctOut[r] = base + std::size_t(patterns.th - 1 - distinct[r]) * layout.rowBytes;
        compose(codes, gw, distinctPatterns.data(), distinctPairs.data(), static_cast<int>(distinct.size()),
                patterns.tw, distinctOut.data(), layout.rowBytes);
        for (int b = patterns.th - 1; b >= 0; --b)
            if (const int same = patterns.sameAs[b]; same != b)
                std::memcpy(base + std::size_t(patterns.th - 1 - b) * layout.rowBytes,
                            base + std::size_t(patterns.th - 1 - same) * layout.rowBytes, layout.rowBytes);
        // After the whole node row: rows copied above must not carry another row's overlay.
        if (!overlayInk.empty())
            overlayInk.apply(y, base, layout.rowBytes);
        sink.take(patterns.th);

        progress.phase(Phase::RenderingToDisk, bottomUp ? mono_percent(y, gh) : row_percent(y, gh));
        progress.processEvents();
        if (progress.stopRequested())
            return false;
    }
    sink.finish();
    return true;
}

bool write_mono_bitmap(const NodeGrid &grid, int style, AtomicFile &out, Progress &progress,
                       const MonoOverlay &overlay, int scale)
{
    check_mono_request(grid, style, scale, out.path());
    BmpSink sink(out, scale);
    return compose_mono_rows(grid, style, sink, progress, overlay);
}

bool write_mono_bitmap(const NodeGrid &grid, int style, const std::string &path, Progress &progress,
                       const MonoOverlay &overlay, int scale)
{
    return write_atomically(path, [&](AtomicFile &out) {
        return write_mono_bitmap(grid, style, out, progress, overlay, scale);
    });
}

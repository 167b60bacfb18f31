#include "render/svg_maze.h"

#include "maze/frame.h"
#include "maze/progress.h"
#include "maze/random.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/overlay.h"
#include "render/tiles.h"
#include "render/vector_tiles.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Text is handed to the file in blocks, not per element.
constexpr std::size_t BlockBytes = std::size_t{1} << 20;

std::string colour(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

/// The document as it is written: appended to, and handed to the file a block at a time.
class SvgText {
public:
    explicit SvgText(AtomicFile &file) : file_(file) { text_.reserve(BlockBytes + 4096); }

    SvgText &operator<<(const std::string &s) { return append(s.data(), s.size()); }
    SvgText &operator<<(const char *s) { return append(s, std::char_traits<char>::length(s)); }
    SvgText &operator<<(char c) { return append(&c, 1); }
    SvgText &operator<<(long long n)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        return append(digits, static_cast<std::size_t>(end - digits));
    }
    SvgText &operator<<(int n) { return *this << static_cast<long long>(n); }
    /// At most three decimals, without trailing zeros: a thousandth of a tile pixel.
    SvgText &operator<<(double v)
    {
        const double rounded = std::round(v * 1000) / 1000;
        char digits[32];
        auto end = std::to_chars(digits, digits + sizeof digits, rounded, std::chars_format::fixed, 3).ptr;
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
        if (end - digits == 2 && digits[0] == '-' && digits[1] == '0')
            return append("0", 1);
        return append(digits, static_cast<std::size_t>(end - digits));
    }

    void flush()
    {
        file_.write(text_.data(), text_.size());
        text_.clear();
    }

private:
    SvgText &append(const char *s, std::size_t n)
    {
        text_.append(s, n);
        if (text_.size() >= BlockBytes)
            flush();
        return *this;
    }

    AtomicFile &file_;
    std::string text_;
};

using Point = std::array<double, 2>;

void polygon(SvgText &out, const std::vector<Point> &points, double x, double y, double sx, double sy)
{
    char command = 'M';
    for (const Point &p : points) {
        out << command << (x + p[0] * sx) << ' ' << (y + p[1] * sy);
        command = 'L';
    }
    out << 'Z';
}

} // namespace

bool write_maze_svg(const MazeState &s, const std::string &path, Progress &progress, const SvgOptions &options)
{
    return write_atomically(path, [&](AtomicFile &file) { return write_maze_svg(s, file, progress, options); });
}

bool write_maze_svg(const MazeState &s, AtomicFile &file, Progress &progress, const SvgOptions &options)
{
    const NodeGrid &g = s.grid;
    const int gw = g.width(), gh = g.height();
    const tiles::TileSet &set = tiles::tile_set(s.MazeStyle);
    const int tw = set.width, th = set.height;
    const long long width = static_cast<long long>(tw) * (gw + 2), height = static_cast<long long>(th) * (gh + 2);
    const int scale = options.scale < 1 ? 1 : options.scale;

    // No room is checked before: the size follows from the merged runs, known only once
    // written. A full disk fails the write and leaves nothing.
    SvgText out(file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << width * scale << "\" height=\""
        << height * scale << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
        << "<title>Maze, seed " << static_cast<long long>(s.rng.currentSeed()) << "</title>\n"
        << "<rect width=\"" << width << "\" height=\"" << height << "\" fill=\"#ffffff\"/>\n";

    if (s.MazeType == TopLeftToBottomRight && s.CornerWidth > 0 && s.CornerHeight > 0) {
        const int cw = s.CornerWidth, ch = s.CornerHeight;
        out << "<path id=\"arrows\" fill=\"#000000\" d=\"";
        for (const auto [x, y] : {std::array<int, 2>{1, 1}, std::array<int, 2>{gw - cw + 1, gh - ch + 1}})
            for (const auto &shape : corner_arrow_shape())
                polygon(out, shape, double(x) * tw, double(y) * th, cw * tw / 128.0, ch * th / 128.0);
        out << "\"/>\n";
    }

    auto rowDone = [&](int y) {
        progress.phase(Phase::Rendering, row_percent(y, gh));
        progress.processEvents();
        return !progress.stopRequested();
    };
    if (options.cityPlan) {
        // The printed page's slabs, four numbers a wall node in row order, in node units.
        Random &rnd = *options.cityPlan;
        out << "<g id=\"tiles\" fill=\"#000000\">\n";
        for (int y = 1; y <= gh; ++y) {
            out << "<path d=\"";
            for (int x = 1; x <= gw; ++x) {
                const int bmp = find_bitmap(g, x, y);
                if (bmp <= 0)
                    continue;
                for (const tiles::CitySlab &slab : tiles::city_slabs(x, y, bmp, rnd)) {
                    const double x0 = slab.left, y0 = slab.top, x1 = slab.right, y1 = slab.bottom;
                    out << 'M' << x0 * tw << ' ' << y0 * th << 'H' << x1 * tw << 'V' << y1 * th << 'H' << x0 * tw << 'Z';
                }
            }
            out << "\"/>\n";
            if (!rowDone(y))
                return false;
        }
        out << "</g>\n";
    } else {
        // One path per shade and node row, each rectangle a subpath; the rectangles never
        // overlap, and sharp edges keep the pixels' borders on screen.
        out << "<g id=\"tiles\" shape-rendering=\"crispEdges\">\n";
        std::array<std::string, 3> pending;  // by shade: black, dark grey, light grey
        auto flushPending = [&] {
            for (int shade = tiles::Black; shade < tiles::White; ++shade) {
                std::string &d = pending[static_cast<std::size_t>(shade)];
                if (d.empty())
                    continue;
                out << "<path fill=\"" << colour(tiles::rgb(static_cast<tiles::Shade>(shade))) << "\" d=\"" << d << "\"/>\n";
                d.clear();
            }
        };
        auto number = [](std::string &d, long long n) {
            char digits[24];
            d.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits));
        };
        const TileRects rects(set);
        const bool finished = rects.trace(
            g, NodeSpan{1, 1, gw, gh},
            [&](const PixelRect &r) {
                std::string &d = pending[static_cast<std::size_t>(r.shade)];
                d += 'M';
                number(d, r.x + tw);
                d += ' ';
                number(d, r.y + th);
                d += 'h';
                number(d, r.width);
                d += 'v';
                number(d, r.height);
                d += 'h';
                number(d, -r.width);
                d += 'z';
            },
            [&](int y) {
                flushPending();
                return rowDone(y);
            });
        if (!finished)
            return false;
        flushPending();
        out << "</g>\n";
    }

    if (options.solution) {
        // Each joined pair of marked nodes once, centre to centre; square caps fill the corners.
        out << "<path id=\"solution\" fill=\"none\" stroke=\"" << colour(overlay::SolutionRgb) << "\" stroke-width=\""
            << overlay::PathWidth * tw << "\" stroke-linecap=\"square\" d=\"";
        for (int y = 1; y <= gh; ++y)
            for (int x = 1; x <= gw; ++x) {
                if (!g.marked(x, y))
                    continue;
                const double cx = (x + 0.5) * tw, cy = (y + 0.5) * th;
                if (x < gw && g.marked(x + 1, y))
                    out << 'M' << cx << ' ' << cy << 'h' << tw;
                if (y < gh && g.marked(x, y + 1))
                    out << 'M' << cx << ' ' << cy << 'v' << th;
            }
        out << "\"/>\n";
    }
    if (options.marks) {
        const EndPoints e = end_points(s);
        if (e.startX > 0)
            out << "<circle id=\"start\" cx=\"" << (e.startX + 0.5) * tw << "\" cy=\"" << (e.startY + 0.5) * th
                << "\" r=\"" << overlay::StartRadius * tw << "\" fill=\"" << colour(overlay::StartRgb) << "\"/>\n";
        if (e.finishX > 0)
            out << "<circle id=\"finish\" cx=\"" << (e.finishX + 0.5) * tw << "\" cy=\"" << (e.finishY + 0.5) * th
                << "\" r=\"" << (overlay::FinishOuter + overlay::FinishInner) / 2 * tw << "\" fill=\"none\" stroke=\""
                << colour(overlay::FinishRgb) << "\" stroke-width=\"" << (overlay::FinishOuter - overlay::FinishInner) * tw
                << "\"/>\n";
    }
    out << "</svg>\n";
    out.flush();
    return true;
}

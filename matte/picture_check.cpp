#include "matte/picture_check.h"

#include <array>
#include <cstring>

namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t le16(Bytes b, std::size_t at) { return b[at] | std::uint32_t(b[at + 1]) << 8; }
std::uint32_t le32(Bytes b, std::size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }
std::uint32_t be16(Bytes b, std::size_t at) { return std::uint32_t(b[at]) << 8 | b[at + 1]; }
std::uint32_t be32(Bytes b, std::size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

bool startsWith(Bytes b, const char *magic)
{
    const std::size_t n = std::strlen(magic);
    return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

PictureCheck damaged(PictureCheck c, const char *flaw)
{
    c.verdict = PictureCheck::Damaged;
    c.flaw = flaw;
    return c;
}

/// Walks an RLE8 or RLE4 stream: sound only when it paints every pixel of every row
/// and stays inside the picture and the file. Skipped pixels would be left unpainted.
bool rleCoversEverything(Bytes data, std::int64_t width, std::int64_t height, bool four)
{
    std::int64_t x = 0, y = 0;
    std::size_t i = 0;
    while (i + 1 < data.size()) {
        const int count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            if (x + count > width)
                return false;
            x += count;
            continue;
        }
        if (value == 0 || value == 1) {  // end of a row, end of the picture
            if (x != width)
                return false;
            x = 0;
            if (++y == height)
                return true;
            if (value == 1)
                return false;
        } else if (value == 2) {  // a jump leaves pixels unpainted
            return false;
        } else {  // `value` pixels given one by one, padded to whole 16-bit words
            const std::size_t bytes = four ? (std::size_t(value) + 1) / 2 : std::size_t(value);
            i += (bytes + 1) / 2 * 2;
            if (x + value > width || i > data.size())
                return false;
            x += value;
        }
    }
    return false;
}

PictureCheck checkBmp(Bytes b)
{
    PictureCheck c;
    c.format = "bmp";
    if (b.size() < 18)
        return damaged(c, "the header is cut short");
    const std::uint64_t offset = le32(b, 10);
    const std::uint32_t headerSize = le32(b, 14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 64 && headerSize != 108
        && headerSize != 124)
        return damaged(c, "the information header has an unknown size");
    if (b.size() < 14 + std::size_t(headerSize))
        return damaged(c, "the header is cut short");
    std::int64_t width, height;
    std::uint32_t planes, bits, compression = 0, colours = 0;
    if (core) {
        width = le16(b, 18);
        height = le16(b, 20);
        planes = le16(b, 22);
        bits = le16(b, 24);
    } else {
        width = std::int32_t(le32(b, 18));
        height = std::int32_t(le32(b, 22));
        planes = le16(b, 26);
        bits = le16(b, 28);
        compression = le32(b, 30);
        colours = le32(b, 46);
    }
    const bool topDown = height < 0;
    c.width = width;
    c.height = topDown ? -height : height;
    if (width <= 0 || c.height <= 0 || planes != 1)
        return damaged(c, "the size or the planes are impossible");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return damaged(c, "the colour depth is impossible");
    const bool rle8 = compression == 1, rle4 = compression == 2, fields = compression == 3;
    if (compression > 3 || (rle8 && bits != 8) || (rle4 && bits != 4) || ((rle8 || rle4) && topDown)
        || (fields && bits != 16 && bits != 32) || (core && bits > 8 && bits != 24))
        return damaged(c, "the compression does not fit the colour depth");

    std::uint64_t tables = 14 + std::uint64_t(headerSize);
    if (fields && headerSize == 40)
        tables += 12;  // the three colour masks
    if (bits <= 8) {
        const std::uint64_t most = std::uint64_t(1) << bits;
        if (colours > most)
            return damaged(c, "the palette is larger than the colour depth allows");
        tables += (colours ? colours : most) * (core ? 3 : 4);
    }
    if (tables > b.size())
        return damaged(c, "the palette or the colour masks are cut short");
    if (offset < 14 + std::uint64_t(headerSize) || offset > b.size())
        return damaged(c, "the pixel data lies outside the file");
    const Bytes pixels = b.subspan(std::size_t(offset));
    if (rle8 || rle4) {
        if (!rleCoversEverything(pixels, width, c.height, rle4))
            return damaged(c, "the compressed pixels do not paint the whole picture");
    } else {
        const std::uint64_t rowBytes = (std::uint64_t(width) * bits + 31) / 32 * 4;
        if (rowBytes * std::uint64_t(c.height) > pixels.size())
            return damaged(c, "the pixel rows are cut short");
    }
    c.verdict = PictureCheck::Sound;
    return c;
}

std::uint32_t crc32(Bytes data)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t v = n;
            for (int k = 0; k < 8; ++k)
                v = v & 1 ? 0xEDB88320u ^ (v >> 1) : v >> 1;
            t[n] = v;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

PictureCheck checkPng(Bytes b)
{
    PictureCheck c;
    c.format = "png";
    std::size_t at = 8;
    bool header = false, data = false;
    while (at + 12 <= b.size()) {
        const std::uint64_t length = be32(b, at);
        if (at + 12 + length > b.size())
            break;
        const Bytes typeAndData = b.subspan(at + 4, std::size_t(length) + 4);
        if (crc32(typeAndData) != be32(b, at + 8 + std::size_t(length)))
            return damaged(c, "a chunk fails its CRC");
        const bool isHeader = std::memcmp(&b[at + 4], "IHDR", 4) == 0;
        if (header == isHeader)
            return damaged(c, "the header chunk is missing or repeated");
        if (isHeader) {
            if (length < 13)
                return damaged(c, "the header chunk is cut short");
            header = true;
            c.width = be32(b, at + 8);
            c.height = be32(b, at + 12);
        }
        data = data || std::memcmp(&b[at + 4], "IDAT", 4) == 0;
        if (std::memcmp(&b[at + 4], "IEND", 4) == 0) {
            if (!data)
                return damaged(c, "there is no image data");
            c.verdict = PictureCheck::Sound;
            return c;
        }
        at += 12 + std::size_t(length);
    }
    return damaged(c, "the file ends before its last chunk");
}

PictureCheck checkJpeg(Bytes b)
{
    PictureCheck c;
    c.format = "jpeg";
    std::size_t at = 2;
    // Markers with a length up to the start of the scan; then entropy-coded data, in
    // which a marker byte is always escaped, up to the end of the image.
    while (true) {
        while (at < b.size() && b[at] == 0xFF)
            ++at;
        if (at + 3 > b.size())
            return damaged(c, "the file ends among its headers");
        const std::uint8_t marker = b[at++];
        if (marker == 0xD9)
            return damaged(c, "the image ends before its data");
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        const std::size_t length = be16(b, at);
        if (length < 2 || at + length > b.size())
            return damaged(c, "a header runs past the end of the file");
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && length >= 7) {
            c.height = be16(b, at + 3);
            c.width = be16(b, at + 5);
        }
        at += length;
        if (marker == 0xDA)
            break;
    }
    for (; at + 1 < b.size(); ++at)
        if (b[at] == 0xFF && b[at + 1] == 0xD9) {
            c.verdict = c.width > 0 && c.height > 0 ? PictureCheck::Sound : PictureCheck::Damaged;
            if (c.verdict == PictureCheck::Damaged)
                c.flaw = "there is no frame header";
            return c;
        }
    return damaged(c, "the image data is cut short");
}

PictureCheck checkGif(Bytes b)
{
    PictureCheck c;
    c.format = "gif";
    if (b.size() < 13)
        return damaged(c, "the header is cut short");
    c.width = le16(b, 6);
    c.height = le16(b, 8);
    std::size_t at = 13;
    if (b[10] & 0x80)
        at += 3 * (std::size_t(2) << (b[10] & 7));
    auto skipSubBlocks = [&] {
        while (at < b.size()) {
            const std::size_t n = b[at];
            at += 1 + n;
            if (n == 0)
                return at <= b.size();
        }
        return false;
    };
    while (at < b.size()) {
        const std::uint8_t kind = b[at++];
        if (kind == 0x21) {  // an extension: its label, then sub-blocks
            ++at;
            if (!skipSubBlocks())
                return damaged(c, "an extension is cut short");
        } else if (kind == 0x2C) {  // the first image: what a reader shows
            if (at + 9 > b.size())
                return damaged(c, "the image descriptor is cut short");
            const std::uint8_t flags = b[at + 8];
            at += 9;
            if (flags & 0x80)
                at += 3 * (std::size_t(2) << (flags & 7));
            ++at;  // the smallest code size
            if (at > b.size() || !skipSubBlocks())
                return damaged(c, "the image data is cut short");
            c.verdict = PictureCheck::Sound;
            return c;
        } else {
            break;
        }
    }
    return damaged(c, "there is no image");
}

} // namespace

PictureCheck check_picture(std::span<const std::uint8_t> bytes)
{
    if (startsWith(bytes, "BM"))
        return checkBmp(bytes);
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n"))
        return checkPng(bytes);
    if (startsWith(bytes, "\xFF\xD8\xFF"))
        return checkJpeg(bytes);
    if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a"))
        return checkGif(bytes);
    return {};
}

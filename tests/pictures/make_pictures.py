#!/usr/bin/env python3
"""Writes the damaged and the sound pictures the matte import is tested on.

Each damaged picture ("bad-*") must be refused, every time, as damaged or incomplete;
each sound one ("ok-*") must load, the same every time. They are small, kept in the
repository, and seed the picture fuzzer. Run from anywhere:

    python3 tests/pictures/make_pictures.py

The JPEG and GIF originals come from ImageMagick's `convert`.
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 32, 24


def pixel(x, y):
    """A dark disc on light paper with a stripe, so that sampling sees both."""
    dark = (x - 16) ** 2 + (y - 12) ** 2 < 81 or x % 11 == 0
    return (20, 30, 40) if dark else (240, 235, 230)


def rows24(width, height):
    """The picture's pixel rows as a 24-bit bitmap stores them: bottom up, BGR, padded."""
    row = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    return bytes(data)


def bmp24(width=W, height=H, offset=None, header=40, planes=1, compression=0):
    data = rows24(width, height)
    off = 14 + header if offset is None else offset
    info = struct.pack("<IiiHHIIiiII", header, width, height, planes, 24, compression, len(data), 2835, 2835, 0, 0)
    info += bytes(header - len(info))
    return b"BM" + struct.pack("<IHHI", 14 + header + len(data), 0, 0, off) + info + data


def bmp8_palette(compression, pixels, colours=2):
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in [(0, 0, 0), (255, 255, 255)][:colours])
    off = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, compression, len(pixels), 2835, 2835, colours, 0)
    return b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off) + info + palette + pixels


def rle8_rows(rows):
    """RLE8 runs, one row per list entry of (count, index) pairs."""
    out = bytearray()
    for runs in rows:
        for count, index in runs:
            out += bytes((count, index))
        out += b"\x00\x00"  # end of line
    return out


def runs(y):
    """One row of the picture as RLE8 runs over a black (0) and white (1) palette."""
    indices = [0 if pixel(x, y)[0] < 128 else 1 for x in range(W)]
    out = []
    for index in indices:
        if out and out[-1][1] == index:
            out[-1] = (out[-1][0] + 1, index)
        else:
            out.append((1, index))
    return out


def os2_core(width=W, height=H):
    data = rows24(width, height)
    info = struct.pack("<IHHHH", 12, width, height, 1, 24)
    return b"BM" + struct.pack("<IHHI", 14 + 12 + len(data), 0, 0, 26) + info + data


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png():
    raw = bytearray()
    for y in range(H):
        raw.append(0)
        for x in range(W):
            raw += bytes(pixel(x, y))
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def converted(kind):
    """The picture as ImageMagick writes it in format `kind`."""
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "in.png")
        target = os.path.join(tmp, "out." + kind)
        with open(source, "wb") as f:
            f.write(png())
        subprocess.run(["convert", source, "-strip", target], check=True)
        with open(target, "rb") as f:
            return f.read()


def main():
    good_bmp = bmp24()
    good_png = png()
    good_jpeg = converted("jpg")
    good_gif = converted("gif")
    full_rle = rle8_rows([runs(y) for y in range(H - 1, -1, -1)]) + b"\x00\x01"
    good_ppm = b"P6 %d %d 255\n" % (W, H) + b"".join(bytes(pixel(x, y)) for y in range(H) for x in range(W))
    pictures = {
        "ok-24-bit.bmp": good_bmp,
        "ok-rle8.bmp": bmp8_palette(1, full_rle),
        "ok-os2.bmp": os2_core(),
        "ok.png": good_png,
        "ok.jpg": good_jpeg,
        "ok.gif": good_gif,
        "ok.ppm": good_ppm,
        "bad-bmp-header-cut.bmp": good_bmp[:30],
        "bad-bmp-rows-cut.bmp": good_bmp[: len(good_bmp) // 2],
        "bad-bmp-offset-past-end.bmp": bmp24(offset=len(good_bmp) + 1000),
        "bad-bmp-huge-size.bmp": bmp24()[:18] + struct.pack("<ii", 30000, 30000) + bmp24()[26:200],
        "bad-bmp-zero-planes.bmp": bmp24(planes=0),
        "bad-bmp-rle8-cut.bmp": bmp8_palette(1, full_rle[: len(full_rle) // 3]),
        "bad-bmp-rle8-delta-past-end.bmp": bmp8_palette(1, b"\x04\x01\x00\x02\xff\xff\x04\x01\x00\x01"),
        "bad-bmp-rle8-no-end.bmp": bmp8_palette(1, rle8_rows([[(W, 1)]] * 3)),
        # Found by the fuzzer: a run of colour 10 from a palette of 2.
        "bad-bmp-rle8-colour-past-palette.bmp": bmp8_palette(1, full_rle.replace(b"\x00\x00\x01\x00", b"\x00\x00\x01\x0a", 1)),
        "bad-bmp-colour-past-palette.bmp": bmp8_palette(0, bytes([0, 1, 7, 1] * (W * H // 4))),
        "bad-bmp-palette-cut.bmp": bmp8_palette(0, b"", colours=2)[:60],
        "bad-bmp-os2-rows-cut.bmp": os2_core()[:400],
        "bad-bmp-os2-v2-header.bmp": bmp24(header=64)[:300],
        "bad-bmp-bitfields-on-24-bits.bmp": bmp24(compression=3),
        "bad-png-cut.png": good_png[: len(good_png) * 2 // 3],
        "bad-png-no-end.png": good_png[:-12],
        "bad-png-bad-crc.png": good_png[:-20] + bytes((good_png[-20] ^ 0xFF,)) + good_png[-19:],
        "bad-jpeg-cut.jpg": good_jpeg[: len(good_jpeg) * 2 // 3],
        "bad-jpeg-no-end.jpg": good_jpeg[:-2],
        "bad-gif-cut.gif": good_gif[: len(good_gif) * 2 // 3],
        # Formats without a structure check rely on their reader noticing what is missing.
        "bad-ppm-cut.ppm": good_ppm[: len(good_ppm) * 2 // 3],
        "bad-gif-no-image.gif": good_gif[:13 + 3 * 2 ** ((good_gif[10] & 7) + 1)] + b";",
    }
    for name in os.listdir(HERE):
        if name.startswith(("ok", "bad-")):
            os.remove(os.path.join(HERE, name))
    for name, data in pictures.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

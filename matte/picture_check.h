#pragma once

#include <cstdint>
#include <span>
#include <string>

/// What the bytes of a picture file say about it before any reader decodes it.
struct PictureCheck {
    enum Verdict {
        Sound,    ///< complete as far as its structure shows
        Damaged,  ///< cut short, or with parts pointing outside the file
        Unknown,  ///< not a BMP, PNG, JPEG or GIF: the reader decides
    };
    Verdict verdict = Unknown;
    std::string format;       ///< "bmp", "png", "jpeg", "gif" or empty
    std::int64_t width = 0;   ///< pixels, as the header declares them (0 if unknown)
    std::int64_t height = 0;
    std::string flaw;         ///< for Damaged: what is wrong, for tests and fuzzing
};

/// Checks the structure of a BMP (Windows and OS/2 headers, RLE streams that must paint
/// every pixel), PNG (chunks and their CRCs up to IEND), JPEG (markers up to the end of
/// the image) or GIF (blocks of the first image) held whole in `bytes`. Readers fill
/// what a damaged file lacks with whatever memory holds, so a damaged picture must
/// never reach them.
PictureCheck check_picture(std::span<const std::uint8_t> bytes);

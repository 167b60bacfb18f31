#pragma once

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

/// The files a maze is drawn into, each known by its name's extension.
enum class FileFormat { Bmp, Png, Svg, Pdf };

/// The extensions file_format_of() knows, for messages.
inline constexpr const char *FileFormatNames = ".bmp, .png, .svg or .pdf";

/// The format `name`'s extension asks for, in any case; none for another extension or none.
inline std::optional<FileFormat> file_format_of(std::string_view name)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    std::string_view ext = name.substr(dot + 1);
    auto is = [&](std::string_view want) {
        return ext.size() == want.size()
               && std::equal(ext.begin(), ext.end(), want.begin(), [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    if (is("bmp"))
        return FileFormat::Bmp;
    if (is("png"))
        return FileFormat::Png;
    if (is("svg"))
        return FileFormat::Svg;
    if (is("pdf"))
        return FileFormat::Pdf;
    return std::nullopt;
}

/// The format an output named `name` is written in: a file's extension's; for a stream
/// (standard output, a device, a pipe), which has no name to go by, `chosen` when given,
/// else its extension's, else the bitmap. None for a file of any other extension.
inline std::optional<FileFormat> output_format(std::string_view name, bool stream,
                                               std::optional<FileFormat> chosen = std::nullopt)
{
    if (stream)
        return chosen ? *chosen : file_format_of(name).value_or(FileFormat::Bmp);
    return file_format_of(name);
}

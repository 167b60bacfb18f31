#pragma once

#include "render/file_format.h"
#include "render/output_context.h"
#include "render/scene.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>

class AtomicFile;

/// How drawing a picture ended.
enum class RenderResult { Done, TooLarge, Stopped };

/// Pixel size of the full picture: the tile size times (GridWidth + 2) x (GridHeight + 2),
/// the maze with a one-node margin all round.
QSize maze_picture_size(const MazeState &s);

/// Draws the finished maze of `s` (tile set MazeStyle) on a new white RGB32 picture of
/// `size` pixels whose coordinate system spans (GridWidth + 2) x (GridHeight + 2) nodes:
/// the corner arrows for MazeType 1, then every wall node row by row with a
/// report of the Rendering phase. TooLarge, with `picture` null, when the picture would have
/// more than pixelBudget pixels or cannot be allocated or painted.
RenderResult render_maze(const MazeState &s, Progress &progress, QSize size, qint64 pixelBudget,
                         QImage &picture, const SceneLayers &layers = {});

/// Saves a picture as an uncompressed 24-bit Windows bitmap, whole or not at all: on
/// failure nothing new is left under `path`, and false, with "cannot write <path>:
/// <cause>" in *error.
bool save_bitmap(const QImage &picture, const QString &path, QString *error);

/// The same into an open `file` (after checking its disk has room); the caller commits.
/// With `progress`, a stop asked for while it writes ends it (see write_whole_file).
bool write_bitmap(const QImage &picture, AtomicFile &file, QString *error, Progress *progress = nullptr);

/// Bytes of the 24-bit bitmap file of a picture of `size` pixels.
std::uint64_t bitmap_file_bytes(QSize size);

/// The picture in the fewest bits a pixel that keep every colour exactly: 1-bit for black
/// and white, an 8-bit palette up to 256 colours, RGB32 beyond.
QImage palette_picture(const QImage &picture);

/// The picture `scale` times larger, each pixel repeated; null when it cannot be allocated.
QImage enlarged_picture(const QImage &picture, int scale);

/// Saves a picture as a lossless PNG in palette_picture's form, written whole or not at all;
/// false, with "cannot write <path>: <cause>" in *error, on failure.
bool save_png(const QImage &picture, const QString &path, QString *error);

/// The same into an open `file`, which the caller commits. Its room is not checked before:
/// a compressed size is known only once written.
bool write_png(const QImage &picture, AtomicFile &file, QString *error, Progress *progress = nullptr);

/// The bitmap output: draws the maze at full size, or after the "Bitmap too large"
/// dialog at a halved size or as a monochrome file, and saves it under the name the
/// user chooses (or `name` when given), in the format its extension names (.bmp, .png;
/// .svg and .pdf are drawn again from the maze as vectors), with its answer key beside it
/// when the context asks for one (both files or neither); Cancel in that dialog writes
/// nothing. Sets s.MonochromeChosen to the dialog's last answer.
void draw_maze(OutputContext &ctx, const QString &name = {});

/// Saves the maze under `name` in the format its extension names: the bitmap output for
/// .bmp and .png, the vector drawings for .svg and .pdf; any other name is refused with a
/// message naming the accepted ones.
void save_maze_file(OutputContext &ctx, const QString &name);

/// The format a file saved under `name` takes (output_format): its extension's, or the
/// bitmap for a device or a pipe without one; none for any other name.
std::optional<FileFormat> format_for_saving(const QString &name);

/// The message for a file name whose extension is none of `accepted`.
QString unknown_format_message(const QString &name, const QString &accepted);

/// The monochrome output: asks for a name and writes the maze as a 1-bit bitmap or PNG
/// straight to disk, whatever its size, and its answer key beside it when asked (both
/// files or neither).
void giant_bitmap(OutputContext &ctx);

#pragma once

#include "render/file_format.h"
#include "render/output_context.h"
#include "render/scene.h"

#include <QImage>
#include <QSize>

#include <optional>

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

/// Saves a picture as an uncompressed 24-bit Windows bitmap. A file is written under a
/// temporary name and renamed at the end, so a failure leaves nothing under `path`;
/// then false, with "cannot write <path>: <cause>" in *error.
bool save_bitmap(const QImage &picture, const QString &path, QString *error);

/// The picture in the fewest bits a pixel that keep every colour exactly: 1-bit for black
/// and white, an 8-bit palette up to 256 colours, RGB32 beyond.
QImage palette_picture(const QImage &picture);

/// The picture `scale` times larger, each pixel repeated; null when it cannot be allocated.
QImage enlarged_picture(const QImage &picture, int scale);

/// Saves a picture as a lossless PNG in palette_picture's form, written whole or not at all;
/// false, with "cannot write <path>: <cause>" in *error, on failure.
bool save_png(const QImage &picture, const QString &path, QString *error);

/// The bitmap output: draws the maze at full size, or after the "Bitmap too large"
/// dialog at a halved size or as a monochrome file, and saves it under the name the
/// user chooses (or `name` when given), in the format its extension names (.bmp, .png;
/// .svg and .pdf are drawn again from the maze as vectors), with its answer key beside it
/// when the context asks for one; Cancel in that dialog writes nothing. Sets
/// s.MonochromeChosen to the dialog's last answer.
void draw_maze(OutputContext &ctx, const QString &name = {});

/// Saves the maze under `name` in the format its extension names: the bitmap output for
/// .bmp and .png, the vector drawings for .svg and .pdf; any other name is refused with a
/// message naming the accepted ones.
void save_maze_file(OutputContext &ctx, const QString &name);

/// The format a file saved under `name` takes: its extension's, or the bitmap for a device
/// or a pipe without one; none for any other name.
std::optional<FileFormat> format_for_saving(const QString &name);

/// The message for a file name whose extension is none of `accepted`.
QString unknown_format_message(const QString &name, const QString &accepted);

/// The monochrome output: asks for a name and writes the maze as a 1-bit bitmap or PNG
/// straight to disk, whatever its size, and its answer key beside it when asked.
void giant_bitmap(OutputContext &ctx);

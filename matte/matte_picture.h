#pragma once

#include "matte/acceptance.h"
#include "matte/cell_map.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

/// Loads a picture to import as a matte (any format readable_picture_formats() names,
/// whatever the file's name), turned upright as its orientation tag asks. A picture that is damaged
/// or incomplete (cut short, parts outside the file, a compressed bitmap that leaves
/// pixels unpainted, a reader's complaint), or larger than a picture may be, is refused,
/// the same way every time: a null image, with `error` naming the file and the cause.
/// A valid `fitInto` decodes a copy no larger than it where the format allows (a preview).
QImage load_matte_picture(const QString &path, QString *error = nullptr, QSize fitInto = {});

/// Empty when the picture at `path` may be read whole, as far as its header says; else
/// why not ("the picture NAME is too large: ..."). A preview decoded at a smaller size
/// passes the reader's memory limit that the whole picture must pass too.
QString matte_picture_size_refusal(const QString &path);

/// The formats pictures are read in, for messages: "BMP, GIF, ... or XPM".
QString readable_picture_formats();

/// The same for a picture held in memory; `name` stands for it in messages.
QImage read_matte_picture(const QByteArray &bytes, const QString &name, QString *error = nullptr,
                          QSize fitInto = {});

/// The import's reading of a picture: one pixel per cell at the centre of the cell's
/// share, light (paper) at or above 0xCCCCCC, transparency read as white paper.
/// True where the cell becomes paper. The editor and the command line share it.
CellMap sample_matte_picture(const QImage &picture, int cols, int rows);

/// The text fields of a saved matte that keep its points ("cx,cy", 0-based cells).
inline constexpr char MatteStartKey[] = "Corvanthel start cell";
inline constexpr char MatteFinishKey[] = "Corvanthel finish cell";

/// A painting as a picture that the import reads back to the same painting: one pixel a
/// cell, maze black, paper white, the start green and the finish red (both dark, so maze),
/// and the points in text fields as well.
QImage matte_picture(const MattePainting &painting);

/// The point a picture's text field `key` keeps, carried over to a matte of cols x rows
/// cells by the same rule as its pixels (the cell whose share holds the point's centre).
/// Unset when the field is missing or unreadable.
MatteCell matte_picture_point(const QImage &picture, const char *key, int cols, int rows);

/// Writes matte_picture(painting) as a PNG file, whole or not at all. False, with
/// "cannot write <path>: <cause>" in *error, on failure.
bool save_matte_picture(const MattePainting &painting, const QString &path, QString *error);

#pragma once

#include "matte/cell_map.h"

#include <QImage>
#include <QString>

/// Loads a picture to import as a matte (".bmp", ".gif", ".jpg", ".jpeg" and whatever
/// else Qt reads), turned upright as its orientation tag asks. A null image on failure,
/// with `error` set to a short message naming the file.
QImage load_matte_picture(const QString &path, QString *error = nullptr);

/// The import's reading of a picture: one pixel per cell at the centre of the cell's
/// share, light (paper) at or above 0xCCCCCC, transparency read as white paper.
/// True where the cell becomes paper. The editor and the command line share it.
CellMap sample_matte_picture(const QImage &picture, int cols, int rows);

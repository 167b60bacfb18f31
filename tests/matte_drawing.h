#pragma once

// Mattes written as text for the matte suites: rows joined by '/', one letter a cell.

#include "matte/acceptance.h"

#include <QString>
#include <QStringList>

/// The painting of a drawing: '#' paper, 'S' the start, 'F' the finish, anything else maze.
inline MattePainting painted(const QString &drawing)
{
    const QStringList rows = drawing.split(u'/');
    MattePainting p{CellMap(int(rows.first().size()), int(rows.size())), {}, {}};
    for (int cy = 0; cy < rows.size(); ++cy)
        for (int cx = 0; cx < rows[cy].size(); ++cx) {
            p.paper.set(cx, cy, rows[cy][cx] == u'#');
            if (rows[cy][cx] == u'S')
                p.start = {cx, cy};
            if (rows[cy][cx] == u'F')
                p.finish = {cx, cy};
        }
    return p;
}

/// Cells as a drawing: '#' where set, '.' elsewhere; painted(cellsDrawn(c)).paper is c.
inline QString cellsDrawn(const CellMap &cells)
{
    QStringList rows;
    for (int cy = 0; cy < cells.rows(); ++cy) {
        QString row;
        for (int cx = 0; cx < cells.cols(); ++cx)
            row += cells.at(cx, cy) ? u'#' : u'.';
        rows << row;
    }
    return rows.join(u'/');
}

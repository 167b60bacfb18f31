#pragma once

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

/// How mazes are laid out on pages. Nothing set keeps the printed page as it always was:
/// the device's paper and margins, the maze from the top-left corner of the page.
struct PageSetup {
    enum class Orientation { Device, Portrait, Landscape, Auto };

    std::optional<QPageSize::PageSizeId> paper;  ///< the device's paper when unset
    Orientation orientation = Orientation::Device;
    std::optional<double> marginMm;              ///< on all four sides; the device's when unset
    bool center = false;                         ///< the maze in the middle of its place
    QString title;                               ///< above the maze: %n its number, %s its seed, %% a percent sign
    bool nameLine = false;                       ///< "Name: ______  Date: ______" under the title
    int perPage = 1;                             ///< 1, 2, 4, 6 or 9 mazes on a page
    QSize poster;                                ///< columns x rows of pages for one maze; empty: none

    /// True when anything is set: the page is then composed by the layout rules below.
    bool custom() const
    {
        return paper || orientation != Orientation::Device || marginMm || center || !title.isEmpty() || nameLine
               || perPage > 1 || !poster.isEmpty();
    }
};

/// The paper names --paper takes, in the order help lists them, with their sizes.
struct PaperName {
    const char *name;
    QPageSize::PageSizeId id;
};
inline constexpr PaperName PaperNames[] = {
    {"A4", QPageSize::A4},         {"A3", QPageSize::A3},       {"A5", QPageSize::A5},
    {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal}, {"Tabloid", QPageSize::Tabloid},
};

/// The overlap of neighbouring poster pages, the strip both show.
inline constexpr double PosterOverlapMm = 10;

/// `pattern` with %n replaced by `number`, %s by `seed` and %% by a percent sign.
QString page_title(const QString &pattern, int number, quint32 seed);

/// The device's layout as the setup changes it: paper, margins and, unless Auto, orientation.
QPageLayout page_layout_for(const QPageLayout &device, const PageSetup &setup);

/// Where things go on one page, in device pixels from the paint area's top-left corner.
struct PagePlan {
    QRectF title;            ///< empty when the page has none
    QRectF nameLine;         ///< empty when the page has none
    QRectF footer;           ///< page number or poster label; empty when none
    QList<QRectF> labels;    ///< each place's number, above it; empty rectangles when none
    QList<QRectF> places;    ///< where the mazes are fitted, in order, row by row
};

/// What a page holds besides its mazes.
struct PageParts {
    bool title = false;
    bool nameLine = false;
    bool footer = false;
    bool labels = false;
};

/// Device pixels at `dpi` of `value` millimetres.
double mm_to_pixels(double value, double dpi);

/// The page of `paint` pixels at `dpi` cut into `columns` x `rows` places under its header.
PagePlan plan_page(QSizeF paint, double dpi, int columns, int rows, const PageParts &parts);

/// The columns and rows of `perPage` places that make a maze of gw x gh nodes largest.
QSize best_grid(QSizeF paint, double dpi, int perPage, int gw, int gh, const PageParts &parts);

/// Nodes a unit, the maze's top-left corner at the place's (or, with `center`, the maze in
/// its middle): the printed page's rule inside `place`, width- or height-limited.
QTransform maze_transform(const QRectF &place, int gw, int gh, bool center);

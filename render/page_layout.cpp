#include "render/page_layout.h"

#include "render/print.h"

#include <QTransform>

#include <algorithm>

double mm_to_pixels(double value, double dpi)
{
    return value * dpi / 25.4;
}

namespace {

double points(double value, double dpi)
{
    return value * dpi / 72;
}

} // namespace

QString page_title(const QString &pattern, int number, quint32 seed)
{
    QString title;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != QLatin1Char('%') || i + 1 == pattern.size()) {
            title += c;
            continue;
        }
        const QChar next = pattern[++i];
        if (next == QLatin1Char('n'))
            title += QString::number(number);
        else if (next == QLatin1Char('s'))
            title += QString::number(seed);
        else if (next == QLatin1Char('%'))
            title += QLatin1Char('%');
        else
            title += c + QString(next);
    }
    return title;
}

QPageLayout page_layout_for(const QPageLayout &device, const PageSetup &setup)
{
    QPageLayout layout = device;
    layout.setUnits(QPageLayout::Millimeter);
    if (setup.paper)
        layout.setPageSize(QPageSize(*setup.paper));
    if (setup.orientation == PageSetup::Orientation::Portrait)
        layout.setOrientation(QPageLayout::Portrait);
    else if (setup.orientation == PageSetup::Orientation::Landscape)
        layout.setOrientation(QPageLayout::Landscape);
    if (setup.marginMm) {
        layout.setMinimumMargins(QMarginsF());
        layout.setMargins(QMarginsF(*setup.marginMm, *setup.marginMm, *setup.marginMm, *setup.marginMm));
    }
    return layout;
}

PagePlan plan_page(QSizeF paint, double dpi, int columns, int rows, const PageParts &parts)
{
    PagePlan plan;
    double top = 0;
    if (parts.title) {
        plan.title = QRectF(0, top, paint.width(), points(18, dpi) * 1.5);
        top = plan.title.bottom();
    }
    if (parts.nameLine) {
        plan.nameLine = QRectF(0, top, paint.width(), points(11, dpi) * 2);
        top = plan.nameLine.bottom();
    }
    if (top > 0)
        top += mm_to_pixels(3, dpi);
    double bottom = paint.height();
    if (parts.footer) {
        const double height = points(9, dpi) * 1.6;
        plan.footer = QRectF(0, bottom - height, paint.width(), height);
        bottom = plan.footer.top() - mm_to_pixels(2, dpi);
    }
    const double gutter = columns * rows > 1 ? mm_to_pixels(6, dpi) : 0;
    const double label = parts.labels ? points(10, dpi) * 1.6 : 0;
    const double width = (paint.width() - (columns - 1) * gutter) / columns;
    const double height = (bottom - top - (rows - 1) * gutter) / rows;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const QPointF at(c * (width + gutter), top + r * (height + gutter));
            plan.labels << (label > 0 ? QRectF(at, QSizeF(width, label)) : QRectF());
            plan.places << QRectF(at + QPointF(0, label), QSizeF(width, std::max(0.0, height - label)));
        }
    return plan;
}

QSize best_grid(QSizeF paint, double dpi, int perPage, int gw, int gh, const PageParts &parts)
{
    QSize best(1, perPage);
    double bestScale = -1;
    for (int columns = 1; columns <= perPage; ++columns) {
        if (perPage % columns)
            continue;
        const QRectF place = plan_page(paint, dpi, columns, perPage / columns, parts).places.constFirst();
        const double scale = std::min(place.width() / gw, place.height() / gh);
        if (scale > bestScale) {
            bestScale = scale;
            best = QSize(columns, perPage / columns);
        }
    }
    return best;
}

QTransform maze_transform(const QRectF &place, int gw, int gh, bool center)
{
    const QSizeF units = print_scale(place.width(), place.height(), gw, gh);
    const double sx = place.width() / units.width(), sy = place.height() / units.height();
    QPointF at = place.topLeft();
    if (center)
        at += QPointF((place.width() - gw * sx) / 2, (place.height() - gh * sy) / 2);
    return QTransform::fromScale(sx, sy) * QTransform::fromTranslate(at.x(), at.y());
}

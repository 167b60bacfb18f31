#include "render/print.h"

#include "maze/progress.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/output_memory.h"
#include "render/save_file.h"
#include "render/scene.h"

#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrintEngine>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

QSizeF print_scale(double pw, double ph, int gw, int gh)
{
    float width, height;
    if (pw / gw < ph / gh) {
        width = static_cast<float>(gw);
        height = static_cast<float>((gw + 1.0) * ph / pw);
    } else {
        height = static_cast<float>(gh);
        width = static_cast<float>((gh + 1.0) * pw / ph);
    }
    return QSizeF(width, height);
}

QString maze_document_title(quint32 seed)
{
    return QObject::tr("Maze, seed %1").arg(seed);
}

namespace {

/// One node a unit, the maze from `top` device pixels down in an area pw x ph.
QTransform pageTransform(double pw, double ph, double top, int gw, int gh)
{
    const QSizeF units = print_scale(pw, ph, gw, gh);
    return QTransform::fromScale(pw / units.width(), ph / units.height()) * QTransform::fromTranslate(0, top);
}

/// What a device that refused its pages says: a printer names itself before `printerCause`;
/// a PDF writer's file is named by whoever writes it, so `writerCause` stands alone.
QString deviceRefusal(QPagedPaintDevice &device, const QString &printerCause, const QString &writerCause)
{
    auto *printer = dynamic_cast<QPrinter *>(&device);
    if (!printer)
        return writerCause;
    const QString where = printer->outputFileName().isEmpty()
                              ? QObject::tr("cannot print on %1").arg(printer->printerName())
                              : QObject::tr("cannot print to %1").arg(printer->outputFileName());
    return where + QStringLiteral(": ") + printerCause;
}

/// A refusal that does not depend on the device, such as want of memory.
QString deviceRefusal(QPagedPaintDevice &device, const QString &cause)
{
    return deviceRefusal(device, cause, cause);
}

/// CUPS options of Qt's printer engine, a list of names and values sent with the job.
constexpr auto CupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

/// Ends `painter` on `device` without delivering what it drew: a print job is withdrawn and a
/// file printed to removed. Qt's CUPS engine cannot abort and sends the job when its painter
/// ends, so the job goes with no copies, which the spooler refuses whole.
void withdraw(QPainter &painter, QPagedPaintDevice &device)
{
    auto *printer = dynamic_cast<QPrinter *>(&device);
    if (!printer || printer->abort()) {
        painter.end();
        return;
    }
    QPrintEngine *engine = printer->printEngine();
    const QVariant copies = engine->property(QPrintEngine::PPK_CopyCount);
    const QVariant options = engine->property(CupsOptions);
    QStringList none;
    const QStringList given = options.toStringList();
    for (qsizetype i = 0; i + 1 < given.size(); i += 2)
        if (given[i] != QLatin1String("copies"))
            none << given[i] << given[i + 1];
    none << QStringLiteral("copies") << QStringLiteral("0");
    engine->setProperty(QPrintEngine::PPK_CopyCount, 1);
    engine->setProperty(CupsOptions, none);
    painter.end();
    engine->setProperty(QPrintEngine::PPK_CopyCount, copies);
    engine->setProperty(CupsOptions, options);
    if (!printer->outputFileName().isEmpty())
        QFile::remove(printer->outputFileName());
}

/// Ends `painter` on `device`, delivering its pages; Failed, with the cause in *error, when
/// the device did not take them.
PrintResult deliver(QPainter &painter, QPagedPaintDevice &device, QString *error)
{
    auto *printer = dynamic_cast<QPrinter *>(&device);
    if (!painter.end() || (printer && printer->printerState() == QPrinter::Error)) {
        if (error)
            *error = deviceRefusal(device, QObject::tr("the page was not accepted"),
                                   QObject::tr("the PDF writer cannot finish the file"));
        return PrintResult::Failed;
    }
    return PrintResult::Done;
}

/// What a page holds besides its mazes: maze pages their title and name line, key pages
/// their own title.
PageParts partsOf(const PageSetup &setup, int count, bool key)
{
    PageParts parts;
    parts.title = key || !setup.title.isEmpty();
    parts.nameLine = !key && setup.nameLine;
    parts.footer = count > 1 || !setup.poster.isEmpty();
    parts.labels = setup.perPage > 1;
    return parts;
}

/// The poster's pages: each shows `step` more of it than the one before, `usable` high above
/// its footer, and all of them together make `whole`.
struct PosterGeometry {
    QSizeF page, step, whole;
    double usable = 0;

    PosterGeometry(QSizeF paint, double dpi, QSize pages)
        : page(paint), usable(plan_page(paint, dpi, 1, 1, PageParts{false, false, true, false}).places.constFirst().bottom())
    {
        const double overlap = mm_to_pixels(PosterOverlapMm, dpi);
        step = QSizeF(paint.width() - overlap, usable - overlap);
        whole = QSizeF(pages.width() * step.width() + overlap, pages.height() * step.height() + overlap);
    }
};

/// Where the first maze, or with `key` its answer key, goes on pages of `layout`, in pixels
/// at `dpi`: a poster's place spans all its pages, and the keys keep the mazes' arrangement.
QRectF firstPlace(const QPageLayout &layout, double dpi, const PageSetup &setup, int gw, int gh, int count, bool key)
{
    const QSizeF paint = layout.paintRectPixels(int(dpi)).size();
    PageParts parts = partsOf(setup, count, key);
    if (!setup.poster.isEmpty()) {
        parts.footer = false;
        return plan_page(PosterGeometry(paint, dpi, setup.poster).whole, dpi, 1, 1, parts).places.constFirst();
    }
    const QSize grid = best_grid(paint, dpi, setup.perPage, gw, gh, partsOf(setup, count, false));
    return plan_page(paint, dpi, grid.width(), grid.height(), parts).places.constFirst();
}

/// How large a maze of gw x gh nodes is drawn on pages of `layout`: nodes a pixel.
double mazeScale(const QPageLayout &layout, double dpi, const PageSetup &setup, int gw, int gh, int count)
{
    const QRectF place = firstPlace(layout, dpi, setup, gw, gh, count, false);
    return std::min(place.width() / gw, place.height() / gh);
}

/// The layout `setup` gives the pages of `device`; Auto orientation takes whichever draws
/// the mazes larger.
QPageLayout documentLayout(const QPageLayout &device, double dpi, const PageSetup &setup, int gw, int gh, int count)
{
    const QPageLayout layout = page_layout_for(device, setup);
    if (setup.orientation != PageSetup::Orientation::Auto)
        return layout;
    QPageLayout portrait = layout, landscape = layout;
    portrait.setOrientation(QPageLayout::Portrait);
    landscape.setOrientation(QPageLayout::Landscape);
    return mazeScale(landscape, dpi, setup, gw, gh, count) > mazeScale(portrait, dpi, setup, gw, gh, count) ? landscape
                                                                                                            : portrait;
}

/// "a, b and c".
QString listed(const QStringList &items)
{
    if (items.size() < 2)
        return items.join(QString());
    return QObject::tr("%1 and %2").arg(items.mid(0, items.size() - 1).join(QStringLiteral(", ")), items.constLast());
}

/// Why pages of `layout` have no room for the mazes of `setup`, or with `key` for their
/// answer keys; empty when they have.
QString roomRefusal(const QPageLayout &layout, const PageSetup &setup, int gw, int gh, int count, bool key)
{
    const QString margins = setup.marginMm ? QObject::tr("the %1 mm margins").arg(*setup.marginMm)
                                           : QObject::tr("the printer's margins");
    QString paper = layout.pageSize().name();
    for (const PaperName &name : PaperNames)
        if (layout.pageSize().id() == name.id)
            paper = QString::fromLatin1(name.name);
    const QSizeF area = layout.paintRect(QPageLayout::Millimeter).size();
    if (area.width() < MinimumPaintAreaMm || area.height() < MinimumPaintAreaMm)
        return QObject::tr("%1 leave no room for a maze on %2 paper").arg(margins, paper);
    const QRectF place = firstPlace(layout, PdfResolution, setup, gw, gh, count, key);
    if (std::min(place.width(), place.height()) >= mm_to_pixels(MinimumPlaceMm, PdfResolution))
        return {};
    const PageParts parts = partsOf(setup, count, key);
    QStringList beside;
    if (parts.title)
        beside << (key ? QObject::tr("the answer key's title") : QObject::tr("the title"));
    if (parts.nameLine)
        beside << QObject::tr("the name line");
    if (parts.footer)
        beside << QObject::tr("the page numbers");
    const QString what = setup.perPage > 1 ? QObject::tr("%1 mazes a page").arg(setup.perPage)
                         : key             ? QObject::tr("an answer key")
                                           : QObject::tr("a maze");
    if (beside.isEmpty())
        return QObject::tr("%1 leave no room for %2 on %3 paper").arg(margins, what, paper);
    return QObject::tr("%1 leave no room for %2 on %3 paper with %4").arg(margins, what, paper, listed(beside));
}

void drawText(QPainter &painter, const QRectF &where, const QString &text, double points, bool bold, double dpi,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(std::lround(points * dpi / 72))));
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(where, align, text);
}

/// The worksheet's line: "Name:" and "Date:", each followed by a rule to write on.
void drawNameLine(QPainter &painter, const QRectF &where, double dpi)
{
    drawText(painter, where, QString(), 11, false, dpi);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QString name = QObject::tr("Name:"), date = QObject::tr("Date:");
    const double baseline = where.center().y() + metrics.ascent() / 2;
    const double gap = mm_to_pixels(2, dpi), dateAt = where.left() + where.width() * 0.65;
    painter.drawText(QPointF(where.left(), baseline), name);
    painter.drawText(QPointF(dateAt, baseline), date);
    painter.setPen(QPen(Qt::black, mm_to_pixels(0.25, dpi)));
    painter.drawLine(QPointF(where.left() + metrics.horizontalAdvance(name) + gap, baseline),
                     QPointF(dateAt - 3 * gap, baseline));
    painter.drawLine(QPointF(dateAt + metrics.horizontalAdvance(date) + gap, baseline), QPointF(where.right(), baseline));
}

/// Marks on the middle of each seam's overlap, at the same place of the poster on both pages
/// that share it, so that laying one page over the other lines them up.
void drawPosterMarks(QPainter &painter, const PosterGeometry &poster, QSize pages, double dpi)
{
    const double overlap = mm_to_pixels(PosterOverlapMm, dpi), arm = mm_to_pixels(4, dpi);
    painter.save();
    painter.setPen(QPen(Qt::black, mm_to_pixels(0.2, dpi)));
    painter.setBrush(Qt::NoBrush);
    auto cross = [&](QPointF at) {
        painter.drawLine(at - QPointF(arm, 0), at + QPointF(arm, 0));
        painter.drawLine(at - QPointF(0, arm), at + QPointF(0, arm));
        painter.drawEllipse(at, arm / 2, arm / 2);
    };
    for (int c = 1; c < pages.width(); ++c)
        for (int r = 0; r < pages.height(); ++r) {
            const double x = c * poster.step.width() + overlap / 2, y = r * poster.step.height();
            cross(QPointF(x, y + poster.usable * 0.25));
            cross(QPointF(x, y + poster.usable * 0.75));
        }
    for (int r = 1; r < pages.height(); ++r)
        for (int c = 0; c < pages.width(); ++c) {
            const double y = r * poster.step.height() + overlap / 2, x = c * poster.step.width();
            cross(QPointF(x + poster.page.width() * 0.25, y));
            cross(QPointF(x + poster.page.width() * 0.75, y));
        }
    painter.restore();
}

/// A poster laid out: where the maze goes across all its pages, and the nodes each page
/// shows, row by row.
struct PosterPlan {
    PosterGeometry geometry;
    PagePlan plan;
    QTransform maze;
    QList<QRect> parts;
};

PosterPlan posterPlan(const MazeState &s, QSizeF paint, double dpi, const PageSetup &setup, PageParts parts)
{
    parts.footer = false;
    PosterPlan poster{PosterGeometry(paint, dpi, setup.poster), {}, {}, {}};
    poster.plan = plan_page(poster.geometry.whole, dpi, 1, 1, parts);
    poster.maze = maze_transform(poster.plan.places.constFirst(), s.grid.width(), s.grid.height(), setup.center);
    const MazeScene scene(s, SceneOptions::page(nullptr));
    for (int r = 0; r < setup.poster.height(); ++r)
        for (int c = 0; c < setup.poster.width(); ++c) {
            const QRectF shown(c * poster.geometry.step.width(), r * poster.geometry.step.height(), paint.width(),
                               poster.geometry.usable);
            poster.parts << scene.nodesIn(poster.maze.inverted().mapRect(shown));
        }
    return poster;
}

} // namespace

MazeDocument::MazeDocument(QPagedPaintDevice &device, const PageSetup &setup, int gw, int gh, int count)
    : device_(device), setup_(setup), gw_(gw), gh_(gh), count_(count)
{
    dpi_ = device.logicalDpiX();
    const QPageLayout layout = documentLayout(device.pageLayout(), dpi_, setup, gw, gh, count);
    device.setPageLayout(layout);
    if (setup.poster.isEmpty())
        grid_ = best_grid(layout.paintRectPixels(int(dpi_)).size(), dpi_, setup.perPage, gw, gh, partsOf(setup, count, false));
}

MazeDocument::~MazeDocument()
{
    if (painter_ && painter_->isActive() && !finished_)
        withdraw(*painter_, device_);
    delete painter_;
}

QString MazeDocument::refusal(const MazeState &s, bool key) const
{
    if (const QString room = roomRefusal(device_.pageLayout(), setup_, gw_, gh_, count_, key); !room.isEmpty())
        return room;
    // Slabs are drawn whole on every page: each page of a City plan poster holds the whole maze.
    if (setup_.poster.isEmpty() || s.CityPlan)
        return page_memory_refusal(s, key);
    const QSizeF paint(device_.width(), device_.height());
    for (const QRect &part : posterPlan(s, paint, dpi_, setup_, partsOf(setup_, count_, key)).parts)
        if (const QString memory = page_memory_refusal(s, key, part); !memory.isEmpty())
            return memory;
    return {};
}

bool MazeDocument::startPage(QString *error)
{
    if (!painter_) {
        painter_ = new QPainter;
        if (!painter_->begin(&device_)) {
            if (error)
                *error = deviceRefusal(device_, QObject::tr("the printer does not accept a page"),
                                       QObject::tr("the PDF writer cannot begin a page"));
            return false;
        }
    } else if (!device_.newPage()) {
        if (error)
            *error = deviceRefusal(device_, QObject::tr("the printer does not accept another page"),
                                   QObject::tr("the PDF writer cannot begin another page"));
        return false;
    }
    ++pages_;
    return true;
}

PrintResult MazeDocument::add(MazeState &s, int number, bool key, bool marks, Progress &progress, QString *error,
                              const QString &keyTitle)
{
    if (key && !keys_) {
        keys_ = true;
        place_ = 0;
    }
    auto *printer = dynamic_cast<QPrinter *>(&device_);
    SceneLayers layers;
    layers.solution = key;
    layers.marks = marks;
    layers.monochrome = printer && printer->colorMode() == QPrinter::GrayScale;
    auto stopped = [&] {
        withdraw(*painter_, device_);
        return PrintResult::Stopped;
    };
    // A page is held whole until it ends: each maze, or each poster page's part of it, must
    // fit in what the page has left, or it is refused before any of its pages begins.
    if (const QString refused = refusal(s, key); !refused.isEmpty()) {
        if (error)
            *error = deviceRefusal(device_, refused);
        return PrintResult::Failed;
    }
    const PageParts parts = partsOf(setup_, count_, key);
    QString title;
    if (key)
        title = !keyTitle.isEmpty() ? keyTitle
                : count_ > 1 && setup_.perPage == 1 ? QObject::tr("Answer key, maze %1").arg(number)
                                                    : QObject::tr("Answer key");
    else
        title = page_title(setup_.title, number, s.rng.currentSeed());
    const QSizeF paint(device_.width(), device_.height());

    if (!setup_.poster.isEmpty()) {
        const PosterPlan layout = posterPlan(s, paint, dpi_, setup_, parts);
        const PosterGeometry &poster = layout.geometry;
        const PagePlan &plan = layout.plan;
        const QTransform &maze = layout.maze;
        const int columns = setup_.poster.width(), rows = setup_.poster.height();
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                // City plan: every page draws the maze's own slabs, cut to what it shows.
                Random slabs = s.rng;
                const MazeScene scene(s, SceneOptions::page(s.CityPlan ? &slabs : nullptr, layers));
                const QRect part = layout.parts[r * columns + c];
                if (!startPage(error))
                    return PrintResult::Failed;
                QPainter &p = *painter_;
                const QTransform shift = QTransform::fromTranslate(-c * poster.step.width(), -r * poster.step.height());
                p.save();
                p.setClipRect(QRectF(0, 0, paint.width(), poster.usable));
                p.setWorldTransform(shift);
                if (parts.title)
                    drawText(p, plan.title, title, 18, true, dpi_);
                if (parts.nameLine)
                    drawNameLine(p, plan.nameLine, dpi_);
                p.setWorldTransform(maze * shift);
                if (!scene.paint(p, part, &progress, Phase::Printing))
                    return stopped();
                p.setWorldTransform(shift);
                drawPosterMarks(p, poster, setup_.poster, dpi_);
                p.restore();
                const PagePlan footer = plan_page(paint, dpi_, 1, 1, PageParts{false, false, true, false});
                const QString where = QObject::tr("%1: row %2 of %3, column %4 of %5")
                                          .arg(key ? QObject::tr("Answer key, maze %1").arg(number)
                                                   : QObject::tr("Maze %1").arg(number))
                                          .arg(r + 1).arg(rows).arg(c + 1).arg(columns);
                drawText(p, footer.footer, where, 9, false, dpi_);
                if (count_ > 1)
                    drawText(p, footer.footer, QString::number(pages_), 9, false, dpi_, Qt::AlignRight | Qt::AlignVCenter);
            }
        return PrintResult::Done;
    }

    const PagePlan plan = plan_page(paint, dpi_, grid_.width(), grid_.height(), parts);
    if (place_ == 0) {
        if (!startPage(error))
            return PrintResult::Failed;
        if (parts.title)
            drawText(*painter_, plan.title, title, 18, true, dpi_);
        if (parts.nameLine)
            drawNameLine(*painter_, plan.nameLine, dpi_);
        if (parts.footer)
            drawText(*painter_, plan.footer, QString::number(pages_), 9, false, dpi_, Qt::AlignCenter);
    }
    QPainter &p = *painter_;
    if (parts.labels)
        drawText(p, plan.labels[place_], QString::number(number), 10, true, dpi_);
    p.setWorldTransform(maze_transform(plan.places[place_], gw_, gh_, setup_.center));
    Random slabs = s.rng;
    const MazeScene scene(s, SceneOptions::page(s.CityPlan ? &slabs : nullptr, layers));
    const bool done = scene.paint(p, scene.grid(), &progress, Phase::Printing);
    p.resetTransform();
    if (!done)
        return stopped();
    place_ = (place_ + 1) % int(plan.places.size());
    return PrintResult::Done;
}

PrintResult MazeDocument::finish(QString *error)
{
    if (!painter_ && !startPage(error))
        return PrintResult::Failed;
    finished_ = true;
    return deliver(*painter_, device_, error);
}

QString page_room_refusal(const QPageLayout &device, const PageSetup &setup, int gw, int gh, int count, bool answerKey)
{
    const QPageLayout layout = documentLayout(device, PdfResolution, setup, gw, gh, count);
    const QString maze = roomRefusal(layout, setup, gw, gh, count, false);
    return maze.isEmpty() && answerKey ? roomRefusal(layout, setup, gw, gh, count, true) : maze;
}

PrintResult print_page(QPagedPaintDevice &device, MazeState &s, Progress &progress, QString *error,
                       const PageOptions &options)
{
    if (options.layout.custom()) {
        MazeDocument document(device, options.layout, s.grid.width(), s.grid.height(), 1);
        // The key page needs more than the maze page: refused before the maze page goes out.
        if (const QString refusal = document.refusal(s, options.answerKey); !refusal.isEmpty()) {
            if (error)
                *error = deviceRefusal(device, refusal);
            return PrintResult::Failed;
        }
        PrintResult result = document.add(s, 1, false, options.marks, progress, error);
        if (result == PrintResult::Done && options.answerKey)
            result = document.add(s, 1, true, options.marks, progress, error, options.keyTitle);
        return result == PrintResult::Done ? document.finish(error) : result;
    }
    auto *printer = dynamic_cast<QPrinter *>(&device);
    // The page is held whole until it ends: a page that cannot fit is refused before
    // the memory runs out.
    if (const QString refusal = page_memory_refusal(s, options.answerKey); !refusal.isEmpty()) {
        if (error)
            *error = deviceRefusal(device, refusal);
        return PrintResult::Failed;
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = deviceRefusal(device, QObject::tr("the printer does not accept a page"),
                                   QObject::tr("the PDF writer cannot begin a page"));
        return PrintResult::Failed;
    }
    const int gw = s.grid.width();
    const int gh = s.grid.height();
    const double pw = device.width();
    const double ph = device.height();
    painter.setWorldTransform(pageTransform(pw, ph, 0, gw, gh));

    SceneLayers layers;
    layers.marks = options.marks;
    layers.monochrome = printer && printer->colorMode() == QPrinter::GrayScale;
    // City plan's slabs come from the maze's sequence: the key page draws the same ones.
    Random keySlabs = s.rng;
    auto stopped = [&] {
        withdraw(painter, device);
        return PrintResult::Stopped;
    };
    const MazeScene scene(s, SceneOptions::page(s.CityPlan ? &s.rng : nullptr, layers));
    if (!scene.paint(painter, scene.grid(), &progress, Phase::Printing))
        return stopped();

    if (options.answerKey) {
        if (!device.newPage()) {
            withdraw(painter, device);
            if (error)
                *error = deviceRefusal(device, QObject::tr("the printer does not accept a second page"),
                                       QObject::tr("the PDF writer cannot begin a second page"));
            return PrintResult::Failed;
        }
        // The maze page's geometry, the maze shrunk by the title's height.
        const double titleHeight = std::round(ph / 24);
        painter.resetTransform();
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(titleHeight * 0.6)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, pw, titleHeight), Qt::AlignLeft | Qt::AlignTop,
                         options.keyTitle.isEmpty() ? QObject::tr("Answer key") : options.keyTitle);
        painter.setWorldTransform(pageTransform(pw, ph - titleHeight, titleHeight, gw, gh));
        layers.solution = true;
        const MazeScene key(s, SceneOptions::page(s.CityPlan ? &keySlabs : nullptr, layers));
        if (!key.paint(painter, key.grid(), &progress, Phase::Printing))
            return stopped();
    }
    return deliver(painter, device, error);
}

bool save_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                   const QString &path, QString *error, const PageOptions &options)
{
    return save_to_file(path, error, [&](AtomicFile &file, bool &stopped) {
        return write_pdf_page(s, progress, layout, resolution, file, error, options, &stopped);
    });
}

bool write_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                    AtomicFile &file, QString *error, const PageOptions &options, bool *stopped)
{
    return write_whole_file(file, error, [&](QIODevice &device, QString &cause) {
        QPdfWriter writer(&device);
        writer.setCreator(QStringLiteral("Corvanthel"));
        writer.setTitle(maze_document_title(s.rng.currentSeed()));
        writer.setPageLayout(layout);
        writer.setResolution(resolution);
        switch (print_page(writer, s, progress, &cause, options)) {
        case PrintResult::Stopped:
            return SaveStep::Dropped;
        case PrintResult::Failed:
            return SaveStep::Failed;
        case PrintResult::Done:
            break;
        }
        return SaveStep::Written;
    }, stopped);
}

namespace {

/// The nodes of `part` the answer key's line passes through.
long long solutionNodes(const NodeGrid &g, const QRect &part)
{
    long long nodes = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            nodes += g.marked(x, y);
    return nodes;
}

/// The nodes of `s` a page shows: all of them unless `part` names some.
QRect shownNodes(const MazeState &s, const QRect &part)
{
    const QRect grid(1, 1, s.grid.width(), s.grid.height());
    return part.isNull() ? grid : part & grid;
}

} // namespace

PageMemory pages_memory(const MazeState &s, bool answerKey, const QRect &part, int mazes)
{
    const QRect nodes = shownNodes(s, part);
    const PageMemory maze = page_memory(nodes.width(), nodes.height(), s.CityPlan, 0, mazes);
    // The key page is the maze page and its line: the line is counted only when the maze
    // page fits, so a grid far too large is refused without a pass over it.
    if (!maze.fits() || !answerKey)
        return maze;
    return page_memory(nodes.width(), nodes.height(), s.CityPlan, solutionNodes(s.grid, nodes), mazes);
}

QString page_memory_refusal(const MazeState &s, bool answerKey, const QRect &part)
{
    const PageMemory m = pages_memory(s, answerKey, part);
    if (m.fits())
        return {};
    const QRect nodes = shownNodes(s, part);
    const long long side = static_cast<long long>(std::sqrt(double(m.largestCells)));
    const QString text = answerKey ? QObject::tr("a page of %1 x %2 cells with its answer key needs about %3 of memory "
                                                 "and only %4 is free; the largest page that fits has about %5 cells "
                                                 "(%6 x %6)")
                                   : QObject::tr("a page of %1 x %2 cells needs about %3 of memory and only %4 is free; "
                                                 "the largest page that fits has about %5 cells (%6 x %6)");
    return text.arg(nodes.width() / 2).arg(nodes.height() / 2)
        .arg(QString::fromStdString(memory_size(m.needed)), QString::fromStdString(memory_size(m.available)),
             QString::fromStdString(grouped(std::uint64_t(m.largestCells))))
        .arg(side);
}

void print_maze(OutputContext &ctx, QPrinter &printer)
{
    QString error;
    const PageOptions options{ctx.marks, ctx.answerKey, {}, ctx.pageSetup};
    if (printer.outputFileName().isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        ctx.reportError(QObject::tr("No printer is installed, so Corvanthel will save the page as a PDF file instead."));
        const QString name = ctx.askFileName(QObject::tr("PDF files (*.pdf)"));
        if (name.isEmpty())
            return;
        if (!save_pdf_page(ctx.state, ctx.progress, printer.pageLayout(), printer.resolution(), name, &error, options))
            ctx.reportError(error);
        return;
    }
    printer.setDocName(maze_document_title(ctx.state.rng.currentSeed()));
    if (print_page(printer, ctx.state, ctx.progress, &error, options) == PrintResult::Failed)
        ctx.reportError(error);
}

#include "render/print.h"

#include "maze/progress.h"
#include "maze/state.h"
#include "render/atomic_file.h"
#include "render/output_memory.h"
#include "render/save_file.h"
#include "render/scene.h"

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
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

} // namespace

PrintResult print_page(QPagedPaintDevice &device, MazeState &s, Progress &progress, QString *error,
                       const PageOptions &options)
{
    auto *printer = dynamic_cast<QPrinter *>(&device);
    QString where = QObject::tr("cannot print");
    if (printer && !printer->outputFileName().isEmpty())
        where = QObject::tr("cannot print to %1").arg(printer->outputFileName());
    else if (printer)
        where = QObject::tr("cannot print on %1").arg(printer->printerName());
    // The page is held whole until it ends: a page that cannot fit is refused before
    // the memory runs out.
    if (const QString refusal = page_memory_refusal(s, options.answerKey); !refusal.isEmpty()) {
        if (error)
            *error = printer ? where + QStringLiteral(": ") + refusal : refusal;
        return PrintResult::Failed;
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = where + QObject::tr(": the printer does not accept a page");
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
        if (printer)
            printer->abort();
        painter.end();
        return PrintResult::Stopped;
    };
    const MazeScene scene(s, SceneOptions::page(s.CityPlan ? &s.rng : nullptr, layers));
    if (!scene.paint(painter, scene.grid(), &progress, Phase::Printing))
        return stopped();

    if (options.answerKey) {
        if (!device.newPage()) {
            painter.end();
            if (error)
                *error = where + QObject::tr(": the printer does not accept a second page");
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
    if (!painter.end() || (printer && printer->printerState() == QPrinter::Error)) {
        if (error)
            *error = where + QObject::tr(": the page was not accepted");
        return PrintResult::Failed;
    }
    return PrintResult::Done;
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

/// The nodes the answer key's line passes through.
long long solutionNodes(const NodeGrid &g)
{
    long long nodes = 0;
    for (int y = 1; y <= g.height(); ++y)
        for (int x = 1; x <= g.width(); ++x)
            nodes += g.marked(x, y);
    return nodes;
}

} // namespace

PageMemory pages_memory(const MazeState &s, bool answerKey)
{
    const PageMemory maze = page_memory(s.grid.width(), s.grid.height(), s.CityPlan);
    // The key page is the maze page and its line: the line is counted only when the maze
    // page fits, so a grid far too large is refused without a pass over it.
    if (!maze.fits() || !answerKey)
        return maze;
    return page_memory(s.grid.width(), s.grid.height(), s.CityPlan, solutionNodes(s.grid));
}

QString page_memory_refusal(const MazeState &s, bool answerKey)
{
    const PageMemory m = pages_memory(s, answerKey);
    if (m.fits())
        return {};
    const long long side = static_cast<long long>(std::sqrt(double(m.largestCells)));
    const QString text = answerKey ? QObject::tr("a page of %1 x %2 cells with its answer key needs about %3 of memory "
                                                 "and only %4 is free; the largest page that fits has about %5 cells "
                                                 "(%6 x %6)")
                                   : QObject::tr("a page of %1 x %2 cells needs about %3 of memory and only %4 is free; "
                                                 "the largest page that fits has about %5 cells (%6 x %6)");
    return text.arg(s.grid.width() / 2).arg(s.grid.height() / 2)
        .arg(QString::fromStdString(memory_size(m.needed)), QString::fromStdString(memory_size(m.available)),
             QString::fromStdString(grouped(std::uint64_t(m.largestCells))))
        .arg(side);
}

void print_maze(OutputContext &ctx, QPrinter &printer)
{
    QString error;
    const PageOptions options{ctx.marks, ctx.answerKey, {}};
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

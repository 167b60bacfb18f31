#include "render/print.h"

#include "maze/progress.h"
#include "maze/state.h"
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
    return save_whole_file(path, error, [&](QFileDevice &file, QString &cause) {
        QPdfWriter writer(&file);
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
    });
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

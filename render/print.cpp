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

PrintResult print_page(QPagedPaintDevice &device, MazeState &s, Progress &progress, QString *error)
{
    auto *printer = dynamic_cast<QPrinter *>(&device);
    QString where = QObject::tr("cannot print");
    if (printer && !printer->outputFileName().isEmpty())
        where = QObject::tr("cannot print to %1").arg(printer->outputFileName());
    else if (printer)
        where = QObject::tr("cannot print on %1").arg(printer->printerName());
    // The page is held whole until it ends: a page that cannot fit is refused before
    // the memory runs out.
    if (const QString refusal = page_memory_refusal(s); !refusal.isEmpty()) {
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
    const QSizeF units = print_scale(pw, ph, gw, gh);
    painter.setWorldTransform(QTransform::fromScale(pw / units.width(), ph / units.height()));

    const MazeScene scene(s, SceneOptions::page(s.CityPlan ? &s.rng : nullptr));
    if (!scene.paint(painter, scene.grid(), &progress, Phase::Printing)) {
        if (printer)
            printer->abort();
        painter.end();
        return PrintResult::Stopped;
    }
    if (!painter.end() || (printer && printer->printerState() == QPrinter::Error)) {
        if (error)
            *error = where + QObject::tr(": the page was not accepted");
        return PrintResult::Failed;
    }
    return PrintResult::Done;
}

bool save_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                   const QString &path, QString *error)
{
    return save_to_file(path, error, [&](AtomicFile &file, bool &stopped) {
        return write_pdf_page(s, progress, layout, resolution, file, error, &stopped);
    });
}

bool write_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                    AtomicFile &file, QString *error, bool *stopped)
{
    return write_whole_file(file, error, [&](QIODevice &device, QString &cause) {
        QPdfWriter writer(&device);
        writer.setCreator(QStringLiteral("Corvanthel"));
        writer.setPageLayout(layout);
        writer.setResolution(resolution);
        switch (print_page(writer, s, progress, &cause)) {
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

QString page_memory_refusal(const MazeState &s)
{
    const PageMemory m = page_memory(s.grid.width(), s.grid.height(), s.CityPlan);
    if (m.fits())
        return {};
    const long long side = static_cast<long long>(std::sqrt(double(m.largestCells)));
    return QObject::tr("a page of %1 x %2 cells needs about %3 of memory and only %4 is free; "
                       "the largest page that fits has about %5 cells (%6 x %6)")
        .arg(s.grid.width() / 2).arg(s.grid.height() / 2)
        .arg(QString::fromStdString(memory_size(m.needed)), QString::fromStdString(memory_size(m.available)),
             QString::fromStdString(grouped(std::uint64_t(m.largestCells))))
        .arg(side);
}

void print_maze(OutputContext &ctx, QPrinter &printer)
{
    QString error;
    if (printer.outputFileName().isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        ctx.reportError(QObject::tr("No printer is installed, so Corvanthel will save the page as a PDF file instead."));
        const QString name = ctx.askFileName(QObject::tr("PDF files (*.pdf)"));
        if (name.isEmpty())
            return;
        if (!save_pdf_page(ctx.state, ctx.progress, printer.pageLayout(), printer.resolution(), name, &error))
            ctx.reportError(error);
        return;
    }
    if (print_page(printer, ctx.state, ctx.progress, &error) == PrintResult::Failed)
        ctx.reportError(error);
}

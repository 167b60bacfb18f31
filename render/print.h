#pragma once

#include "render/output_context.h"

#include <QSizeF>

class AtomicFile;
class QPageLayout;
class QPagedPaintDevice;
class QPrinter;

/// The page's user scale, its width and height in node units, for a page whose paint
/// area is pw x ph device pixels and a grid of gw x gh nodes. The limiting direction
/// spans the grid exactly; the other gets one node more than the page's ratio gives.
QSizeF print_scale(double pw, double ph, int gw, int gh);

/// How printing a page ended.
enum class PrintResult { Done, Stopped, Failed };

/// Prints the finished maze on one page of `device` (a QPrinter, or a QPdfWriter) with
/// a report of the Printing phase per row, and ends the document. Failed, with a message in *error,
/// when the device cannot be painted on or does not take the page.
PrintResult print_page(QPagedPaintDevice &device, MazeState &s, Progress &progress, QString *error);

/// The printed page as a PDF file of the given layout and resolution (dots per inch),
/// whole or not at all. False, with "cannot write <path>: <cause>" in *error, on
/// failure; nothing is left behind then or when stopped.
bool save_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                   const QString &path, QString *error);

/// The same into an open `file`, which the caller commits, or drops when *stopped.
bool write_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                    AtomicFile &file, QString *error, bool *stopped = nullptr);

/// Why the page of `s` cannot be laid out in the memory left (see page_memory), or
/// empty when it fits.
QString page_memory_refusal(const MazeState &s);

/// The printer output: one page on `printer`. With no printer installed (and no PDF file
/// set on the printer) it says so and offers to save the page as a PDF file instead.
void print_maze(OutputContext &ctx, QPrinter &printer);

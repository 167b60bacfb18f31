#pragma once

#include "render/output_context.h"
#include "render/output_memory.h"
#include "render/page_layout.h"
#include "render/scene.h"

#include <QRect>
#include <QSizeF>
#include <QString>

class AtomicFile;
class QPageLayout;
class QPagedPaintDevice;
class QPainter;
class QPrinter;

/// The page's user scale, its width and height in node units, for a page whose paint
/// area is pw x ph device pixels and a grid of gw x gh nodes. The limiting direction
/// spans the grid exactly; the other gets one node more than the page's ratio gives.
QSizeF print_scale(double pw, double ph, int gw, int gh);

/// How printing a page ended.
enum class PrintResult { Done, Stopped, Failed };

/// Dots per inch of the PDF files made: fine enough that a page of the largest maze keeps
/// its walls apart.
inline constexpr int PdfResolution = 1200;

/// The least a page's paint area may be across and down once the margins are taken, and the
/// least a maze's place on it, in millimetres: less draws no maze worth the name.
inline constexpr double MinimumPaintAreaMm = 20;
inline constexpr double MinimumPlaceMm = 5;

/// Why pages of `device` composed by `setup` have no room for `count` mazes of gw x gh nodes
/// (and, with `answerKey`, their keys): the margins leave less than MinimumPaintAreaMm across
/// or down, or the title, name line and numbers less than MinimumPlaceMm for a maze. Empty
/// when they have room.
QString page_room_refusal(const QPageLayout &device, const PageSetup &setup, int gw, int gh, int count,
                          bool answerKey);

/// What a printed maze adds to its page.
struct PageOptions {
    bool marks = false;      ///< marks on the start and the finish, on every page
    bool answerKey = false;  ///< a second page: the same maze with its solution, under a title
    QString keyTitle;        ///< that page's title; "Answer key" when empty
    PageSetup layout{};      ///< paper, margins, title, poster; nothing set: the page as always
};

/// Mazes on the pages of one document, composed by a PageSetup: a title and a name line,
/// several mazes a page each with its number, pages numbered when the document holds more
/// than one maze, answer keys after all the mazes in the same arrangement, or each maze as
/// a poster across several pages that overlap. Each maze keeps the printed page's scale
/// rule inside its place and never crosses the margins.
class MazeDocument {
public:
    /// `count` mazes of gw x gh nodes on `device`, whose layout (paper, margins, orientation)
    /// it sets at once; Auto orientation takes whichever draws the mazes larger.
    MazeDocument(QPagedPaintDevice &device, const PageSetup &setup, int gw, int gh, int count);
    /// A document not finished is withdrawn: a print job never reaches the printer.
    ~MazeDocument();
    MazeDocument(const MazeDocument &) = delete;
    MazeDocument &operator=(const MazeDocument &) = delete;

    /// Draws maze `number` (1..count) of `s`, or its answer key (the maze solved): keys come
    /// after every maze, from a new page. `keyTitle` overrides the key page's title. Failed,
    /// before any page of it begins, when its pages have no room or memory for it.
    PrintResult add(MazeState &s, int number, bool key, bool marks, Progress &progress, QString *error,
                    const QString &keyTitle = {});
    /// Ends the document: false, with the cause in *error, when the device did not take it.
    PrintResult finish(QString *error);
    /// Pages begun so far.
    int pages() const { return pages_; }
    /// Why maze `s` (or, with `key`, its answer key) cannot go on these pages: they have no
    /// room for it, or the memory left cannot lay them out (a poster's pages each hold their
    /// part of it). Empty when it can.
    QString refusal(const MazeState &s, bool key) const;

private:
    bool startPage(QString *error);

    QPagedPaintDevice &device_;
    PageSetup setup_;
    int gw_, gh_, count_;
    QPainter *painter_ = nullptr;
    QSize grid_{1, 1};
    double dpi_ = 72;
    int place_ = 0;        // the next place on the page
    int pages_ = 0;        // pages begun
    bool keys_ = false;    // the answer keys have begun
    bool finished_ = false;
};

/// The title a PDF of the maze made from `seed` carries in its document information.
QString maze_document_title(quint32 seed);

/// Prints the finished maze on one page of `device` (a QPrinter, or a QPdfWriter) with
/// a report of the Printing phase per row, then its answer key page when asked (the maze
/// must have been solved), and ends the document. A greyscale printer gets the black and
/// white layers. Failed, with a message in *error, when the device cannot be painted on,
/// a page cannot be laid out in the memory left, or the device does not take a page.
PrintResult print_page(QPagedPaintDevice &device, MazeState &s, Progress &progress, QString *error,
                       const PageOptions &options = {});

/// The printed pages as a PDF file of the given layout and resolution (dots per inch),
/// with the maze's seed in its title, whole or not at all. False, with "cannot write
/// <path>: <cause>" in *error, on failure; nothing is left behind then or when stopped.
bool save_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                   const QString &path, QString *error, const PageOptions &options = {});

/// The same into an open `file`, which the caller commits, or drops when *stopped.
bool write_pdf_page(MazeState &s, Progress &progress, const QPageLayout &layout, int resolution,
                    AtomicFile &file, QString *error, const PageOptions &options = {}, bool *stopped = nullptr);

/// What the pages of `s` need in memory (see page_memory): with `answerKey`, the key page,
/// the larger of the two, its line counted from the nodes solve_maze marked. Only one page
/// is held at a time; a page showing only the nodes `part` of the grid (a poster's) needs
/// what those need, and a page of `mazes` such mazes (each line as long) that many times.
PageMemory pages_memory(const MazeState &s, bool answerKey = false, const QRect &part = {}, int mazes = 1);

/// Why the pages of `s` cannot be laid out in the memory left (pages_memory), or empty
/// when they fit.
QString page_memory_refusal(const MazeState &s, bool answerKey = false, const QRect &part = {});

/// The printer output: one page on `printer`. With no printer installed (and no PDF file
/// set on the printer) it says so and offers to save the page as a PDF file instead.
void print_maze(OutputContext &ctx, QPrinter &printer);

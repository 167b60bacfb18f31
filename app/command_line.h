#pragma once

#include "matte/shapes.h"
#include "maze/parameters.h"
#include "render/file_format.h"
#include "render/page_layout.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

/// What the command line asked for, before anything runs.
struct CommandLine {
    enum class Action { Window, Generate, Help, Version };
    Action action = Action::Window;

    params::Choices maze;  // the main window's parameters, with its start-up values

    QString bitmapFile;   // --out: a picture (a PDF named there is moved to pdfFile)
    FileFormat bitmapFormat = FileFormat::Bmp;  // its extension's, or --format's for '-'
    int scale = 1;        // pixels per tile pixel of --out
    bool monochrome = false;
    bool print = false;
    QString printerName;  // --printer
    QString pdfFile;
    QString textFile;

    // The matte comes from one of a picture, a shape or a word.
    QString mattePicture;
    std::optional<MatteShape> shape;
    QString shapeText;
    std::optional<QPoint> startCell;   // counted from 1; chosen far apart when neither is given
    std::optional<QPoint> finishCell;
    bool removeUnused = false;
    QString saveMatteFile;             // --save-matte: the matte made, as the editor's PNG

    /// True when a matte is made from a shape or a word, which leave out unused areas.
    bool shapedMatte() const { return shape.has_value() || !shapeText.isEmpty(); }
    /// True when a maze is wanted: an output besides --save-matte.
    bool makesMazes() const { return !bitmapFile.isEmpty() || !pdfFile.isEmpty() || !textFile.isEmpty() || print || json; }

    int count = 1;
    int jobs = 0;  // --jobs: mazes made at once; 0 leaves it to the cores and the memory

    PageSetup pages;      // --paper, --orientation, --margin, --center, --title, --name-line, --per-page, --poster

    /// The measure --best-of keeps the largest of.
    enum class BestBy { SolutionLength, DeadEnds, Junctions, Turns };
    int bestOf = 1;        // candidates per maze
    BestBy bestBy = BestBy::SolutionLength;
    bool json = false;     // one JSON object per maze in place of the result line
};

/// Turns the arguments (without the program name) into a CommandLine, or into the
/// usage error to print.
struct ParsedCommandLine {
    CommandLine options;
    QString error;  // empty when the arguments are sound
};
ParsedCommandLine parse_command_line(const QStringList &arguments);

/// The text of --help.
QString command_line_help();

/// The name of maze `index` (0-based) of a batch of `count` made from `name`, the one
/// rule for every output: a single maze keeps the name; in a batch NAME.EXT becomes
/// NAME-NN.EXT, NN counting from 1 zero-padded to the width of the count ("maze-01.txt"
/// ... "maze-12.txt"). A `sibling` such as "solution" names a file made beside that
/// maze's: it follows NN ("maze-03-solution.txt", and "maze-solution.txt" for a single
/// maze). `-` (standard output) stays as it is.
QString numbered_file_name(const QString &name, int index, int count, const QString &sibling = {});

/// The answer key's file beside the file of maze `index` of `count` made from `name`:
/// "maze-solution.bmp", "maze-03-solution.bmp".
QString key_file_name(const QString &name, int index = 0, int count = 1);

/// The `corvanthel generate` command that makes the maze of `choices` (its seed set) again,
/// drawn to maze.bmp (City plan: maze.pdf). A matte maze names `mattePicture`, a picture of
/// one pixel a cell, dark for maze, and its start and finish cells counted from 1.
QString command_line_for(const params::Choices &choices, const QString &mattePicture = {},
                         QPoint startCell = {}, QPoint finishCell = {});

#pragma once

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "render/page_layout.h"
#include <QtGlobal>

#include <functional>

class Progress;
class QWidget;
struct MazeState;

/// Largest drawing surface, in pixels, that draw_maze attempts before it treats the
/// picture as too large: 2^28 pixels, a 1 GiB RGB32 image (the saved 24-bit file then
/// stays well below the 2 GiB a bitmap header can describe).
inline constexpr qint64 DefaultPixelBudget = qint64{1} << 28;

/// The answers to the "Bitmap too large" dialog.
enum class TooLargeAnswer { ScaleDown, Monochrome, Cancel };

/// What the outputs need from whoever runs them. The window fills the dialogs in with
/// window_output(); tests and the command line give their own answers.
struct OutputContext {
    MazeState &state;
    Progress &progress;
    QWidget *parent = nullptr;
    /// The save dialog for a filter such as "Bitmap files (*.bmp)", or several separated by
    /// ";;", the first chosen; empty when cancelled.
    std::function<QString(const QString &filter)> askFileName;
    /// The "Bitmap too large" dialog: scale down, a monochrome file, or nothing at all.
    std::function<TooLargeAnswer()> askTooLarge;
    /// A message for the user (a failure, or what the program does instead).
    std::function<void(const QString &)> reportError;
    qint64 pixelBudget = DefaultPixelBudget;
    /// Marks on the start and finish in every output.
    bool marks = false;
    /// The solution as well: a key page after the printed page, or a second file named by
    /// keyFileName from the maze's file name. The maze must have been solved.
    bool answerKey = false;
    std::function<QString(const QString &mazeFile)> keyFileName{};
    /// How the printed page and a PDF file are composed; nothing set: as always.
    PageSetup pageSetup{};
    /// The page a maze saved as a PDF file is laid out on.
    QPageLayout pageLayout{QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter};
};

/// The outputs' context for a window: QFileDialog, Form6 and a QMessageBox titled
/// "Corvanthel", all over `parent`, each shown with the normal pointer.
OutputContext window_output(MazeState &state, Progress &progress, QWidget *parent);

#pragma once

#include "maze/parameters.h"
#include "maze/random.h"
#include "maze/solve.h"
#include "render/page_layout.h"

#include <QDialog>

#include <functional>

class MazeView;
class Progress;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
struct MazeState;
struct OutputContext;

/// The preview: the maze just made, fitted to the window, with its seed and measures. It
/// zooms, pans, shows the solution, prints, saves, makes the maze again from a new or a typed
/// seed and copies the command line that makes the same maze. Modal; it keeps the choices
/// the maze was made with and works on the main window's state, which it leaves holding the
/// last maze shown.
class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    /// `state` holds the carved maze of `choices`, whose seed is set.
    PreviewWindow(MazeState &state, const params::Choices &choices, QPrinter &printer, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    /// The choices of the maze shown, with its seed.
    const params::Choices &choices() const { return choices_; }
    const MazeMeasures &measures() const { return measures_; }

    /// Lets tests answer the outputs' dialogs (file names, messages).
    std::function<void(OutputContext &)> adjustOutput;
    /// The printer dialog before "Print...": false when cancelled.
    std::function<bool(QPrinter &)> askPrinter;
    /// How "Print..." and PDF files lay the maze out, as "Page layout..." last set it.
    PageSetup pageSetup;

    MazeView *view;
    QPushButton *zoomInButton, *zoomOutButton, *fitButton;
    QCheckBox *solutionBox;
    QLabel *measuresLabel, *seedLabel;
    QLineEdit *seedEdit;
    QPushButton *useSeedButton, *againButton, *copyButton, *printButton, *pageLayoutButton, *saveButton, *closeButton;

public slots:
    /// A new maze from the same choices and a new seed.
    void generateAgain();
    /// A new maze from the same choices and the seed typed in the box.
    void generateFromSeedBox();
    void printMaze();
    /// The "Page layout" dialog; OK keeps its setup for the next print and PDF file.
    void editPageLayout();
    void saveMaze();
    /// Puts the equivalent `corvanthel generate` command on the clipboard; a matte maze first
    /// saves its matte as a picture, which the command then names.
    void copyCommandLine();

protected:
    void reject() override;

private:
    void regenerate(std::uint32_t seed);
    void mazeChanged();
    OutputContext outputContext(Progress &progress);
    /// Runs `write` on the maze as carving left it, the window busy and its progress shown.
    void writeOutput(const std::function<void(OutputContext &)> &write);
    void setBusy(bool busy);

    MazeState &state_;
    params::Choices choices_;
    QPrinter &printer_;
    MazeMeasures measures_;
    /// The sequence as carving left it: City plan's slabs are drawn from it on screen, and it
    /// is put back before each print so the page shows the same slabs.
    Random afterCarving_;
    bool busy_ = false;
};

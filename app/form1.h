#pragma once

#include "maze/parameters.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPrinter;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
struct OutputContext;
class PreviewWindow;

/// Form1: the main window. Holds every parameter of a maze as a control, keeps the
/// program state record current while they are edited, and starts Generate, Edit
/// Matte and printer Setup. Enter generates; while a maze is made Generate reads "Stop",
/// and it or Escape stops the work with nothing written.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(MazeState &state, QWidget *parent = nullptr);
    ~Form1() override;

    /// "Corvanthel vMAJOR.MINORD", the caption at rest.
    static QString programTitle();

    /// The printer that Setup chose and printing uses.
    QPrinter &printer() { return *printer_; }
    MazeState &state() { return state_; }
    bool generating() const { return generating_; }
    /// True once the window was asked to close while a generation runs.
    bool closeRequested() const { return closeRequested_; }
    /// True once Stop (or Escape) asked the running generation to end.
    bool stopRequested() const { return stopRequested_; }
    /// What the controls hold now, as Generate reads them.
    params::Choices choices() const;
    /// Lets tests answer the output's dialogs (file names, "Bitmap too large").
    std::function<void(OutputContext &)> adjustOutput;
    /// The seed of each Generate: the clock unless set (tests fix it).
    std::function<std::uint32_t()> nextSeed;
    /// Lets tests drive the preview, which Generate shows modally for "Screen (preview)".
    std::function<void(PreviewWindow &)> adjustPreview;

    // The controls. Each keeps the window design's name (Option13, Text2, ...) as its
    // objectName, so a search by that name finds it.
    QGroupBox *parametersFrame, *dimensionsFrame, *matteFrame, *outputFrame;
    QLabel *runLabel, *shortLabel, *longLabel, *typeLabel, *styleLabel, *appearanceLabel;
    QLabel *loopAttemptsLabel, *percentLabel, *widthLabel, *heightLabel, *gridSizeLabel;
    QLabel *difficultyLabel, *matteNoteLabel, *statusLabel;
    QSlider *runSlider;
    QComboBox *typeList, *styleList;
    QRadioButton *thinLinesOption, *thickLinesOption, *thinRoundedOption, *circuitsOption;
    QRadioButton *mediumLinesOption, *plumbingOption, *fencesOption, *doubleLineOption;
    QRadioButton *shadedOption, *planksOption, *tinyBricksOption, *cityPlanOption;
    QRadioButton *printerOption, *bitmapOption, *previewOption, *easierOption, *harderOption;
    QCheckBox *allowLoopsBox, *useMatteBox, *marksBox, *answerKeyBox;
    QLineEdit *loopPercentEdit, *widthEdit, *heightEdit;
    QWidget *difficultyPanel, *appearancePanel;
    QPushButton *generateButton, *exitButton, *setupButton, *editMatteButton;
    QProgressBar *progressBar;
    QMenuBar *menuBar;
    QMenu *settingsMenu;
    QAction *rememberAction;

    /// Where the remembered settings live (under the user's configuration folder).
    static QString settingsPath();

public slots:
    void Command1_Click();  // Generate, or Stop while a maze is made
    void Command2_Click();  // Exit
    void Command3_Click();  // Setup
    void Command4_Click();  // Edit Matte

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    template <typename T>
    T *remembered(const char *key, T *control);
    void rememberChanged(bool on);
    void saveSettings() const;
    void restoreSettings();
    void Form_Load();
    void Form_Activate();
    void Text2_Change();
    void Text3_Change();
    void dimensionChanged();
    void Check1_Click();
    void Check2_Click();
    void Combo1_Click();
    void Combo2_Click();
    void appearanceChosen();
    void outputChosen();
    params::MazeTypeChoice mazeType() const;
    void setMazeType(params::MazeTypeChoice type);
    void showMessage(const QString &text);
    void setGenerating(bool on);

    MazeState &state_;
    std::unique_ptr<QPrinter> printer_;
    QString chosenPrinter_;  // empty until Setup picks one: follow the default
    QButtonGroup *appearanceGroup_ = nullptr;  // ids are AppearanceChoice positions
    QButtonGroup *difficultyGroup_ = nullptr;
    QButtonGroup *outputGroup_ = nullptr;
    // The controls whose values "Remember settings" keeps, each under its key.
    std::vector<std::pair<QString, QObject *>> remembered_;
    bool generating_ = false;
    bool closeRequested_ = false;
    bool stopRequested_ = false;
    bool FirstActivation = true;
};

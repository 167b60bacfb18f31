#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSlider;
struct MazeState;
struct OutputContext;

/// Form1: the main window. Holds every parameter of a maze as a control, keeps the
/// program state record current while they are edited, and starts Generate, Edit
/// Matte and printer Setup.
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
    /// Lets tests answer the output's dialogs (file names, "Bitmap too large").
    std::function<void(OutputContext &)> adjustOutput;

    // The controls, named as the window's design names them.
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8;
    QLabel *Label9, *Label10, *Label11, *Label12, *Label13, *Label14;
    QSlider *Slider1;
    QComboBox *Combo1, *Combo2;
    QRadioButton *Option1, *Option2, *Option3, *Option4, *Option5, *Option6, *Option7, *Option8;
    QRadioButton *Option9, *Option10, *Option11, *Option12, *Option13, *Option14, *Option15, *Option16;
    QCheckBox *Check1, *Check2;
    QLineEdit *Text1, *Text2, *Text3;
    QWidget *Picture1;
    QPushButton *Command1, *Command2, *Command3, *Command4;

public slots:
    void Command1_Click();  // Generate
    void Command2_Click();  // Exit
    void Command3_Click();  // Setup
    void Command4_Click();  // Edit Matte

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
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
    void showMessage(const QString &text);
    void setGenerating(bool on);

    MazeState &state_;
    std::unique_ptr<QPrinter> printer_;
    QString chosenPrinter_;  // empty until Setup picks one: follow the default
    std::array<QRadioButton *, 12> appearances_{};  // Option1..Option12 in order
    bool generating_ = false;
    bool closeRequested_ = false;
    bool FirstActivation = true;
};

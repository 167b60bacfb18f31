#pragma once

#include <QDialog>
#include <QImage>

class QFrame;
class QLabel;
class QPushButton;

/// Form6: the "Bitmap too large" dialog. Asks whether the picture should be scaled down
/// or written as a monochrome file instead; closing it means "scale down".
class Form6 : public QDialog {
    Q_OBJECT
public:
    explicit Form6(QWidget *parent = nullptr);

    /// The answer: true for "Make a monochrome bitmap".
    bool MonochromeChosen() const { return monochromeChosen_; }

    /// Shows the dialog modally with the normal pointer and returns the answer.
    static bool ask(QWidget *parent);

    QLabel *Label1[2];
    QFrame *Line1;
    QLabel *Image1;
    QPushButton *Command1;
    QPushButton *Command2;

private:
    void Command1_Click();
    void Command2_Click();

    bool monochromeChosen_ = false;
};

/// The 32 x 32 warning sign: a yellow triangle with a black exclamation mark and a grey
/// shadow, on a transparent background.
QImage warning_sign();

#pragma once

#include "render/output_context.h"

#include <QDialog>
#include <QImage>

class QFrame;
class QLabel;
class QPushButton;

/// Form6: the "Bitmap too large" dialog. Asks whether the picture should be scaled down
/// or written as a monochrome file instead; Cancel, Escape and closing it write nothing.
class Form6 : public QDialog {
    Q_OBJECT
public:
    explicit Form6(QWidget *parent = nullptr);

    /// True once "Make a monochrome bitmap" was chosen.
    bool MonochromeChosen() const { return answer_ == TooLargeAnswer::Monochrome; }
    TooLargeAnswer answer() const { return answer_; }

    /// Shows the dialog modally with the normal pointer and returns the answer.
    static TooLargeAnswer ask(QWidget *parent);

    QLabel *Label1[2];
    QFrame *Line1;
    QLabel *Image1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *cancelButton;

public slots:
    void reject() override;

private:
    void Command1_Click();
    void Command2_Click();

    TooLargeAnswer answer_ = TooLargeAnswer::Cancel;
};

/// The 32 x 32 warning sign: a yellow triangle with a black exclamation mark and a grey
/// shadow, on a transparent background.
QImage warning_sign();

#pragma once

#include "render/page_layout.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

/// The "Page layout" dialog: how Print and a PDF file lay the maze out on the page
/// (paper, orientation, margin, centring, title, name line, poster). Modal; it edits a
/// copy of the setup and hands it back on OK.
class PageLayoutDialog : public QDialog {
    Q_OBJECT
public:
    explicit PageLayoutDialog(const PageSetup &setup, QWidget *parent = nullptr);

    /// The setup as the controls show it.
    PageSetup setup() const;
    /// Sets the controls to `setup`.
    void showSetup(const PageSetup &setup);
    /// Closes the dialog unless the margins leave the chosen paper no room for a maze.
    void accept() override;

    QComboBox *paperList, *orientationList;
    QCheckBox *ownMarginBox;
    QDoubleSpinBox *marginSpin;
    QCheckBox *centerBox;
    QLineEdit *titleEdit;
    QCheckBox *nameLineBox;
    QSpinBox *posterAcrossSpin, *posterDownSpin;
    QPushButton *okButton, *cancelButton, *resetButton;
};

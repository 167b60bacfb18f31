#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

/// Form5: the picture import dialog. The user browses the mounted volumes, their
/// directories and the picture files in them, previews the file clicked, and Import
/// writes its full path into the label handed over (the editor's hidden Label2).
class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QLabel *target, QWidget *parent = nullptr);

    /// The file list's name pattern.
    static QString pattern() { return QStringLiteral("*.bmp;*.gif;*.jpg;*.jpeg"); }

    /// The directory the lists show.
    QString directory() const { return directory_; }
    /// The full path of the selected file, with the platform's separators, or empty.
    QString selectedPath() const;

public slots:
    /// Moves the directory and file lists to `path`; a path that cannot be read (a
    /// drive without a medium) leaves both lists empty.
    void setDirectory(const QString &path);
    void Drive1_Change(int index);
    void Dir1_Change(QListWidgetItem *item);
    void File1_Click();
    void Command2_Click();
    void Command1_Click();

private:
    void fillDrives();
    void emptyPreview();

    QLabel *target_;
    QString directory_;

    QGroupBox *Frame1;
    QComboBox *Drive1;
    QListWidget *Dir1;
    QListWidget *File1;
    QGroupBox *Frame2;
    QLabel *Image1;
    QPushButton *Command2;
    QPushButton *Command1;
};

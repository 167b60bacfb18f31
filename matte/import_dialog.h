#pragma once

#include <QDialog>

class QComboBox;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

/// Form5: the picture import dialog. The user browses the mounted volumes, their
/// directories and the picture files in them (every format Qt reads), or types a path,
/// previews the file chosen, and Import closes it with that file chosen: exec() returns
/// Accepted and chosenPath() names it.
class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget *parent = nullptr);

    /// The file list's name pattern: "*.bmp;*.gif;*.jpg;*.jpeg" first, then every other
    /// picture format this Qt reads ("*.png" among them).
    static QString pattern();

    /// The directory the lists show.
    QString directory() const { return directory_; }
    /// The full path of the selected file, with the platform's separators, or empty.
    QString selectedPath() const;
    /// The file Import chose, or empty after Cancel.
    QString chosenPath() const { return chosenPath_; }

    // The controls. Each keeps the window design's name (Drive1, File1, ...) as its objectName.
    QGroupBox *locationFrame;
    QComboBox *driveList;
    QListWidget *directoryList;
    QListWidget *fileList;
    QGroupBox *previewFrame;
    QLabel *preview;
    QLabel *pathLabel;
    QLineEdit *pathEdit;
    QPushButton *importButton;
    QPushButton *cancelButton;

public slots:
    /// Moves the directory and file lists to `path`; a path that cannot be read (a
    /// drive without a medium) leaves both lists empty.
    void setDirectory(const QString &path);
    void Drive1_Change(int index);
    void Dir1_Change(QListWidgetItem *item);
    void File1_Click();
    void Command2_Click();
    void Command1_Click();
    /// The path box's Enter: a folder is opened; a picture file is chosen and imported.
    void goToTypedPath();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fillDrives();
    void emptyPreview();

    QString directory_;
    QString chosenPath_;
};

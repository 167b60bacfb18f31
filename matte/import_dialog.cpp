#include "matte/import_dialog.h"

#include "matte/matte_picture.h"
#include "matte/matte_widgets.h"
#include "matte/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int PathRole = Qt::UserRole;

} // namespace

QString Form5::pattern()
{
    QStringList patterns{QStringLiteral("*.bmp"), QStringLiteral("*.gif"), QStringLiteral("*.jpg"),
                         QStringLiteral("*.jpeg")};
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        const QString each = QStringLiteral("*.") + QString::fromLatin1(format).toLower();
        if (!patterns.contains(each))
            patterns << each;
    }
    return patterns.join(u';');
}

Form5::Form5(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(tr("Image import"));
    // A row below the window's first design holds the path box.
    setFixedSize(twips(7815), twips(3870));

    locationFrame = placed(new QGroupBox(tr("&Location of picture to import"), this), "Frame1", 120, 120, 4935, 3135);

    driveList = placed(new QComboBox(locationFrame), "Drive1", 120, 360, 2295, 315);
    driveList->setAccessibleName(tr("Drive"));
    driveList->setToolTip(tr("The disk or volume to look on"));

    directoryList = placed(new QListWidget(locationFrame), "Dir1", 120, 840, 2295, 2115);
    directoryList->setAccessibleName(tr("Folders"));
    directoryList->setToolTip(tr("Enter or a double click opens a folder"));

    fileList = placed(new QListWidget(locationFrame), "File1", 2520, 360, 2295, 2625);
    fileList->setAccessibleName(tr("Pictures"));
    fileList->setToolTip(tr("The pictures in the folder; Enter or a double click imports one"));

    previewFrame = placed(new QGroupBox(tr("Preview"), this), "Frame2", 5160, 120, 2535, 2535);

    preview = placed(new QLabel(previewFrame), "Image1", 120, 240, 2295, 2175);
    preview->setAlignment(Qt::AlignCenter);
    preview->setAccessibleName(tr("Preview"));

    importButton = placed(new QPushButton(tr("&Import"), this), "Command2", 5160, 2760, 1215, 495);
    importButton->setEnabled(false);

    cancelButton = placed(new QPushButton(tr("&Cancel"), this), "Command1", 6480, 2760, 1215, 495);

    pathLabel = placed(new QLabel(tr("File &name:"), this), "Label1", 120, 3420, 1095, 315);
    pathEdit = placed(new QLineEdit(this), "Text1", 1215, 3390, 6480, 375);
    pathLabel->setBuddy(pathEdit);
    pathEdit->setAccessibleName(tr("File name"));
    pathEdit->setToolTip(tr("Type a picture's name or path, or a folder's, and press Enter"));
    // The label takes what its caption needs; the box the rest of the row.
    const int labelWidth = std::max(pathLabel->width(), pathLabel->sizeHint().width());
    pathLabel->resize(labelWidth, pathLabel->height());
    pathEdit->setGeometry(pathLabel->x() + labelWidth + 6, pathEdit->y(),
                          cancelButton->geometry().right() - pathLabel->x() - labelWidth - 6, pathEdit->height());

    fillDrives();
    setDirectory(QDir::currentPath());

    connect(driveList, &QComboBox::activated, this, &Form5::Drive1_Change);
    connect(directoryList, &QListWidget::itemActivated, this, &Form5::Dir1_Change);
    connect(fileList, &QListWidget::itemSelectionChanged, this, &Form5::File1_Click);
    connect(fileList, &QListWidget::itemActivated, this, &Form5::Command2_Click);
    connect(pathEdit, &QLineEdit::returnPressed, this, &Form5::goToTypedPath);
    connect(importButton, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(cancelButton, &QPushButton::clicked, this, &Form5::Command1_Click);
}

void Form5::keyPressEvent(QKeyEvent *event)
{
    // The box and the lists act on Enter themselves and pass it on; the default button must
    // not take it too, or a name typed wrong would import the picture selected before.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget *focus = focusWidget();
    if (enter && (focus == pathEdit || focus == directoryList || focus == fileList)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form5::fillDrives()
{
    const QString current = QStorageInfo(QDir::currentPath()).rootPath();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        QString caption = QDir::toNativeSeparators(volume.rootPath());
        const QString name = volume.displayName();
        if (!name.isEmpty() && name != volume.rootPath())
            caption += QStringLiteral(" [%1]").arg(name);
        driveList->addItem(caption, volume.rootPath());
        if (volume.rootPath() == current)
            driveList->setCurrentIndex(driveList->count() - 1);
    }
}

void Form5::Drive1_Change(int index)
{
    setDirectory(driveList->itemData(index).toString());
    QApplication::processEvents();
}

void Form5::Dir1_Change(QListWidgetItem *item)
{
    setDirectory(item->data(PathRole).toString());
    QApplication::processEvents();
}

void Form5::setDirectory(const QString &path)
{
    // The file list is refilled with its selection signal held back: leaving a
    // directory empties the preview once below, not once per item removed.
    const QSignalBlocker holdFiles(fileList);
    directoryList->clear();
    fileList->clear();

    const QDir dir(path);
    directory_ = dir.absolutePath();
    if (path.isEmpty() || !dir.exists() || !dir.isReadable()) {
        emptyPreview();
        return;
    }

    // The directory list shows the way down from the root, open, then the
    // subdirectories of the current one, one step further in.
    QStringList chain;
    for (QDir up = dir;; ) {
        chain.prepend(up.absolutePath());
        if (up.isRoot() || !up.cdUp())
            break;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const QString &step : chain) {
        const QString name = QDir(step).isRoot() ? QDir::toNativeSeparators(step) : QDir(step).dirName();
        auto *item = new QListWidgetItem(open, QString(depth * 2, u' ') + name, directoryList);
        item->setData(PathRole, step);
        ++depth;
    }
    directoryList->setCurrentRow(directoryList->count() - 1);
    const QStringList subdirs =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &sub : subdirs) {
        auto *item = new QListWidgetItem(closed, QString(depth * 2, u' ') + sub, directoryList);
        item->setData(PathRole, dir.absoluteFilePath(sub));
    }

    const QStringList files = dir.entryList(pattern().split(u';'), QDir::Files, QDir::Name | QDir::IgnoreCase);
    fileList->addItems(files);
    emptyPreview();
}

QString Form5::selectedPath() const
{
    const QList<QListWidgetItem *> selected = fileList->selectedItems();
    if (selected.isEmpty())
        return {};
    return QDir::toNativeSeparators(QDir(directory_).filePath(selected.first()->text()));
}

void Form5::goToTypedPath()
{
    const QString typed = pathEdit->text().trimmed();
    if (typed.isEmpty())
        return;
    const QFileInfo info(QDir(directory_), QDir::fromNativeSeparators(typed));
    if (info.isDir()) {
        setDirectory(info.absoluteFilePath());
        pathEdit->clear();
        return;
    }
    if (!info.isFile()) {
        showMessage(this, tr("There is no file or folder %1.").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
        return;
    }
    setDirectory(info.absolutePath());
    QListWidgetItem *item = fileList->findItems(info.fileName(), Qt::MatchExactly).value(0);
    if (!item) {
        showMessage(this, tr("The picture format is invalid - try another."));
        return;
    }
    fileList->setCurrentItem(item);
    Command2_Click();
}

void Form5::File1_Click()
{
    const QString path = selectedPath();
    if (!path.isEmpty())
        pathEdit->setText(fileList->selectedItems().first()->text());
    if (path.isEmpty()) {
        emptyPreview();
        preview->repaint();
        QApplication::processEvents();
        return;
    }

    const QSize area = preview->size();
    // Large photos are decoded straight at preview size where the format allows it, so a
    // picture too large to import whole must be refused apart; a damaged one is refused
    // by the same checks as the import.
    QImage picture = load_matte_picture(path, nullptr, area);
    const QString tooLarge = picture.isNull() ? QString() : matte_picture_size_refusal(path);
    if (picture.isNull() || !tooLarge.isEmpty()) {
        // Import would hand back this file while the preview still shows the last one.
        importButton->setEnabled(false);
        showMessage(this, tooLarge.isEmpty() ? tr("The picture format is invalid - try another.")
                                             : tooLarge.left(1).toUpper() + tooLarge.mid(1) + u'.');
        return;
    }
    // Small pictures are enlarged without smoothing, so that their pixels, which the
    // import samples, stay visible.
    const bool shrink = picture.width() > area.width() || picture.height() > area.height();
    picture = picture.scaled(area, Qt::KeepAspectRatio, shrink ? Qt::SmoothTransformation : Qt::FastTransformation);
    preview->setPixmap(QPixmap::fromImage(picture));
    preview->repaint();
    importButton->setEnabled(true);
    QApplication::processEvents();
}

void Form5::emptyPreview()
{
    preview->clear();
    importButton->setEnabled(false);
}

void Form5::Command2_Click()
{
    const QString path = selectedPath();
    if (path.isEmpty() || !importButton->isEnabled())
        return;
    chosenPath_ = path;
    accept();
}

void Form5::Command1_Click()
{
    reject();
}

#include "matte/import_dialog.h"

#include "matte/matte_widgets.h"
#include "matte/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

namespace {

constexpr int PathRole = Qt::UserRole;

} // namespace

Form5::Form5(QLabel *target, QWidget *parent) : QDialog(parent), target_(target)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(tr("Image import"));
    setFixedSize(twips(7815), twips(3450));

    Frame1 = placed(new QGroupBox(tr("Location of picture to import"), this), "Frame1", 120, 120, 4935, 3135);

    Drive1 = placed(new QComboBox(Frame1), "Drive1", 120, 360, 2295, 315);

    Dir1 = placed(new QListWidget(Frame1), "Dir1", 120, 840, 2295, 2115);

    File1 = placed(new QListWidget(Frame1), "File1", 2520, 360, 2295, 2625);

    Frame2 = placed(new QGroupBox(tr("Preview"), this), "Frame2", 5160, 120, 2535, 2535);

    Image1 = placed(new QLabel(Frame2), "Image1", 120, 240, 2295, 2175);
    Image1->setAlignment(Qt::AlignCenter);

    Command2 = placed(new QPushButton(tr("Import"), this), "Command2", 5160, 2760, 1215, 495);
    Command2->setEnabled(false);

    Command1 = placed(new QPushButton(tr("Cancel"), this), "Command1", 6480, 2760, 1215, 495);

    for (QPushButton *b : {Command2, Command1})
        b->setAutoDefault(false);

    fillDrives();
    setDirectory(QDir::currentPath());

    connect(Drive1, &QComboBox::activated, this, &Form5::Drive1_Change);
    connect(Dir1, &QListWidget::itemActivated, this, &Form5::Dir1_Change);
    connect(File1, &QListWidget::itemSelectionChanged, this, &Form5::File1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
}

void Form5::fillDrives()
{
    const QString current = QStorageInfo(QDir::currentPath()).rootPath();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        QString caption = QDir::toNativeSeparators(volume.rootPath());
        const QString name = volume.displayName();
        if (!name.isEmpty() && name != volume.rootPath())
            caption += QStringLiteral(" [%1]").arg(name);
        Drive1->addItem(caption, volume.rootPath());
        if (volume.rootPath() == current)
            Drive1->setCurrentIndex(Drive1->count() - 1);
    }
}

void Form5::Drive1_Change(int index)
{
    setDirectory(Drive1->itemData(index).toString());
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
    const QSignalBlocker holdFiles(File1);
    Dir1->clear();
    File1->clear();

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
        auto *item = new QListWidgetItem(open, QString(depth * 2, u' ') + name, Dir1);
        item->setData(PathRole, step);
        ++depth;
    }
    Dir1->setCurrentRow(Dir1->count() - 1);
    const QStringList subdirs =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &sub : subdirs) {
        auto *item = new QListWidgetItem(closed, QString(depth * 2, u' ') + sub, Dir1);
        item->setData(PathRole, dir.absoluteFilePath(sub));
    }

    const QStringList files = dir.entryList(pattern().split(u';'), QDir::Files, QDir::Name | QDir::IgnoreCase);
    File1->addItems(files);
    emptyPreview();
}

QString Form5::selectedPath() const
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    if (selected.isEmpty())
        return {};
    return QDir::toNativeSeparators(QDir(directory_).filePath(selected.first()->text()));
}

void Form5::File1_Click()
{
    const QString path = selectedPath();
    if (path.isEmpty()) {
        emptyPreview();
        Image1->repaint();
        QApplication::processEvents();
        return;
    }

    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize area = Image1->size();
    const QSize full = reader.size();
    // Large photos are decoded straight at preview size where the format allows it.
    if (full.isValid() && (full.width() > area.width() || full.height() > area.height()))
        reader.setScaledSize(full.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage picture = reader.read();
    if (picture.isNull()) {
        // Import would hand back this file while the preview still shows the last one.
        Command2->setEnabled(false);
        showMessage(this, tr("The picture format is invalid - try another."));
        return;
    }
    // Small pictures are enlarged without smoothing, so that their pixels, which the
    // import samples, stay visible.
    const bool shrink = picture.width() > area.width() || picture.height() > area.height();
    picture = picture.scaled(area, Qt::KeepAspectRatio, shrink ? Qt::SmoothTransformation : Qt::FastTransformation);
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->repaint();
    Command2->setEnabled(true);
    QApplication::processEvents();
}

void Form5::emptyPreview()
{
    Image1->clear();
    Command2->setEnabled(false);
}

void Form5::Command2_Click()
{
    const QString path = selectedPath();
    if (path.isEmpty() || !Command2->isEnabled())
        return;
    target_->setText(path);
    accept();
}

void Form5::Command1_Click()
{
    reject();
}

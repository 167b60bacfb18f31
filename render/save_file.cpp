#include "render/save_file.h"

#include <QFileInfo>
#include <QSaveFile>

std::unique_ptr<QFileDevice> open_for_saving(const QString &path)
{
    const QFileInfo info(path);
    std::unique_ptr<QFileDevice> file;
    if (info.exists() && !info.isFile() && !info.isDir())
        file = std::make_unique<QFile>(path);
    else
        file = std::make_unique<QSaveFile>(path);
    file->open(QIODevice::WriteOnly);
    return file;
}

bool finish_saving(QFileDevice &file)
{
    if (auto *save = qobject_cast<QSaveFile *>(&file))
        return save->commit();
    const bool flushed = file.flush();
    file.close();
    return flushed && file.error() == QFileDevice::NoError;
}

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

bool save_whole_file(const QString &path, QString *error,
                     const std::function<SaveStep(QFileDevice &file, QString &cause)> &write)
{
    auto fail = [&](const QString &cause) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, cause);
        return false;
    };
    const std::unique_ptr<QFileDevice> file = open_for_saving(path);
    if (!file->isOpen())
        return fail(file->errorString());
    QString cause;
    switch (write(*file, cause)) {
    case SaveStep::Dropped:
        return true;
    case SaveStep::Failed:
        return fail(file->error() != QFileDevice::NoError ? file->errorString() : cause);
    case SaveStep::Written:
        break;
    }
    if (file->error() != QFileDevice::NoError || !finish_saving(*file))
        return fail(file->errorString());
    return true;
}

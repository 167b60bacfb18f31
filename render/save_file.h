#pragma once

#include <QFileDevice>

#include <memory>

/// Opens `path` for writing a whole file: a regular file is written under a temporary
/// name and only replaces `path` in finish_saving(); a device or a pipe (renaming over
/// it would replace it) is written in place. Check isOpen() and errorString().
std::unique_ptr<QFileDevice> open_for_saving(const QString &path);

/// Ends writing: true when everything written is in place under its name; otherwise
/// false, with the cause in the device's errorString(), and nothing left behind.
bool finish_saving(QFileDevice &file);

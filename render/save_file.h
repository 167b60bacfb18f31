#pragma once

#include <QFileDevice>

#include <functional>
#include <memory>

/// Opens `path` for writing a whole file: a regular file is written under a temporary
/// name and only replaces `path` in finish_saving(); a device or a pipe (renaming over
/// it would replace it) is written in place. Check isOpen() and errorString().
std::unique_ptr<QFileDevice> open_for_saving(const QString &path);

/// Ends writing: true when everything written is in place under its name; otherwise
/// false, with the cause in the device's errorString(), and nothing left behind.
bool finish_saving(QFileDevice &file);

/// How the writer given to save_whole_file() ended.
enum class SaveStep { Written, Dropped, Failed };

/// Writes `path` whole through `write`, which fills the open device. Failed takes the
/// device's error, or else the cause `write` gives; Dropped (a stopped output) leaves
/// nothing behind and is no failure. False, with "cannot write <path>: <cause>" in
/// *error, on failure; nothing new is left under `path` then.
bool save_whole_file(const QString &path, QString *error,
                     const std::function<SaveStep(QFileDevice &file, QString &cause)> &write);

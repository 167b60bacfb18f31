#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

class AtomicFile;
class Progress;

/// How the writer given to save_whole_file() ended.
enum class SaveStep { Written, Dropped, Failed };

/// Fills the device it is given; on Failed it may name the cause.
using FileWriter = std::function<SaveStep(QIODevice &device, QString &cause)>;

/// Writes `file` through `write`, whose device checks every write (the first failure
/// sticks, for writers that ignore what write() returns). False, with "cannot write
/// <path>: <cause>" in *error, on failure; *dropped is set for a stopped output, which
/// is no failure. With `progress`, each write lets the window take its events; once a
/// stop is asked for there, nothing more reaches the file and the write fails ("stopped").
/// The caller commits or drops the file.
bool write_whole_file(AtomicFile &file, QString *error, const FileWriter &write, bool *dropped = nullptr,
                      Progress *progress = nullptr);

/// Opens `path` as an AtomicFile for `write`, which fills it and returns false (with the
/// cause in *error) on failure or sets `dropped` for a stopped output; commits it otherwise.
/// A failure to open or commit puts "cannot write <path>: <cause>" in *error.
bool save_to_file(const QString &path, QString *error, const std::function<bool(AtomicFile &, bool &dropped)> &write);

/// Opens `path` as an AtomicFile, writes it through `write` and commits it. False, with
/// "cannot write <path>: <cause>" in *error, on failure; nothing new is left under
/// `path` then, nor after a stopped output.
bool save_whole_file(const QString &path, QString *error, const FileWriter &write);

/// The name as the file system spells it, for AtomicFile.
std::string file_system_name(const QString &path);

// Any argument list (NUL-separated bytes) for the command line: the parser must refuse or
// read it without a fault, and what it reads must hold together.

#include "app/command_line.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> words = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    QStringList arguments;
    for (const QByteArray &word : words)
        arguments << QString::fromUtf8(word);
    const ParsedCommandLine parsed = parse_command_line(arguments);
    const CommandLine &o = parsed.options;
    if (!parsed.error.isEmpty() || o.action != CommandLine::Action::Generate)
        return 0;
    if (o.count < 1 || o.count > 100000)
        std::abort();
    if (o.bitmapFile.isEmpty() && o.pdfFile.isEmpty() && o.textFile.isEmpty() && !o.print && !o.json)
        std::abort();
    // In a batch every name is numbered, differently for each maze, in its own folder.
    for (const QString &name : {o.bitmapFile, o.pdfFile, o.textFile}) {
        if (name.isEmpty())
            continue;
        const QString first = numbered_file_name(name, 0, o.count);
        const QString last = numbered_file_name(name, o.count - 1, o.count, QStringLiteral("solution"));
        if (o.count > 1 && (first == name || first == numbered_file_name(name, 1, o.count)))
            std::abort();
        const qsizetype folder = name.lastIndexOf(QLatin1Char('/')) + 1;
        if (!first.startsWith(name.left(folder)) || !last.startsWith(name.left(folder)))
            std::abort();
    }
    return 0;
}

#include "app/command_line.h"
#include "app/form1.h"
#include "maze/state.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>

int run_generate(const CommandLine &options);

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // Decide before building an application object: QApplication aborts where there
    // is no display, and the command line never needs one.
    const ParsedCommandLine parsed = parse_command_line(arguments);
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "corvanthel: %s\n", qPrintable(parsed.error));
        return 2;
    }
    switch (parsed.options.action) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(command_line_help()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("corvanthel %d.%d\n", CORVANTHEL_VERSION_MAJOR, CORVANTHEL_VERSION_MINOR);
        return 0;
    case CommandLine::Action::Generate: {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The command line speaks for itself on stderr; Qt's own notes about its
        // environment (no runtime folder, no fonts) would only be noise there.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "corvanthel: %s\n", qPrintable(message));
        });
        QGuiApplication app(argc, argv);
        return run_generate(parsed.options);
    }
    case CommandLine::Action::Window:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanthel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/corvanthel.png")));
    MazeState state;
    Form1 window(state);
    window.show();
    return app.exec();
}

#include "app/command_line.h"
#include "app/form1.h"
#include "maze/state.h"
#include "render/atomic_file.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int run_generate(const CommandLine &options);

namespace {

/// Why the window has no display to open on, or empty when it may try.
QString missingDisplay()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = platform.isEmpty() || platform.startsWith(QLatin1String("xcb"));
    const bool wayland = platform.isEmpty() || platform.startsWith(QLatin1String("wayland"));
    if ((x11 && !qEnvironmentVariableIsEmpty("DISPLAY")) || (wayland && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        || (!x11 && !wayland))
        return {};
    return QStringLiteral("no display to open the window on (%1 is not set); 'corvanthel generate' makes mazes "
                          "without one (see --help)")
        .arg(x11 ? QStringLiteral("DISPLAY") : QStringLiteral("WAYLAND_DISPLAY"));
}

} // namespace

int main(int argc, char *argv[])
{
    guard_standard_descriptors();
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
        // Whatever the environment names: the command line draws only off screen, and
        // a platform that needs a display would end the program where there is none.
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

    if (const QString missing = missingDisplay(); !missing.isEmpty()) {
        std::fprintf(stderr, "corvanthel: %s\n", qPrintable(missing));
        return 1;
    }
    // A display that is named but cannot be reached is only found out by trying; Qt
    // then ends the program, which is turned into a message and exit status 1.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        // The first complaint names the cause ("could not connect to display :1").
        static QString cause;
        if (cause.isEmpty())
            cause = message.section(QLatin1Char('\n'), 0, 0);
        if (type != QtFatalMsg)
            return;
        std::fprintf(stderr, "corvanthel: cannot open the window: %s; 'corvanthel generate' makes mazes "
                             "without one (see --help)\n",
                     qPrintable(cause));
        std::_Exit(1);
    });
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QStringLiteral("Corvanthel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/corvanthel.png")));
    MazeState state;
    Form1 window(state);
    window.show();
    return app.exec();
}

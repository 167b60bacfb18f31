#include "render/output_context.h"

#include "render/too_large_dialog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

// Dialogs wait for the user with the normal pointer, whatever the long operation shows.
struct NormalPointer {
    NormalPointer() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalPointer() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

OutputContext window_output(MazeState &state, Progress &progress, QWidget *parent)
{
    OutputContext ctx{state, progress, parent, {}, {}, {}};
    ctx.askFileName = [parent](const QString &filter) {
        NormalPointer normal;
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filter.split(QStringLiteral(";;")));
        // "maze" typed alone gets the chosen filter's extension: "maze.bmp", "maze.svg".
        auto followFilter = [&dialog](const QString &chosen) {
            const QRegularExpressionMatch suffix = QRegularExpression(R"(\*\.(\w+))").match(chosen);
            if (suffix.hasMatch())
                dialog.setDefaultSuffix(suffix.captured(1));
        };
        followFilter(dialog.selectedNameFilter());
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    ctx.askTooLarge = [parent] { return Form6::ask(parent); };
    ctx.reportError = [parent](const QString &message) {
        NormalPointer normal;
        QMessageBox::warning(parent, QStringLiteral("Corvanthel"), message);
    };
    return ctx;
}

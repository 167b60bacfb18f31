#include "app/progress_text.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Progress", text);
}

} // namespace

QString progress_caption(Phase phase, int percent)
{
    QString words;
    switch (phase) {
    case Phase::Generating:
        return tr("Generating...");
    case Phase::Saving:
        return tr("Saving...");
    case Phase::Printing:
        words = tr("Printing");
        break;
    case Phase::Rendering:
        words = tr("Rendering");
        break;
    case Phase::RenderingToDisk:
        words = tr("Rendering direct to disk");
        break;
    }
    if (percent == Progress::NoPercent)
        return words;
    return QStringLiteral("%1 - %2%").arg(words).arg(percent);
}

QString nodes_drawn_text(long long count)
{
    return tr("Nodes drawn: %1").arg(count);
}

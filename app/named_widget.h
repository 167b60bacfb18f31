#pragma once

#include <QString>

/// Gives a new control its object name, its name for screen readers (none: its caption or its
/// label names it) and, where its caption does not say enough, a tooltip; returns it.
template <typename T>
T *named(T *widget, const char *name, const QString &accessibleName = {}, const QString &toolTip = {})
{
    widget->setObjectName(QString::fromLatin1(name));
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    if (!toolTip.isEmpty())
        widget->setToolTip(toolTip);
    return widget;
}

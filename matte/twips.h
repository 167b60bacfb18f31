#pragma once

#include <QRect>
#include <QString>

/// Window layouts are drawn up in twips; at 100% scale 15 twips make a pixel.
constexpr int twips(int value) { return value / 15; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

/// Names a window's control and places it at a rectangle given in twips.
template <typename Widget>
Widget *placed(Widget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

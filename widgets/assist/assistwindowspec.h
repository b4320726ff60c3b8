#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

// One group of an assist file: what one help window shows and where.
struct AssistWindowSpec
{
    // The group name, which is also the object name of the explained widget.
    QString name;
    // x and y offsets from that widget, width and height, as read.
    QStringList window;
    // Rich-text pieces in key order, shown run together.
    QStringList texts;
    QColor borderColor;
    QColor backColor;
    QColor textColor;
};

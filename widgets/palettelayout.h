#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

// How the label palette arranges the named classes: pages titled by a range of
// twenty, and where the popup goes on the screen.
namespace palette {

struct Page
{
    QString title;
    QVector<int> classes;
    // A page with fewer than twenty rows ends in a spacer that keeps them at the top.
    bool spacer = false;
};

// The pages for the class names (index = class number; only 0..199 are looked at).
// The first page is "0-19"; a named class past the current page's end opens the
// page of its own twenty ("40-59" for 50), so every title covers what it shows.
QVector<Page> pages(const QVector<QString>& names);

// Top-left corner of a popup of `size` opened at `cursor`: beside the cursor,
// pushed up so that it ends at the reference window's `bottom` edge, never above
// y 10, and kept inside the screen horizontally.
QPoint position(const QPoint& cursor, const QSize& size, int bottom, const QRect& screen);

} // namespace palette

#pragma once

#include <QLine>
#include <QPoint>
#include <QRect>

namespace assist {

// Where the thin line from a help window to its widget goes, in screen
// coordinates.
struct LeaderLine
{
    // False when the window touches or overlaps its widget.
    bool needed = false;
    // End on the window's edge and end on the widget's edge.
    QPoint from;
    QPoint to;
    // The small window that carries the picture; never thinner than 2 pixels.
    QRect box;
    // The line inside the box, corner to corner.
    QLine line;
};

// The line from a window at `window` to its widget at `target`. An empty
// target is a point at the screen origin.
LeaderLine layoutLeaderLine(const QRect& window, const QRect& target);

} // namespace assist

#pragma once

#include <QList>
#include <QRect>

// Where the window goes when nothing is saved yet: a map tool should open
// large, with the map taking most of it.
namespace windowlayout {

// The window at a first start: 85 % of the available screen each way (but not
// below the window's minimum), centred.
QRect firstStartGeometry(const QRect& available, const QSize& minimum = QSize());

// A restored window kept on a screen that may have become smaller: shrunk to
// the available area (not below the minimum) and moved inside it.
QRect keptOnScreen(const QRect& window, const QRect& available, const QSize& minimum = QSize());

// Splitter sizes (tables, map) for a splitter `total` pixels wide: the tables
// get what they want but at most 40 %, the map the rest.
QList<int> firstStartSplitter(int total, int tablesWanted);

} // namespace windowlayout

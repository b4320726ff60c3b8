#pragma once

#include "records/placerecord.h"

#include <QFontMetrics>
#include <QStringList>
#include <QVector>

// Column widths that show each column's text whole: the widest of its header
// (plus headerPadding, room for the sort arrow) and its cells (plus
// cellPadding), each at most `cap`. Only the first `sample` records are
// measured, so that a list of a hundred thousand places opens as fast.
QVector<int> contentColumnWidths(const PlaceList& places, const QStringList& headers,
                                 const QFontMetrics& cells, const QFontMetrics& header,
                                 int cellPadding, int headerPadding, int cap, int sample = 2000);

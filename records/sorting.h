#pragma once

#include "records/placerecord.h"

#include <Qt>

class QString;

// Header sorting of the place list.
//
// A sort mode is 0 (unsorted), 2c + 1 (column c ascending) or 2c + 2 (column c
// descending) for the eight columns c = 0..7. Any other mode leaves the order alone.
namespace sorting {

constexpr int ColumnCount = 8;

// True for the modes that sort (1..16).
bool isSortingMode(int mode);
// The column a mode sorts, or -1 for a mode that does not sort.
int sortColumn(int mode);
// The direction of a sorting mode (ascending for a mode that does not sort).
Qt::SortOrder sortOrder(int mode);

// The mode after a click on the header of column c: the column's ascending
// mode flips to descending, anything else becomes ascending. A column outside
// 0..7 leaves the mode unchanged.
int nextSortMode(int mode, int column);

// Orders two fields: as numbers when both read as finite numbers ("2" before
// "10"), else as text by UTF-16 code unit; numbers come before text.
// Negative, zero or positive like QString::compare.
int compareFields(const QString& a, const QString& b);

// Sorts the list in place by a mode; equal keys keep their order. A mode
// outside 1..16 changes nothing.
void sortPlaces(PlaceList& places, int mode);

} // namespace sorting

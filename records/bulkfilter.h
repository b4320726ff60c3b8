#pragma once

#include "records/placerecord.h"

#include <QString>

#include <vector>

// The mask of the bulk-edit page. Empty fields let everything through.
struct BulkFilter
{
    QString startX, startY, endX, endY;
    QString color, layer, shape, font, level;

    // The rectangle counts only when all four corners are given; corners and
    // fields are compared as text.
    bool passes(const PlaceRecord& record) const;
};

// List indexes of the records that pass, ascending.
std::vector<int> bulkRows(const PlaceList& places, const BulkFilter& filter);

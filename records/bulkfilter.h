#pragma once

#include "records/placerecord.h"

#include <QString>

#include <optional>
#include <vector>

// The mask of the bulk-edit page. Empty fields let everything through.
struct BulkFilter
{
    QString startX, startY, endX, endY;
    QString color, layer, shape, font, level;

    // The map rectangle, its corners in any order.
    struct Rectangle
    {
        double west = 0.0, east = 0.0, south = 0.0, north = 0.0;
    };
    // The rectangle counts only when all four corners are numbers; a place
    // must lie strictly inside it, compared as numbers.
    std::optional<Rectangle> rectangle() const;

    // The other fields are compared as text, exactly.
    bool passes(const PlaceRecord& record) const;
    bool passes(const PlaceRecord& record, const std::optional<Rectangle>& area) const;
};

// List indexes of the records that pass, ascending.
std::vector<int> bulkRows(const PlaceList& places, const BulkFilter& filter);

#pragma once

#include "records/placerecord.h"

#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The editing rules that need no widget: reading a coordinate pair from the
// clipboard, the bulk replacement and taking marked records out of the list.
namespace editing {

// A pasted coordinate pair: the two parts as the text gives them (blanks
// after a comma stay), longitude first.
struct CoordinatePair
{
    QString x;
    QString y;
};

// Splits at "," (or, with no comma, at " ") and takes the first two parts; a
// second part above 90 can only be a longitude, so the two are exchanged.
// Only a real position passes: both parts numbers, longitude within -180..180
// and latitude within -90..90. Anything else (a name, one number) gives none,
// so a stray clipboard text never moves a place.
std::optional<CoordinatePair> parseCoordinatePair(const QString& text);

// The five replacement fields of the bulk-edit page; empty ones stay as they are.
struct Replacement
{
    QString color, layer, shape, font, level;

    bool isEmpty() const;
    // The fields a record gets: its own where the replacement is empty.
    void applyTo(PlaceRecord& record) const;
};

// The records among rows (list indexes) that are marked, in row order.
std::vector<PlaceRecord*> markedRecords(const PlaceList& places, const std::vector<int>& rows);

// A record taken out of the list with the index it had there.
using TakenRecord = std::pair<int, std::unique_ptr<PlaceRecord>>;

// Takes the given records out of the list in one pass, keeping the order of
// the rest; returns them with their former indexes, ascending.
std::vector<TakenRecord> takeRecords(PlaceList& places, const std::vector<PlaceRecord*>& which);
// Puts taken records back at their former indexes (ascending, as takeRecords
// gives them); an index past the end appends.
void restoreRecords(PlaceList& places, std::vector<TakenRecord>& taken);

// The eight fields of a record, in column order.
std::vector<QString> fieldsOf(const PlaceRecord& record);
void setFields(PlaceRecord& record, const std::vector<QString>& fields);

} // namespace editing

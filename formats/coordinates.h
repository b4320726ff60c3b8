#pragma once

#include <QString>

namespace formats {

// Which axis a hemisphere letter names (N/S: latitude, E/W: longitude).
enum class Axis
{
    Any,
    Latitude,
    Longitude
};

struct Coordinate
{
    bool ok = false;
    double value = 0;
    Axis axis = Axis::Any;
    bool plain = false; // a plain decimal number: its text can be kept as it stands
};

// Decimal degrees ("135.525", "-0.5"), degrees-minutes-seconds ("35°41'22.5\"N",
// "35度41分22.5秒", "北緯35度41分") and a hemisphere letter before or after
// ("N35.6896", "139.7E"); full-width digits too. NaN and infinity are not numbers.
Coordinate parseCoordinate(const QString& text);

bool isLatitude(double value);
bool isLongitude(double value);

// The text a place keeps for a coordinate: the source's own when it was a plain
// decimal number, else the value in at most eight decimals.
QString coordinateText(const QString& source, const Coordinate& parsed);

} // namespace formats

#pragma once

#include <QString>

namespace qmapcontrol {

// The scale bar in the map's corner: the longest round distance (1, 2 or 5
// times a power of ten metres) whose bar fits in the room given.
struct ScaleBar
{
    double metres = 0.0;
    double pixels = 0.0;
    QString label; // "500 m", "2 km"
};

// Ground metres one screen pixel covers at a latitude and zoom (Web Mercator,
// 256-pixel tiles).
double metresPerPixel(double latitude, int zoom);

// The bar for a view: at most maxPixels long. A room too small for even one
// metre gives an empty bar (metres 0).
ScaleBar chooseScaleBar(double latitude, int zoom, double maxPixels);

} // namespace qmapcontrol

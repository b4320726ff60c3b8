#pragma once

#include "qmapcontrol/pointworldcoord.h"

#include <QEvent>
#include <QPixmap>
#include <QString>

#include <optional>

// Measuring the great-circle distance between two presses on the map.
namespace distance {

// Kilometres along a sphere of radius 6371 km (spherical law of cosines).
double greatCircleKm(const qmapcontrol::PointWorldCoord& a, const qmapcontrol::PointWorldCoord& b);

// "12.345 km"
QString labelText(double km);
// The label drawn beside the second point: 100 x 20, transparent, black text,
// drawn at a screen's device pixel ratio.
QPixmap labelPicture(double km, qreal ratio = 1.0);
// The flag of the first point, 19 x 25, its pole's foot in the bottom-right
// corner; with twice the pixels above ratio 1.
QPixmap flagPicture(qreal ratio = 1.0);

// The two points of a measurement under way and what a press does to them.
class Measurement
{
public:
    enum class Action
    {
        None,
        PlantFlag, // the first point was taken
        Finish     // the second point was taken: draw, and the points are clear again
    };

    // Only real button presses count; double clicks and the like change nothing.
    Action press(QEvent::Type type, const qmapcontrol::PointWorldCoord& coord);

    // Valid only once taken: 0, 0 is a real place in the Gulf of Guinea, so whether a
    // point was taken is kept apart from its coordinates.
    qmapcontrol::PointWorldCoord a() const { return m_a.value_or(qmapcontrol::PointWorldCoord()); }
    qmapcontrol::PointWorldCoord b() const { return m_b.value_or(qmapcontrol::PointWorldCoord()); }
    bool hasA() const { return m_a.has_value(); }
    bool hasB() const { return m_b.has_value(); }
    void clear();

private:
    std::optional<qmapcontrol::PointWorldCoord> m_a;
    std::optional<qmapcontrol::PointWorldCoord> m_b;
};

} // namespace distance

#include "map/distance.h"

#include <QFont>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace distance {

namespace {

bool isZero(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & ~(std::uint64_t(1) << 63)) == 0;
}

} // namespace

bool isUnset(const qmapcontrol::PointWorldCoord& point)
{
    return isZero(point.longitude()) && isZero(point.latitude());
}

double greatCircleKm(const qmapcontrol::PointWorldCoord& a, const qmapcontrol::PointWorldCoord& b)
{
    const double k = 0.017453292519943295;
    const double phiA = a.latitude() * k;
    const double phiB = b.latitude() * k;
    const double dLambda = b.longitude() * k - a.longitude() * k;
    const double c =
        std::sin(phiA) * std::sin(phiB) + std::cos(phiA) * std::cos(phiB) * std::cos(dLambda);
    // Rounding can push c a hair past +-1 (one spot twice, antipodes): no NaN.
    return std::acos(std::clamp(c, -1.0, 1.0)) * 6371.0;
}

QString labelText(double km)
{
    QString text;
    text.setNum(km, 'f', 3);
    return text + QStringLiteral(" km");
}

QPixmap labelPicture(double km)
{
    QPixmap pixmap(100, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setFont(QFont(QStringLiteral("Tahoma"), 10));
    painter.drawText(QRectF(0, 0, 100, 20), labelText(km), QTextOption());
    painter.end();
    return pixmap;
}

Measurement::Action Measurement::press(QEvent::Type type, const qmapcontrol::PointWorldCoord& coord)
{
    if (isUnset(m_a)) {
        if (type != QEvent::MouseButtonPress)
            return Action::None;
        m_a = coord;
        return Action::PlantFlag;
    }
    if (!isUnset(m_b) || type != QEvent::MouseButtonPress)
        return Action::None;
    m_b = coord;
    return Action::Finish;
}

void Measurement::clear()
{
    m_a = qmapcontrol::PointWorldCoord(0.0, 0.0);
    m_b = qmapcontrol::PointWorldCoord(0.0, 0.0);
}

} // namespace distance

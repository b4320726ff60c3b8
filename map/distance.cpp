#include "map/distance.h"

#include <QFont>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace distance {

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

QPixmap labelPicture(double km, qreal ratio)
{
    QPixmap pixmap(qRound(100 * ratio), qRound(20 * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setFont(QFont(QStringLiteral("Tahoma"), 10));
    painter.drawText(QRectF(0, 0, 100, 20), labelText(km), QTextOption());
    painter.end();
    return pixmap;
}

QPixmap flagPicture(qreal ratio)
{
    if (ratio <= 1.0)
        return QPixmap(QStringLiteral(":/resources/images/flag.png"));
    QPixmap pixmap(QStringLiteral(":/resources/images/flag@2x.png"));
    pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

Measurement::Action Measurement::press(QEvent::Type type, const qmapcontrol::PointWorldCoord& coord)
{
    if (!m_a) {
        if (type != QEvent::MouseButtonPress)
            return Action::None;
        m_a = coord;
        return Action::PlantFlag;
    }
    if (m_b || type != QEvent::MouseButtonPress)
        return Action::None;
    m_b = coord;
    return Action::Finish;
}

void Measurement::clear()
{
    m_a.reset();
    m_b.reset();
}

} // namespace distance

#include "qmapcontrol/layer.h"

#include "qmapcontrol/qmapcontrol.h"

namespace qmapcontrol {

Layer::Layer(LayerType type, const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent)
    : QObject(parent), m_type(type), m_name(name), m_zoomMin(zoomMinimum), m_zoomMax(zoomMaximum)
{
}

Layer::~Layer() = default;

void Layer::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (!visible)
        leftView();
    requestRedraw();
    emit visibilityChanged(visible);
}

bool Layer::click(const QPointF&, const MapView&)
{
    return false;
}

void Layer::requestRedraw(bool repaint)
{
    if (m_map)
        m_map->layerChanged(repaint);
}

} // namespace qmapcontrol

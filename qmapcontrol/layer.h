#pragma once

#include "qmapcontrol/projection.h"

#include <QObject>
#include <QString>

class QPainter;

namespace qmapcontrol {

class QMapControl;

// One sheet of the map: tiles or geometries, shown for a range of zooms.
class Layer : public QObject
{
    Q_OBJECT
public:
    enum class LayerType
    {
        LayerMapAdapter,
        LayerGeometry,
        LayerOverview
    };

    ~Layer() override;

    LayerType layerType() const { return m_type; }
    const QString& name() const { return m_name; }
    int zoomMinimum() const { return m_zoomMin; }
    int zoomMaximum() const { return m_zoomMax; }
    bool isVisible() const { return m_visible; }
    // Visible and meant for this zoom.
    bool isVisible(int zoom) const { return m_visible && zoom >= m_zoomMin && zoom <= m_zoomMax; }

    // The map showing this layer, if any.
    QMapControl* map() const { return m_map; }

    virtual void draw(QPainter& painter, const MapView& view) = 0;
    // A click (not a drag) at a widget position while the layer is shown;
    // true when the layer took it, so that the layers below do not see it.
    virtual bool click(const QPointF& widget_point, const MapView& view);

public slots:
    void setVisible(bool visible);

signals:
    void visibilityChanged(bool visible);

protected:
    Layer(LayerType type, const QString& name, int zoomMinimum, int zoomMaximum, QObject* parent);

    // Something changed. With repaint false the map only forgets its picture,
    // so that the next paint shows the change.
    void requestRedraw(bool repaint = true);
    // The layer is no longer drawn (hidden, out of its zooms, removed).
    virtual void leftView() {}

private:
    friend class QMapControl;

    LayerType m_type;
    QString m_name;
    int m_zoomMin;
    int m_zoomMax;
    bool m_visible = true;
    QMapControl* m_map = nullptr;
};

} // namespace qmapcontrol

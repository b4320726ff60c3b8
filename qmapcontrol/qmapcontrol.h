#pragma once

#include "qmapcontrol/layer.h"
#include "qmapcontrol/pointworldcoord.h"
#include "qmapcontrol/projection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <vector>

class QMouseEvent;

namespace qmapcontrol {

class TileSource;
class ZoomControls;

// A slippy map: a stack of layers (the first at the bottom) seen at a zoom
// around a focus point. Left drag pans, the wheel zooms about the pointer,
// double click zooms in, arrows and +/- work when the map has the keyboard
// focus, Shift + left drag draws a rectangle instead of panning.
class QMapControl : public QWidget
{
    Q_OBJECT
public:
    explicit QMapControl(const QSizeF& viewport, QWidget* parent = nullptr,
                         Qt::WindowFlags window_flags = {});
    ~QMapControl() override;

    // The size the map asks for (and takes, unless a layout decides); never
    // below 1 x 1. The map always draws into the whole widget.
    void setViewportSize(const QSizeF& viewport);
    QSize sizeHint() const override;

    // index -1 (or past the end) puts the layer on top, 0 at the bottom. A
    // layer shown by another map leaves it.
    void addLayer(const std::shared_ptr<Layer>& layer, int index = -1);
    void removeLayer(const std::shared_ptr<Layer>& layer);
    // Removes every layer of that name.
    void removeLayer(const QString& name);
    // Bottom first.
    const std::vector<std::shared_ptr<Layer>>& layers() const { return m_layers; }
    // The topmost layer of that name, or none.
    std::shared_ptr<Layer> getLayer(const QString& name) const;

    int getZoomMinimum() const { return m_zoomMin; }
    int getZoomMaximum() const { return m_zoomMax; }
    // A minimum above the maximum raises the maximum (and the reverse); the
    // current zoom follows into the range.
    void setZoomMinimum(int zoom);
    void setZoomMaximum(int zoom);
    int getCurrentZoom() const { return m_zoom; }

    PointWorldCoord mapFocusPointCoord() const { return m_focus; }
    // Glides to the point in `steps` moves, one per interval.
    void setMapFocusPointAnimated(const PointWorldCoord& point, int steps,
                                  std::chrono::milliseconds step_interval);

    // Shows the rectangle between two corners as large as the view allows,
    // at zoom_minimum or more (within the map's zoom range), with a margin.
    void fitToCoordinates(const PointWorldCoord& corner1, const PointWorldCoord& corner2,
                          int zoom_minimum = 0);

    // Tiles are kept on disk in that folder (one folder per provider inside);
    // an expiry of 0 keeps them for ever.
    void enablePersistentCache(std::chrono::minutes expiry, const QDir& path);
    void disablePersistentCache();

    void enableZoomControls(bool enable, bool align_left = false);

    // Where things are: the world coordinate under a widget position (longitude
    // in -180 .. 180) and the widget position of a coordinate.
    PointWorldCoord toPointWorldCoord(const QPointF& widget_point) const;
    QPointF toWidgetPoint(const PointWorldCoord& coord) const;
    MapView view() const;

    TileSource* tileSource() const { return m_tiles; }
    ZoomControls* zoomControls() const { return m_zoomControls; }

    // Forgets the painted picture and paints again.
    void requestRedraw();

    // The map around the focus point at the current zoom, drawn off screen
    // for a view of `size` (widget pixels) at `scale` times the pixels (1 to
    // 8): markers, lines, scale bar and attribution drawn at that resolution,
    // tiles of the finer zooms where the provider has them. Asks for the
    // tiles it lacks; `missingTiles` gets how many were blank or coarser than
    // the view. An opaque RGB32 picture; needs no window on the screen.
    QImage renderImage(const QSize& size, int scale, int* missingTiles = nullptr);
    // The view renderImage draws for a size (and scale).
    MapView viewFor(const QSize& size, int scale = 1) const;

public slots:
    void setZoom(int zoom);
    void zoomIn();
    void zoomOut();
    void setMapFocusPoint(const qmapcontrol::PointWorldCoord& point);

signals:
    // A press of any button, and double clicks too (their event type tells them apart).
    void mouseEventPressCoordinate(QMouseEvent* mouse_event,
                                   qmapcontrol::PointWorldCoord press_coordinate);
    // A release, with where that button went down and where it came up.
    void mouseEventReleaseCoordinate(QMouseEvent* mouse_event,
                                     qmapcontrol::PointWorldCoord press_coordinate,
                                     qmapcontrol::PointWorldCoord release_coordinate);
    // The pointer moving over the map, buttons held or not, and leaving it.
    void mouseEventMoveCoordinate(QMouseEvent* mouse_event,
                                  qmapcontrol::PointWorldCoord move_coordinate);
    void mouseLeft();
    void changeZoomLevel(int zoom);
    // A tile provider turned us away (a key missing, say): its tiles stay blank.
    void tileProviderRefused(const QString& text);
    // Tiles of the view cannot be had, and the last reason ("HTTP 404"); empty once
    // they load again.
    void tileLoadError(const QString& reason);
    // A tile could not be kept in the persistent cache (the system's reason).
    void tileCacheWriteFailed(const QString& reason);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class Layer;
    void layerChanged(bool repaint);

    void renderFrame();
    // Returns the box it drew (empty when none).
    QRect drawAttribution(QPainter& painter, const MapView& view) const;
    // Bottom left; above the attribution when the map is too narrow for both.
    void drawScaleBar(QPainter& painter, const QRect& attribution, const QSize& size) const;
    void placeZoomControls();
    // Moves the focus so that the view centre sits at a world pixel of the
    // current zoom (longitude wrapped, latitude kept in the world).
    void setCenterPixels(const QPointF& center);
    QPointF centerPixels() const;
    // About a widget point (kept in place), or about the focus point.
    void zoomTo(int zoom, const QPointF* widget_point);
    // A zoom by the user's hand, shown with a short animation.
    void userZoom(int zoom, const QPointF* widget_point = nullptr);
    bool zoomAnimationRunning() const;
    void stopZoomAnimation();
    // Paints the animation's present state; returns the zoom it shows (fractional).
    double paintZoomAnimation(QPainter& painter);
    void panBy(const QPointF& pixels);
    void panTo(const QPointF& center);
    void stopGlide();
    void glideStep();
    void emitGeometryClicked(const QPointF& widget_point);
    void emitRightClicked(const PointWorldCoord& coord);
    QRect rubberBandRect() const;

    std::vector<std::shared_ptr<Layer>> m_layers;
    TileSource* m_tiles;
    ZoomControls* m_zoomControls;
    bool m_zoomControlsLeft = false;

    QSize m_viewport;
    int m_zoom = 0;
    int m_zoomMin = 0;
    int m_zoomMax = 17;
    PointWorldCoord m_focus;

    // The map as last painted; the widget shows it until something changes.
    QPixmap m_frame;
    bool m_frameValid = false;

    // Where each button went down, in world coordinates.
    QHash<int, PointWorldCoord> m_pressCoords;
    QPoint m_leftPressPos;
    QPoint m_lastMousePos;
    QPointF m_dragCenter; // view centre (world pixels) when the drag began
    bool m_leftDown = false;
    bool m_moved = false;
    bool m_rubberBand = false;
    QPoint m_rubberEnd;
    bool m_afterDoubleClick = false;
    int m_wheelDelta = 0;

    // The zoom animation: the picture shown when it began, scaled about the anchor.
    QPixmap m_zoomFrom;
    double m_zoomFromLevel = 0.0;
    QPointF m_zoomAnchor;
    QElapsedTimer m_zoomClock;
    QTimer m_zoomAnimationTimer;

    QTimer m_glideTimer;
    QPointF m_glideFrom;
    QPointF m_glideTo;
    PointWorldCoord m_glideTarget;
    int m_glideStep = 0;
    int m_glideSteps = 0;
};

} // namespace qmapcontrol

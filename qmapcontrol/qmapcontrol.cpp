#include "qmapcontrol/qmapcontrol.h"

#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/scalebar.h"
#include "qmapcontrol/tilesource.h"
#include "qmapcontrol/zoomcontrols.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace qmapcontrol {

namespace {
// Zooms a map can show; tiles past a provider's last zoom are blown up.
constexpr int absoluteZoomMin = 0;
constexpr int absoluteZoomMax = 20;
constexpr int controlsMargin = 10;
constexpr int zoomAnimationMs = 220;
// Outside the world and where no tile is known yet.
const QColor background(0xe5, 0xe3, 0xdf);
const QColor rubberBandColor(30, 90, 220);
} // namespace

QMapControl::QMapControl(const QSizeF& viewport, QWidget* parent, Qt::WindowFlags window_flags)
    : QWidget(parent, window_flags), m_tiles(new TileSource(this)),
      m_zoomControls(new ZoomControls(this))
{
    qRegisterMetaType<PointWorldCoord>();
    qRegisterMetaType<const Geometry*>();

    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setCursor(Qt::OpenHandCursor);
    // Moves are reported without a button too: where the pointer is.
    setMouseTracking(true);
    setViewportSize(viewport);

    connect(m_tiles, &TileSource::tileReady, this, [this] { layerChanged(true); });
    connect(m_tiles, &TileSource::providerRefused, this, &QMapControl::tileProviderRefused);
    connect(m_tiles, &TileSource::tileLoadError, this, &QMapControl::tileLoadError);
    connect(m_tiles, &TileSource::cacheWriteFailed, this, &QMapControl::tileCacheWriteFailed);

    m_zoomControls->setRange(m_zoomMin, m_zoomMax);
    m_zoomControls->setZoom(m_zoom);
    connect(m_zoomControls, &ZoomControls::zoomInClicked, this, [this] { userZoom(m_zoom + 1); });
    connect(m_zoomControls, &ZoomControls::zoomOutClicked, this, [this] { userZoom(m_zoom - 1); });
    connect(m_zoomControls, &ZoomControls::zoomChosen, this, [this](int zoom) { userZoom(zoom); });
    placeZoomControls();

    m_zoomAnimationTimer.setInterval(15);
    connect(&m_zoomAnimationTimer, &QTimer::timeout, this, [this] { update(); });
    m_glideTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_glideTimer, &QTimer::timeout, this, &QMapControl::glideStep);
}

QMapControl::~QMapControl()
{
    for (const auto& layer : m_layers) {
        layer->leftView();
        layer->m_map = nullptr;
    }
}

void QMapControl::setViewportSize(const QSizeF& viewport)
{
    const QSize size(std::max(1, int(std::lround(viewport.width()))),
                     std::max(1, int(std::lround(viewport.height()))));
    m_viewport = size;
    updateGeometry();
    resize(size);
}

QSize QMapControl::sizeHint() const
{
    return m_viewport;
}

void QMapControl::addLayer(const std::shared_ptr<Layer>& layer, int index)
{
    if (!layer)
        return;
    if (layer->m_map)
        layer->m_map->removeLayer(layer);
    if (index < 0 || index > int(m_layers.size()))
        index = int(m_layers.size());
    m_layers.insert(m_layers.begin() + index, layer);
    layer->m_map = this;
    layerChanged(true);
}

void QMapControl::removeLayer(const std::shared_ptr<Layer>& layer)
{
    const auto it = std::find(m_layers.begin(), m_layers.end(), layer);
    if (it == m_layers.end())
        return;
    layer->leftView();
    layer->m_map = nullptr;
    m_layers.erase(it);
    layerChanged(true);
}

void QMapControl::removeLayer(const QString& name)
{
    std::vector<std::shared_ptr<Layer>> doomed;
    for (const auto& layer : m_layers) {
        if (layer->name() == name)
            doomed.push_back(layer);
    }
    for (const auto& layer : doomed)
        removeLayer(layer);
}

std::shared_ptr<Layer> QMapControl::getLayer(const QString& name) const
{
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
        if ((*it)->name() == name)
            return *it;
    }
    return nullptr;
}

void QMapControl::setZoomMinimum(int zoom)
{
    m_zoomMin = std::clamp(zoom, absoluteZoomMin, absoluteZoomMax);
    m_zoomMax = std::max(m_zoomMax, m_zoomMin);
    m_zoomControls->setRange(m_zoomMin, m_zoomMax);
    setZoom(m_zoom);
    m_zoomControls->setZoom(m_zoom);
}

void QMapControl::setZoomMaximum(int zoom)
{
    m_zoomMax = std::clamp(zoom, absoluteZoomMin, absoluteZoomMax);
    m_zoomMin = std::min(m_zoomMin, m_zoomMax);
    m_zoomControls->setRange(m_zoomMin, m_zoomMax);
    setZoom(m_zoom);
    m_zoomControls->setZoom(m_zoom);
}

void QMapControl::setZoom(int zoom)
{
    // The focus point stays as it is: zooming there and back must not make it drift.
    zoomTo(zoom, nullptr);
}

void QMapControl::zoomIn()
{
    setZoom(m_zoom + 1);
}

void QMapControl::zoomOut()
{
    setZoom(m_zoom - 1);
}

void QMapControl::zoomTo(int zoom, const QPointF* widget_point)
{
    zoom = std::clamp(zoom, m_zoomMin, m_zoomMax);
    if (zoom == m_zoom)
        return;
    if (widget_point) {
        // Keep the world point under the pointer where it is.
        const QPointF under = view().toNormalized(*widget_point);
        const QPointF half(width() / 2.0, height() / 2.0);
        m_zoom = zoom;
        setCenterPixels(under * projection::worldSize(zoom) - *widget_point + half);
    } else {
        m_zoom = zoom;
    }
    if (m_leftDown) {
        // A drag under way continues from here at the new zoom.
        m_dragCenter = centerPixels();
        m_leftPressPos = m_lastMousePos;
    }
    m_zoomControls->setZoom(m_zoom);
    layerChanged(true);
    emit changeZoomLevel(m_zoom);
}

void QMapControl::userZoom(int zoom, const QPointF* widget_point)
{
    zoom = std::clamp(zoom, m_zoomMin, m_zoomMax);
    if (zoom == m_zoom)
        return;
    // What the user sees now glides into the new zoom, instead of jumping.
    const QPointF anchor = widget_point ? *widget_point : QPointF(width() / 2.0, height() / 2.0);
    QPixmap shown;
    double shownZoom = m_zoom;
    if (zoomAnimationRunning()) {
        shown = QPixmap(m_frame.size());
        shown.setDevicePixelRatio(m_frame.devicePixelRatio());
        QPainter painter(&shown);
        shownZoom = paintZoomAnimation(painter);
    } else {
        renderFrame();
        shown = m_frame;
    }
    zoomTo(zoom, widget_point);
    m_zoomFrom = shown;
    m_zoomFromLevel = shownZoom;
    m_zoomAnchor = anchor;
    m_zoomClock.start();
    m_zoomAnimationTimer.start();
}

bool QMapControl::zoomAnimationRunning() const
{
    return m_zoomAnimationTimer.isActive() && m_zoomClock.elapsed() < zoomAnimationMs;
}

void QMapControl::stopZoomAnimation()
{
    m_zoomAnimationTimer.stop();
    m_zoomFrom = QPixmap();
}

double QMapControl::paintZoomAnimation(QPainter& painter)
{
    const double t = std::min(1.0, m_zoomClock.elapsed() / double(zoomAnimationMs));
    // Fast at first, settling gently.
    const double eased = 1.0 - (1.0 - t) * (1.0 - t);
    const double level = m_zoomFromLevel + (m_zoom - m_zoomFromLevel) * eased;
    const double scale = std::exp2(level - m_zoomFromLevel);
    // Underneath, the map at the new zoom fills what the shrinking picture leaves free.
    painter.drawPixmap(0, 0, m_frame);
    const QRectF target(m_zoomAnchor * (1.0 - scale), QSizeF(size()) * scale);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawPixmap(target, m_zoomFrom, QRectF(m_zoomFrom.rect()));
    return level;
}

QPointF QMapControl::centerPixels() const
{
    return projection::toWorldPixels(m_focus, m_zoom);
}

void QMapControl::setCenterPixels(const QPointF& center)
{
    const PointWorldCoord coord = projection::fromWorldPixels(center, m_zoom);
    m_focus = PointWorldCoord(projection::wrapLongitude(coord.longitude()), coord.latitude());
    layerChanged(true);
}

void QMapControl::setMapFocusPoint(const PointWorldCoord& point)
{
    stopGlide();
    m_focus = PointWorldCoord(projection::wrapLongitude(point.longitude()),
                              projection::clampLatitude(point.latitude()));
    layerChanged(true);
}

void QMapControl::setMapFocusPointAnimated(const PointWorldCoord& point, int steps,
                                           std::chrono::milliseconds step_interval)
{
    stopGlide();
    if (steps <= 1) {
        setMapFocusPoint(point);
        return;
    }
    m_glideTarget = point;
    m_glideFrom = projection::toNormalized(m_focus);
    m_glideTo = projection::toNormalized(point);
    // The short way round the world.
    if (m_glideTo.x() - m_glideFrom.x() > 0.5)
        m_glideTo.rx() -= 1.0;
    else if (m_glideTo.x() - m_glideFrom.x() < -0.5)
        m_glideTo.rx() += 1.0;
    m_glideStep = 0;
    m_glideSteps = steps;
    m_glideTimer.start(int(std::max<std::chrono::milliseconds::rep>(0, step_interval.count())));
}

void QMapControl::fitToCoordinates(const PointWorldCoord& corner1, const PointWorldCoord& corner2,
                                   int zoom_minimum)
{
    stopGlide();
    const QPointF a = projection::toNormalized(corner1);
    const QPointF b = projection::toNormalized(corner2);
    const QRectF box = QRectF(a, b).normalized();
    // A tenth of the view stays free on each side.
    const double across = std::max(1.0, width() * 0.8) / projection::tileSize;
    const double down = std::max(1.0, height() * 0.8) / projection::tileSize;
    int zoom = m_zoomMax;
    if (box.width() > 0.0 || box.height() > 0.0) {
        const double fit = std::min(box.width() > 0.0 ? across / box.width() : 1e12,
                                    box.height() > 0.0 ? down / box.height() : 1e12);
        zoom = int(std::floor(std::log2(fit)));
    }
    zoom = std::clamp(std::max(zoom, zoom_minimum), m_zoomMin, m_zoomMax);
    zoomTo(zoom, nullptr);
    setMapFocusPoint(projection::fromNormalized(box.center()));
}

void QMapControl::glideStep()
{
    ++m_glideStep;
    if (m_glideStep >= m_glideSteps) {
        setMapFocusPoint(m_glideTarget);
        return;
    }
    // Ease in and out, so that the glide starts and lands gently.
    const double t = double(m_glideStep) / m_glideSteps;
    const double s = t * t * (3.0 - 2.0 * t);
    const QPointF at = m_glideFrom + (m_glideTo - m_glideFrom) * s;
    setCenterPixels(at * projection::worldSize(m_zoom));
}

void QMapControl::stopGlide()
{
    m_glideTimer.stop();
    m_glideSteps = 0;
}

void QMapControl::enablePersistentCache(std::chrono::minutes expiry, const QDir& path)
{
    m_tiles->enablePersistentCache(expiry, path);
}

void QMapControl::disablePersistentCache()
{
    m_tiles->disablePersistentCache();
}

void QMapControl::enableZoomControls(bool enable, bool align_left)
{
    m_zoomControlsLeft = align_left;
    placeZoomControls();
    m_zoomControls->setVisible(enable);
}

void QMapControl::placeZoomControls()
{
    m_zoomControls->adjustSize();
    const int x =
        m_zoomControlsLeft ? controlsMargin : width() - m_zoomControls->width() - controlsMargin;
    m_zoomControls->move(x, controlsMargin);
}

MapView QMapControl::view() const
{
    return viewFor(size());
}

MapView QMapControl::viewFor(const QSize& size, int scale) const
{
    MapView v;
    v.zoom = m_zoom;
    v.size = size;
    const QPointF c = centerPixels();
    v.origin = QPointF(std::round(c.x() - v.size.width() / 2.0),
                       std::round(c.y() - v.size.height() / 2.0));
    v.detail = scale >= 4 ? 2 : scale >= 2 ? 1 : 0;
    return v;
}

QImage QMapControl::renderImage(const QSize& size, int scale, int* missingTiles)
{
    scale = std::clamp(scale, 1, 8);
    const MapView v = viewFor(size.expandedTo(QSize(1, 1)), scale);
    // Opaque (the background is filled first): no alpha to blend or convert.
    QImage image(v.size * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    int missing = 0;
    {
        QPainter painter(&image);
        painter.fillRect(QRect(QPoint(0, 0), v.size), background);
        const std::vector<std::shared_ptr<Layer>> layers = m_layers;
        for (const auto& layer : layers) {
            if (!layer->isVisible(v.zoom))
                continue;
            painter.save();
            layer->draw(painter, v);
            painter.restore();
            if (layer->layerType() == Layer::LayerType::LayerMapAdapter)
                missing += static_cast<const LayerMapAdapter&>(*layer).missingTiles();
        }
        drawScaleBar(painter, drawAttribution(painter, v), v.size);
    }
    // The screen's view asks for its own tiles again when it next paints.
    m_frameValid = false;
    if (missingTiles)
        *missingTiles = missing;
    image.setDevicePixelRatio(1.0);
    return image;
}

PointWorldCoord QMapControl::toPointWorldCoord(const QPointF& widget_point) const
{
    const PointWorldCoord coord = projection::fromNormalized(view().toNormalized(widget_point));
    return PointWorldCoord(projection::wrapLongitude(coord.longitude()), coord.latitude());
}

QPointF QMapControl::toWidgetPoint(const PointWorldCoord& coord) const
{
    const MapView v = view();
    QPointF n = projection::toNormalized(coord);
    // The copy of the world nearest the view centre.
    const double centreX = v.normalizedRect().center().x();
    n.rx() += std::round(centreX - n.x());
    return v.toScreen(n);
}

void QMapControl::requestRedraw()
{
    layerChanged(true);
}

void QMapControl::layerChanged(bool repaint)
{
    m_frameValid = false;
    if (repaint)
        update();
}

void QMapControl::renderFrame()
{
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_frameValid && m_frame.size() == pixels)
        return;
    if (m_frame.size() != pixels) {
        m_frame = QPixmap(pixels);
        m_frame.setDevicePixelRatio(dpr);
    }
    const MapView v = view();
    QPainter painter(&m_frame);
    painter.fillRect(rect(), background);
    // Slots of the layers may change the list: keep what we draw alive.
    const std::vector<std::shared_ptr<Layer>> layers = m_layers;
    for (const auto& layer : layers) {
        if (layer->isVisible(v.zoom)) {
            painter.save();
            layer->draw(painter, v);
            painter.restore();
        } else {
            layer->leftView();
        }
    }
    m_frameValid = true;
}

QRect QMapControl::drawAttribution(QPainter& painter, const MapView& v) const
{
    QString text;
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
        if ((*it)->layerType() != Layer::LayerType::LayerMapAdapter || !(*it)->isVisible(v.zoom))
            continue;
        const auto& adapter = static_cast<const LayerMapAdapter&>(**it).mapAdapter();
        if (adapter) {
            text = adapter->attribution();
            break;
        }
    }
    if (text.isEmpty())
        return QRect();
    QFont font = this->font();
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    const QRect textRect = metrics.boundingRect(text);
    const QRect box(v.size.width() - textRect.width() - 8, v.size.height() - metrics.height() - 2,
                    textRect.width() + 8, metrics.height() + 2);
    painter.save();
    painter.setFont(font);
    painter.fillRect(box, QColor(255, 255, 255, 190));
    painter.setPen(QColor(50, 50, 50));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
    return box;
}

void QMapControl::drawScaleBar(QPainter& painter, const QRect& attribution, const QSize& size) const
{
    QFont font = this->font();
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    const int pad = 4;
    const double room = std::min(100.0, size.width() / 3.0);
    const ScaleBar bar = chooseScaleBar(m_focus.latitude(), m_zoom, room);
    if (bar.metres <= 0.0)
        return;
    const int length = int(std::lround(bar.pixels));
    const int textWidth = metrics.horizontalAdvance(bar.label);
    QRect box(0, size.height() - metrics.height() - 2 * pad, pad + length + pad + textWidth + pad,
              metrics.height() + 2 * pad);
    if (box.intersects(attribution))
        box.moveBottom(attribution.top() - 1);
    painter.save();
    painter.setFont(font);
    painter.fillRect(box, QColor(255, 255, 255, 190));
    painter.setPen(QPen(QColor(50, 50, 50), 1));
    const int y = box.bottom() - pad;
    const int x0 = box.left() + pad;
    painter.drawLine(x0, y, x0 + length, y);
    painter.drawLine(x0, y, x0, y - 6);
    painter.drawLine(x0 + length, y, x0 + length, y - 6);
    painter.drawText(QRect(x0 + length + pad, box.top(), textWidth + pad, box.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, bar.label);
    painter.restore();
}

QRect QMapControl::rubberBandRect() const
{
    return QRect(m_leftPressPos, m_rubberEnd).normalized();
}

void QMapControl::paintEvent(QPaintEvent*)
{
    renderFrame();
    QPainter painter(this);
    if (zoomAnimationRunning())
        paintZoomAnimation(painter);
    else {
        if (!m_zoomFrom.isNull())
            stopZoomAnimation();
        painter.drawPixmap(0, 0, m_frame);
    }
    // Over the picture, not in it, so that a zoom animation leaves it in its corner.
    drawScaleBar(painter, drawAttribution(painter, view()), size());
    if (m_rubberBand && m_moved) {
        painter.setPen(QPen(rubberBandColor, 1, Qt::DashLine));
        QColor fill = rubberBandColor;
        fill.setAlpha(40);
        painter.setBrush(fill);
        painter.drawRect(rubberBandRect());
    }
}

void QMapControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeZoomControls();
    layerChanged(true);
}

void QMapControl::mousePressEvent(QMouseEvent* event)
{
    stopGlide();
    if (!m_zoomFrom.isNull()) {
        // Whoever takes hold of the map wants to see it as it is.
        stopZoomAnimation();
        update();
    }
    const PointWorldCoord coord = toPointWorldCoord(event->localPos());
    m_pressCoords.insert(int(event->button()), coord);
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
        m_moved = false;
        m_afterDoubleClick = false;
        m_leftPressPos = event->pos();
        m_lastMousePos = event->pos();
        m_rubberEnd = event->pos();
        m_dragCenter = centerPixels();
        m_rubberBand = event->modifiers().testFlag(Qt::ShiftModifier);
        setCursor(m_rubberBand ? Qt::CrossCursor : Qt::ClosedHandCursor);
    }
    emit mouseEventPressCoordinate(event, coord);
}

void QMapControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    stopGlide();
    const PointWorldCoord coord = toPointWorldCoord(event->localPos());
    m_pressCoords.insert(int(event->button()), coord);
    emit mouseEventPressCoordinate(event, coord);
    if (event->button() == Qt::LeftButton) {
        const QPointF at = event->localPos();
        userZoom(m_zoom + 1, &at);
        // The release that follows ends the double click; it is not a click.
        m_leftDown = true;
        m_moved = false;
        m_rubberBand = false;
        m_afterDoubleClick = true;
        m_leftPressPos = event->pos();
        m_lastMousePos = event->pos();
        m_dragCenter = centerPixels();
    }
}

void QMapControl::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseEventMoveCoordinate(event, toPointWorldCoord(event->localPos()));
    if (!m_leftDown)
        return;
    if (!event->buttons().testFlag(Qt::LeftButton)) {
        // The release went elsewhere (a dialog opened by a slot, say).
        m_leftDown = false;
        m_rubberBand = false;
        setCursor(Qt::OpenHandCursor);
        update();
        return;
    }
    m_lastMousePos = event->pos();
    const QPoint delta = event->pos() - m_leftPressPos;
    if (delta.manhattanLength() >= QApplication::startDragDistance())
        m_moved = true;
    if (m_rubberBand) {
        const QRect before = rubberBandRect();
        m_rubberEnd = event->pos();
        update(before.united(rubberBandRect()).adjusted(-2, -2, 2, 2));
        return;
    }
    panTo(m_dragCenter - QPointF(delta));
}

void QMapControl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    emit mouseLeft();
}

void QMapControl::mouseReleaseEvent(QMouseEvent* event)
{
    const PointWorldCoord release = toPointWorldCoord(event->localPos());
    const PointWorldCoord press = m_pressCoords.value(int(event->button()), release);
    m_pressCoords.remove(int(event->button()));
    bool click = false;
    if (event->button() == Qt::LeftButton) {
        if (m_leftDown) {
            const QPoint delta = event->pos() - m_leftPressPos;
            if (delta.manhattanLength() >= QApplication::startDragDistance())
                m_moved = true;
            click = !m_moved && !m_rubberBand && !m_afterDoubleClick;
        }
        const bool hadBand = m_rubberBand;
        m_leftDown = false;
        m_rubberBand = false;
        m_afterDoubleClick = false;
        setCursor(Qt::OpenHandCursor);
        if (hadBand)
            update();
    }
    emit mouseEventReleaseCoordinate(event, press, release);
    if (click)
        emitGeometryClicked(event->localPos());
    else if (event->button() == Qt::RightButton)
        emitRightClicked(press);
}

void QMapControl::emitGeometryClicked(const QPointF& widget_point)
{
    const MapView v = view();
    // Slots may clear layers or add new ones: hold on to what we look at.
    const std::vector<std::shared_ptr<Layer>> layers = m_layers;
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        if ((*it)->isVisible(v.zoom) && (*it)->click(widget_point, v))
            return;
    }
}

void QMapControl::emitRightClicked(const PointWorldCoord& coord)
{
    const int zoom = m_zoom;
    const std::vector<std::shared_ptr<Layer>> layers = m_layers;
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        if ((*it)->layerType() == Layer::LayerType::LayerGeometry && (*it)->isVisible(zoom)) {
            emit static_cast<LayerGeometry*>(it->get())->mouseRightClicked(coord);
            return;
        }
    }
}

void QMapControl::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if ((delta > 0) != (m_wheelDelta > 0))
        m_wheelDelta = 0;
    m_wheelDelta += delta;
    // Fine-grained wheels and touch pads send parts of a notch.
    while (std::abs(m_wheelDelta) >= QWheelEvent::DefaultDeltasPerStep) {
        const int step = m_wheelDelta > 0 ? 1 : -1;
        m_wheelDelta -= step * QWheelEvent::DefaultDeltasPerStep;
        const QPointF at = event->position();
        userZoom(m_zoom + step, &at);
    }
    event->accept();
}

void QMapControl::panBy(const QPointF& pixels)
{
    stopGlide();
    panTo(centerPixels() + pixels);
}

void QMapControl::panTo(const QPointF& center)
{
    // The world's top and bottom edges stop a pan when the world is taller
    // than the view; a view already past them is never pushed back.
    const double now = centerPixels().y();
    const double world = projection::worldSize(m_zoom);
    const double half = height() / 2.0;
    double y = center.y();
    if (world >= height())
        y = std::clamp(y, std::min(half, now), std::max(world - half, now));
    setCenterPixels(QPointF(center.x(), y));
}

void QMapControl::keyPressEvent(QKeyEvent* event)
{
    const double stepX = std::max(32, width() / 8);
    const double stepY = std::max(32, height() / 8);
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(QPointF(-stepX, 0));
        break;
    case Qt::Key_Right:
        panBy(QPointF(stepX, 0));
        break;
    case Qt::Key_Up:
        panBy(QPointF(0, -stepY));
        break;
    case Qt::Key_Down:
        panBy(QPointF(0, stepY));
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        userZoom(m_zoom + 1);
        break;
    case Qt::Key_Minus:
        userZoom(m_zoom - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace qmapcontrol

// The map side of the main window: the widget and its layers, the tile
// providers and cache, mouse actions on the map, and the marker refresh.
#include "app/mivaromap.h"

#include "map/markers.h"
#include "map/providers.h"
#include "prompts/prompts.h"
#include "qmapcontrol/layermapadapter.h"
#include "qmapcontrol/layeroverview.h"
#include "qmapcontrol/mapadapter.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolTip>

using namespace qmapcontrol;

namespace {

QString fixed14(double v)
{
    return QString::number(v, 'f', 14);
}

} // namespace

void MivaroMap::createMap()
{
    mapControl = new QMapControl(QSizeF(800.0, 800.0));
    connect(mapControl, &QMapControl::mouseEventPressCoordinate, this,
            &MivaroMap::mouseEventPressCoordinate);
    connect(mapControl, &QMapControl::mouseEventReleaseCoordinate, this,
            &MivaroMap::mouseEventReleaseCoordinate);
    connect(mapControl, &QMapControl::tileProviderRefused, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(mapControl, &QMapControl::tileLoadError, this, &MivaroMap::showTileError);
    connect(mapControl, &QMapControl::tileCacheWriteFailed, this, [this](const QString& reason) {
        statusBar()->showMessage(
            QStringLiteral("地図タイルをキャッシュに保存できません: %1").arg(reason));
    });
    mapControl->setObjectName(QStringLiteral("map_control"));
    ui->verticalLayout->addWidget(mapControl);

    baseLayer =
        std::make_shared<LayerMapAdapter>(QStringLiteral("Map"), makeProviderAdapter(2), 0, 17);
    mapControl->addLayer(baseLayer, -1);
    notesLayer = std::make_shared<LayerGeometry>(QStringLiteral("Notes"), 0, 17);
    mapControl->addLayer(notesLayer, -1);
}

namespace {
const QString tileNotePrefix = QStringLiteral("地図タイルを取得できません: ");
}

void MivaroMap::showTileError(const QString& reason)
{
    if (!reason.isEmpty()) {
        // The whole note is the status bar's tooltip; the bar shows what fits.
        tileNote = tileNotePrefix + reason;
        statusBar()->setToolTip(tileNote);
        fitTileNote(statusBar()->width());
    } else if (!tileNote.isEmpty()) {
        // Only our own note: another message may have come since.
        if (statusBar()->currentMessage() == shownTileNote)
            statusBar()->clearMessage();
        statusBar()->setToolTip(QString());
        tileNote.clear();
    }
}

void MivaroMap::fitTileNote(int barWidth)
{
    // A narrow window cuts the reason short with "…".
    int room = barWidth - 24;
    for (QWidget* w : {static_cast<QWidget*>(providerLabel), static_cast<QWidget*>(zoomLabel),
                       static_cast<QWidget*>(pointerLabel)})
        room -= w->isVisible() ? w->width() : 0;
    shownTileNote =
        statusBar()->fontMetrics().elidedText(tileNote, Qt::ElideRight, std::max(room, 0));
    statusBar()->showMessage(shownTileNote);
}

namespace {

// A fixed width that holds the widest of a label's texts in its own font;
// never below the given minimum.
void fitLabel(QLabel* label, int minimum, const QStringList& texts)
{
    int width = minimum;
    for (const QString& text : texts) {
        label->setText(text);
        width = std::max(width, label->sizeHint().width());
    }
    label->clear();
    label->setFixedWidth(width);
}

QString pointerText(const PointWorldCoord& coord)
{
    return QString::number(coord.longitude(), 'f', 5) + QStringLiteral(", ") +
           QString::number(coord.latitude(), 'f', 5);
}

} // namespace

void MivaroMap::createStatusLabels()
{
    providerLabel = new QLabel(this);
    zoomLabel = new QLabel(this);
    pointerLabel = new QLabel(this);
    QStringList providers;
    for (int i = 0; i < ProviderCount; ++i)
        providers << QString::fromUtf8(providerInfo(i).label);
    fitLabel(providerLabel, 250, providers);
    QStringList zooms;
    for (int zoom = 0; zoom <= 20; ++zoom)
        zooms << QStringLiteral("ZoomLevel: %1").arg(zoom);
    fitLabel(zoomLabel, 120, zooms);
    fitLabel(pointerLabel, 0, {pointerText(PointWorldCoord(-180.0, -85.05113))});
    for (QLabel* label : {providerLabel, zoomLabel, pointerLabel}) {
        label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        statusBar()->addPermanentWidget(label, 1);
    }
    // Shown only while the pointer is over the map, so that the messages on the
    // left (a tile failure's reason, say) have the room the rest of the time.
    pointerLabel->hide();
    connect(mapControl, &QMapControl::mouseEventMoveCoordinate, pointerLabel,
            [this](QMouseEvent*, PointWorldCoord at) {
                pointerLabel->setText(pointerText(at));
                pointerLabel->show();
            });
    connect(mapControl, &QMapControl::mouseLeft, pointerLabel, [this] {
        pointerLabel->clear();
        pointerLabel->hide();
    });
}

void MivaroMap::createPlaceLayers()
{
    for (int n = 1; n <= 9; ++n) {
        auto layer = std::make_shared<LayerGeometry>(QStringLiteral("Layer %1").arg(n), 0, 17);
        placeLayers[n - 1] = layer;
        mapControl->addLayer(layer, -1);
        connect(layer.get(), &LayerGeometry::geometryClicked, this, &MivaroMap::geometryClicked);
        connect(layer.get(), &LayerGeometry::mouseRightClicked, this,
                &MivaroMap::mouseRightClicked);
    }
    // Above the places: below their markers' zooms the places are its dots.
    overviewLayer = std::make_shared<LayerOverview>(QStringLiteral("Overview"), 0, 17);
    overviewLayer->setSources({placeLayers.begin(), placeLayers.end()});
    overviewLayer->setVisible(AppSettings::instance().overview);
    mapControl->addLayer(overviewLayer, -1);
    connect(overviewLayer.get(), &LayerOverview::stackClicked, this, &MivaroMap::chooseStacked);
    // A dot's name under the pointer.
    connect(mapControl, &QMapControl::mouseEventMoveCoordinate, this, [this](QMouseEvent* event) {
        if (event->buttons() != Qt::NoButton)
            return;
        const Geometry* dot = overviewLayer->dotAt(event->localPos(), mapControl->view());
        const QString name = dot ? dot->metadata(QStringLiteral("name")).toString() : QString();
        if (!name.isEmpty())
            QToolTip::showText(event->globalPos(), name, mapControl);
        else
            QToolTip::hideText();
    });

    // The picture files are written behind the scenes; a note tells how far.
    auto* filesLabel = new QLabel(statusBar());
    filesLabel->setObjectName(QStringLiteral("markerFilesLabel"));
    filesLabel->hide();
    statusBar()->addPermanentWidget(filesLabel);
    connect(pictures, &MarkerPictureCache::filesProgress, filesLabel,
            [filesLabel](int done, int total) {
                if (!AppSettings::instance().markerFiles) {
                    filesLabel->hide();
                    return;
                }
                filesLabel->setText(
                    QStringLiteral("マーカー画像を保存中 %1/%2").arg(done).arg(total));
                filesLabel->setVisible(done < total);
            });
    connect(pictures, &MarkerPictureCache::fileFailed, this,
            [this](const QString& path, const QString& reason) {
                statusBar()->showMessage(
                    QStringLiteral("マーカー画像を保存できません: %1 (%2)").arg(path, reason));
            });
}

void MivaroMap::showOverview(bool on)
{
    AppSettings::instance().overview = on;
    overviewLayer->setVisible(on);
    // Scaled labels give way to the dots below half their size only with the overview on.
    drawPlaces();
}

void MivaroMap::writeMarkerFiles(bool on)
{
    AppSettings::instance().markerFiles = on;
    pictures->setWriteFiles(on);
    if (on)
        drawPlaces(); // the files follow the list again
    else if (auto* label = statusBar()->findChild<QLabel*>(QStringLiteral("markerFilesLabel")))
        label->hide();
}

void MivaroMap::chooseStacked(const QList<const Geometry*>& stacked)
{
    QMenu menu;
    std::vector<std::pair<QAction*, const Geometry*>> choices;
    for (const Geometry* geometry : stacked)
        choices.emplace_back(menu.addAction(geometry->metadata(QStringLiteral("name")).toString()),
                             geometry);
    QAction* chosen = Prompts::instance().execMenu(&menu, QCursor::pos());
    for (const auto& choice : choices) {
        if (choice.first == chosen) {
            geometryClicked(choice.second);
            return;
        }
    }
}

void MivaroMap::showAllPlaces()
{
    QRectF box;
    if (!markersBounds(placeLayers, &box))
        return;
    mapControl->fitToCoordinates(qmapcontrol::projection::fromNormalized(box.topLeft()),
                                 qmapcontrol::projection::fromNormalized(box.bottomRight()));
}

void MivaroMap::setUpTileCache()
{
    const AppSettings& settings = AppSettings::instance();
    if (!settings.cache) {
        mapControl->disablePersistentCache();
    } else {
        const QString path =
            settings.cache_path.isEmpty() ? programCacheDir() : settings.cache_path;
        mapControl->enablePersistentCache(std::chrono::minutes(0), QDir(path));
    }
    cacheAction->setChecked(settings.cache);
}

void MivaroMap::mapCacheSelected()
{
    // The same folder as at start-up: the configured one, never a folder of its own.
    AppSettings::instance().cache = cacheAction->isChecked();
    setUpTileCache();
}

void MivaroMap::mapProviderSelected(QAction* action)
{
    if (action && action == offlineAction) {
        const AppSettings& s = AppSettings::instance();
        // Unreadable now: the entry of the map still shown gets its check back.
        if (!showOfflineMap(s.offlinePath, s.offlineTms, false))
            providerActions[std::clamp(s.provider, 0, 3)]->setChecked(true);
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (action == providerActions[i]) {
            switchProvider(i);
            return;
        }
    }
}

void MivaroMap::switchProvider(int index)
{
    AppSettings::instance().provider = index;
    AppSettings::instance().offlineShown = false;
    setBaseMap(makeProviderAdapter(index), providerInfo(index).zoomMinimum,
               providerInfo(index).zoomMaximum, QString::fromUtf8(providerInfo(index).label));
}

void MivaroMap::setBaseMap(const std::shared_ptr<MapAdapter>& adapter, int zoomMinimum,
                           int zoomMaximum, const QString& label)
{
    auto layer = std::make_shared<LayerMapAdapter>(QStringLiteral("Map"), nullptr, 0, 17);
    layer->setMapAdapter(adapter);
    mapControl->setZoomMinimum(zoomMinimum);
    mapControl->setZoomMaximum(zoomMaximum);
    // A map's own name may be long: the label keeps its width, the tooltip has it all.
    providerLabel->setText(label);
    const int over = providerLabel->sizeHint().width() - providerLabel->width();
    if (over > 0) {
        const QFontMetrics metrics = providerLabel->fontMetrics();
        providerLabel->setText(
            metrics.elidedText(label, Qt::ElideRight, metrics.horizontalAdvance(label) - over));
    }
    providerLabel->setToolTip(label);
    offlineBoundsAction->setEnabled(adapter->offlineReader() && offlineBounds.isValid());
    // One base map at a time, always under the notes and the places.
    if (baseLayer)
        mapControl->removeLayer(baseLayer);
    baseLayer = layer;
    mapControl->addLayer(layer, 0);
}

void MivaroMap::onChangeZoomLevel(int current_zoom)
{
    if (!mapControl)
        return;
    int zoom = std::min(current_zoom, mapControl->getZoomMaximum());
    zoom = std::max(zoom, mapControl->getZoomMinimum());
    zoomLabel->setText(QStringLiteral("ZoomLevel: %1").arg(zoom));
}

void MivaroMap::mouseEventPressCoordinate(QMouseEvent* mouse_event,
                                          PointWorldCoord press_coordinate)
{
    if (mouse_event->button() != Qt::LeftButton)
        return;
    statusBar()->showMessage(QStringLiteral("X=") + fixed14(press_coordinate.longitude()) +
                             QStringLiteral(" Y=") + fixed14(press_coordinate.latitude()));
}

void MivaroMap::mouseEventReleaseCoordinate(QMouseEvent* mouse_event,
                                            PointWorldCoord press_coordinate,
                                            PointWorldCoord release_coordinate)
{
    if (mouse_event->button() != Qt::LeftButton ||
        !(QApplication::keyboardModifiers() & Qt::ShiftModifier))
        return;
    ui->le_startX->setText(fixed14(press_coordinate.longitude()));
    ui->le_startY->setText(fixed14(press_coordinate.latitude()));
    ui->le_endX->setText(fixed14(release_coordinate.longitude()));
    ui->le_endY->setText(fixed14(release_coordinate.latitude()));
    ui->tabWidget->setCurrentIndex(2);
    rebuildBulkTable();
}

void MivaroMap::mouseRightClicked(PointWorldCoord mouse_coord)
{
    QMenu menu;
    QAction* copy = menu.addAction(QStringLiteral("XY座標をクリップボードにコピー"));
    QAction* create = menu.addAction(QStringLiteral("XY座標に新規で部品を作成する"));
    QAction* chosen = Prompts::instance().execMenu(&menu, QCursor::pos());
    if (chosen == copy) {
        const QString text = fixed14(mouse_coord.longitude()) + QStringLiteral(", ") +
                             fixed14(mouse_coord.latitude());
        QApplication::clipboard()->setText(text);
        statusBar()->showMessage(text + QStringLiteral("をクリップボードにコピーしました"));
    } else if (chosen == create) {
        createPlaceAt(mouse_coord);
    }
}

void MivaroMap::refreshPlaces()
{
    rebuildDataTable(false);
    ui->tableView->viewport()->update();
    drawPlaces();
    // Every change of the list comes through here, so the "*" of the title does too.
    updateTitle();
}

void MivaroMap::drawPlaces()
{
    // Every named place is drawn, whatever the tables show, sharp on the map's screen.
    pictures->setDeviceRatio(mapControl->devicePixelRatioF());
    const MarkerGeometries markers = buildMarkers(places, *pictures);
    showMarkers(placeLayers, markers);
}

void MivaroMap::on_btnRefresh_clicked()
{
    refreshPlaces();
}

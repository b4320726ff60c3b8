#pragma once

#include "map/distance.h"
#include "net/geocoding.h"
#include "qmapcontrol/layergeometry.h"
#include "qmapcontrol/pointworldcoord.h"
#include "qmapcontrol/qmapcontrol.h"
#include "records/edithistory.h"
#include "records/placelistdocument.h"

#include <QImage>
#include <QMainWindow>
#include <QModelIndex>
#include <QPoint>
#include <QRectF>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMouseEvent;
class QResizeEvent;
class CoordinateFill;
class Geocoder;
class MarkerPictureCache;
struct ExportChoice;
class MivaroMapUtil;
class TableModel;
class TableView;
class UserAssist;

namespace Ui {
class MainWindow;
}
namespace qmapcontrol {
class LayerOverview;
class MapAdapter;
} // namespace qmapcontrol
namespace search {
struct Step;
}

using qmapcontrol::Geometry;
using qmapcontrol::PointWorldCoord;

// The program's one window: the place list in its tables, the colour classes,
// the bulk-edit page and the map. Its slots live with their concern: the map
// ones in map/, the list and table ones in records/, the class panel in classes/.
class MivaroMap : public QMainWindow, public PlaceListDocument
{
    Q_OBJECT
public:
    explicit MivaroMap(QWidget* parent = nullptr);
    ~MivaroMap() override;

    // After any change of the places, their order or the classes: the data
    // table shows every place again and every marker is rebuilt.
    void refreshPlaces();
    // After a class moved, was inserted or erased: the class file and the place
    // list together; "保存しました", or the reason why not (modified stays set).
    bool saveClassesAndList();
    // The data table: every place, or (byName) those whose name contains the
    // search text; the count goes to the status bar.
    void rebuildDataTable(bool byName);
    // The bulk-edit table from the filter fields of its page.
    void rebuildBulkTable();
    void clearModels(int which) override;
    // Opens a file from outside (the command line, a drop, "インポート"): our own
    // list loads as " CSV Load" does, any other goes through the import preview.
    bool openFile(const QString& path);
    // "インポート" and "エクスポート" of the tools menu.
    void importCommand();
    void exportCommand();

    // For tests and the export: the map widget and the table models.
    qmapcontrol::QMapControl* map() const { return mapControl; }
    Ui::MainWindow* form() const { return ui.get(); }
    TableModel* dataTableModel() const { return dataModel; }
    TableModel* bulkTableModel() const { return bulkModel; }
    const std::array<std::shared_ptr<qmapcontrol::LayerGeometry>, 9>& markerLayers() const
    {
        return placeLayers;
    }
    const std::array<QAction*, 9>& layerMenuActions() const { return layerActions; }
    const std::array<QAction*, 4>& providerMenuActions() const { return providerActions; }
    QAction* cacheMenuAction() const { return cacheAction; }
    // The offline map: the entry that shows it again, "オフライン地図を開く…", "地図の範囲を表示".
    QAction* offlineMenuAction() const { return offlineAction; }
    QAction* offlineOpenMenuAction() const { return offlineOpenAction; }
    QAction* offlineBoundsMenuAction() const { return offlineBoundsAction; }
    QAction* distanceMenuAction() const { return distanceAction; }
    QAction* versionMenuAction() const { return versionAction; }
    const qmapcontrol::LayerGeometry& notes() const { return *notesLayer; }
    QLabel* zoomStatusLabel() const { return zoomLabel; }
    QLabel* providerStatusLabel() const { return providerLabel; }
    QLabel* pointerStatusLabel() const { return pointerLabel; }
    int searchPosition() const { return searchCursor; }
    int currentSortMode() const { return sortMode; }
    QString missedName() const { return lastMissedName; }
    int mapTableWidth() const { return tableWidth; }
    MarkerPictureCache* markerPictures() const { return pictures; }
    qmapcontrol::LayerOverview* overview() const { return overviewLayer.get(); }
    QAction* overviewMenuAction() const { return overviewAction; }
    QAction* markerFilesMenuAction() const { return markerFilesAction; }
    QAction* showAllMenuAction() const { return showAllAction; }
    EditHistory* editHistory() const { return history; }
    QAction* undoMenuAction() const { return undoAction; }
    QAction* redoMenuAction() const { return redoAction; }
    UserAssist* openAssist() const { return assist; }
    QAction* importMenuAction() const { return importAction; }
    QAction* exportMenuAction() const { return exportAction; }
    // The one place-name client of the program (made on first use).
    Geocoder* placeSearch();
    QAction* newPlaceHereMenuAction() const { return newPlaceHereAction; }
    CoordinateFill* runningFill() const { return fillBatch; }
    // The pause between the steps of a glide to a place; tests shorten it.
    std::chrono::milliseconds glideStepInterval{50};

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    QWidget* promptParent() const override;
    void showStatus(const QString& text, int timeout) override;
    void placesChanged() override;
    void listReplaced() override;
    void fileStateChanged() override;

private slots:
    void onDocument();
    void onUserAssistWindow();
    void slotDoubleClicked2(const QModelIndex& index, int);
    void onColorUp();
    void onColorDown();
    void onColorErase();
    void onColorInsert();
    void mouseEventReleaseCoordinate(QMouseEvent* mouse_event, PointWorldCoord press_coordinate,
                                     PointWorldCoord release_coordinate);
    void onMouseRightClick(const QPoint& pos);
    void onMouseRightClick2(const QPoint& pos);
    void slotHeaderClicked(int column);
    void on_btnMarkClear_2_clicked();
    void on_btnMarkToggle_2_clicked();
    void slotDoubleClicked(const QModelIndex& index, int);
    void slotSelectChanged();
    void slotSelectChanged2();
    void mapCacheSelected();
    void onTabWidgetCurrentChanged(int idx);
    void onAssistClose();
    void on_btnHelp1_clicked();
    void on_btnHelp2_clicked();
    void on_btnHelp3_clicked();
    void about();
    void onChangeZoomLevel(int current_zoom);
    void onSplitterMoved(int val, int);
    void onTableViewClicked(const QModelIndex& index, bool rightButton);
    void onEditingFinished();
    void onColorChange();
    void mouseEventPressCoordinate(QMouseEvent* mouse_event, PointWorldCoord press_coordinate);
    void mouseRightClicked(PointWorldCoord mouse_coord);
    void geometryClicked(const Geometry* geometry);
    void calculateDistance();
    void calculateDistanceClick(QMouseEvent* mouse_event, PointWorldCoord press_coordinate);
    void mapProviderSelected(QAction* action);
    void on_btnLoad_clicked();
    void on_btnCsvSave_clicked();
    void on_btnRefresh_clicked();
    void on_btnMapImageSave_clicked();
    void on_btnDelete_clicked();
    void on_btnSearch_clicked();
    void on_lineEdit_returnPressed();
    void on_btnClassLoad_clicked();
    void on_btnClassSave_clicked();
    void on_btnRefresh2_clicked();
    void on_btnCSVAdd_clicked();
    void on_le_color_textChanged(QString arg1);
    void on_le_layer_textChanged(QString arg1);
    void on_cmb_shape_currentIndexChanged(QString arg1);
    void on_le_font_textChanged(QString arg1);
    void on_le_level_textChanged(QString arg1);
    void on_btnNext_clicked();
    void on_btnPrev_clicked();
    void on_btnMarkClear_clicked();
    void on_btnMarkToggle_clicked();
    void on_btnRefresh3_clicked();
    void on_btnMaskClear_clicked();
    void on_btnNameClear_clicked();
    void on_btnColorRandum_clicked();

private:
    // The print of "画像保存": the view drawn off screen as chosen; null when cancelled.
    QImage renderMapPicture(const ExportChoice& choice);
    // Construction steps that belong to other concerns.
    void buildClassRows();
    void createMap();
    // The status-bar note while tiles of the view cannot be had (empty reason: they load).
    void showTileError(const QString& reason);
    // Shows that note cut to the room a status bar of this width leaves.
    void fitTileNote(int barWidth);
    QString tileNote;      // the whole note while tiles fail
    QString shownTileNote; // what the status bar shows of it
    void createPlaceLayers();
    void createActionsAndMenus();
    void createShortcuts(QMenu* menu);
    void createStatusLabels();
    // "MivaroMap Ver 0.70 - castlelist.csv", with "*" while there are unsaved changes.
    void updateTitle();
    // The window's place, size, view and columns into the settings.
    void storeWindowState();
    // Writes the settings at close. On failure the user chooses: try again, stay
    // open (false), or close without saving.
    bool saveSettingsAtClose();
    // Saved at close, or given up by the user: the destructor leaves them alone.
    bool settingsSettled = false;
    // Without widths of the user's own, the table columns fit the list loaded.
    void fitColumnsToContents();
    bool autoColumns = false;
    bool fittingColumns = false;
    void setUpTileCache();
    void showF1OnVisiblePage();
    void drawPlaces();
    // The layer menu's overview switch and the tools menu's view of all places.
    void showOverview(bool on);
    // The layer menu's switch of the picture files.
    void writeMarkerFiles(bool on);
    // Places stacked on one spot: a chooser of their names.
    void chooseStacked(const QList<const qmapcontrol::Geometry*>& stacked);
    void showAllPlaces();
    // Replaces the base map layer by one of the provider's (index 0 to 3).
    void switchProvider(int index);
    // The base map layer for an adapter, the zoom range the map allows with it and its label.
    void setBaseMap(const std::shared_ptr<qmapcontrol::MapAdapter>& adapter, int zoomMinimum,
                    int zoomMaximum, const QString& label);
    // The offline map menu entries, after the providers.
    void createOfflineActions(QMenu* mapMenu);
    // "オフライン地図を開く…": a file or a folder, through the prompts.
    void openOfflineMap();
    // Makes an .mbtiles file or a tile folder the map; false (and the previous map
    // stays) when it cannot be read: `quiet` tells why in the status bar instead of a box.
    bool showOfflineMap(const QString& path, bool tms, bool quiet);
    void showOfflineBounds();
    // Shows a search step's outcome: the hit, the beep, the status, the web search.
    void applyStep(const search::Step& step);
    // Help: a press closes the open help, or opens the index at a path under
    // the program directory.
    void toggleAssist(const QString& path);
    void openHelpIndex(const QString& path);
    void openAssistFile(const QString& entry);
    // Swaps class n with its named neighbour `to` in the table and the places, then saves.
    void moveClass(int n, int to);
    // Glides the map to the place shown in a row of a table.
    void flyToRow(TableModel* model, const QModelIndex& index);
    // What follows every edit, its undo and its redo.
    void applyEdit(const EditHistory::Effect& effect);
    // A right click on a cell of the data table.
    void editCell(PlaceRecord* record, int column);
    void pasteCoordinates(PlaceRecord* record);
    // The map's "XY座標に新規で部品を作成する"; a name given starts the dialog with it.
    void createPlaceAt(const PointWorldCoord& point, const QString& name = QString());
    // Place search by name or address, and "座標の補完" (records/mivaromap_geocoding.cpp).
    void createGeocodingActions(QMenu* menu);
    void searchPlace();
    void fillCoordinates(bool markedOnly);
    void fillFinished();
    // List indexes of the rows a table model shows, in row order.
    static std::vector<int> shownRows(const TableModel* model);

    std::unique_ptr<Ui::MainWindow> ui;
    qmapcontrol::QMapControl* mapControl = nullptr;
    std::shared_ptr<qmapcontrol::Layer> baseLayer;
    std::shared_ptr<qmapcontrol::LayerGeometry> notesLayer;
    // The two points of the distance measurement; nothing else writes them.
    distance::Measurement measurement;
    std::array<std::shared_ptr<qmapcontrol::LayerGeometry>, 9> placeLayers;
    std::array<QAction*, 9> layerActions{};
    std::shared_ptr<qmapcontrol::LayerOverview> overviewLayer;
    QAction* overviewAction = nullptr;
    QAction* markerFilesAction = nullptr;
    QAction* showAllAction = nullptr;
    QAction* distanceAction = nullptr;
    std::array<QAction*, 4> providerActions{};
    QAction* cacheAction = nullptr;
    QAction* offlineAction = nullptr;
    QAction* offlineOpenAction = nullptr;
    QAction* offlineBoundsAction = nullptr;
    // Degrees, x west to east, y south to north; invalid when the map shown says none.
    QRectF offlineBounds;
    QAction* documentAction = nullptr;
    QAction* aboutQtAction = nullptr;
    QAction* versionAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* importAction = nullptr;
    QAction* exportAction = nullptr;
    TableModel* dataModel = nullptr;
    TableModel* bulkModel = nullptr;
    std::array<QLineEdit*, 200> lineEdits{};
    QString version;
    QString lastMissedName;
    int searchCursor = -1;
    // Sort state of the data table: 0 unsorted, 2c+1 column c ascending, 2c+2 descending.
    int sortMode = 0;
    int tableWidth = 0;
    MivaroMapUtil* util = nullptr;
    MarkerPictureCache* pictures = nullptr;
    EditHistory* history = nullptr;
    QLabel* zoomLabel = nullptr;
    QLabel* providerLabel = nullptr;
    UserAssist* assist = nullptr;
    // Longitude and latitude under the pointer while it is over the map.
    QLabel* pointerLabel = nullptr;
    Geocoder* geocoder = nullptr;
    // The place the last search showed on the map, for "ここに新しい場所".
    std::optional<geocoding::Place> foundPlace;
    QAction* newPlaceHereAction = nullptr;
    CoordinateFill* fillBatch = nullptr;
};

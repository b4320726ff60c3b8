#include "app/mivaromap.h"

#include "app/windowlayout.h"
#include "map/markers.h"
#include "prompts/prompts.h"
#include "records/columnwidths.h"
#include "records/sorting.h"
#include "records/tablemodel.h"
#include "records/tableview.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "ui_mainwindow.h"
#include "widgets/mivaromaputil.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QSpacerItem>
#include <QStatusBar>
#include <QUndoStack>
#include <QUrl>

#include <algorithm>

namespace {
// Narrower than this the map shows too little to be of use.
constexpr int minimumMapWidth = 200;
} // namespace

MivaroMap::MivaroMap(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);

    util = new MivaroMapUtil(this);
    history = new EditHistory(
        &places, [this](const EditHistory::Effect& effect) { applyEdit(effect); }, this);
    pictures = new MarkerPictureCache(this);

    AppSettings& settings = AppSettings::instance();
    const bool firstStart = settings.geometry.size() <= 1 || !restoreGeometry(settings.geometry);

    version = QStringLiteral("0.70");
    setWindowTitle(QStringLiteral("MivaroMap Ver ") + version);

    buildClassRows();
    ui->settingLayout->addItem(
        new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::MinimumExpanding));

    for (QComboBox* box : {ui->cmb_shape, ui->cmb_shape_2}) {
        const bool was = box->blockSignals(true);
        box->addItems({QString(), QStringLiteral("Image"), QStringLiteral("Scaled"),
                       QStringLiteral("Circle")});
        box->setCurrentIndex(0);
        box->blockSignals(was);
    }

    createMap();
    // The tables keep their page; the map gives way when space is short, but
    // never below what still shows a map (the window's minimum follows).
    mapControl->setMinimumWidth(minimumMapWidth);
    ui->splitter->setCollapsible(0, false);
    if (!settings.splitter.isEmpty())
        ui->splitter->setSizes(settings.splitter);
    connect(ui->splitter, SIGNAL(splitterMoved(int, int)), this, SLOT(onSplitterMoved(int, int)));

    createStatusLabels();

    dataModel = new TableModel(this);
    dataModel->setList(&places);
    ui->tableView->setModel(dataModel);
    ui->tableView->setList(&places);
    connect(ui->tableView, SIGNAL(selectChanged()), this, SLOT(slotSelectChanged()));
    connect(ui->tableView, SIGNAL(selectionCleared()), this, SLOT(slotSelectChanged()));
    connect(ui->tableView, SIGNAL(DoubleClicked(const QModelIndex&, int)), this,
            SLOT(slotDoubleClicked(const QModelIndex&, int)));
    connect(ui->tableView_2, SIGNAL(selectChanged()), this, SLOT(slotSelectChanged2()));
    connect(ui->tableView_2, SIGNAL(selectionCleared()), this, SLOT(slotSelectChanged2()));
    connect(ui->tableView_2, SIGNAL(DoubleClicked(const QModelIndex&, int)), this,
            SLOT(slotDoubleClicked2(const QModelIndex&, int)));
    ui->tableView->verticalHeader()->hide();

    tableWidth = 0;
    for (int c = 0; c < 8; ++c) {
        const int width = settings.columnWidth.value(c, 40);
        ui->tableView->setColumnWidth(c, width);
        tableWidth += width;
    }

    ui->tableView->setSortingEnabled(true);
    ui->tabWidget->setMinimumWidth(560);
    ui->tabWidget->setMaximumWidth(600);
    ui->tableView->setEditTriggers(QAbstractItemView::EditKeyPressed);
    connect(ui->tableView, SIGNAL(clicked(const QModelIndex&, bool)), this,
            SLOT(onTableViewClicked(const QModelIndex&, bool)));
    connect(ui->tabWidget, SIGNAL(currentChanged(int)), this, SLOT(onTabWidgetCurrentChanged(int)));

    createPlaceLayers();
    createActionsAndMenus();

    connect(mapControl, &qmapcontrol::QMapControl::changeZoomLevel, this,
            &MivaroMap::onChangeZoomLevel);
    mapControl->setMapFocusPoint(PointWorldCoord(settings.coordX, settings.coordY));
    mapControl->setZoom(settings.zoomLevel);
    // The map only reports a change: a saved zoom equal to its own start (0)
    // would leave the label empty.
    onChangeZoomLevel(mapControl->getCurrentZoom());
    setUpTileCache();
    mapControl->enableZoomControls(true, false);

    loadPlaceFile(settings.csv_filename);
    currentFile = settings.csv_filename;
    autoColumns = !settings.columnWidthSaved;
    fitColumnsToContents();
    connect(ui->tableView->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        // A width the user dragged is kept from now on.
        if (!fittingColumns)
            autoColumns = false;
    });

    bulkModel = new TableModel(this);
    bulkModel->setList(&places);
    ui->tableView_2->setModel(bulkModel);
    ui->tableView_2->setList(&places);
    for (int c = 0; c < 8; ++c)
        ui->tableView_2->setColumnWidth(c, ui->tableView->columnWidth(c));
    // Placed once the form knows its minimum size.
    if (screen()) {
        const QRect available = screen()->availableGeometry();
        const QSize minimum = minimumSizeHint();
        setGeometry(firstStart ? windowlayout::firstStartGeometry(available, minimum)
                               : windowlayout::keptOnScreen(geometry(), available, minimum));
    }
    if (settings.splitter.isEmpty())
        ui->splitter->setSizes(windowlayout::firstStartSplitter(width(), tableWidth + 40));
    connect(ui->tableView, SIGNAL(HeaderClicked(int)), this, SLOT(slotHeaderClicked(int)));

    const int provider = settings.provider;
    QAction* chosen = providerActions[provider >= 0 && provider <= 2 ? provider : 3];
    chosen->setChecked(true);
    // The offline map shown at the last close, or the online one when it cannot be read now.
    if (!settings.offlineShown || !showOfflineMap(settings.offlinePath, settings.offlineTms, true))
        mapProviderSelected(chosen);

    sortMode = settings.sort;
    if (!places.empty())
        sorting::sortPlaces(places, sortMode);
    // No arrow on an unsorted table (column -1 clears it).
    ui->tableView->horizontalHeader()->setSortIndicator(sorting::sortColumn(sortMode),
                                                        sorting::sortOrder(sortMode));

    rebuildBulkTable();
    refreshPlaces();

    for (QLineEdit* edit : {ui->le_color, ui->le_layer})
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
    for (QLineEdit* edit : {ui->le_color_2, ui->le_layer_2})
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->le_color, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(onMouseRightClick(const QPoint&)));
    connect(ui->le_layer, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(onMouseRightClick(const QPoint&)));
    connect(ui->le_color_2, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(onMouseRightClick2(const QPoint&)));
    connect(ui->le_layer_2, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(onMouseRightClick2(const QPoint&)));

    auto* undoKeys = new UndoKeysPassThrough(this);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(undoKeys);

    // Files dropped anywhere on the window are opened.
    setAcceptDrops(true);

    updateTitle();
    statusBar()->showMessage(QStringLiteral("Ready"));
    ui->lineEdit->setFocus();
}

MivaroMap::~MivaroMap()
{
    onAssistClose();

    // A window closed by the user has saved (or given up its settings) already.
    if (!settingsSettled) {
        storeWindowState();
        // Nothing can be chosen any more; the user learns that the settings stayed as they were.
        const fileio::WriteResult saved = AppSettings::instance().save();
        if (!saved)
            Prompts::instance().warning(nullptr, QStringLiteral("保存エラー"), saved.error,
                                        QMessageBox::Ok);
    }

    // The map widget goes with the form; the layers it shares go after it.
    delete util;
    util = nullptr;
}

void MivaroMap::storeWindowState()
{
    AppSettings& settings = AppSettings::instance();
    settings.csv_filename = currentFile;
    settings.zoomLevel = mapControl->getCurrentZoom();
    const PointWorldCoord focus = mapControl->mapFocusPointCoord();
    settings.coordX = focus.longitude();
    settings.coordY = focus.latitude();
    settings.sort = sortMode;
    settings.geometry = saveGeometry();
    settings.splitter = ui->splitter->sizes();
    // Widths dragged by hand are kept for the next start.
    for (int c = 0; c < settings.columnWidth.size(); ++c)
        settings.columnWidth[c] = ui->tableView->columnWidth(c);
}

bool MivaroMap::saveSettingsAtClose()
{
    storeWindowState();
    while (true) {
        const fileio::WriteResult saved = AppSettings::instance().save();
        if (saved) {
            settingsSettled = true;
            return true;
        }
        // The class edits of the session live only in the settings: closing now loses them.
        const QMessageBox::StandardButton answer = Prompts::instance().warning(
            this, QStringLiteral("保存エラー"),
            saved.error + QStringLiteral("\n\n空きを作ってから「再試行」するか、「キャンセル」して"
                                         "編集を続けてください。\n「破棄」で終了すると、分類と設定"
                                         "の変更は失われます。"),
            QMessageBox::Retry | QMessageBox::Cancel | QMessageBox::Discard);
        if (answer == QMessageBox::Retry)
            continue;
        if (answer == QMessageBox::Discard) {
            settingsSettled = true;
            return true;
        }
        return false;
    }
}

void MivaroMap::createActionsAndMenus()
{
    const QFont menuFont = AppSettings::instance().inpFont;
    menuBar()->setFont(menuFont);

    QMenu* layerMenu = menuBar()->addMenu(QStringLiteral("(&L) レイヤー表示"));
    for (int n = 1; n <= 9; ++n) {
        QAction* action = layerMenu->addAction(QStringLiteral("レイヤー %1").arg(n));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::triggered, placeLayers[n - 1].get(),
                &qmapcontrol::Layer::setVisible);
        layerActions[n - 1] = action;
    }
    layerMenu->addSeparator();
    overviewAction = layerMenu->addAction(QStringLiteral("(&O) 概観表示"));
    overviewAction->setCheckable(true);
    overviewAction->setChecked(AppSettings::instance().overview);
    connect(overviewAction, &QAction::triggered, this, &MivaroMap::showOverview);

    QMenu* toolMenu = menuBar()->addMenu(QStringLiteral("(&T) ツール"));
    distanceAction = toolMenu->addAction(QStringLiteral("(&M) ２地点の距離を計測"));
    connect(distanceAction, &QAction::triggered, this, &MivaroMap::calculateDistance);
    showAllAction = toolMenu->addAction(QStringLiteral("(&A) 全地点を表示"));
    connect(showAllAction, &QAction::triggered, this, &MivaroMap::showAllPlaces);
    toolMenu->addSeparator();
    undoAction = toolMenu->addAction(QStringLiteral("元に戻す"));
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setEnabled(false);
    connect(undoAction, &QAction::triggered, history, &EditHistory::undo);
    connect(history->stack(), &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
    redoAction = toolMenu->addAction(QStringLiteral("やり直し"));
    redoAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Y));
    redoAction->setEnabled(false);
    connect(redoAction, &QAction::triggered, history, &EditHistory::redo);
    connect(history->stack(), &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);
    toolMenu->addSeparator();
    importAction = toolMenu->addAction(QStringLiteral("(&I) インポート..."));
    connect(importAction, &QAction::triggered, this, &MivaroMap::importCommand);
    exportAction = toolMenu->addAction(QStringLiteral("(&E) エクスポート..."));
    connect(exportAction, &QAction::triggered, this, &MivaroMap::exportCommand);
    createGeocodingActions(toolMenu);

    QMenu* mapMenu = menuBar()->addMenu(QStringLiteral("(&M) マップデータ切替"));
    auto* providerGroup = new QActionGroup(this);
    providerGroup->setExclusive(true);
    const QString providerNames[4] = {
        QStringLiteral("(&G) Google Map"), QStringLiteral("(&O) OpenStreetMap"),
        QStringLiteral("(&S) Stamen Design"), QStringLiteral("(&J) 国土地理院白地図")};
    for (int i = 0; i < 4; ++i) {
        QAction* action = mapMenu->addAction(providerNames[i]);
        action->setCheckable(true);
        providerGroup->addAction(action);
        providerActions[i] = action;
    }
    createOfflineActions(mapMenu);
    connect(providerGroup, &QActionGroup::triggered, this, &MivaroMap::mapProviderSelected);
    mapMenu->addSeparator();
    cacheAction = mapMenu->addAction(QStringLiteral("(&C) データをキャッシュする"));
    cacheAction->setCheckable(true);
    connect(cacheAction, &QAction::triggered, this, &MivaroMap::mapCacheSelected);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("(&H) ヘルプ"));
    documentAction = helpMenu->addAction(QIcon(QStringLiteral(":/icons/pelwicktools.png")),
                                         QStringLiteral("(&D) ドキュメント"));
    documentAction->setStatusTip(QStringLiteral("ドキュメント表示"));
    helpMenu->addSeparator();
    aboutQtAction = helpMenu->addAction(QIcon(QStringLiteral(":/icons/qt-icon.png")),
                                        QStringLiteral("(&Q) Qtについて"));
    aboutQtAction->setStatusTip(QStringLiteral("Qtバージョン表示"));
    versionAction = helpMenu->addAction(QIcon(QStringLiteral(":/icons/mapimage.png")),
                                        QStringLiteral("(&V) バージョン"));
    versionAction->setStatusTip(QStringLiteral("バージョン表示"));
    connect(documentAction, SIGNAL(triggered()), this, SLOT(onDocument()));
    connect(aboutQtAction, SIGNAL(triggered()), qApp, SLOT(aboutQt()));
    connect(versionAction, SIGNAL(triggered()), this, SLOT(about()));

    createShortcuts(toolMenu);

    for (QMenu* menu : {layerMenu, toolMenu, mapMenu, helpMenu})
        menu->setFont(menuFont);
}

// Everyday commands by key. The menu shows each key beside its command, and
// the buttons say theirs in their tool tips.
void MivaroMap::createShortcuts(QMenu* menu)
{
    menu->addSeparator();
    auto add = [&](const QString& text, const QKeySequence& keys, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(QStringLiteral("(&F) 名前で検索"), QKeySequence(Qt::CTRL + Qt::Key_F), [this] {
        ui->tabWidget->setCurrentIndex(0);
        ui->lineEdit->setFocus(Qt::ShortcutFocusReason);
        ui->lineEdit->selectAll();
    });
    add(QStringLiteral("(&N) 次へ"), QKeySequence(Qt::Key_F3), [this] { ui->btnNext->click(); });
    add(QStringLiteral("(&P) 前へ"), QKeySequence(Qt::SHIFT + Qt::Key_F3),
        [this] { ui->btnPrev->click(); });
    add(QStringLiteral("(&O) CSV Load"), QKeySequence(Qt::CTRL + Qt::Key_O),
        [this] { ui->btnLoad->click(); });
    add(QStringLiteral("(&S) 上書き保存"), QKeySequence(Qt::CTRL + Qt::Key_S),
        [this] { saveCommand(); });

    auto withKeys = [](const QString& text, const char* keys) {
        return text + QStringLiteral(" (") +
               QKeySequence(QLatin1String(keys)).toString(QKeySequence::NativeText) +
               QLatin1Char(')');
    };
    ui->lineEdit->setToolTip(withKeys(QStringLiteral("名前で検索"), "Ctrl+F"));
    ui->btnNext->setToolTip(withKeys(ui->btnNext->toolTip(), "F3"));
    ui->btnPrev->setToolTip(withKeys(ui->btnPrev->toolTip(), "Shift+F3"));
    ui->btnLoad->setToolTip(withKeys(QStringLiteral("CSV Load"), "Ctrl+O"));
    ui->btnCsvSave->setToolTip(
        QStringLiteral("名前を付けて保存 (上書き保存は ") +
        QKeySequence(QStringLiteral("Ctrl+S")).toString(QKeySequence::NativeText) +
        QLatin1Char(')'));
}

void MivaroMap::updateTitle()
{
    QString title = QStringLiteral("MivaroMap Ver ") + version;
    const QString file = QFileInfo(currentFile).fileName();
    if (!file.isEmpty())
        title += QStringLiteral(" - ") + file + (modified ? QStringLiteral("*") : QString());
    setWindowTitle(title);
}

void MivaroMap::fileStateChanged()
{
    updateTitle();
}

void MivaroMap::closeEvent(QCloseEvent* event)
{
    // There is no Cancel: the window closes whatever the answer, except when
    // the user asked to save and the save failed, so the edits are not lost.
    if (!askSaveIfModified() && saveFailed) {
        event->ignore();
        return;
    }
    if (!saveSettingsAtClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MivaroMap::resizeEvent(QResizeEvent* event)
{
    // Wide configured columns must not squeeze the map out of sight.
    const int w = std::max(minimumMapWidth, event->size().width() - tableWidth - 40);
    const int h = std::max(1, event->size().height() - 40);
    mapControl->setViewportSize(QSizeF(w, h));
    if (!tileNote.isEmpty() && statusBar()->currentMessage() == shownTileNote)
        fitTileNote(event->size().width());
}

void MivaroMap::onDocument()
{
    // A local file: a plain path would be read as a relative URL (or, with a
    // drive letter, as a scheme) and never open.
    Prompts::instance().openUrl(
        QUrl::fromLocalFile(programDir() + QStringLiteral("/doc/index.html")));
}

void MivaroMap::onTabWidgetCurrentChanged(int)
{
    onAssistClose();
}

void MivaroMap::onSplitterMoved(int val, int)
{
    if (tableWidth >= val)
        return;
    // The map takes what the tables give back: asking for the map's present
    // width too would be scaled down with the pane and miss the snap width.
    const QList<int> sizes = ui->splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const bool was = ui->splitter->blockSignals(true);
    ui->splitter->setSizes({tableWidth + 40, std::max(0, total - tableWidth - 40)});
    ui->splitter->blockSignals(was);
}

void MivaroMap::fitColumnsToContents()
{
    if (!autoColumns)
        return;
    const QFontMetrics cells = ui->tableView->fontMetrics();
    const QFontMetrics header = ui->tableView->horizontalHeader()->fontMetrics();
    // Names past twelve characters are cut rather than squeezing the map.
    const int cap = cells.horizontalAdvance(QString(12, QChar(0x56FD))) + 12;
    const QVector<int> widths =
        contentColumnWidths(places, TableModel::headers(), cells, header, 12, 24, cap);
    fittingColumns = true;
    tableWidth = 0;
    for (int c = 0; c < 8; ++c) {
        ui->tableView->setColumnWidth(c, widths[c]);
        if (ui->tableView_2->model())
            ui->tableView_2->setColumnWidth(c, widths[c]);
        tableWidth += widths[c];
    }
    fittingColumns = false;
}

QWidget* MivaroMap::promptParent() const
{
    return const_cast<MivaroMap*>(this);
}

void MivaroMap::showStatus(const QString& text, int timeout)
{
    statusBar()->showMessage(text, timeout);
}

// The map side of the main window: offline maps (an .mbtiles file or a tile
// folder) as the base map, opened from the map menu and remembered.
#include "app/mivaromap.h"

#include "map/providers.h"
#include "prompts/prompts.h"
#include "qmapcontrol/offlinetiles.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

using namespace qmapcontrol;

namespace {

const QString offlineTitle = QStringLiteral("オフライン地図");

QString offlineEntryText(const QString& name)
{
    QString shown = name;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("(&F) オフライン: %1").arg(shown);
}

} // namespace

void MivaroMap::createOfflineActions(QMenu* mapMenu)
{
    const AppSettings& settings = AppSettings::instance();
    // In the providers' group: the online maps stay one click away, and back.
    offlineAction =
        mapMenu->addAction(offlineEntryText(QFileInfo(settings.offlinePath).completeBaseName()));
    offlineAction->setCheckable(true);
    offlineAction->setVisible(!settings.offlinePath.isEmpty());
    offlineAction->setToolTip(settings.offlinePath);
    providerActions[0]->actionGroup()->addAction(offlineAction);
    mapMenu->addSeparator();
    offlineOpenAction = mapMenu->addAction(QStringLiteral("オフライン地図を開く…"));
    connect(offlineOpenAction, &QAction::triggered, this, &MivaroMap::openOfflineMap);
    offlineBoundsAction = mapMenu->addAction(QStringLiteral("地図の範囲を表示"));
    offlineBoundsAction->setEnabled(false);
    connect(offlineBoundsAction, &QAction::triggered, this, &MivaroMap::showOfflineBounds);
}

void MivaroMap::openOfflineMap()
{
    QMenu kinds;
    QAction* file = kinds.addAction(QStringLiteral("MBTiles ファイル (.mbtiles)…"));
    kinds.addAction(QStringLiteral("タイルのフォルダ (XYZ: 行番号は北から)…"));
    QAction* tms = kinds.addAction(QStringLiteral("タイルのフォルダ (TMS: 行番号は南から)…"));
    QAction* chosen = Prompts::instance().execMenu(&kinds, QCursor::pos());
    if (!chosen)
        return;

    const QString last = AppSettings::instance().offlinePath;
    const QString start = last.isEmpty() ? programDir() : QFileInfo(last).absolutePath();
    const QString path = chosen == file
                             ? Prompts::instance().getOpenFileName(
                                   this, QStringLiteral("オフライン地図を開く"), start,
                                   QStringLiteral("MBTiles (*.mbtiles);;すべてのファイル (*)"))
                             : Prompts::instance().getExistingDirectory(
                                   this, QStringLiteral("地図タイルのフォルダを開く"), start);
    if (path.isEmpty())
        return;
    if (!showOfflineMap(path, chosen == tms, false))
        return;
    // A map of somewhere else: go and see it.
    const PointWorldCoord focus = mapControl->mapFocusPointCoord();
    if (offlineBounds.isValid() &&
        !offlineBounds.contains(QPointF(focus.longitude(), focus.latitude())))
        showOfflineBounds();
}

bool MivaroMap::showOfflineMap(const QString& path, bool tms, bool quiet)
{
    QString error;
    const BaseMap base = offlineBaseMap(path, tms, &error);
    if (!base.adapter) {
        const QString text = QStringLiteral("オフライン地図を開けません。%1").arg(error);
        if (quiet) // at start-up: after the window's own first message
            QTimer::singleShot(0, this, [this, text] { statusBar()->showMessage(text); });
        else
            Prompts::instance().warning(this, offlineTitle, text, QMessageBox::Ok);
        AppSettings::instance().offlineShown = false;
        return false;
    }

    AppSettings& settings = AppSettings::instance();
    settings.offlinePath = path;
    settings.offlineTms = tms;
    settings.offlineShown = true;
    const OfflineMapInfo& info = base.adapter->offlineReader()->info();
    offlineBounds = info.bounds;
    offlineAction->setText(offlineEntryText(info.name));
    offlineAction->setToolTip(path);
    offlineAction->setVisible(true);
    offlineAction->setChecked(true);
    setBaseMap(base.adapter, base.zoomMinimum, base.zoomMaximum, base.label);
    return true;
}

void MivaroMap::showOfflineBounds()
{
    if (!offlineBounds.isValid())
        return;
    mapControl->fitToCoordinates(PointWorldCoord(offlineBounds.left(), offlineBounds.bottom()),
                                 PointWorldCoord(offlineBounds.right(), offlineBounds.top()));
}

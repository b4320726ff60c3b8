#include "app/rendercommand.h"

#include "fileio/atomicfile.h"
#include "map/mapexport.h"
#include "map/maprender.h"
#include "records/placefile.h"
#include "settings/appsettings.h"

#include <QFileInfo>

int runRender(const RenderOptions& options, QTextStream& err, std::chrono::milliseconds tileWait)
{
    const AppSettings& settings = AppSettings::instance();
    const QString listPath =
        placeFilePath(options.list.isEmpty() ? settings.csv_filename : options.list);
    if (!QFileInfo(listPath).isFile()) {
        err << QStringLiteral("一覧ファイルを開けません: %1").arg(listPath) << Qt::endl;
        return 1;
    }
    const PlaceList places = parsePlaceLines(readPlaceLines(listPath));

    // The map asked for, else the one the window last showed (an offline map too).
    const bool offline = !options.noTiles && options.provider < 0 &&
                         (!options.offline.isEmpty() || settings.offlineShown);
    BaseMap base;
    if (offline) {
        QString error;
        base = options.offline.isEmpty()
                   ? offlineBaseMap(settings.offlinePath, settings.offlineTms, &error)
                   : offlineBaseMap(options.offline, false, &error);
        if (!base.adapter) {
            err << QStringLiteral("オフライン地図を開けません: %1").arg(error) << Qt::endl;
            return 1;
        }
    } else if (!options.noTiles) {
        base = providerBaseMap(options.provider >= 0 ? options.provider : settings.provider);
    }
    maprender::MapScene scene;
    scene.setBaseMap(base);
    scene.setPlaces(places);
    scene.setView(options.hasCenter ? options.longitude : settings.coordX,
                  options.hasCenter ? options.latitude : settings.coordY,
                  options.hasZoom ? options.zoom : settings.zoomLevel);

    const maprender::Rendered rendered =
        maprender::renderWaiting(scene.map(), options.size, options.scale, tileWait);
    if (rendered.missingTiles > 0)
        err << QStringLiteral("地図タイル %1 枚を取得できなかったため、その部分は空白です")
                   .arg(rendered.missingTiles)
            << Qt::endl;

    QByteArray bytes;
    QString error;
    if (!mapexport::encodePng(rendered.image, &bytes, &error, mapexport::FastQuality)) {
        err << QStringLiteral("%1 に保存できませんでした: %2").arg(options.output, error)
            << Qt::endl;
        return 1;
    }
    const fileio::WriteResult written = fileio::writeFileAtomically(options.output, bytes);
    if (!written) {
        err << QStringLiteral("%1 に保存できませんでした: %2").arg(options.output, written.error)
            << Qt::endl;
        return 1;
    }
    return 0;
}

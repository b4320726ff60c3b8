#include "map/providers.h"

#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/offlinetiles.h"
#include "settings/appsettings.h"

#include <algorithm>

using namespace qmapcontrol;

namespace {
// Zoom levels past an offline map's last tiles, shown by blowing those up.
constexpr int OverZoomLevels = 3;

const ProviderInfo providers[ProviderCount] = {
    {"google", 0, 17, "マップデータ : Google"},
    {"osm", 0, 17, "マップデータ : OpenStreatMap"},
    {"stamen", 5, 12, "マップデータ : Stamen Design"},
    {"gsi", 0, 17, "マップデータ : 国土地理院 白地図"},
};
} // namespace

const ProviderInfo& providerInfo(int index)
{
    return providers[std::clamp(index, 0, ProviderCount - 1)];
}

int providerIndex(const QString& name)
{
    for (int i = 0; i < ProviderCount; ++i) {
        if (name.compare(QLatin1String(providers[i].name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList providerNames()
{
    // In the order the help lists them: the default first.
    return {QStringLiteral("osm"), QStringLiteral("google"), QStringLiteral("stamen"),
            QStringLiteral("gsi")};
}

std::shared_ptr<MapAdapter> makeProviderAdapter(int index)
{
    const AppSettings& s = AppSettings::instance();
    switch (index) {
    case 0:
        return s.tilesGoogle.isEmpty()
                   ? std::make_shared<MapAdapterGoogle>(MapAdapterGoogle::GoogleLayerType(0))
                   : std::make_shared<MapAdapterGoogle>(s.tilesGoogle);
    case 1:
        return s.tilesOsm.isEmpty() ? std::make_shared<MapAdapterOSM>()
                                    : std::make_shared<MapAdapterOSM>(s.tilesOsm);
    case 2:
        return s.tilesStamen.isEmpty() ? std::make_shared<MapAdapterOTM>()
                                       : std::make_shared<MapAdapterOTM>(s.tilesStamen);
    default:
        return s.tilesGsi.isEmpty() ? std::make_shared<MapAdapterJPN>()
                                    : std::make_shared<MapAdapterJPN>(s.tilesGsi);
    }
}

BaseMap providerBaseMap(int index)
{
    const ProviderInfo& info = providerInfo(index);
    return {makeProviderAdapter(index), info.zoomMinimum, info.zoomMaximum,
            QString::fromUtf8(info.label)};
}

BaseMap offlineBaseMap(const QString& path, bool tms, QString* error)
{
    const std::shared_ptr<MapAdapterOffline> adapter =
        makeOfflineAdapter(path, tms ? TileRowOrder::Tms : TileRowOrder::Xyz, error);
    if (!adapter)
        return {};
    const OfflineMapInfo& info = adapter->info();
    return {adapter, info.zoomMinimum, std::min(info.zoomMaximum + OverZoomLevels, 20),
            QStringLiteral("マップデータ : %1").arg(info.name)};
}

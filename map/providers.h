#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace qmapcontrol {
class MapAdapter;
}

// The tile providers of the map menu, by index 0 to 3.
constexpr int ProviderCount = 4;

struct ProviderInfo
{
    const char* name; // as the command line names it
    int zoomMinimum;
    int zoomMaximum;
    const char* label; // the status bar's text
};

const ProviderInfo& providerInfo(int index);

// The index of a provider named on the command line ("osm", "google",
// "stamen", "gsi"; case ignored); -1 when there is none of that name. An
// offline map is named by its path instead (offlineBaseMap).
int providerIndex(const QString& name);
QStringList providerNames();

// The adapter of a provider, from the address set in mivaromap.ini when there is one.
std::shared_ptr<qmapcontrol::MapAdapter> makeProviderAdapter(int index);

// A base map ready to show: its adapter, zooms and status bar text. No
// adapter: no tiles at all.
struct BaseMap
{
    std::shared_ptr<qmapcontrol::MapAdapter> adapter;
    int zoomMinimum = 0;
    int zoomMaximum = 17;
    QString label;
};

BaseMap providerBaseMap(int index);
// An .mbtiles file or a tile folder (rows counted from the bottom when
// `tms`) as a provider; no adapter and a Japanese reason when unusable.
BaseMap offlineBaseMap(const QString& path, bool tms, QString* error);

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
// "stamen", "gsi"; case ignored); -1 when there is none of that name. Offline
// tile sources join here under their own names.
int providerIndex(const QString& name);
QStringList providerNames();

// The adapter of a provider, from the address set in mivaromap.ini when there is one.
std::shared_ptr<qmapcontrol::MapAdapter> makeProviderAdapter(int index);

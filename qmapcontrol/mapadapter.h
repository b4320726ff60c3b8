#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace qmapcontrol {

class OfflineReader;

// A tile provider: a URL template with {z}, {x} and {y}, the zoom range of its
// tiles and the attribution text drawn on the map.
class MapAdapter : public QObject
{
    Q_OBJECT
public:
    MapAdapter(const QString& urlTemplate, int tileZoomMinimum, int tileZoomMaximum,
               const QString& attribution, const QString& cacheName, QObject* parent = nullptr);
    ~MapAdapter() override;

    QString urlTemplate() const { return m_template; }
    // A different template is a different server: the cache folder follows it.
    void setUrlTemplate(const QString& urlTemplate);
    int tileZoomMinimum() const { return m_zoomMin; }
    int tileZoomMaximum() const { return m_zoomMax; }
    QString attribution() const { return m_attribution; }
    // Folder name of this provider inside the persistent cache.
    QString cacheName() const { return m_cacheName; }
    int tileSizePx() const { return 256; }

    // The address of one tile.
    QUrl tileQuery(int x, int y, int z) const;
    // Set for a map read from a file or a folder: its tiles come from there, never
    // from the network or the persistent cache.
    virtual std::shared_ptr<OfflineReader> offlineReader() const { return {}; }

    // A folder name for tiles of this template: the host (made safe) and a
    // hash of the template, so that two servers never share a folder. Query
    // values that look like access keys are left out of the hash, so that a
    // new key keeps the tiles already cached.
    static QString cacheNameForTemplate(const QString& urlTemplate);

private:
    QString m_template;
    int m_zoomMin;
    int m_zoomMax;
    QString m_attribution;
    QString m_cacheName;
};

// Any provider given by its template.
class MapAdapterTile : public MapAdapter
{
    Q_OBJECT
public:
    MapAdapterTile(const QString& urlTemplate, int tileZoomMinimum, int tileZoomMaximum,
                   const QString& attribution, QObject* parent = nullptr);
};

class MapAdapterGoogle : public MapAdapter
{
    Q_OBJECT
public:
    enum class GoogleLayerType
    {
        MAPS = 0,
        SATELLITE,
        TERRAIN,
        HYBRID,
        RASTER
    };
    explicit MapAdapterGoogle(GoogleLayerType layerType = GoogleLayerType::MAPS,
                              QObject* parent = nullptr);
    MapAdapterGoogle(const QString& urlTemplate, QObject* parent = nullptr);
};

class MapAdapterOSM : public MapAdapter
{
    Q_OBJECT
public:
    explicit MapAdapterOSM(QObject* parent = nullptr);
    MapAdapterOSM(const QString& urlTemplate, QObject* parent = nullptr);
};

// Stamen Design (toner), hosted by Stadia Maps.
class MapAdapterOTM : public MapAdapter
{
    Q_OBJECT
public:
    explicit MapAdapterOTM(QObject* parent = nullptr);
    MapAdapterOTM(const QString& urlTemplate, QObject* parent = nullptr);
};

// The white map of the Geospatial Information Authority of Japan.
class MapAdapterJPN : public MapAdapter
{
    Q_OBJECT
public:
    explicit MapAdapterJPN(QObject* parent = nullptr);
    MapAdapterJPN(const QString& urlTemplate, QObject* parent = nullptr);
};

} // namespace qmapcontrol

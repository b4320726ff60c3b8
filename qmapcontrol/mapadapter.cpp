#include "qmapcontrol/mapadapter.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QUrlQuery>

namespace qmapcontrol {

namespace {

const QString osmTemplate = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
const QString otmTemplate =
    QStringLiteral("https://tiles.stadiamaps.com/tiles/stamen_toner/{z}/{x}/{y}.png");
const QString jpnTemplate =
    QStringLiteral("https://cyberjapandata.gsi.go.jp/xyz/blank/{z}/{x}/{y}.png");

const QString osmAttribution = QStringLiteral("© OpenStreetMap contributors");
const QString googleAttribution = QStringLiteral("Map data © Google");
const QString otmAttribution =
    QStringLiteral("© Stadia Maps © Stamen Design © OpenMapTiles © OpenStreetMap contributors");
const QString jpnAttribution = QStringLiteral("地理院タイル");

bool isSafeFolderName(const QString& name)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]{0,79}$"));
    return safe.match(name).hasMatch();
}

QChar googleLayerLetter(MapAdapterGoogle::GoogleLayerType type)
{
    switch (type) {
    case MapAdapterGoogle::GoogleLayerType::MAPS:
        return QLatin1Char('m');
    case MapAdapterGoogle::GoogleLayerType::SATELLITE:
        return QLatin1Char('s');
    case MapAdapterGoogle::GoogleLayerType::TERRAIN:
        return QLatin1Char('p');
    case MapAdapterGoogle::GoogleLayerType::HYBRID:
        return QLatin1Char('y');
    case MapAdapterGoogle::GoogleLayerType::RASTER:
        return QLatin1Char('r');
    }
    return QLatin1Char('m');
}

QString googleTemplate(QChar letter)
{
    return QStringLiteral("https://mt1.google.com/vt/lyrs=%1&hl=ja&x={x}&y={y}&z={z}").arg(letter);
}

QString googleCacheName(QChar letter)
{
    return letter == QLatin1Char('m') ? QStringLiteral("google")
                                      : QStringLiteral("google-%1").arg(letter);
}

// The fixed folder of a provider while it uses its own template; any other
// template gets a folder of its own.
QString providerCacheName(const QString& urlTemplate, const QString& defaultTemplate,
                          const QString& fixedName)
{
    return urlTemplate == defaultTemplate ? fixedName
                                          : MapAdapter::cacheNameForTemplate(urlTemplate);
}

} // namespace

MapAdapter::MapAdapter(const QString& urlTemplate, int tileZoomMinimum, int tileZoomMaximum,
                       const QString& attribution, const QString& cacheName, QObject* parent)
    : QObject(parent), m_template(urlTemplate), m_zoomMin(qMax(0, tileZoomMinimum)),
      m_zoomMax(qMax(m_zoomMin, tileZoomMaximum)), m_attribution(attribution),
      m_cacheName(isSafeFolderName(cacheName) ? cacheName : cacheNameForTemplate(urlTemplate))
{
}

MapAdapter::~MapAdapter() = default;

void MapAdapter::setUrlTemplate(const QString& urlTemplate)
{
    if (urlTemplate == m_template)
        return;
    m_template = urlTemplate;
    m_cacheName = cacheNameForTemplate(urlTemplate);
}

QUrl MapAdapter::tileQuery(int x, int y, int z) const
{
    QString url = m_template;
    url.replace(QLatin1String("{z}"), QString::number(z));
    url.replace(QLatin1String("{x}"), QString::number(x));
    url.replace(QLatin1String("{y}"), QString::number(y));
    return QUrl(url);
}

QString MapAdapter::cacheNameForTemplate(const QString& urlTemplate)
{
    const QUrl url(urlTemplate);
    QString hashed = urlTemplate;
    if (url.hasQuery()) {
        static const QStringList keyNames = {QStringLiteral("api_key"), QStringLiteral("apikey"),
                                             QStringLiteral("key"), QStringLiteral("access_token"),
                                             QStringLiteral("token")};
        QUrlQuery query(url);
        for (const QString& name : keyNames)
            query.removeAllQueryItems(name);
        QUrl withoutKeys(url);
        withoutKeys.setQuery(query);
        hashed = withoutKeys.toString();
    }
    const QByteArray digest =
        QCryptographicHash::hash(hashed.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);

    QString host = url.host().toLower();
    host.replace(QRegularExpression(QStringLiteral("[^a-z0-9.-]")), QStringLiteral("_"));
    host.replace(QRegularExpression(QStringLiteral("\\.{2,}")), QStringLiteral("."));
    host = host.left(60);
    if (host.isEmpty() || host.startsWith(QLatin1Char('.')))
        host.prepend(QStringLiteral("tiles"));
    return host + QLatin1Char('-') + QString::fromLatin1(digest);
}

MapAdapterTile::MapAdapterTile(const QString& urlTemplate, int tileZoomMinimum, int tileZoomMaximum,
                               const QString& attribution, QObject* parent)
    : MapAdapter(urlTemplate, tileZoomMinimum, tileZoomMaximum, attribution,
                 cacheNameForTemplate(urlTemplate), parent)
{
}

MapAdapterGoogle::MapAdapterGoogle(GoogleLayerType layerType, QObject* parent)
    : MapAdapter(googleTemplate(googleLayerLetter(layerType)), 0, 19, googleAttribution,
                 googleCacheName(googleLayerLetter(layerType)), parent)
{
}

MapAdapterGoogle::MapAdapterGoogle(const QString& urlTemplate, QObject* parent)
    : MapAdapter(urlTemplate, 0, 19, googleAttribution,
                 providerCacheName(urlTemplate, googleTemplate(QLatin1Char('m')),
                                   QStringLiteral("google")),
                 parent)
{
}

MapAdapterOSM::MapAdapterOSM(QObject* parent) : MapAdapterOSM(osmTemplate, parent) {}

MapAdapterOSM::MapAdapterOSM(const QString& urlTemplate, QObject* parent)
    : MapAdapter(urlTemplate, 0, 19, osmAttribution,
                 providerCacheName(urlTemplate, osmTemplate, QStringLiteral("osm")), parent)
{
}

MapAdapterOTM::MapAdapterOTM(QObject* parent) : MapAdapterOTM(otmTemplate, parent) {}

// Stadia wants its key in the query; the tiles are the same whatever the key.
MapAdapterOTM::MapAdapterOTM(const QString& urlTemplate, QObject* parent)
    : MapAdapter(urlTemplate, 0, 18, otmAttribution,
                 QUrl(urlTemplate).adjusted(QUrl::RemoveQuery) == QUrl(otmTemplate)
                     ? QStringLiteral("stamen")
                     : cacheNameForTemplate(urlTemplate),
                 parent)
{
}

MapAdapterJPN::MapAdapterJPN(QObject* parent) : MapAdapterJPN(jpnTemplate, parent) {}

MapAdapterJPN::MapAdapterJPN(const QString& urlTemplate, QObject* parent)
    : MapAdapter(urlTemplate, 5, 14, jpnAttribution,
                 providerCacheName(urlTemplate, jpnTemplate, QStringLiteral("gsi")), parent)
{
}

} // namespace qmapcontrol

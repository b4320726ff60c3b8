#include "net/geocoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

#include <cmath>

namespace geocoding {

namespace {

const QString gsiHost = QStringLiteral("msearch.gsi.go.jp");
const QString nominatimHost = QStringLiteral("nominatim.openstreetmap.org");

// Whatever a server sends, a list shows one sane line of it.
QString cleanText(const QString& text)
{
    constexpr int maxLength = 300;
    QString out;
    out.reserve(qMin(text.size(), maxLength));
    for (const QChar c : text) {
        if (out.size() >= maxLength)
            break;
        out += (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                c == QChar::ParagraphSeparator)
                   ? QChar(' ')
                   : c;
    }
    return out.simplified();
}

bool validPosition(double lon, double lat)
{
    return std::isfinite(lon) && std::isfinite(lat) && lon >= -180 && lon <= 180 && lat >= -90 &&
           lat <= 90;
}

// A JSON number, or a text holding one (Nominatim sends its coordinates as text).
std::optional<double> number(const QJsonValue& value)
{
    if (value.isDouble())
        return value.toDouble();
    if (value.isString()) {
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return d;
    }
    return std::nullopt;
}

std::optional<QJsonArray> topArray(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    return doc.array();
}

QString normalized(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).simplified().toCaseFolded();
}

} // namespace

QString Service::displayName() const
{
    return id == ServiceId::Gsi ? QStringLiteral("国土地理院") : QStringLiteral("Nominatim");
}

QString Service::attribution() const
{
    return id == ServiceId::Gsi ? QStringLiteral("出典：国土地理院")
                                : QStringLiteral("© OpenStreetMap contributors (ODbL)");
}

bool Service::isPublic() const
{
    const QString host = QUrl(urlTemplate).host().toLower();
    return host == gsiHost || host == nominatimHost;
}

QString defaultTemplate(ServiceId id)
{
    return id == ServiceId::Gsi
               ? QStringLiteral("https://msearch.gsi.go.jp/address-search/AddressSearch?q={q}")
               : QStringLiteral(
                     "https://nominatim.openstreetmap.org/search?format=jsonv2&limit=10&q={q}");
}

Service service(ServiceId id, const QString& configured)
{
    const QString text = configured.trimmed();
    return Service{id, text.isEmpty() ? defaultTemplate(id) : text};
}

QString coordinateText(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QUrl queryUrl(const QString& urlTemplate, const QString& query, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return QUrl();
    };
    if (!urlTemplate.contains(QLatin1String("{q}")))
        return fail(QStringLiteral("アドレスに {q} がありません"));
    // Every reserved character of the query is encoded, so "&", "#", "?", "+" and
    // "=" stay part of the one value; the template's own text is taken as written.
    const QString encoded =
        QString::fromLatin1(query.trimmed().left(maxQueryLength).toUtf8().toPercentEncoding());
    QString text = urlTemplate.trimmed();
    text.replace(QLatin1String("{q}"), encoded);
    const QUrl url = QUrl::fromEncoded(text.toUtf8(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // Anything else (file:, qrc:, data:) would let a settings file read local data.
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return fail(QStringLiteral("http または https のアドレスではありません"));
    return url;
}

std::optional<QVector<Place>> parseGsi(const QByteArray& json)
{
    const auto array = topArray(json);
    if (!array)
        return std::nullopt;
    QVector<Place> places;
    for (const QJsonValue& entry : *array) {
        if (places.size() >= maxPlaces)
            break;
        const QJsonObject feature = entry.toObject();
        const QJsonArray coordinates = feature.value(QLatin1String("geometry"))
                                           .toObject()
                                           .value(QLatin1String("coordinates"))
                                           .toArray();
        const auto lon = number(coordinates.at(0));
        const auto lat = number(coordinates.at(1));
        const QString title = cleanText(feature.value(QLatin1String("properties"))
                                            .toObject()
                                            .value(QLatin1String("title"))
                                            .toString());
        if (coordinates.size() < 2 || !lon || !lat || !validPosition(*lon, *lat) || title.isEmpty())
            continue;
        places.append({title, QStringLiteral("住所・地名"), *lon, *lat, ServiceId::Gsi});
    }
    return places;
}

std::optional<QVector<Place>> parseNominatim(const QByteArray& json)
{
    const auto array = topArray(json);
    if (!array)
        return std::nullopt;
    QVector<Place> places;
    for (const QJsonValue& entry : *array) {
        if (places.size() >= maxPlaces)
            break;
        const QJsonObject object = entry.toObject();
        const auto lon = number(object.value(QLatin1String("lon")));
        const auto lat = number(object.value(QLatin1String("lat")));
        if (!lon || !lat || !validPosition(*lon, *lat))
            continue;
        const QString display = cleanText(object.value(QLatin1String("display_name")).toString());
        QString name = cleanText(object.value(QLatin1String("name")).toString());
        if (name.isEmpty())
            name = display.section(QLatin1Char(','), 0, 0).trimmed();
        if (name.isEmpty())
            continue;
        QString detail = display;
        if (detail.isEmpty()) {
            const QString category = cleanText(object.value(QLatin1String("category")).toString());
            const QString type = cleanText(object.value(QLatin1String("type")).toString());
            detail = type.isEmpty() ? category : category + QLatin1Char('/') + type;
        }
        places.append({name, detail, *lon, *lat, ServiceId::Nominatim});
    }
    return places;
}

std::optional<QVector<Place>> parse(ServiceId id, const QByteArray& json)
{
    return id == ServiceId::Gsi ? parseGsi(json) : parseNominatim(json);
}

std::optional<qint64> retryAfterMs(const QByteArray& value, const QDateTime& now)
{
    const QByteArray text = value.trimmed();
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds < 0 ? std::nullopt
                           : std::optional<qint64>(qMin<qint64>(seconds, 86400) * 1000);
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    return qMax<qint64>(0, now.msecsTo(when));
}

Match classify(const QString& query, QVector<Place>& places)
{
    if (places.isEmpty())
        return Match::None;
    if (places.size() == 1)
        return Match::Clear;
    const QString wanted = normalized(query);
    int exact = -1;
    for (int i = 0; i < places.size(); ++i) {
        if (normalized(places[i].name) != wanted)
            continue;
        if (exact >= 0)
            return Match::Several;
        exact = i;
    }
    if (exact < 0)
        return Match::Several;
    places.move(exact, 0);
    return Match::Clear;
}

RateLimiter::RateLimiter(Clock clock, qint64 intervalMs)
    : clock(std::move(clock)), interval(intervalMs)
{
}

qint64 RateLimiter::waitMs() const
{
    const qint64 now = clock();
    qint64 earliest = heldUntil;
    if (last)
        earliest = qMax(earliest, *last + interval);
    return qMax<qint64>(0, earliest - now);
}

void RateLimiter::sent()
{
    last = clock();
}

void RateLimiter::holdFor(qint64 ms)
{
    heldUntil = qMax(heldUntil, clock() + qMax<qint64>(0, ms));
}

} // namespace geocoding

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVector>

#include <functional>
#include <optional>

// The rules of asking a place-name service that need no network: the address
// of a query, reading the two services' answers, the pause between requests.
namespace geocoding {

enum class ServiceId
{
    Gsi,      // the address search of the Geospatial Information Authority of Japan
    Nominatim // OpenStreetMap's search
};

struct Service
{
    ServiceId id = ServiceId::Gsi;
    // The address with "{q}" for the query.
    QString urlTemplate;

    // "国土地理院" / "Nominatim".
    QString displayName() const;
    // What the service asks to be shown with its results.
    QString attribution() const;
    // A public service run by others: its policy forbids bulk use. Any other
    // host is taken to be one's own server.
    bool isPublic() const;
};

QString defaultTemplate(ServiceId id);
// The template from the settings, or the default when that is empty.
Service service(ServiceId id, const QString& configured);

struct Place
{
    QString name;
    // The address, or the kind of place.
    QString detail;
    double longitude = 0;
    double latitude = 0;
    ServiceId service = ServiceId::Gsi;
};

// A found coordinate as the list keeps it: the shortest decimal text that reads
// back as the same number (a service's 137.9688 stays 137.9688, where fourteen
// fixed decimals would show 137.96879999999999).
QString coordinateText(double value);

// The longest query sent; a longer text is no name of a place.
constexpr int maxQueryLength = 200;
// At most this many places are taken from one answer.
constexpr int maxPlaces = 50;

// The request address: the query, trimmed, percent-encoded as one value, put
// where the template says "{q}". Empty with *error set when the template is
// no http(s) address with "{q}" in it.
QUrl queryUrl(const QString& urlTemplate, const QString& query, QString* error = nullptr);

// Reads an answer. Anything that is not the expected shape gives no value;
// entries without a usable position are left out; texts are cut to a sane
// length and stripped of control characters.
std::optional<QVector<Place>> parseGsi(const QByteArray& json);
std::optional<QVector<Place>> parseNominatim(const QByteArray& json);
std::optional<QVector<Place>> parse(ServiceId id, const QByteArray& json);

// Milliseconds to wait from a Retry-After value (seconds or an HTTP date);
// none when the value is neither. Never below 0.
std::optional<qint64> retryAfterMs(const QByteArray& value, const QDateTime& now);

// How one name fares against the places found for it.
enum class Match
{
    None,
    Clear,  // one place: the first of the list
    Several // the user has to choose
};
// One place, or exactly one whose name is the query itself, is a clear match
// (that one is moved to the front).
Match classify(const QString& query, QVector<Place>& places);

// Keeps requests to one service at least `interval` apart, and none before a
// time the service asked us to wait for. The clock is given (milliseconds of
// a monotonic clock), so that the rule can be checked without waiting.
class RateLimiter
{
public:
    using Clock = std::function<qint64()>;
    explicit RateLimiter(Clock clock, qint64 intervalMs = 1000);

    // Milliseconds until the next request may go (0: now).
    qint64 waitMs() const;
    // A request goes now.
    void sent();
    // The service asked for a pause: nothing before now + ms.
    void holdFor(qint64 ms);

private:
    Clock clock;
    qint64 interval;
    std::optional<qint64> last;
    qint64 heldUntil = 0;
};

} // namespace geocoding

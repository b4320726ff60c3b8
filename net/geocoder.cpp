#include "net/geocoder.h"

#include "fileio/atomicfile.h"
#include "qmapcontrol/tilesource.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>

using geocoding::ServiceId;

namespace {

// Start to start, with a margin, so that the server never sees two within a second.
constexpr qint64 requestIntervalMs = 1050;
// An answer kept this long is asked again: places get new addresses now and then.
constexpr qint64 cacheDays = 30;
// A 429 without Retry-After: what the public services ask for at most.
constexpr qint64 defaultRetryMs = 60000;

QString networkTrouble(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("接続を拒否されました");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("サーバーが見つかりません。ネットワークの接続を確かめてください");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("応答の途中で接続が切れました");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("応答がありません");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("安全な接続を確立できませんでした");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("ネットワークにつながっていません");
    default:
        return QStringLiteral("通信できませんでした");
    }
}

} // namespace

Geocoder::Geocoder(const QString& gsiTemplate, const QString& nominatimTemplate,
                   const QString& cacheDir, QObject* parent)
    : QObject(parent), cacheDir(cacheDir)
{
    qRegisterMetaType<Geocoder::Answer>();
    clock.start();
    const std::pair<ServiceId, QString> configured[] = {{ServiceId::Gsi, gsiTemplate},
                                                        {ServiceId::Nominatim, nominatimTemplate}};
    for (const auto& [id, text] : configured) {
        Queue& q = queue(id);
        q.service = geocoding::service(id, text);
        q.timer.setSingleShot(true);
        connect(&q.timer, &QTimer::timeout, this, [this, &q] { pump(q); });
    }
    setRequestInterval(requestIntervalMs);
}

void Geocoder::setRequestInterval(qint64 ms)
{
    for (Queue& q : queues)
        q.limiter =
            std::make_unique<geocoding::RateLimiter>([this] { return clock.elapsed(); }, ms);
}

Geocoder::~Geocoder()
{
    for (Queue& q : queues) {
        if (QNetworkReply* reply = std::exchange(q.running, nullptr)) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }
}

const geocoding::Service& Geocoder::service(ServiceId id) const
{
    return queues[size_t(id)].service;
}

int Geocoder::ask(ServiceId id, const QString& query)
{
    Queue& q = queue(id);
    const int ticket = nextTicket++;
    Answer answer{id, query.trimmed(), {}, {}, false};
    QString error;
    const QUrl url = geocoding::queryUrl(q.service.urlTemplate, query, &error);
    if (url.isEmpty()) {
        const QString key =
            id == ServiceId::Gsi ? QStringLiteral("gsi") : QStringLiteral("nominatim");
        answer.error =
            QStringLiteral("mivaromap.ini の [geocoder] %1= が使えません（%2）").arg(key, error);
        deliver(ticket, answer);
        return ticket;
    }
    if (readCache(q, url, &answer.places)) {
        answer.fromCache = true;
        deliver(ticket, answer);
        return ticket;
    }
    q.waiting.append({ticket, answer.query, url, false});
    pump(q);
    return ticket;
}

void Geocoder::cancel(int ticket)
{
    delivering.remove(ticket);
    for (Queue& q : queues) {
        q.waiting.erase(std::remove_if(q.waiting.begin(), q.waiting.end(),
                                       [ticket](const Question& w) { return w.ticket == ticket; }),
                        q.waiting.end());
        if (q.running && q.current.ticket == ticket) {
            QNetworkReply* reply = std::exchange(q.running, nullptr);
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
            pump(q);
        }
    }
}

int Geocoder::pendingCount() const
{
    int count = delivering.size();
    for (const Queue& q : queues)
        count += q.waiting.size() + (q.running ? 1 : 0);
    return count;
}

void Geocoder::deliver(int ticket, const Answer& answer)
{
    delivering.insert(ticket);
    QMetaObject::invokeMethod(
        this,
        [this, ticket, answer] {
            if (delivering.remove(ticket))
                emit answered(ticket, answer);
        },
        Qt::QueuedConnection);
}

void Geocoder::pump(Queue& q)
{
    if (q.running || q.waiting.isEmpty())
        return;
    const qint64 wait = q.limiter->waitMs();
    if (wait > 0) {
        q.timer.start(int(wait));
        return;
    }
    q.current = q.waiting.takeFirst();
    // Asked meanwhile by someone else: the disk has it now.
    QVector<geocoding::Place> cached;
    if (readCache(q, q.current.url, &cached)) {
        deliver(q.current.ticket, {q.service.id, q.current.query, cached, {}, true});
        pump(q);
        return;
    }
    QNetworkRequest request(q.current.url);
    request.setHeader(QNetworkRequest::UserAgentHeader, qmapcontrol::TileSource::userAgent());
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("Accept-Language", "ja,en");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    q.limiter->sent();
    q.running = network.get(request);
    qmapcontrol::ReplyWatch::watch(q.running, replyLimits);
    QNetworkReply* reply = q.running;
    connect(reply, &QNetworkReply::finished, this, [this, &q, reply] { finished(q, reply); });
}

void Geocoder::finished(Queue& q, QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != q.running)
        return;
    q.running = nullptr;
    const Question question = q.current;
    Answer answer{q.service.id, question.query, {}, {}, false};
    const QString name = q.service.displayName();

    auto* watch = qmapcontrol::ReplyWatch::of(reply);
    const QString aborted = watch->abortReason();
    const QByteArray body = watch->takeBody();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (!aborted.isEmpty()) {
        answer.error = QStringLiteral("%1：%2").arg(name, aborted);
    } else if (status == 429 || (status == 503 && reply->hasRawHeader("Retry-After"))) {
        const qint64 wait = geocoding::retryAfterMs(reply->rawHeader("Retry-After"),
                                                    QDateTime::currentDateTimeUtc())
                                .value_or(defaultRetryMs);
        q.limiter->holdFor(wait);
        if (!question.retried && wait <= maxRetryWaitMs) {
            Question again = question;
            again.retried = true;
            q.waiting.prepend(again);
            pump(q);
            return;
        }
        answer.error = QStringLiteral("%1：問い合わせが多すぎると断られました（HTTP %2）。"
                                      "%3 秒ほど待ってからもう一度試してください")
                           .arg(name)
                           .arg(status)
                           .arg((wait + 999) / 1000);
    } else if (status >= 300) {
        answer.error = QStringLiteral("%1：エラーが返されました（HTTP %2）").arg(name).arg(status);
    } else if (reply->error() != QNetworkReply::NoError) {
        answer.error = QStringLiteral("%1：%2").arg(name, networkTrouble(reply->error()));
    } else if (body.size() > replyLimits.maxBytes) {
        answer.error = QStringLiteral("%1：%2").arg(
            name, qmapcontrol::ReplyWatch::tooMuchText(replyLimits.maxBytes));
    } else if (const auto places = geocoding::parse(q.service.id, body)) {
        answer.places = *places;
        if (!cacheDir.isEmpty()) {
            const QString path = cachePath(q, question.url);
            // A cache that cannot be kept only means asking again next time.
            if (QDir().mkpath(QFileInfo(path).path()))
                fileio::writeFileAtomically(path, body, fileio::Durability::Cache);
        }
    } else {
        answer.error = QStringLiteral("%1：応答を読み取れませんでした").arg(name);
    }
    emit answered(question.ticket, answer);
    pump(q);
}

QString Geocoder::cachePath(const Queue& q, const QUrl& url) const
{
    const QByteArray key =
        QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Sha1).toHex();
    const QString folder =
        q.service.id == ServiceId::Gsi ? QStringLiteral("gsi") : QStringLiteral("nominatim");
    return cacheDir + QLatin1Char('/') + folder + QLatin1Char('/') + QString::fromLatin1(key) +
           QStringLiteral(".json");
}

bool Geocoder::readCache(const Queue& q, const QUrl& url, QVector<geocoding::Place>* places) const
{
    if (cacheDir.isEmpty())
        return false;
    const QString path = cachePath(q, url);
    const QFileInfo info(path);
    if (!info.exists() || info.lastModified().daysTo(QDateTime::currentDateTime()) > cacheDays)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > replyLimits.maxBytes)
        return false;
    const auto parsed = geocoding::parse(q.service.id, file.readAll());
    if (!parsed)
        return false;
    *places = *parsed;
    return true;
}

#include "qmapcontrol/tilesource.h"

#include "fileio/atomicfile.h"
#include "qmapcontrol/diskcache.h"
#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/offlinetiles.h"
#include "qmapcontrol/replywatch.h"

#include <QBuffer>
#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <algorithm>
#include <deque>
#include <functional>
#include <limits>
#include <vector>

#ifndef QMAPCONTROL_USER_AGENT_VERSION
#define QMAPCONTROL_USER_AGENT_VERSION "0"
#endif

namespace qmapcontrol {

namespace {

// Deep enough for any zoom a map shows; keeps the shifts below in range.
constexpr int maxZoom = 30;
// Disk lookups per event-loop turn: enough to fill a view quickly, few enough
// that painting and input are never held up.
constexpr int diskReadsPerTurn = 4;
// No tile is bigger; a larger picture would only eat memory (4 MB decoded at most).
constexpr int maxTileSide = 1024;

// The memory cache counts KiB, so that its int cost cannot overflow.
int costOf(const QPixmap& pixmap)
{
    const qint64 bytes = qint64(pixmap.width()) * pixmap.height() * qMax(1, pixmap.depth()) / 8;
    return int(qMax<qint64>(1, bytes / 1024));
}

QString tileId(const QString& cacheName, int z, int x, int y)
{
    return QStringLiteral("%1/%2/%3/%4").arg(cacheName).arg(z).arg(x).arg(y);
}

// Empty when the bytes are a usable tile, else why not.
QString decodeTile(const QByteArray& bytes, QPixmap* pixmap)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const QString tooBig = QStringLiteral("画像が大きすぎます");
    if (size.isValid() && (size.width() > maxTileSide || size.height() > maxTileSide))
        return tooBig;
    const QImage image = reader.read();
    if (image.isNull())
        return QStringLiteral("画像ではありません");
    if (image.width() > maxTileSide || image.height() > maxTileSide)
        return tooBig;
    *pixmap = QPixmap::fromImage(image);
    return pixmap->isNull() ? QStringLiteral("画像ではありません") : QString();
}

struct Job
{
    QString id;
    QString cacheName;
    // The template names the provider: a refusal applies to all its tiles.
    QString provider;
    QUrl url;
    int z = 0;
    int x = 0;
    int y = 0;
    // The disk had nothing usable for this tile (or the cache is off).
    bool diskMissed = false;
    std::weak_ptr<MapAdapter> adapter;
    // Set for a tile of an offline map.
    std::weak_ptr<OfflineReader> reader;
    bool offline = false;
};

struct Failure
{
    qint64 retryAt = 0;
    int count = 0;
    bool diskMissed = false;
};

struct OfflineResult
{
    QString id;
    OfflineSession::Result result = OfflineSession::Result::Missing;
    QImage image;
    QString error;
};

// Reads and decodes the tiles of offline maps on a thread of its own, so that a
// slow disk never stalls the window. Each map's session (its SQLite connection)
// is opened, used and closed on this thread.
class OfflineWorker : public QThread
{
public:
    explicit OfflineWorker(std::function<void(OfflineResult)> deliver)
        : m_deliver(std::move(deliver))
    {
    }
    ~OfflineWorker() override { stop(); }

    void add(const Job& job)
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_back(job);
        m_wake.wakeOne();
    }

    // Takes the waiting jobs that match out of the queue; their ids.
    template <typename Predicate> QStringList drop(Predicate unwanted)
    {
        QStringList dropped;
        QMutexLocker lock(&m_mutex);
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            if (unwanted(*it)) {
                dropped << it->id;
                it = m_jobs.erase(it);
            } else {
                ++it;
            }
        }
        return dropped;
    }

    // Waits for the one tile being read at most.
    void stop()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_stopping = true;
            m_wake.wakeOne();
        }
        wait();
    }

protected:
    void run() override
    {
        std::vector<std::pair<std::weak_ptr<OfflineReader>, std::unique_ptr<OfflineSession>>>
            sessions;
        for (;;) {
            Job job;
            {
                QMutexLocker lock(&m_mutex);
                while (m_jobs.empty() && !m_stopping)
                    m_wake.wait(&m_mutex);
                if (m_stopping)
                    break;
                job = m_jobs.front();
                m_jobs.pop_front();
            }
            // Maps no longer shown close their files here, on the thread that opened them.
            sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                          [](const auto& s) { return s.first.expired(); }),
                           sessions.end());
            OfflineResult done;
            done.id = job.id;
            const std::shared_ptr<OfflineReader> reader = job.reader.lock();
            if (!reader) {
                m_deliver(std::move(done));
                continue;
            }
            OfflineSession* session = nullptr;
            for (const auto& s : sessions) {
                if (s.first.lock() == reader)
                    session = s.second.get();
            }
            if (!session) {
                std::unique_ptr<OfflineSession> opened = reader->session(&done.error);
                if (!opened) {
                    done.result = OfflineSession::Result::Failed;
                    m_deliver(std::move(done));
                    continue;
                }
                session = opened.get();
                sessions.emplace_back(reader, std::move(opened));
            }
            done.result = readOfflineTile(*session, job.z, job.x, job.y, &done.image, &done.error);
            m_deliver(std::move(done));
        }
        sessions.clear();
    }

private:
    std::function<void(OfflineResult)> m_deliver;
    QMutex m_mutex;
    QWaitCondition m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
};

} // namespace

struct TileSource::Private
{
    TileSource* q;
    QNetworkAccessManager network;
    QCache<QString, QPixmap> memory{128 * 1024}; // KiB
    DiskCache disk;
    QTimer diskTimer;

    QList<Job> diskQueue;
    QList<Job> networkQueue;
    QHash<QNetworkReply*, Job> running;
    // Every tile id that sits in one of the three above, or with the offline worker.
    QSet<QString> pending;
    std::unique_ptr<OfflineWorker> offline;
    int offlineWaiting = 0;
    // Tiles an offline map does not have: the parent is drawn, they are not asked again.
    QSet<QString> offlineAbsent;
    // The reader each offline cache name was last read through: a map opened anew
    // (perhaps rebuilt since) is read afresh.
    QHash<QString, std::weak_ptr<OfflineReader>> offlineReaders;

    QHash<QString, Failure> failures; // by URL
    QHash<QString, int> refused;      // provider template -> HTTP status
    std::vector<std::weak_ptr<MapAdapter>> told;

    QElapsedTimer clock;
    std::chrono::milliseconds retryDelay{60000};
    std::chrono::milliseconds stallLimit{10000};
    std::chrono::milliseconds deadline{30000};
    qint64 maxTileBytes = 4 * 1024 * 1024;

    // Tiles of the view that failed, with why; the last reason is what is told.
    QHash<QString, QString> failing;
    QString lastError;
    QString toldError;
    QString toldCacheError;

    explicit Private(TileSource* owner) : q(owner)
    {
        clock.start();
        diskTimer.setSingleShot(true);
        diskTimer.setInterval(0);
        QObject::connect(&diskTimer, &QTimer::timeout, q, [this] { readFromDisk(); });
    }

    ~Private()
    {
        offline.reset();
        const auto replies = running.keys();
        running.clear();
        for (QNetworkReply* reply : replies)
            reply->abort();
    }

    Job makeJob(const std::shared_ptr<MapAdapter>& adapter, int z, int x, int y) const
    {
        Job job;
        job.cacheName = adapter->cacheName();
        job.id = tileId(job.cacheName, z, x, y);
        job.provider = adapter->urlTemplate();
        job.url = adapter->tileQuery(x, y, z);
        job.z = z;
        job.x = x;
        job.y = y;
        job.adapter = adapter;
        return job;
    }

    bool backingOff(const QString& url) const
    {
        const auto it = failures.constFind(url);
        return it != failures.constEnd() && clock.elapsed() < it->retryAt;
    }

    void request(const std::shared_ptr<MapAdapter>& adapter, int z, int x, int y)
    {
        if (const std::shared_ptr<OfflineReader> reader = adapter->offlineReader()) {
            requestOffline(adapter, reader, z, x, y);
            return;
        }
        if (refused.contains(adapter->urlTemplate())) {
            tellRefused(adapter, refused.value(adapter->urlTemplate()));
            return;
        }
        const QString id = tileId(adapter->cacheName(), z, x, y);
        if (pending.contains(id) || memory.contains(id))
            return;
        Job job = makeJob(adapter, z, x, y);
        const QString url = job.url.toString();
        if (backingOff(url) && (failures.value(url).diskMissed || !disk.isEnabled()))
            return;
        if (disk.isEnabled()) {
            pending.insert(id);
            diskQueue.append(job);
            if (!diskTimer.isActive())
                diskTimer.start();
            return;
        }
        job.diskMissed = true;
        enqueueNetwork(job);
    }

    void requestOffline(const std::shared_ptr<MapAdapter>& adapter,
                        const std::shared_ptr<OfflineReader>& reader, int z, int x, int y)
    {
        const QString cacheName = adapter->cacheName();
        std::weak_ptr<OfflineReader>& known = offlineReaders[cacheName];
        if (known.lock() != reader) {
            known = reader;
            forgetTilesOf(cacheName);
        }
        const QString id = tileId(cacheName, z, x, y);
        if (pending.contains(id) || memory.contains(id) || offlineAbsent.contains(id) ||
            backingOff(id))
            return;
        if (!offline) {
            offline = std::make_unique<OfflineWorker>([q = q](OfflineResult done) {
                QMetaObject::invokeMethod(
                    q, [q, done = std::move(done)] { q->d->offlineDone(done); },
                    Qt::QueuedConnection);
            });
            offline->start(QThread::LowPriority);
        }
        Job job;
        job.cacheName = cacheName;
        job.id = id;
        job.z = z;
        job.x = x;
        job.y = y;
        job.adapter = adapter;
        job.reader = reader;
        job.offline = true;
        pending.insert(id);
        ++offlineWaiting;
        offline->add(job);
    }

    void forgetTilesOf(const QString& cacheName)
    {
        const QString prefix = cacheName + QLatin1Char('/');
        for (const QString& key : memory.keys()) {
            if (key.startsWith(prefix))
                memory.remove(key);
        }
        for (auto it = offlineAbsent.begin(); it != offlineAbsent.end();)
            it = it->startsWith(prefix) ? offlineAbsent.erase(it) : std::next(it);
        for (auto it = failures.begin(); it != failures.end();)
            it = it.key().startsWith(prefix) ? failures.erase(it) : std::next(it);
    }

    void offlineDone(const OfflineResult& done)
    {
        if (pending.remove(done.id))
            --offlineWaiting;
        switch (done.result) {
        case OfflineSession::Result::Found:
            failures.remove(done.id);
            remember(done.id, QPixmap::fromImage(done.image));
            tellErrors();
            emit q->tileReady();
            return;
        case OfflineSession::Result::Missing:
            // A long session over a large map: the set is only a shortcut.
            if (offlineAbsent.size() > 100000)
                offlineAbsent.clear();
            offlineAbsent.insert(done.id);
            return;
        case OfflineSession::Result::Failed: {
            Job job;
            job.id = done.id;
            job.offline = true;
            recordFailure(job, done.error);
            return;
        }
        }
    }

    void enqueueNetwork(const Job& job)
    {
        const QString url = job.url.toString();
        if (backingOff(url)) {
            if (job.diskMissed)
                failures[url].diskMissed = true;
            return;
        }
        pending.insert(job.id);
        networkQueue.append(job);
        startRequests();
    }

    void readFromDisk()
    {
        bool arrived = false;
        for (int i = 0; i < diskReadsPerTurn && !diskQueue.isEmpty(); ++i) {
            Job job = diskQueue.takeFirst();
            pending.remove(job.id);
            DiskCache::Entry entry;
            if (disk.read(job.cacheName, job.z, job.x, job.y, &entry)) {
                QPixmap pixmap;
                if (decodeTile(entry.bytes, &pixmap).isEmpty()) {
                    remember(job.id, pixmap);
                    arrived = true;
                    // An old tile is still drawn until a fresh one arrives.
                    if (entry.expired)
                        enqueueNetwork(job);
                    continue;
                }
                disk.remove(job.cacheName, job.z, job.x, job.y);
            }
            job.diskMissed = true;
            enqueueNetwork(job);
        }
        if (!diskQueue.isEmpty())
            diskTimer.start();
        if (arrived) {
            tellErrors();
            emit q->tileReady();
        }
    }

    void remember(const QString& id, const QPixmap& pixmap)
    {
        memory.insert(id, new QPixmap(pixmap), costOf(pixmap));
        failing.remove(id);
    }

    // Tells the view's state once it changed: the last reason while any of its tiles
    // fail, empty once none does. Queued: this may run inside a paint.
    void tellErrors()
    {
        const QString now = failing.isEmpty() ? QString() : lastError;
        if (now == toldError)
            return;
        toldError = now;
        QMetaObject::invokeMethod(
            q, [q = q, now] { emit q->tileLoadError(now); }, Qt::QueuedConnection);
    }

    void writeToDisk(const Job& job, const QByteArray& bytes)
    {
        const fileio::WriteResult written = disk.write(job.cacheName, job.z, job.x, job.y, bytes);
        if (written.ok || !disk.isEnabled()) {
            toldCacheError.clear();
            return;
        }
        if (written.error == toldCacheError)
            return;
        toldCacheError = written.error;
        QMetaObject::invokeMethod(
            q, [q = q, e = written.error] { emit q->cacheWriteFailed(e); }, Qt::QueuedConnection);
    }

    void startRequests()
    {
        while (running.size() < maxRequestsInFlight && !networkQueue.isEmpty()) {
            const Job job = networkQueue.takeFirst();
            if (refused.contains(job.provider) || backingOff(job.url.toString())) {
                pending.remove(job.id);
                continue;
            }
            QNetworkRequest request(job.url);
            request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::NoLessSafeRedirectPolicy);
            QNetworkReply* reply = network.get(request);
            running.insert(reply, job);
            QObject::connect(reply, &QNetworkReply::finished, q,
                             [this, reply] { finished(reply); });
            ReplyWatch::watch(reply, {stallLimit, deadline, maxTileBytes});
        }
    }

    void finished(QNetworkReply* reply)
    {
        reply->deleteLater();
        const auto it = running.find(reply);
        // Dropped by setWanted or a refusal: nothing to do.
        if (it == running.end())
            return;
        Job job = it.value();
        running.erase(it);
        ReplyWatch* watch = ReplyWatch::of(reply);
        const QString abortReason = watch->abortReason();
        const QByteArray bytes = watch->takeBody();
        pending.remove(job.id);

        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!abortReason.isEmpty()) {
            recordFailure(job, abortReason);
        } else if (status == 401 || status == 403) {
            refuse(job, status);
        } else if (reply->error() == QNetworkReply::NoError && status == 200 &&
                   bytes.size() > maxTileBytes) {
            recordFailure(job, ReplyWatch::tooMuchText(maxTileBytes));
        } else if (reply->error() == QNetworkReply::NoError && status == 200) {
            QPixmap pixmap;
            const QString refused = decodeTile(bytes, &pixmap);
            if (refused.isEmpty()) {
                failures.remove(job.url.toString());
                remember(job.id, pixmap);
                writeToDisk(job, bytes);
                tellErrors();
                emit q->tileReady();
            } else {
                recordFailure(job, refused);
            }
        } else {
            recordFailure(job, status > 0 ? QStringLiteral("HTTP %1").arg(status)
                                          : reply->errorString());
        }
        startRequests();
    }

    void recordFailure(const Job& job, const QString& reason)
    {
        failing.insert(job.id, reason);
        lastError = reason;
        tellErrors();
        // A long session over a flaky network: forget failures whose back-off is over.
        if (failures.size() > 4096) {
            const qint64 now = clock.elapsed();
            for (auto it = failures.begin(); it != failures.end();)
                it = it->retryAt <= now ? failures.erase(it) : std::next(it);
        }
        // An offline tile has no address: its id stands in.
        Failure& failure = failures[job.offline ? job.id : job.url.toString()];
        failure.count = qMin(failure.count + 1, 5);
        failure.retryAt = clock.elapsed() + retryDelay.count() * (qint64(1) << (failure.count - 1));
        failure.diskMissed = job.diskMissed;
    }

    void refuse(const Job& job, int status)
    {
        refused.insert(job.provider, status);
        // Requests still running are left to end by themselves: they are few,
        // and their answers are most likely refusals too.
        dropQueued([&](const Job& other) { return other.provider == job.provider; });
        if (const auto adapter = job.adapter.lock())
            tellRefused(adapter, status);
    }

    void tellRefused(const std::shared_ptr<MapAdapter>& adapter, int status)
    {
        told.erase(std::remove_if(told.begin(), told.end(),
                                  [](const std::weak_ptr<MapAdapter>& w) { return w.expired(); }),
                   told.end());
        for (const auto& w : told) {
            if (!w.owner_before(adapter) && !adapter.owner_before(w))
                return;
        }
        told.push_back(adapter);
        const QString host = QUrl(adapter->urlTemplate()).host();
        const QString text = status == 401
                                 ? QStringLiteral("タイルサーバー %1 が地図タイルを拒否しました "
                                                  "(HTTP 401)。APIキーが必要です。")
                                       .arg(host)
                                 : QStringLiteral("タイルサーバー %1 が地図タイルを拒否しました "
                                                  "(HTTP %2)。APIキーまたは利用許可が必要です。")
                                       .arg(host)
                                       .arg(status);
        // Not from inside a paint: the receiver may well show a message.
        QMetaObject::invokeMethod(
            q, [q = q, text] { emit q->providerRefused(text); }, Qt::QueuedConnection);
    }

    template <typename Predicate> void dropQueued(Predicate unwanted)
    {
        for (QList<Job>* queue : {&diskQueue, &networkQueue}) {
            for (auto it = queue->begin(); it != queue->end();) {
                if (unwanted(*it)) {
                    pending.remove(it->id);
                    it = queue->erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

    template <typename Predicate> void drop(Predicate unwanted)
    {
        dropQueued(unwanted);
        if (offline) {
            for (const QString& id : offline->drop(unwanted)) {
                if (pending.remove(id))
                    --offlineWaiting;
            }
        }

        QList<QNetworkReply*> aborted;
        for (auto it = running.begin(); it != running.end();) {
            if (unwanted(it.value())) {
                pending.remove(it->id);
                aborted.append(it.key());
                it = running.erase(it);
            } else {
                ++it;
            }
        }
        // Removed first, so that finished() knows these were dropped.
        for (QNetworkReply* reply : aborted) {
            // One that has its answer already only waits for finished() to be handled.
            if (!reply->isFinished())
                reply->abort();
        }
    }
};

TileSource::TileSource(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

TileSource::~TileSource() = default;

QString TileSource::userAgent()
{
    return QStringLiteral("MivaroMap/%1 (Qt %2)")
        .arg(QStringLiteral(QMAPCONTROL_USER_AGENT_VERSION), QString::fromLatin1(qVersion()));
}

TileSource::Piece TileSource::tile(const std::shared_ptr<MapAdapter>& adapter, int z, int x, int y)
{
    if (!adapter || z < 0 || z > maxZoom || x < 0 || y < 0 || x >= (1 << z) || y >= (1 << z))
        return {};
    const QString cacheName = adapter->cacheName();
    const int lastZoom = adapter->tileZoomMaximum();

    if (z <= lastZoom) {
        if (const QPixmap* exact = d->memory.object(tileId(cacheName, z, x, y)))
            return {*exact, QRectF(exact->rect()), true};
    }

    // Above the last zoom the tile at that zoom stands in for this one.
    const int fetchZoom = qMin(z, lastZoom);
    if (fetchZoom >= adapter->tileZoomMinimum())
        d->request(adapter, fetchZoom, x >> (z - fetchZoom), y >> (z - fetchZoom));

    for (int az = (z > lastZoom ? fetchZoom : z - 1); az >= 0; --az) {
        const int shift = z - az;
        const int ax = x >> shift;
        const int ay = y >> shift;
        if (const QPixmap* ancestor = d->memory.object(tileId(cacheName, az, ax, ay))) {
            const double parts = double(1 << shift);
            const double w = ancestor->width() / parts;
            const double h = ancestor->height() / parts;
            const QRectF source((x - (ax << shift)) * w, (y - (ay << shift)) * h, w, h);
            return {*ancestor, source, false};
        }
    }
    return {};
}

void TileSource::setWanted(const std::shared_ptr<MapAdapter>& adapter, const QVector<TileKey>& keys)
{
    if (!adapter)
        return;
    const QString cacheName = adapter->cacheName();
    const int first = adapter->tileZoomMinimum();
    const int last = adapter->tileZoomMaximum();

    QSet<QString> wanted;
    QVector<TileKey> load;
    for (const TileKey& key : keys) {
        if (key.z < 0 || key.z > maxZoom || key.x < 0 || key.y < 0 || key.x >= (1 << key.z) ||
            key.y >= (1 << key.z))
            continue;
        const int z = qMin(key.z, last);
        if (z < first)
            continue;
        const TileKey fetch{z, key.x >> (key.z - z), key.y >> (key.z - z)};
        const QString id = tileId(cacheName, fetch.z, fetch.x, fetch.y);
        if (!wanted.contains(id)) {
            wanted.insert(id);
            load.append(fetch);
        }
    }

    d->drop([&](const Job& job) { return job.cacheName == cacheName && !wanted.contains(job.id); });
    // Failures out of view no longer matter to the user.
    const QString prefix = cacheName + QLatin1Char('/');
    for (auto it = d->failing.begin(); it != d->failing.end();) {
        if (it.key().startsWith(prefix) && !wanted.contains(it.key()))
            it = d->failing.erase(it);
        else
            ++it;
    }
    d->tellErrors();
    for (const TileKey& key : load)
        d->request(adapter, key.z, key.x, key.y);
    d->startRequests();
}

void TileSource::enablePersistentCache(std::chrono::minutes expiry, const QDir& dir)
{
    d->disk.enable(expiry, dir);
    // What the disk lacked before may be in the new folder.
    for (Failure& failure : d->failures)
        failure.diskMissed = false;
}

void TileSource::disablePersistentCache()
{
    d->disk.disable();
    const QList<Job> waiting = d->diskQueue;
    d->diskQueue.clear();
    for (Job job : waiting) {
        d->pending.remove(job.id);
        job.diskMissed = true;
        d->enqueueNetwork(job);
    }
}

void TileSource::setRetryDelay(std::chrono::milliseconds delay)
{
    d->retryDelay = delay;
}

void TileSource::setTransferTimeout(std::chrono::milliseconds timeout)
{
    d->stallLimit = timeout;
}

void TileSource::setRequestDeadline(std::chrono::milliseconds deadline)
{
    d->deadline = deadline;
}

void TileSource::setMaxTileBytes(qint64 bytes)
{
    d->maxTileBytes = bytes;
}

void TileSource::setMemoryCacheBytes(qint64 bytes)
{
    // Never below one tile of the largest size: a tile the cache cannot hold would be
    // fetched again and again.
    const qint64 largestTile = qint64(maxTileSide) * maxTileSide * 4 / 1024;
    d->memory.setMaxCost(
        int(qBound<qint64>(largestTile, bytes / 1024, std::numeric_limits<int>::max())));
}

qint64 TileSource::memoryCacheBytes() const
{
    return qint64(d->memory.totalCost()) * 1024;
}

int TileSource::requestsInFlight() const
{
    return d->running.size();
}

int TileSource::requestsQueued() const
{
    return d->diskQueue.size() + d->networkQueue.size() + d->offlineWaiting;
}

} // namespace qmapcontrol

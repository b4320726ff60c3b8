#pragma once

#include "net/geocoding.h"
#include "qmapcontrol/replywatch.h"

#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <array>
#include <memory>

class QNetworkReply;

// Asks the place-name services, politely: the program's own User-Agent, one
// request at a time and at most one a second for each service (the window owns
// the one client, so this holds for the whole program), the pause a service
// asks for (429 with Retry-After), and answers kept on disk so that a search
// made once asks no one again. Answers come back by signal, never at once.
class Geocoder : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        geocoding::ServiceId service = geocoding::ServiceId::Gsi;
        QString query;
        QVector<geocoding::Place> places;
        // Why there is no answer, in words for the user; empty on success.
        QString error;
        bool fromCache = false;
    };

    // Empty templates stand for the services' public addresses; an empty
    // cache folder keeps nothing.
    Geocoder(const QString& gsiTemplate, const QString& nominatimTemplate, const QString& cacheDir,
             QObject* parent = nullptr);
    ~Geocoder() override;

    const geocoding::Service& service(geocoding::ServiceId id) const;
    // Asks a service about a text; answered() follows with the ticket returned.
    int ask(geocoding::ServiceId id, const QString& query);
    // Forgets a question: no answer comes for it.
    void cancel(int ticket);
    // Questions not answered yet.
    int pendingCount() const;

    // A pause asked for by a service longer than this fails the question
    // instead of keeping it waiting.
    static constexpr qint64 maxRetryWaitMs = 30000;
    void setReplyLimits(const qmapcontrol::ReplyLimits& limits) { replyLimits = limits; }
    // Start to start for one service. Tests shorten it.
    void setRequestInterval(qint64 ms);

signals:
    void answered(int ticket, const Geocoder::Answer& answer);

private:
    struct Question
    {
        int ticket = 0;
        QString query;
        QUrl url;
        bool retried = false;
    };
    struct Queue
    {
        geocoding::Service service;
        std::unique_ptr<geocoding::RateLimiter> limiter;
        QList<Question> waiting;
        QNetworkReply* running = nullptr;
        Question current;
        QTimer timer;
    };

    Queue& queue(geocoding::ServiceId id) { return queues[size_t(id)]; }
    void pump(Queue& q);
    void finished(Queue& q, QNetworkReply* reply);
    void deliver(int ticket, const Answer& answer);
    QString cachePath(const Queue& q, const QUrl& url) const;
    bool readCache(const Queue& q, const QUrl& url, QVector<geocoding::Place>* places) const;

    QNetworkAccessManager network;
    std::array<Queue, 2> queues;
    QString cacheDir;
    QElapsedTimer clock;
    qmapcontrol::ReplyLimits replyLimits{std::chrono::seconds(10), std::chrono::seconds(30),
                                         2 * 1024 * 1024};
    int nextTicket = 1;
    // Answers on their way (from the cache, or failures found before asking).
    QSet<int> delivering;
};

Q_DECLARE_METATYPE(Geocoder::Answer)

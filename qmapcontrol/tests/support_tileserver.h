#pragma once

// A tile server for tests on 127.0.0.1 (any free port). A path ending in
// /<z>/<x>/<y>[.png] gets a 256x256 PNG of tileColor(z, x, y), labelled "z/x/y"
// in its top-left 96x20 corner; other paths get 404. setResponse() fixes the
// answer for one path (with its query, as sent). While holding, requests wait
// unanswered. Every connection closes after its answer. A response may trickle
// or stop halfway, as a misbehaving server does.

#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>

class QTcpServer;
class QTcpSocket;

class TestTileServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString path;
        QByteArray userAgent;
        qint64 receivedMs = 0; // on the server's own monotonic clock
    };
    struct Response
    {
        int status = 200;
        QByteArray contentType = "image/png";
        QByteArray body;
        QByteArray location;   // sent with a 3xx status
        int trickleMs = 0;     // > 0: the body goes out one byte per this many milliseconds
        int stopAfter = -1;    // >= 0: only this many bytes of the body are sent, then nothing
        bool noLength = false; // the body ends when the connection closes
        QList<QByteArray> headers = {}; // more header lines, each without its line end
    };
    static Response json(const QByteArray& body, int status = 200)
    {
        return {status, "application/json", body, {}};
    }

    TestTileServer();
    ~TestTileServer() override { stop(); }

    bool isListening() const;
    QString urlTemplate(const QString& path = QStringLiteral("/{z}/{x}/{y}.png")) const;
    void setResponse(const QString& path, const Response& r) { m_fixed.insert(path, r); }
    // Switching holding off answers the requests held.
    void setHolding(bool hold);

    QList<Request> requests() const { return m_requests; }
    int requestCount() const { return m_requests.size(); }
    QStringList paths() const;
    void clearRequests() { m_requests.clear(); }
    // Stops listening and drops every connection.
    void stop();

    static QColor tileColor(int z, int x, int y);
    static QByteArray tilePng(int z, int x, int y);

private:
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QString& path);

    QTcpServer* m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPair<QTcpSocket*, QString>> m_held;
    QHash<QString, Response> m_fixed;
    QList<Request> m_requests;
    QElapsedTimer m_clock;
    bool m_holding = false;
};

// Runs events until `done` holds or `ms` pass. Unlike QTRY_*, it returns as soon as
// it holds instead of in steps of 50 ms.
bool waitUntil(const std::function<bool()>& done, int ms = 5000);

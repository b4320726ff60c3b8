#pragma once

// A tile server for tests: plain HTTP on 127.0.0.1 with an ephemeral port.
//
//   TestTileServer server;                       // listening at once
//   auto adapter = std::make_shared<qmapcontrol::MapAdapterTile>(
//       server.urlTemplate(), 0, 17, "test");    // http://127.0.0.1:<port>/{z}/{x}/{y}.png
//   ... server.requests(), server.requestCount(), server.stop()
//
// By default a path ending in /<z>/<x>/<y> (optionally .png, any query) gets
// a 256x256 PNG filled with tileColor(z, x, y), with the label "z/x/y" in
// black inside labelBox() (top-left corner); every pixel outside labelBox() is
// exactly tileColor(z, x, y). Other paths get 404.
//
// setResponse() fixes the answer for one path (path and query, exactly as
// requested); setHandler() replaces the default for all other paths.
// setHolding(true) keeps requests unanswered (counted by heldCount()) until
// releaseHeld() or setHolding(false). Every connection is closed after its
// answer. Needs a QGuiApplication (it paints the tiles).

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QRect>
#include <QString>
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
        QByteArray method;
        QString path; // path and query, as sent
        // Header names in lower case.
        QHash<QByteArray, QByteArray> headers;
        QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
        QByteArray userAgent() const { return header("user-agent"); }
    };

    struct Response
    {
        int status = 200;
        QByteArray contentType = "image/png";
        QByteArray body;
        // Extra headers, e.g. {"Location", "/other"} for a redirect.
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    explicit TestTileServer(QObject* parent = nullptr);
    ~TestTileServer() override;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    // baseUrl() + pathTemplate
    QString urlTemplate(const QString& pathTemplate = QStringLiteral("/{z}/{x}/{y}.png")) const;

    void setResponse(const QString& path, const Response& response);
    void clearResponses();
    // Answers every path without a fixed response; an empty function restores
    // the default tiles.
    void setHandler(std::function<Response(const Request&)> handler);

    void setHolding(bool hold);
    void releaseHeld();
    // Requests waiting for an answer (the client has not gone away).
    int heldCount() const;
    // Held requests whose client closed the connection before the answer.
    int abandonedCount() const { return m_abandoned; }

    QList<Request> requests() const { return m_requests; }
    int requestCount() const { return m_requests.size(); }
    QStringList paths() const;
    void clearRequests() { m_requests.clear(); }

    // Stops listening and drops every open connection.
    void stop();

    static QColor tileColor(int z, int x, int y);
    static QRect labelBox() { return QRect(0, 0, 96, 20); }
    static QImage tileImage(int z, int x, int y);
    static QByteArray tilePng(int z, int x, int y);
    static Response tileResponse(int z, int x, int y);
    static QByteArray png(const QImage& image);

signals:
    void requestReceived(const QString& path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    Response answerFor(const Request& request) const;
    static void send(QTcpSocket* socket, const Response& response);

    QTcpServer* m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPair<QTcpSocket*, Request>> m_held;
    QHash<QString, Response> m_fixed;
    std::function<Response(const Request&)> m_handler;
    QList<Request> m_requests;
    bool m_holding = false;
    int m_abandoned = 0;
};

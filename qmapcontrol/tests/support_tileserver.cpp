#include "support_tileserver.h"

#include <QBuffer>
#include <QHostAddress>
#include <QPainter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

TestTileServer::TestTileServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestTileServer::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
}

TestTileServer::~TestTileServer()
{
    stop();
}

bool TestTileServer::isListening() const
{
    return m_server->isListening();
}

quint16 TestTileServer::port() const
{
    return m_server->serverPort();
}

QString TestTileServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

QString TestTileServer::urlTemplate(const QString& pathTemplate) const
{
    return baseUrl() + pathTemplate;
}

void TestTileServer::setResponse(const QString& path, const Response& response)
{
    m_fixed.insert(path, response);
}

void TestTileServer::clearResponses()
{
    m_fixed.clear();
}

void TestTileServer::setHandler(std::function<Response(const Request&)> handler)
{
    m_handler = std::move(handler);
}

void TestTileServer::setHolding(bool hold)
{
    m_holding = hold;
    if (!hold)
        releaseHeld();
}

void TestTileServer::releaseHeld()
{
    const auto held = m_held;
    m_held.clear();
    for (const auto& entry : held)
        send(entry.first, answerFor(entry.second));
}

int TestTileServer::heldCount() const
{
    return m_held.size();
}

QStringList TestTileServer::paths() const
{
    QStringList result;
    for (const Request& request : m_requests)
        result.append(request.path);
    return result;
}

void TestTileServer::stop()
{
    m_server->close();
    m_held.clear();
    const auto sockets = m_buffers.keys();
    m_buffers.clear();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

QColor TestTileServer::tileColor(int z, int x, int y)
{
    // Neighbours and parent and child differ clearly in hue.
    const int hue = (z * 67 + x * 37 + y * 101) % 360;
    return QColor::fromHsv(hue, 180, 230);
}

QImage TestTileServer::tileImage(int z, int x, int y)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(tileColor(z, x, y));
    QPainter painter(&image);
    painter.setClipRect(labelBox());
    painter.setPen(Qt::black);
    painter.drawText(labelBox().adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y));
    return image;
}

QByteArray TestTileServer::png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray TestTileServer::tilePng(int z, int x, int y)
{
    return png(tileImage(z, x, y));
}

TestTileServer::Response TestTileServer::tileResponse(int z, int x, int y)
{
    Response response;
    response.body = tilePng(z, x, y);
    return response;
}

void TestTileServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            for (int i = 0; i < m_held.size(); ++i) {
                if (m_held.at(i).first == socket) {
                    m_held.removeAt(i);
                    ++m_abandoned;
                    break;
                }
            }
            socket->deleteLater();
        });
    }
}

void TestTileServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();

    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = QString::fromLatin1(first.value(1));
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                   lines.at(i).mid(colon + 1).trimmed());
    }
    m_requests.append(request);
    emit requestReceived(request.path);

    if (m_holding)
        m_held.append({socket, request});
    else
        send(socket, answerFor(request));
}

TestTileServer::Response TestTileServer::answerFor(const Request& request) const
{
    const auto fixed = m_fixed.constFind(request.path);
    if (fixed != m_fixed.constEnd())
        return *fixed;
    if (m_handler)
        return m_handler(request);
    static const QRegularExpression tilePath(QStringLiteral("/(\\d+)/(\\d+)/(\\d+)(\\.png)?$"));
    const QString path = request.path.section(QLatin1Char('?'), 0, 0);
    const QRegularExpressionMatch match = tilePath.match(path);
    if (match.hasMatch())
        return tileResponse(match.captured(1).toInt(), match.captured(2).toInt(),
                            match.captured(3).toInt());
    Response notFound;
    notFound.status = 404;
    notFound.contentType = "text/plain";
    notFound.body = "not found";
    return notFound;
}

void TestTileServer::send(QTcpSocket* socket, const Response& response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Test\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

#include "support_tileserver.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

TestTileServer::TestTileServer() : m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            m_buffers.insert(socket, QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                            [socket](const auto& h) { return h.first == socket; }),
                             m_held.end());
                socket->deleteLater();
            });
        }
    });
    m_server->listen(QHostAddress::LocalHost, 0);
    m_clock.start();
}

bool TestTileServer::isListening() const
{
    return m_server->isListening();
}

QString TestTileServer::urlTemplate(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()) + path;
}

void TestTileServer::setHolding(bool hold)
{
    m_holding = hold;
    while (!hold && !m_held.isEmpty()) {
        const auto entry = m_held.takeFirst();
        answer(entry.first, entry.second);
    }
}

QStringList TestTileServer::paths() const
{
    QStringList result;
    for (const Request& request : m_requests)
        result << request.path;
    return result;
}

void TestTileServer::stop()
{
    m_server->close();
    m_held.clear();
    for (QTcpSocket* socket : m_buffers.keys()) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_buffers.clear();
}

QColor TestTileServer::tileColor(int z, int x, int y)
{
    // Neighbours, parent and child differ clearly in hue.
    return QColor::fromHsv((z * 67 + x * 37 + y * 101) % 360, 180, 230);
}

QByteArray TestTileServer::tilePng(int z, int x, int y)
{
    static QHash<QString, QByteArray> made; // drawing and encoding is most of a test's time
    const QString name = QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y);
    QByteArray& bytes = made[name];
    if (!bytes.isEmpty())
        return bytes;
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(tileColor(z, x, y));
    QPainter(&image).drawText(QRect(4, 2, 92, 18), Qt::AlignVCenter, name);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
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
    Request request{QString::fromLatin1(lines.value(0).split(' ').value(1)), {}, m_clock.elapsed()};
    for (const QByteArray& line : lines)
        request.userAgent =
            line.toLower().startsWith("user-agent:") ? line.mid(11).trimmed() : request.userAgent;
    m_requests.append(request);
    m_holding ? m_held.append({socket, request.path}) : answer(socket, request.path);
}

void TestTileServer::answer(QTcpSocket* socket, const QString& path)
{
    static const QRegularExpression tile(QStringLiteral("/(\\d+)/(\\d+)/(\\d+)(\\.png)?$"));
    const QRegularExpressionMatch m = tile.match(path.section(QLatin1Char('?'), 0, 0));
    Response r = m_fixed.value(path, {404, "text/plain", "not found", {}});
    if (m.hasMatch() && !m_fixed.contains(path))
        r = {200,
             "image/png",
             tilePng(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()),
             {}};
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(r.status) + " Test\r\nContent-Type: " + r.contentType;
    if (!r.noLength)
        head += "\r\nContent-Length: " + QByteArray::number(r.body.size());
    if (!r.location.isEmpty())
        head += "\r\nLocation: " + r.location;
    for (const QByteArray& line : r.headers)
        head += "\r\n" + line;
    head += "\r\nConnection: close\r\n\r\n";
    const QByteArray body = r.stopAfter >= 0 ? r.body.left(r.stopAfter) : r.body;
    socket->write(r.trickleMs > 0 ? head : head + body);
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<int>(r.trickleMs > 0 ? 0 : body.size());
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent, r] {
        if (*sent < body.size())
            return void(socket->write(body.mid((*sent)++, 1)));
        timer->stop();
        if (r.stopAfter < 0)
            socket->disconnectFromHost();
    });
    timer->start(r.trickleMs);
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    QTimer tick; // wakes the loop for conditions that no event announces
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The synchronous download against a server on 127.0.0.1 started here: each
// path has its own script of what the server sends and when.

#include "net/httpdownload.h"
#include "settings/appsettings.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>

namespace {

// One piece of an answer: bytes sent that long after the request came in.
struct Piece
{
    int afterMs;
    QByteArray bytes;
};

class ScriptServer : public QObject
{
public:
    using Script = std::function<QList<Piece>(int requestNumber)>;

    ScriptServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
    }

    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    // A path without a script is never answered.
    void on(const QString& path, const Script& script) { m_scripts.insert(path, script); }
    int requests(const QString& path) const { return m_counts.value(path); }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(buffer.split(' ').value(1));
        buffer.clear();
        const int number = ++m_counts[path];
        if (!m_scripts.contains(path))
            return;
        const QList<Piece> pieces = m_scripts.value(path)(number);
        for (int i = 0; i < pieces.size(); ++i) {
            const bool last = i == pieces.size() - 1;
            QTimer::singleShot(pieces[i].afterMs, socket, [socket, bytes = pieces[i].bytes, last] {
                socket->write(bytes);
                if (last)
                    socket->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    QHash<QString, Script> m_scripts;
    QHash<QString, int> m_counts;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

QByteArray chunk(const QByteArray& bytes)
{
    return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
}

const QByteArray chunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                               "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";

QList<Piece> plain(int status, const QByteArray& reason, const QByteArray& body,
                   const QByteArray& extra = QByteArray())
{
    return {{0, "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
                    "\r\nContent-Length: " + QByteArray::number(body.size()) +
                    "\r\nConnection: close\r\n" + extra + "\r\n" + body}};
}

} // namespace

class TestHttpDownload : public QObject
{
    Q_OBJECT
    ScriptServer server;

    struct Outcome
    {
        int result;
        QByteArray bytes;
        QString msg;
        QStringList status;
    };

    Outcome fetch(const QUrl& url, int timeout)
    {
        AppSettings::instance().timeout = timeout;
        HttpDownLoad download(url);
        QSignalSpy spy(&download, &HttpDownLoad::StatusMsg);
        Outcome out{0, "untouched", "untouched", {}};
        out.result = download.download(out.bytes, out.msg);
        for (const QList<QVariant>& args : spy)
            out.status << args.value(0).toString();
        return out;
    }

private slots:
    void initTestCase()
    {
        server.on("/pieces", [](int) {
            return QList<Piece>{{0, chunkedHead},
                                {0, chunk("alpha-")},
                                {40, chunk("beta-")},
                                {80, chunk("gamma")},
                                {120, "0\r\n\r\n"}};
        });
        server.on("/sized", [](int) {
            const QByteArray head =
                "HTTP/1.1 200 OK\r\nContent-Length: 24\r\nConnection: close\r\n\r\n";
            return QList<Piece>{{0, head + "0123456789"}, {40, "abcdefghij"}, {80, "wxyz"}};
        });
        server.on("/missing", [](int) { return plain(404, "Not Found", "no such thing"); });
        server.on("/a/b/moved", [](int) {
            return plain(302, "Found", QByteArray(), "Location: ../c/there?x=1\r\n");
        });
        // Each request is answered after 100 ms with its own number.
        server.on("/late", [](int n) {
            QList<Piece> answer = plain(200, "OK", "answer " + QByteArray::number(n));
            answer[0].afterMs = 100;
            return answer;
        });
    }

    void outcomes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("msg");
        QTest::newRow("chunked, in pieces")
            << "/pieces" << 0 << QByteArray("alpha-beta-gamma") << "untouched";
        QTest::newRow("sized, in pieces")
            << "/sized" << 0 << QByteArray("0123456789abcdefghijwxyz") << "untouched";
        QTest::newRow("error status")
            << "/missing" << -1 << QByteArray("untouched") << "Http Faild error .*Not Found";
        QTest::newRow("relative redirect")
            << "/a/b/moved" << -1 << QByteArray("untouched")
            << "Redirect to " + QRegularExpression::escape(server.url("/a/c/there?x=1").toString());
    }

    void outcomes()
    {
        QFETCH(QString, path);
        QFETCH(QString, msg);
        const int before = server.requests(path);
        const Outcome out = fetch(server.url(path), 5);
        QTEST(out.result, "result");
        QTEST(out.bytes, "bytes");
        QVERIFY2(QRegularExpression("^" + msg + "$").match(out.msg).hasMatch(),
                 qPrintable(out.msg));
        // A redirect is told, not followed.
        QCOMPARE(server.requests(path), before + 1);
        QVERIFY(!out.status.join('|').contains("timeout"));
    }

    // Progress climbs to the size, and the event loop keeps running meanwhile.
    void progress()
    {
        int fired = 0;
        QTimer::singleShot(20, this, [&] { ++fired; });
        const Outcome out = fetch(server.url("/sized"), 5);
        QCOMPARE(fired, 1);
        QVERIFY(!out.status.isEmpty());
        qint64 last = 0;
        for (const QString& text : out.status) {
            const QRegularExpressionMatch m = QRegularExpression("^(\\d+)/24$").match(text);
            QVERIFY2(m.hasMatch(), qPrintable(text));
            QVERIFY(m.captured(1).toLongLong() >= last);
            last = m.captured(1).toLongLong();
        }
    }

    void timeOuts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("timeout");
        QTest::newRow("no time at all") << "/late" << 0;
        QTest::newRow("a server that never answers") << "/silent" << 1;
    }

    void timeOuts()
    {
        QFETCH(QString, path);
        QFETCH(int, timeout);
        QElapsedTimer clock;
        clock.start();
        const Outcome out = fetch(server.url(path), timeout);
        QVERIFY(clock.elapsed() >= timeout * 1000);
        QCOMPARE(out.result, 1);
        QCOMPARE(out.bytes, QByteArray("untouched"));
        QCOMPARE(out.msg, QStringLiteral("untouched"));
        QCOMPARE(out.status.last(),
                 QStringLiteral("http timeout %1 sec ").arg(timeout) + server.url(path).toString());
    }

    void againAfterATimeOut()
    {
        AppSettings::instance().timeout = 0;
        HttpDownLoad download(server.url("/late"));
        QVERIFY(download.isFinished());
        QByteArray bytes;
        QString msg;
        QCOMPARE(download.download(bytes, msg), 1);
        QVERIFY(download.isFinished());
        // Whether the abandoned request reached the server is up to the machine's
        // timing; if it did, its answer comes during the second call and must not mix in.
        AppSettings::instance().timeout = 5;
        QCOMPARE(download.download(bytes, msg), 0);
        QCOMPARE(bytes, "answer " + QByteArray::number(server.requests("/late")));
        QVERIFY(download.isFinished());
    }

    void refused()
    {
        quint16 port;
        {
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost);
            port = closed.serverPort();
        }
        const Outcome out = fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)), 5);
        QCOMPARE(out.result, -1);
        QCOMPARE(out.msg, QStringLiteral("Http Faild error Connection refused"));
    }
};

QTEST_MAIN(TestHttpDownload)
#include "tst_httpdownload.moc"

#include "net/httpdownload.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

class TestHttpDownload : public QObject
{
    Q_OBJECT
    TestTileServer server;

    struct Outcome
    {
        int result;
        QByteArray bytes = "untouched";
        QString msg = "untouched";
        QStringList status;
    };

    Outcome fetch(const QString& path, int timeout)
    {
        AppSettings::instance().timeout = timeout;
        HttpDownLoad download(QUrl(path.startsWith('/') ? server.urlTemplate(path) : path));
        QSignalSpy spy(&download, &HttpDownLoad::StatusMsg);
        Outcome out;
        out.result = download.download(out.bytes, out.msg);
        for (const QList<QVariant>& args : spy)
            out.status << args.value(0).toString();
        return out;
    }
    // A body sent a byte every few milliseconds.
    static TestTileServer::Response slow(const QByteArray& body, bool chunked = false)
    {
        TestTileServer::Response r{200, "text/plain", body, {}, 3, -1, chunked};
        if (chunked)
            r.headers << "Transfer-Encoding: chunked";
        return r;
    }

private slots:
    void initTestCase()
    {
        server.setResponse("/pieces",
                           slow("6\r\nalpha-\r\n5\r\nbeta-\r\n5\r\ngamma\r\n0\r\n\r\n", true));
        server.setResponse("/sized", slow("0123456789abcdefghijwxyz"));
        server.setResponse("/a/b/moved", {302, "text/plain", {}, "../c/there?x=1"});
    }

    void outcomes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("msg");
        QTest::newRow("chunked") << "/pieces" << 0 << QByteArray("alpha-beta-gamma") << "untouched";
        QTest::newRow("sized") << "/sized" << 0 << QByteArray("0123456789abcdefghijwxyz")
                               << "untouched";
        QTest::newRow("error status") << "/missing" << -1 << QByteArray("untouched")
                                      << "Http Faild error .*/missing - server replied: Test";
        QTest::newRow("relative redirect")
            << "/a/b/moved" << -1 << QByteArray("untouched")
            << "Redirect to " + QRegularExpression::escape(server.urlTemplate("/a/c/there?x=1"));
    }
    void outcomes()
    {
        QFETCH(QString, path);
        QFETCH(QString, msg);
        server.clearRequests();
        const Outcome out = fetch(path, 5);
        QTEST(out.result, "result");
        QTEST(out.bytes, "bytes");
        QVERIFY2(QRegularExpression("^" + msg + "$").match(out.msg).hasMatch(),
                 qPrintable(out.msg));
        QCOMPARE(server.paths(), QStringList{path}); // a redirect is told, not followed
        QVERIFY(!out.status.join('|').contains("timeout"));
    }

    // A server that never answers: given up after the time-out, outputs untouched.
    void timeOut()
    {
        server.setHolding(true);
        QElapsedTimer clock;
        clock.start();
        const Outcome out = fetch("/silent", 1);
        server.setHolding(false);
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(out.result, 1);
        QCOMPARE(out.bytes + out.msg.toUtf8(), QByteArray("untoucheduntouched"));
        QCOMPARE(out.status.last(), "http timeout 1 sec " + server.urlTemplate("/silent"));
    }

    // The answer to a request given up on must not mix into the next one.
    void againAfterATimeOut()
    {
        server.setResponse("/late", slow("first"));
        AppSettings::instance().timeout = 0;
        HttpDownLoad download(QUrl(server.urlTemplate("/late")));
        QVERIFY(download.isFinished());
        QByteArray bytes;
        QString msg;
        QCOMPARE(download.download(bytes, msg), 1);
        QVERIFY(download.isFinished());
        server.setResponse("/late", slow("second"));
        AppSettings::instance().timeout = 5;
        QCOMPARE(download.download(bytes, msg), 0);
        QCOMPARE(bytes, QByteArray("second"));
        QVERIFY(download.isFinished());
    }

    void refused()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(closed.serverPort());
        closed.close();
        const Outcome out = fetch(url, 5);
        QCOMPARE(out.result, -1);
        QCOMPARE(out.msg, QStringLiteral("Http Faild error Connection refused"));
    }
};

QTEST_MAIN(TestHttpDownload)
#include "tst_httpdownload.moc"

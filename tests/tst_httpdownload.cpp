#include "net/httpdownload.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"

#include <QRegularExpression>
#include <QSignalSpy>
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

private slots:
    void initTestCase()
    {
        // Bodies sent a byte every few milliseconds.
        const QByteArray chunks = "6\r\nalpha-\r\n5\r\nbeta-\r\n5\r\ngamma\r\n0\r\n\r\n";
        server.setResponse(
            "/pieces",
            {200, "text/plain", chunks, {}, 3, -1, true, {"Transfer-Encoding: chunked"}});
        server.setResponse("/sized", {200, "text/plain", "0123456789abcdefghijwxyz", {}, 3});
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
};

QTEST_MAIN(TestHttpDownload)
#include "tst_httpdownload.moc"

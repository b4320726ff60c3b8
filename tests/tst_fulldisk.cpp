#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/tilesource.h"
#include "records/placefile.h"
#include "records/placelistdocument.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

// Every file the program saves, written when the disk takes no more: each save says so
// with the system's reason, the old file stays byte for byte, no temporary file is left.
class TestFullDisk : public QObject
{
    Q_OBJECT

    static QStringList files(const QString& folder)
    {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.sort();
        return names;
    }

private slots:
    void savesFailWhole_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("how");
        for (const char* what : {"list", "settings", "class file", "tile"}) {
            QTest::newRow(qPrintable(QString(what) + ", file size limit")) << what << "fsize";
            QTest::newRow(qPrintable(QString(what) + ", read-only folder")) << what << "read-only";
        }
    }
    void savesFailWhole()
    {
        QFETCH(QString, what);
        QFETCH(QString, how);
        if (how == "read-only" && ::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        ProgramDirScope dir;
        PromptScope prompts;
        const QString reason = how == "fsize" ? "File too large" : "Permission denied";
        const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
        // Old files smaller than the limit, so that reading and backing them up still works;
        // the list bigger, so that its backup copy fails too.
        const QByteArray oldIni("[General]\nzoomLevel=3\n");
        const QByteArray oldList =
            QByteArray("\xEF\xBB\xBF") + QByteArray(600, 'a') + ",1,2,,1,,,\n";
        writeAll(dir.file("mivaromap.ini"), oldIni);
        writeAll(dir.file("classsetting.ini"), "[class]\nname001=Old\n");
        writeAll(dir.file("list.csv"), oldList);
        for (const char* name : {"mivaromap.ini", "classsetting.ini", "list.csv"})
            setModified(dir.file(name), yesterday);
        const QStringList before = files(dir.path());
        const QString cacheDir = dir.file("cache");
        QVERIFY(QDir().mkpath(cacheDir));

        TestTileServer server;
        qmapcontrol::TileSource source;
        source.enablePersistentCache(std::chrono::minutes(0), QDir(cacheDir));
        QSignalSpy cacheFailed(&source, &qmapcontrol::TileSource::cacheWriteFailed);
        const auto adapter = std::make_shared<qmapcontrol::MapAdapterTile>(
            server.urlTemplate("/{z}/{x}/{y}.png"), 0, 17, "test");

        AppSettings s;
        s.load();
        s.backupcnt = 3;
        s.className[7] = QString(100, 'c');
        PlaceListDocument doc;
        for (int i = 0; i < 50; ++i)
            doc.places.push_back(std::move(parsePlaceLines({"Castle,135,35,0,1,Image,11,10"})[0]));

        QString error;
        bool ok = true;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (how == "fsize")
                limit = std::make_unique<FileSizeLimit>(100);
            else
                QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner) &&
                        QFile::setPermissions(cacheDir, QFile::ReadOwner | QFile::ExeOwner));
            if (what == "list") {
                ok = doc.savePlaceFile(dir.file("list.csv"), true, true);
                error = prompts.prompts().calls.value(0).text;
            } else if (what == "settings") {
                const fileio::WriteResult saved = s.save();
                ok = saved.ok;
                error = saved.error;
            } else if (what == "class file") {
                const fileio::WriteResult saved = s.saveClasses(dir.file("classsetting.ini"));
                ok = saved.ok;
                error = saved.error;
            } else {
                QTRY_VERIFY(source.tile(adapter, 3, 1, 2).exact); // drawn all the same
                QTRY_COMPARE(cacheFailed.count(), 1);
                ok = false;
                error = cacheFailed.first().first().toString();
            }
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(cacheDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QVERIFY(!ok);
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(readAll(dir.file("mivaromap.ini")), oldIni);
        QCOMPARE(readAll(dir.file("classsetting.ini")), QByteArray("[class]\nname001=Old\n"));
        QCOMPARE(readAll(dir.file("list.csv")), oldList);
        // Backups the folder could take are whole copies; none is cut.
        QStringList after = files(dir.path());
        for (const QString& name : after.filter(".bak1")) {
            QCOMPARE(readAll(dir.file(name)), readAll(dir.file(name.chopped(5))));
            after.removeAll(name);
        }
        QCOMPARE(after, before);
        QDirIterator cached(cacheDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!cached.hasNext(), qPrintable(cached.next()));
        if (what == "settings")
            QVERIFY(error.contains(dir.file("mivaromap.ini")) &&
                    error.contains(dir.file("classsetting.ini")));
    }
};

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"

#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/tilesource.h"
#include "records/placefile.h"
#include "records/placelistdocument.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QtTest>

#include <unistd.h>

// Every file the program saves, written when the disk takes no more: each save says so
// with the system's reason, the old file stays byte for byte, no temporary file is left.
class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void savesFailWhole_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("readOnly");
        for (const char* what : {"list", "settings", "tile"}) {
            QTest::newRow(qPrintable(QString(what) + ", file size limit")) << what << false;
            QTest::newRow(qPrintable(QString(what) + ", read-only folder")) << what << true;
        }
    }
    void savesFailWhole()
    {
        QFETCH(QString, what);
        QFETCH(bool, readOnly);
        if (readOnly && ::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        ProgramDirScope dir;
        PromptScope prompts;
        const QString cacheDir = dir.file("cache");
        QVERIFY(QDir().mkpath(cacheDir));
        // Old files smaller than the limit, so that reading and backing them up still works;
        // the list bigger, so that its backup copy fails too.
        const QMap<QString, QByteArray> old{
            {"mivaromap.ini", "[General]\nzoomLevel=3\n"},
            {"classsetting.ini", "[class]\nname001=Old\n"},
            {"list.csv", "\xEF\xBB\xBF" + QByteArray(600, 'a') + ",1,2,,1,,,\n"}};
        for (auto it = old.cbegin(); it != old.cend(); ++it) {
            writeAll(dir.file(it.key()), it.value());
            setModified(dir.file(it.key()), QDateTime::currentDateTime().addDays(-1));
        }
        TestTileServer server;
        qmapcontrol::TileSource source;
        source.enablePersistentCache(std::chrono::minutes(0), QDir(cacheDir));
        QSignalSpy cacheFailed(&source, &qmapcontrol::TileSource::cacheWriteFailed);
        const auto adapter =
            std::make_shared<qmapcontrol::MapAdapterTile>(server.urlTemplate(), 0, 17, "test");
        AppSettings s;
        s.load();
        PlaceListDocument doc;
        for (int i = 0; i < 50; ++i)
            doc.places.push_back(std::move(parsePlaceLines({"Castle,135,35,0,1,Image,11,10"})[0]));

        auto full = readOnly ? nullptr : std::make_unique<FileSizeLimit>(100);
        for (const QString& folder : {dir.path(), cacheDir})
            QVERIFY(!readOnly || QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        fileio::WriteResult saved;
        if (what == "list") {
            saved.ok = doc.savePlaceFile(dir.file("list.csv"), true, true);
            saved.error = prompts.prompts().calls.value(0).text;
        } else if (what == "settings") {
            saved = s.save();
        } else {
            QTRY_VERIFY(source.tile(adapter, 3, 1, 2).exact); // drawn all the same
            QTRY_COMPARE(cacheFailed.count(), 1);
            saved.error = cacheFailed.first().first().toString();
        }
        full.reset();
        for (const QString& folder : {dir.path(), cacheDir})
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved.ok);
        QVERIFY2(saved.error.contains(readOnly ? "Permission denied" : "File too large"),
                 qPrintable(saved.error));
        if (what == "settings")
            QVERIFY(saved.error.contains(dir.file("mivaromap.ini")) &&
                    saved.error.contains(dir.file("classsetting.ini")));
        // Nothing else new but backups the folder could take, each a whole copy.
        for (const QString& name :
             old.keys() + QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            QCOMPARE(readAll(dir.file(name)),
                     old.value(name.endsWith(".bak1") ? name.chopped(5) : name, "not ours"));
        QDirIterator cached(cacheDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!cached.hasNext(), qPrintable(cached.next()));
    }
};

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"

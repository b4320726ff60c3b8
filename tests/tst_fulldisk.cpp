// Files written whole or not at all: the one writer, then every file the program saves
// when the disk takes no more.
#include "fileio/atomicfile.h"
#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/tilesource.h"
#include "records/placefile.h"
#include "records/placelistdocument.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using fileio::Durability;

static int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void write_data()
    {
        QTest::addColumn<QString>("target"); // beside list.csv (mode 0640) and the folder sub
        QTest::addColumn<int>("durability");
        QTest::addColumn<QString>("reason"); // empty: written
        const QString tooLarge = "ファイルが大きすぎます（File too large）";
        const QString noFolder = "フォルダがありません（No such file or directory）";
        const int synced = int(Durability::Synced), drawn = int(Durability::Drawn);
        QTest::newRow("replaced") << "list.csv" << synced << "";
        QTest::newRow("replaced, drawn") << "list.csv" << drawn << "";
        QTest::newRow("new") << "fresh.ini" << synced << "";
        QTest::newRow("new, drawn") << "fresh.ini" << drawn << "";
        // A file-size limit makes a real short write, as a full disk does.
        QTest::newRow("file size limit") << "list.csv" << synced << tooLarge;
        QTest::newRow("target is a folder") << "sub" << synced << "Is a directory";
        QTest::newRow("folder missing") << "nowhere/list.csv" << synced << noFolder;
        // A new drawn file is written in place: a cut write must not stay behind.
        QTest::newRow("new drawn, size limit") << "picture.png" << drawn << tooLarge;
        QTest::newRow("drawn, folder missing") << "none/picture.png" << drawn << noFolder;
    }
    // Whole or not at all; the old file's mode kept, a new file's the ordinary one.
    void write()
    {
        QFETCH(QString, target);
        QFETCH(int, durability);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString list = dir.filePath("list.csv"), path = dir.filePath(target);
        const QByteArray old(300, 'o'), bytes(reason.isEmpty() ? 10 : 200000, 'n');
        writeAll(list, old);
        QVERIFY(::chmod(QFile::encodeName(list).constData(), 0640) == 0);
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        auto full = reason.contains("too large") ? std::make_unique<FileSizeLimit>(4096) : nullptr;
        const auto result = fileio::writeFileAtomically(path, bytes, Durability(durability));
        full.reset();
        QCOMPARE(result.error, reason);
        QCOMPARE(result.ok, reason.isEmpty());
        QCOMPARE(readAll(list), path == list && result.ok ? bytes : old);
        QCOMPARE(modeOf(list), 0640);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QStringList names{"list.csv", "sub"};
        if (result.ok && path != list) {
            QVERIFY(readAll(path) == bytes && modeOf(path) == int(0666 & ~mask));
            names.prepend(target);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 names);
    }
    void reasonsInJapanese()
    {
        const auto system = [](int e) { return QString::fromLocal8Bit(std::strerror(e)); };
        QCOMPARE(fileio::errorReason(ENOSPC),
                 "ディスクの空き容量が足りません（" + system(ENOSPC) + "）");
        QCOMPARE(fileio::errorReason(EBUSY), system(EBUSY)); // any other: the system's text alone
    }
    // Every file the program saves, written when the disk takes no more: each save says so
    // with the system's reason, the old file stays byte for byte, no temporary file is left.
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

#include "fileio/atomicfile.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using fileio::Durability;

static int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

class TestAtomicFile : public QObject
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
        QCOMPARE(fileio::errorReason(EROFS),
                 "読み取り専用のファイルシステムです（" + system(EROFS) + "）");
        QCOMPARE(fileio::errorReason(EBUSY), system(EBUSY)); // any other: the system's text alone
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"

#include "fileio/atomicfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void replacesWholeAndKeepsMode_data();
    void replacesWholeAndKeepsMode();
    void failureLeavesOldFileUntouched_data();
    void failureLeavesOldFileUntouched();
    void failedNewDrawnFileIsRemoved();
    void reasonsInJapanese_data();
    void reasonsInJapanese();
};

static QStringList leftovers(const QString& folder, const QString& keep)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

void TestAtomicFile::replacesWholeAndKeepsMode_data()
{
    QTest::addColumn<int>("durability");
    QTest::newRow("synced") << int(fileio::Durability::Synced);
    QTest::newRow("cache") << int(fileio::Durability::Cache);
    QTest::newRow("drawn") << int(fileio::Durability::Drawn);
}

void TestAtomicFile::replacesWholeAndKeepsMode()
{
    QFETCH(int, durability);
    QTemporaryDir dir;
    const QString path = dir.filePath("list.csv");
    writeAll(path, "old content that is longer than the new one\n");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);

    const QByteArray bytes("new\n");
    const auto result = fileio::writeFileAtomically(path, bytes, fileio::Durability(durability));
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
    QCOMPARE(readAll(path), bytes);
    struct stat st;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 0777), 0640);
    QCOMPARE(leftovers(dir.path(), "list.csv"), QStringList());

    // A new file gets the ordinary permissions, not the temporary file's private ones.
    const QString fresh = dir.filePath("fresh.ini");
    QVERIFY(fileio::writeFileAtomically(fresh, "x", fileio::Durability(durability)).ok);
    QCOMPARE(readAll(fresh), QByteArray("x"));
    QVERIFY(::stat(QFile::encodeName(fresh).constData(), &st) == 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(int(st.st_mode & 0777), int(0666 & ~mask));
}

void TestAtomicFile::failureLeavesOldFileUntouched_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    // A file-size limit makes a real short write, as a full disk does.
    QTest::newRow("file size limit") << "fsize"
                                     << "ファイルが大きすぎます（File too large）";
    QTest::newRow("target is a folder") << "folder"
                                        << "Is a directory";
    QTest::newRow("folder missing") << "missing"
                                    << "フォルダがありません（No such file or directory）";
}

void TestAtomicFile::failureLeavesOldFileUntouched()
{
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath("list.csv");
    const QByteArray old(300, 'o');
    writeAll(path, old);
    QByteArray bytes(200000, 'n');

    fileio::WriteResult result;
    if (how == "fsize") {
        const FileSizeLimit full(4096);
        result = fileio::writeFileAtomically(path, bytes);
    } else if (how == "folder") {
        path = dir.filePath("sub");
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        result = fileio::writeFileAtomically(path, bytes);
        QVERIFY(QFileInfo(path).isDir());
    } else {
        result = fileio::writeFileAtomically(dir.filePath("nowhere/list.csv"), bytes);
    }
    QVERIFY(!result.ok);
    QCOMPARE(result.error, reason);
    QCOMPARE(readAll(dir.filePath("list.csv")), old);
    QCOMPARE(leftovers(dir.path(), "list.csv"), QStringList());
}

// A drawn file is written in place when new: a cut write must not stay behind.
void TestAtomicFile::failedNewDrawnFileIsRemoved()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.png");
    fileio::WriteResult result;
    {
        const FileSizeLimit full(4096);
        result =
            fileio::writeFileAtomically(path, QByteArray(20000, 'p'), fileio::Durability::Drawn);
    }
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("ファイルが大きすぎます（File too large）"));
    QCOMPARE(leftovers(dir.path(), QString()), QStringList());

    const auto nowhere = fileio::writeFileAtomically(dir.filePath("none/picture.png"), "p",
                                                     fileio::Durability::Drawn);
    QVERIFY(!nowhere.ok);
    QCOMPARE(nowhere.error, QStringLiteral("フォルダがありません（No such file or directory）"));
}

void TestAtomicFile::reasonsInJapanese_data()
{
    QTest::addColumn<int>("errnum");
    QTest::addColumn<QString>("japanese"); // empty: the system's text alone
    QTest::newRow("disk full") << ENOSPC << "ディスクの空き容量が足りません";
    QTest::newRow("read-only") << EROFS << "読み取り専用のファイルシステムです";
    QTest::newRow("anything else") << EBUSY << "";
}

void TestAtomicFile::reasonsInJapanese()
{
    QFETCH(int, errnum);
    QFETCH(QString, japanese);
    const QString system = QString::fromLocal8Bit(std::strerror(errnum));
    QCOMPARE(fileio::errorReason(errnum),
             japanese.isEmpty() ? system : japanese + "（" + system + "）");
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"

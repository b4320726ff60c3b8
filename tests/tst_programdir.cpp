// Where the program's files live: beside a portable program, else the user's
// folders filled from the shipped defaults.
#include "settings/programdir.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

class TestProgramDir : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("cache");
        QTest::addColumn<QString>("dataLocation");
        QTest::newRow("portable copy") << true << false << "/opt/mm"
                                       << "/opt/mm/cache"
                                       << "/home/u/.local/share/mivaromap";
        QTest::newRow("read-only copy") << false << false << "/home/u/.local/share/mivaromap"
                                        << "/home/u/.cache/mivaromap"
                                        << "/home/u/.local/share/mivaromap";
        QTest::newRow("installed") << false << true << "/home/u/.local/share/mivaromap"
                                   << "/home/u/.cache/mivaromap"
                                   << "/home/u/.local/share/mivaromap";
        // Root can write to /usr/bin; an installation is still left alone.
        QTest::newRow("installed, root") << true << true << "/home/u/.local/share/mivaromap"
                                         << "/home/u/.cache/mivaromap"
                                         << "/home/u/.local/share/mivaromap";
        QTest::newRow("no data location") << false << true << "/opt/mm"
                                          << "/opt/mm/cache"
                                          << "";
    }

    void choice()
    {
        QFETCH(bool, writable);
        QFETCH(bool, installed);
        QFETCH(QString, data);
        QFETCH(QString, cache);
        QFETCH(QString, dataLocation);
        const ProgramDirs dirs = chooseProgramDirs("/opt/mm/", writable, installed, dataLocation,
                                                   "/home/u/.cache/mivaromap");
        QCOMPARE(dirs.data, data);
        QCOMPARE(dirs.cache, cache);
        QCOMPARE(dirs.portable, data == "/opt/mm");
        QCOMPARE(shippedDefaultsDir("/usr/bin"), QStringLiteral("/usr/share/mivaromap"));
    }

    void writability()
    {
        QTemporaryDir dir;
        QVERIFY(isWritableDir(dir.path()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        QVERIFY(!isWritableDir(dir.filePath("missing")));
        // A file system that refuses even root.
        QVERIFY(!isWritableDir("/proc"));
    }

    void firstStartFillsFromDefaults()
    {
        QTemporaryDir shipped;
        QTemporaryDir home;
        writeAll(shipped.filePath("castlelist.csv"), "shipped list");
        writeAll(shipped.filePath("mivaromap.ini"), "shipped settings");
        QDir(shipped.path()).mkpath("help");
        writeAll(shipped.filePath("help/a.help"), "shipped help");
        const QString data = home.filePath("share/mivaromap");
        QDir().mkpath(data);
        writeAll(data + "/mivaromap.ini", "the user's own");

        QCOMPARE(fillFromDefaults(shipped.path(), data), QStringList());
        QCOMPARE(readAll(data + "/castlelist.csv"), QByteArray("shipped list"));
        QCOMPARE(readAll(data + "/mivaromap.ini"), QByteArray("the user's own"));

        // A folder that cannot be made is reported, not passed over.
        writeAll(home.filePath("blocked"), "a file where the folder should go");
        QCOMPARE(fillFromDefaults(shipped.path(), home.filePath("blocked/data")).size(), 1);
    }
};

QTEST_MAIN(TestProgramDir)
#include "tst_programdir.moc"

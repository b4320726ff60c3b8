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
    // Beside the program only when it is a writable copy that is not installed (root can
    // write to /usr/bin), or when the user has no data folder.
    void choice()
    {
        const QString home = "/home/u/.local/share/mivaromap", cache = "/home/u/.cache/mivaromap";
        for (const auto& [writable, installed, data, portable] :
             {std::tuple(true, false, home, true), std::tuple(false, false, home, false),
              std::tuple(false, true, home, false), std::tuple(true, true, home, false),
              std::tuple(false, true, QString(), true)}) {
            const ProgramDirs dirs =
                chooseProgramDirs("/opt/mm/", writable, installed, data, cache);
            QCOMPARE(dirs.data + ' ' + dirs.cache + ' ' + QString::number(dirs.portable),
                     portable ? "/opt/mm /opt/mm/cache 1" : home + ' ' + cache + " 0");
        }
        QCOMPARE(shippedDefaultsDir("/usr/bin"), QStringLiteral("/usr/share/mivaromap"));
    }
    // Probed without a trace; on a first start filled from the shipped files, the user's kept.
    void folders()
    {
        QTemporaryDir shipped, home;
        QVERIFY(isWritableDir(home.path()) &&
                QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(!isWritableDir(home.filePath("missing")) && !isWritableDir("/proc")); // even root
        writeAll(shipped.filePath("castlelist.csv"), "shipped list");
        writeAll(shipped.filePath("mivaromap.ini"), "shipped settings");
        QDir(shipped.path()).mkpath("help");
        writeAll(shipped.filePath("help/a.help"), "shipped help");
        const QString data = home.filePath("share/mivaromap");
        QDir().mkpath(data);
        writeAll(data + "/mivaromap.ini", "the user's own");
        QCOMPARE(fillFromDefaults(shipped.path(), data), QStringList());
        QCOMPARE(readAll(data + "/castlelist.csv") + readAll(data + "/mivaromap.ini") +
                     readAll(data + "/help/a.help"),
                 QByteArray("shipped listthe user's ownshipped help"));
        // A folder that cannot be made is reported, not passed over.
        writeAll(home.filePath("blocked"), "a file where the folder should go");
        QCOMPARE(fillFromDefaults(shipped.path(), home.filePath("blocked/data")).size(), 1);
    }
};

QTEST_MAIN(TestProgramDir)
#include "tst_programdir.moc"

#include "app/appstyle.h"
#include "app/mivaromap.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStatusBar>
#include <QtTest>

struct Shell
{
    Shell()
    {
        AppSettings::instance().load();
        keepTilesLocal();
    }
    ProgramDirScope dir;
    PromptScope prompts;
};

class TestShell : public QObject
{
    Q_OBJECT
    const QByteArray listA = "A,1,2,0,1,Image,11,10\n";
    const QByteArray listB = "\357\273\277B,1,2,0,1,Image,11,10\n"; // BOM first, as saved

private slots:
    void styleSheetRewrite()
    {
        QCOMPARE(styleSheetFromBytes("a { image: url(icons/a.png); } url(y) URL(z)", "/opt/mm/"),
                 QStringLiteral("a { image: url(/opt/mm/icons/a.png); } url(/opt/mm/y) URL(z)"));
        QCOMPARE(styleSheetFromBytes(QByteArray("a {}\0url(b)", 11), "/"), QStringLiteral("a {}"));
        QCOMPARE(styleSheetFromBytes("/* \xe9 */", "/"), QString::fromLatin1("/* \xe9 */"));
    }

    void paletteFromSettings()
    {
        AppSettings s;
        s.paletteWindow = QColor(1, 2, 3);
        s.paletteHighlight = QColor(4, 5, 6);
        s.paletteText = QColor(7, 8, 9);
        const QPalette p = buildAppPalette(s);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            QCOMPARE(p.color(group, QPalette::Window).name() +
                         p.color(group, QPalette::Highlight).name(),
                     "#010203#040506");
        QCOMPARE(p.color(QPalette::Active, QPalette::Text), QColor(7, 8, 9));
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Text), QColor(Qt::darkGreen));
        QCOMPARE(p.color(QPalette::Disabled, QPalette::ButtonText), QColor(Qt::darkGreen));
    }

    void toolTipColours_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("white on white: black") << "#ffffff"
                                               << "#ffffff"
                                               << "#000000";
        QTest::newRow("black on black: white") << "#000000"
                                               << "#000000"
                                               << "#ffffff";
        QTest::newRow("readable kept") << "#ffffdc"
                                       << "#333333"
                                       << "#333333";
        // White on #777777 is 4.48:1, just short; black reads better there (4.69:1).
        QTest::newRow("just short") << "#777777"
                                    << "#ffffff"
                                    << "#000000";
        QTest::newRow("just enough") << "#767676"
                                     << "#ffffff"
                                     << "#ffffff";
    }
    // From the settings file as the user has it; the stored colours stay.
    void toolTipColours()
    {
        QFETCH(QString, base);
        QFETCH(QString, text);
        Shell s;
        writeAll(s.dir.file("mivaromap.ini"),
                 ("[palette]\nToolTipBase=" + base + "\nToolTipText=" + text + "\n").toUtf8());
        AppSettings::instance().load();
        const QPalette p = buildAppPalette(AppSettings::instance());
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QTEST(p.color(group, QPalette::ToolTipText).name(), "shown");
            QCOMPARE(p.color(group, QPalette::ToolTipBase).name(), base);
        }
        QVERIFY(AppSettings::instance().save());
        QVERIFY(readAll(s.dir.file("mivaromap.ini")).contains("ToolTipText=" + text.toUtf8()));
    }

    // Qt's own dialogs speak Japanese when the system has the translation.
    void qtTranslations()
    {
        const QString base = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(base + "/qtbase_ja.qm"))
            QSKIP("Qt's Japanese translation is not installed");
        QVERIFY(installQtTranslations(qApp));
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "&Yes").contains("はい"));
        QVERIFY(QCoreApplication::translate("QFileDialog", "File &name:").contains("ファイル名"));
    }

    void close_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QByteArray>("list");
        const QString q =
            QStringLiteral("question:データ保存データが編集されています。CSVに保存しますか？\n");
        QTest::newRow("not edited: nothing asked") << false << true << true << "" << listA;
        QTest::newRow("edited, No keeps the file") << true << false << true << q << listA;
        QTest::newRow("edited, Yes saves") << true << true << true << q << listB;
        QTest::newRow("failed save: stays open")
            << true << true << false << q + "|warning:保存エラー" << QByteArray();
    }

    void close()
    {
        QFETCH(bool, edited);
        QFETCH(bool, yes);
        QFETCH(bool, writable);
        Shell s;
        AppSettings::instance().csv_filename = s.dir.file("list.csv");
        writeAll(s.dir.file("list.csv"), listA);
        s.prompts.prompts().buttonAnswers << (yes ? QMessageBox::Yes : QMessageBox::No)
                                          << QMessageBox::Ok << QMessageBox::No;
        {
            MivaroMap w;
            w.show();
            w.places.front()->name = QStringLiteral("B");
            w.modified = edited;
            if (!writable) // a folder where the list should be: nothing can be written there
                QVERIFY(QFile::remove(s.dir.file("list.csv")) &&
                        QDir(s.dir.path()).mkdir("list.csv"));
            QCOMPARE(w.close(), writable); // no Cancel: only a failed save keeps the window open
            QCOMPARE(w.modified, edited && !(yes && writable));
            QStringList asked; // the question in full, the warning by its title
            for (const ScriptedPrompts::Call& c : s.prompts.prompts().calls)
                if (c.kind != "beep")
                    asked << c.kind + ":" + c.title + (c.kind == "question" ? c.text : QString());
            QTEST(asked.join('|'), "asked");
            QVERIFY(!w.isVisible() || w.close()); // declining the save then closes
        }
        QTEST(readAll(s.dir.file("list.csv")), "list");
        QVERIFY(readAll(s.dir.file("mivaromap.ini")).contains("list.csv"));
        QVERIFY(QFile::exists(s.dir.file("classsetting.ini")));
    }

    void relativeListNameLiesBesideTheProgram()
    {
        Shell s;
        writeAll(s.dir.file("castlelist.csv"), listA);
        {
            MivaroMap w;
            QCOMPARE(w.windowTitle() + w.statusBar()->currentMessage(),
                     QStringLiteral("MivaroMap Ver 0.70 - castlelist.csvReady"));
            w.places.front()->name = QStringLiteral("B");
            QVERIFY(w.savePlaceFile(w.currentFile, true, true));
            QVERIFY(w.autosave(false));
        }
        QCOMPARE(readAll(s.dir.file("castlelist.csv")), listB);
        QVERIFY(QFile::exists(s.dir.file("castlelist_autosave.csv")));
        QVERIFY(!QFile::exists(QDir::current().filePath("castlelist_autosave.csv")));
        QCOMPARE(AppSettings::instance().csv_filename, QStringLiteral("castlelist.csv"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"

#include "app/appstyle.h"
#include "app/mivaromap.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QDir>
#include <QStatusBar>
#include <QtTest>

class TestShell : public QObject
{
    Q_OBJECT
    const QByteArray listA = "A,1,2,0,1,Image,11,10\n";
    const QByteArray listB = "\357\273\277B,1,2,0,1,Image,11,10\n"; // BOM first, as saved
    std::unique_ptr<ProgramDirScope> dir;
    std::unique_ptr<PromptScope> prompts;

    QList<ScriptedPrompts::Call> asked() const
    {
        QList<ScriptedPrompts::Call> calls;
        for (const ScriptedPrompts::Call& c : prompts->prompts().calls)
            if (c.kind != "beep")
                calls << c;
        return calls;
    }

private slots:
    void init()
    {
        dir = std::make_unique<ProgramDirScope>();
        prompts = std::make_unique<PromptScope>();
        AppSettings::instance().load();
        keepTilesLocal();
    }
    void cleanup()
    {
        prompts.reset();
        dir.reset();
    }

    void styleSheetRewrite()
    {
        QCOMPARE(styleSheetFromBytes("a { image: url(icons/a.png); } url(y) URL(z)", "/opt/mm/"),
                 QStringLiteral("a { image: url(/opt/mm/icons/a.png); } url(/opt/mm/y) URL(z)"));
        QCOMPARE(styleSheetFromBytes(QByteArray("a {}\0url(b)", 11), "/"), QStringLiteral("a {}"));
        QCOMPARE(styleSheetFromBytes("/* \xe9 */", "/"), QString::fromLatin1("/* \xe9 */"));
    }

    void palette_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        // White on #777777 is 4.48:1, just short; black reads better there (4.69:1).
        const char* rows[][4] = {{"black on black: white", "#000000", "#000000", "#ffffff"},
                                 {"just short", "#777777", "#ffffff", "#000000"},
                                 {"just enough", "#767676", "#ffffff", "#ffffff"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << r[1] << r[2] << r[3];
    }
    // Every group takes the settings' colours; a tool tip's text is made readable;
    // disabled text is dark green.
    void palette()
    {
        QFETCH(QString, base);
        QFETCH(QString, text);
        AppSettings s;
        s.paletteWindow = QColor(1, 2, 3);
        s.paletteAlternateBase = QColor(4, 5, 6);
        s.paletteText = QColor(7, 8, 9);
        s.paletteToolTipBase = QColor(base);
        s.paletteToolTipText = QColor(text);
        const QPalette p = buildAppPalette(s);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QCOMPARE(p.color(group, QPalette::Window).name() +
                         p.color(group, QPalette::AlternateBase).name() +
                         p.color(group, QPalette::ToolTipBase).name(),
                     "#010203#040506" + base);
            QTEST(p.color(group, QPalette::ToolTipText).name(), "shown");
        }
        QCOMPARE(p.color(QPalette::Active, QPalette::Text), QColor(7, 8, 9));
        QCOMPARE(p.color(QPalette::Disabled, QPalette::ButtonText), QColor(Qt::darkGreen));
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
        AppSettings::instance().csv_filename = dir->file("list.csv");
        writeAll(dir->file("list.csv"), listA);
        prompts->prompts().buttonAnswers << (yes ? QMessageBox::Yes : QMessageBox::No)
                                         << QMessageBox::Ok << QMessageBox::No;
        {
            MivaroMap w;
            w.show();
            w.places.front()->name = QStringLiteral("B");
            w.modified = edited;
            if (!writable) // a folder where the list should be: nothing can be written there
                QVERIFY(QFile::remove(dir->file("list.csv")) &&
                        QDir(dir->path()).mkdir("list.csv"));
            QCOMPARE(w.close(), writable); // no Cancel: only a failed save keeps the window open
            QCOMPARE(w.modified, edited && !(yes && writable));
            QStringList asked; // the question in full, the warning by its title
            for (const ScriptedPrompts::Call& c : this->asked())
                asked << c.kind + ":" + c.title + (c.kind == "question" ? c.text : QString());
            QTEST(asked.join('|'), "asked");
            QVERIFY(!w.isVisible() || w.close()); // declining the save then closes
        }
        QTEST(readAll(dir->file("list.csv")), "list");
        QVERIFY(readAll(dir->file("mivaromap.ini")).contains("list.csv"));
        QVERIFY(QFile::exists(dir->file("classsetting.ini")));
    }

    void unsavedSettingsAreToldAtExit()
    {
        {
            MivaroMap w;
            // A folder where the settings file should be: it cannot be replaced.
            QVERIFY(QDir(dir->path()).mkdir("mivaromap.ini"));
        }
        const QList<ScriptedPrompts::Call> calls = asked();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].kind + calls[0].title, QStringLiteral("warning保存エラー"));
        QVERIFY(
            calls[0].text.startsWith(dir->file("mivaromap.ini") + " に保存できませんでした。\n"));
        QVERIFY(QFile::exists(dir->file("classsetting.ini"))); // the rest is saved all the same
    }

    void relativeListNameLiesBesideTheProgram()
    {
        writeAll(dir->file("castlelist.csv"), listA);
        {
            MivaroMap w;
            QCOMPARE(w.windowTitle() + w.statusBar()->currentMessage(),
                     QStringLiteral("MivaroMap Ver 0.70 - castlelist.csvReady"));
            w.places.front()->name = QStringLiteral("B");
            QVERIFY(w.savePlaceFile(w.currentFile, true, true));
            QVERIFY(w.autosave(false));
        }
        QCOMPARE(readAll(dir->file("castlelist.csv")), listB);
        QVERIFY(QFile::exists(dir->file("castlelist_autosave.csv")));
        QVERIFY(!QFile::exists(QDir::current().filePath("castlelist_autosave.csv")));
        QCOMPARE(AppSettings::instance().csv_filename, QStringLiteral("castlelist.csv"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"

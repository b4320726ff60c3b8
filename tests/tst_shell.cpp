#include "app/appstyle.h"
#include "app/mivaromap.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QApplication>

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QtTest>
#include <algorithm>

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void styleSheetRewrite_data();
    void styleSheetRewrite();
    void paletteFromSettings();
    void windowStartsReady();
    void closeWithoutEditsAsksNothing();
    void closeModifiedAnsweredNoKeepsList();
    void closeModifiedAnsweredYesSavesList();
    void closeStaysOpenWhenTheSaveFails();
    void relativeListNameLiesBesideTheProgram();
};

void TestShell::styleSheetRewrite_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative url") << QByteArray("a { image: url(icons/a.png); }")
                                  << "a { image: url(/opt/mm/icons/a.png); }";
    QTest::newRow("every url") << QByteArray("url(x) url(y)") << "url(/opt/mm/x) url(/opt/mm/y)";
    QTest::newRow("capital URL untouched")
        << QByteArray("a { image: URL(b.png); }") << "a { image: URL(b.png); }";
    QTest::newRow("stops at zero byte") << QByteArray("a {}\0url(b)", 11) << "a {}";
    QTest::newRow("latin-1 bytes") << QByteArray("/* \xe9 */") << QString::fromLatin1("/* \xe9 */");
}

void TestShell::styleSheetRewrite()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(styleSheetFromBytes(bytes, "/opt/mm/"), expected);
}

void TestShell::paletteFromSettings()
{
    AppSettings s;
    s.paletteWindow = QColor(1, 2, 3);
    s.paletteHighlight = QColor(4, 5, 6);
    s.paletteText = QColor(7, 8, 9);
    const QPalette p = buildAppPalette(s);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(p.color(group, QPalette::Window), QColor(1, 2, 3));
        QCOMPARE(p.color(group, QPalette::Highlight), QColor(4, 5, 6));
    }
    QCOMPARE(p.color(QPalette::Active, QPalette::Text), QColor(7, 8, 9));
    QCOMPARE(p.color(QPalette::Disabled, QPalette::Text), QColor(Qt::darkGreen));
    QCOMPARE(p.color(QPalette::Disabled, QPalette::ButtonText), QColor(Qt::darkGreen));
}

void TestShell::windowStartsReady()
{
    ProgramDirScope dir;
    PromptScope prompts;
    AppSettings::instance().load();
    keepTilesLocal();
    {
        MivaroMap w;
        QCOMPARE(w.windowTitle(), QStringLiteral("MivaroMap Ver 0.70"));
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Ready"));
    }
    QVERIFY(QFile::exists(dir.file("mivaromap.ini")));
    QVERIFY(QFile::exists(dir.file("classsetting.ini")));
}

void TestShell::closeWithoutEditsAsksNothing()
{
    ProgramDirScope dir;
    PromptScope prompts;
    writeAll(dir.file("list.csv"), "A,1,2,0,1,Image,11,10\n");
    AppSettings::instance().load();
    keepTilesLocal();
    AppSettings::instance().csv_filename = dir.file("list.csv");
    {
        MivaroMap w;
        w.show();
        QVERIFY(w.close());
    }
    QVERIFY(prompts.prompts().calls.isEmpty());
    QCOMPARE(AppSettings::instance().csv_filename, dir.file("list.csv"));
    QVERIFY(readAll(dir.file("mivaromap.ini")).contains("list.csv"));
}

void TestShell::closeModifiedAnsweredNoKeepsList()
{
    ProgramDirScope dir;
    PromptScope prompts;
    const QByteArray original = "A,1,2,0,1,Image,11,10\n";
    writeAll(dir.file("list.csv"), original);
    AppSettings::instance().load();
    keepTilesLocal();
    AppSettings::instance().csv_filename = dir.file("list.csv");
    prompts.prompts().buttonAnswers << QMessageBox::No;
    {
        MivaroMap w;
        w.show();
        w.places.front()->name = QStringLiteral("B");
        w.modified = true;
        QVERIFY(w.close()); // no Cancel: the window always closes
        QCOMPARE(prompts.prompts().kinds(), QStringList{"question"});
        QCOMPARE(prompts.prompts().calls[0].title, QStringLiteral("データ保存"));
        QCOMPARE(prompts.prompts().calls[0].text,
                 QStringLiteral("データが編集されています。CSVに保存しますか？\n"));
    }
    QCOMPARE(readAll(dir.file("list.csv")), original);
    QVERIFY(QFile::exists(dir.file("mivaromap.ini")));
}

void TestShell::closeModifiedAnsweredYesSavesList()
{
    ProgramDirScope dir;
    PromptScope prompts;
    writeAll(dir.file("list.csv"), "A,1,2,0,1,Image,11,10\n");
    AppSettings::instance().load();
    keepTilesLocal();
    AppSettings::instance().csv_filename = dir.file("list.csv");
    prompts.prompts().buttonAnswers << QMessageBox::Yes;
    {
        MivaroMap w;
        w.show();
        w.places.front()->name = QStringLiteral("B");
        w.modified = true;
        QVERIFY(w.close());
        QVERIFY(!w.modified);
    }
    QVERIFY(readAll(dir.file("list.csv")).endsWith("B,1,2,0,1,Image,11,10\n"));
}

void TestShell::closeStaysOpenWhenTheSaveFails()
{
    ProgramDirScope dir;
    PromptScope prompts;
    // A folder where the list should be: nothing can be written there.
    QVERIFY(QDir(dir.path()).mkdir("list.csv"));
    AppSettings::instance().load();
    keepTilesLocal();
    AppSettings::instance().csv_filename = dir.file("list.csv");
    MivaroMap w;
    w.show();
    w.places.push_back(std::make_unique<PlaceRecord>());
    w.places.back()->name = QStringLiteral("A");
    w.modified = true;
    prompts.prompts().buttonAnswers << QMessageBox::Yes << QMessageBox::Ok << QMessageBox::No;
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QVERIFY(w.modified);
    prompts.prompts().calls.erase(
        std::remove_if(prompts.prompts().calls.begin(), prompts.prompts().calls.end(),
                       [](const ScriptedPrompts::Call& c) { return c.kind == "beep"; }),
        prompts.prompts().calls.end());
    QCOMPARE(prompts.prompts().kinds(), (QStringList{"question", "warning"}));
    QCOMPARE(prompts.prompts().calls[1].title, QStringLiteral("保存エラー"));
    // Declining the save closes as before.
    QVERIFY(w.close());
}

void TestShell::relativeListNameLiesBesideTheProgram()
{
    ProgramDirScope dir;
    PromptScope prompts;
    writeAll(dir.file("castlelist.csv"), "A,1,2,0,1,Image,11,10\n");
    AppSettings::instance().load();
    keepTilesLocal();
    QCOMPARE(AppSettings::instance().csv_filename, QStringLiteral("castlelist.csv"));
    QVERIFY(QDir::currentPath() != dir.path());
    {
        MivaroMap w;
        QCOMPARE(int(w.places.size()), 1);
        QCOMPARE(w.currentFile, QStringLiteral("castlelist.csv"));
        w.places.front()->name = QStringLiteral("B");
        QVERIFY(w.savePlaceFile(w.currentFile, true, true));
        QVERIFY(w.autosave(false));
    }
    QVERIFY(readAll(dir.file("castlelist.csv")).endsWith("B,1,2,0,1,Image,11,10\n"));
    QVERIFY(QFile::exists(dir.file("castlelist_autosave.csv")));
    QVERIFY(!QFile::exists(QDir::current().filePath("castlelist_autosave.csv")));
    // The setting keeps the name as the user wrote it.
    QCOMPARE(AppSettings::instance().csv_filename, QStringLiteral("castlelist.csv"));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"

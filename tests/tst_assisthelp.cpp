// Help in the main window and the record dialog: the help buttons, their menus, closing,
// and the shipped help files.

#include "../app/ui_mainwindow.h"
#include "../dialogs/ui_datadialog.h"
#include "app/mivaromap.h"
#include "dialogs/datadialog.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/assisttextedit.h"
#include "widgets/assist/userassist.h"
#include "widgets/assist/userassistwindow.h"

#include <QtTest>

static const QByteArray topic = "[btnLoad]\nwindow=0, -120, 200, 100\ntext=load\n"
                                "[lineEdit]\nwindow=0, 40, 200, 100\ntext=search\n";

// One main window, shown at the form's own size, for the whole run.
class TestAssistHelp : public QObject
{
    Q_OBJECT
    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;

    Ui::MainWindow& ui() { return *window->form(); }
    ScriptedPrompts& asked() { return prompts.prompts(); }
    UserAssist* assist() const { return window->openAssist(); }
    void write(const QString& name, const QByteArray& text) { writeAll(dir.file(name), text); }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        QDir(dir.path()).mkdir("help");
        for (const QFileInfo& file : QDir(SOURCE_DIST_DIR "/help").entryInfoList(QDir::Files))
            QFile::copy(file.filePath(), dir.file("help/" + file.fileName()));
        AppSettings::instance().load();
        keepTilesLocal();
        window = std::make_unique<MivaroMap>();
        window->resize(765, 645);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // Only what the help asks counts: start-up may beep about a missing list.
    void init()
    {
        QMetaObject::invokeMethod(window.get(), "onAssistClose");
        asked().calls.clear();
        asked().menuAnswers.clear();
    }

    void recordDialogHelp()
    {
        DataDialog dialog("大坂城", "135.52590000000000", "34.68730000000000", "1", "1", "Image",
                          "11", "10", nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.form()->btnHelp->click();
        QVERIFY(dialog.openAssist());
        const QList<UserAssistWindow*> windows = dialog.openAssist()->windows();
        QCOMPARE(windows.size(), 10);
        QVERIFY(asked().calls.isEmpty());

        // The button toggles.
        QPointer<UserAssistWindow> w = windows.at(0);
        dialog.form()->btnHelp->click();
        QVERIFY(!dialog.openAssist() && !w);
    }

    // The help button of page 2 with the index's titles ("" for one topic, opened without a
    // menu) and a choice; what was asked and the windows opened. The next press only closes.
    void topics_data()
    {
        textColumns({"titles", "choice", "help", "asked", "windows"});
        textRow("one topic, no menu", {"", "", topic, "", "btnLoad lineEdit"});
        textRow("missing window: an empty set",
                {"", "", "[btnLoad]\nwindow=0,0,10,10\n[lineEdit]\na=b\n", "critical", ""});
        textRow("help file", {"トピック テキスト", "トピック", topic, "menu", "btnLoad lineEdit"});
        textRow("other suffix does nothing", {"トピック テキスト", "テキスト", topic, "menu", "-"});
        textRow("dismissed", {"トピック テキスト", "", topic, "menu", "-"});
    }
    void topics()
    {
        QByteArray index = "[a]\ntitle=トピック\nfile=/help/t.help\n";
        if (!cell("titles").isEmpty())
            index += "[b]\ntitle=テキスト\nfile=/help/t.txt\n";
        write("help/maintab2.ini", index);
        write("help/t.help", cell("help").toUtf8());
        write("help/t.txt", topic);
        asked().menuAnswers << cell("choice");
        ui().tabWidget->setCurrentIndex(1);
        ui().btnHelp2->click();
        QCOMPARE(asked().kinds().join(' '), cell("asked"));
        for (const ScriptedPrompts::Call& call : asked().calls)
            QVERIFY(call.kind == "menu" ? call.text == "トピック\nテキスト"
                                        : call.title + ' ' + call.text ==
                                                  "UserAssistWindow window設定が見つかりません" &&
                                              !call.parent);
        QStringList names;
        for (UserAssistWindow* w : assist() ? assist()->windows() : QList<UserAssistWindow*>())
            names << w->groupName();
        QCOMPARE(assist() ? names.join(' ') : "-", cell("windows"));
        if (!assist())
            return;
        QPointer<UserAssistWindow> w = assist()->windows().value(0);
        asked().calls.clear();
        ui().btnHelp2->click();
        QVERIFY(!assist() && !w && asked().calls.isEmpty());
    }

    // Last: it ends with the window.
    void helpClosesWithTheTabAndTheWindow()
    {
        write("help/maintab1.ini", "[a]\ntitle=t\nfile=/help/t.help\n");
        write("help/t.help", topic);
        ui().tabWidget->setCurrentIndex(0);
        const auto open = [this] {
            ui().btnHelp1->click();
            return QPointer<UserAssistWindow>(assist()->windows().at(0));
        };
        QPointer<UserAssistWindow> w = open();
        QTRY_VERIFY(w->isVisible());
        ui().tabWidget->setCurrentIndex(2);
        QVERIFY(!assist() && !w);

        ui().tabWidget->setCurrentIndex(0);
        w = open();
        QTRY_VERIFY(w->isVisible());
        window->resize(window->size() + QSize(10, 0));
        QTRY_VERIFY(!assist());
        QVERIFY(!w);

        w = open();
        window.reset();
        QVERIFY(!w);
    }
};

QTEST_MAIN(TestAssistHelp)
#include "tst_assisthelp.moc"

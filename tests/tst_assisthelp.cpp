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

// Each window of a topic stands beside its widget: not on it, not on another window of the
// topic, not on a small widget the topic explains, its text not cut off.
static void checkPlacement(QWidget& owner, const QList<UserAssistWindow*>& windows)
{
    for (UserAssistWindow* w : windows) {
        const QByteArray name = w->groupName().toUtf8();
        QTRY_VERIFY(w->isVisible());
        auto* target = owner.findChild<QWidget*>(w->groupName());
        QVERIFY2(target && target->isVisible(), name);
        const QRect rect(w->pos(), w->size());
        QVERIFY2(!rect.intersects(w->targetRect()), name);
        for (UserAssistWindow* other : windows) {
            const QRect otherTarget = other->targetRect();
            if (other != w)
                QVERIFY2(!rect.intersects(QRect(other->pos(), other->size())) &&
                             (otherTarget.width() * otherTarget.height() >= 20000 ||
                              !rect.intersects(otherTarget)),
                         name + " on " + other->groupName().toUtf8());
        }
        auto* text = w->findChild<AssistTextEdit*>();
        QVERIFY2(text->document()->size().height() <= text->viewport()->height(), name);
    }
}

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

    // Every topic shipped with the program opens without error at the form's default size.
    void shippedHelp_data()
    {
        textColumns({"page", "title"});
        for (int page = 0; page < 3; ++page) {
            const QList<assist::HelpEntry> entries = assist::readHelpIndex(
                QStringLiteral(SOURCE_DIST_DIR "/help/maintab%1.ini").arg(page + 1));
            QVERIFY(entries.size() >= 2);
            for (const assist::HelpEntry& entry : entries)
                textRow(qPrintable(entry.file), {QString::number(page), entry.title});
        }
    }
    void shippedHelp()
    {
        const int page = cell("page").toInt();
        ui().tabWidget->setCurrentIndex(page);
        asked().menuAnswers << cell("title");
        QAbstractButton* help[] = {ui().btnHelp1, ui().btnHelp2, ui().btnHelp3};
        help[page]->click();
        QCOMPARE(asked().kinds(), QStringList{"menu"});
        QVERIFY(assist() && assist()->windows().size() >= 2);
        checkPlacement(*window, assist()->windows());
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
        checkPlacement(dialog, windows);
        QVERIFY(asked().calls.isEmpty());

        // The button toggles; the dialog's end closes what is open.
        QPointer<UserAssistWindow> w = windows.at(0);
        dialog.form()->btnHelp->click();
        QVERIFY(!dialog.openAssist() && !w);
        dialog.form()->btnHelp->click();
        w = dialog.openAssist()->windows().at(0);
        auto* later = new DataDialog("", "", "", "", "", "", "", "", nullptr);
        later->form()->btnHelp->click();
        QPointer<UserAssistWindow> other = later->openAssist()->windows().at(0);
        delete later;
        QVERIFY(!other && w);
    }

    void oneTopicOpensWithoutMenu()
    {
        write("help/maintab2.ini", "[only]\ntitle=ひとつ\nfile=/help/t.help\n");
        write("help/t.help", topic);
        ui().tabWidget->setCurrentIndex(1);
        ui().btnHelp2->click();
        QVERIFY(assist());
        QCOMPARE(assist()->windows().at(0)->groupName(), "btnLoad");
        QCOMPARE(assist()->windows().at(1)->groupName(), "lineEdit");
        QVERIFY(asked().calls.isEmpty());
        // The next press only closes.
        QPointer<UserAssistWindow> w = assist()->windows().at(0);
        ui().btnHelp2->click();
        QVERIFY(!assist() && !w);
    }

    void menuEntries_data()
    {
        textColumns({"choice", "opens"});
        textRow("help file", {"トピック", "yes"});
        textRow("other suffix does nothing", {"テキスト", ""});
        textRow("outside the help folder does nothing", {"外", ""});
        textRow("dismissed", {"", ""});
    }
    void menuEntries()
    {
        write("help/maintab1.ini", "[a]\ntitle=トピック\nfile=/help/t.help\n"
                                   "[b]\ntitle=テキスト\nfile=/help/t.txt\n"
                                   "[c]\ntitle=外\nfile=/help/../t.help\n");
        write("help/t.help", topic);
        write("help/t.txt", topic);
        write("t.help", topic);
        asked().menuAnswers << cell("choice");
        ui().tabWidget->setCurrentIndex(0);
        ui().btnHelp1->click();
        QCOMPARE(asked().kinds(), QStringList{"menu"});
        QCOMPARE(asked().calls.at(0).text, "トピック\nテキスト\n外");
        QCOMPARE(assist() != nullptr, cell("opens") == "yes");
    }

    void missingWindowLeavesAnEmptySet()
    {
        write("help/maintab1.ini", "[a]\ntitle=t\nfile=/help/t.help\n");
        write("help/t.help", "[btnLoad]\nwindow=0,0,10,10\n[lineEdit]\na=b\n");
        ui().tabWidget->setCurrentIndex(0);
        ui().btnHelp1->click();
        QCOMPARE(asked().kinds(), QStringList{"critical"});
        const ScriptedPrompts::Call& call = asked().calls.at(0);
        QCOMPARE(call.title, "UserAssistWindow");
        QCOMPARE(call.text, "window設定が見つかりません");
        QVERIFY(!call.parent);
        QVERIFY(assist() && assist()->windows().isEmpty());
        ui().btnHelp1->click();
        QVERIFY(!assist());
        QCOMPARE(asked().kinds(), QStringList{"critical"});
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

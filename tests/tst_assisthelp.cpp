// Help in the main window: the three help buttons, their menus, closing, and the shipped help
// files.

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

#include <QDir>
#include <QDirIterator>
#include <QtTest>

namespace {

const QByteArray topic = "[btnLoad]\nwindow=0, -120, 200, 100\ntext=load\n"
                         "[lineEdit]\nwindow=0, 40, 200, 100\ntext=search\n";

struct Session
{
    Session()
    {
        QDir(dir.path()).mkdir("help");
        AppSettings::instance().load();
        keepTilesLocal();
    }
    // Only what the help asks counts: start-up may beep about a missing list.
    void start()
    {
        window = std::make_unique<MivaroMap>();
        prompts.prompts().calls.clear();
    }
    void write(const QString& name, const QByteArray& text) { writeAll(dir.file(name), text); }
    UserAssist* assist() const { return window->openAssist(); }
    void copyShippedHelp()
    {
        QDirIterator files(SOURCE_DIST_DIR "/help");
        while (files.hasNext()) {
            const QString from = files.next();
            if (files.fileInfo().isFile())
                QFile::copy(from, dir.file("help/" + files.fileName()));
        }
    }
    QStringList asked() { return prompts.prompts().kinds(); }

    ProgramDirScope dir;
    PromptScope prompts;
    std::unique_ptr<MivaroMap> window;
};

QStringList targetsOf(const UserAssist* set)
{
    QStringList out;
    for (const UserAssistWindow* w : set->windows())
        out << w->groupName();
    return out;
}

// Each window of a topic stands beside its widget: not on it, not on another
// window of the topic, not on a small widget the topic explains, its text
// not cut off.
void checkPlacement(QWidget& owner, const QList<UserAssistWindow*>& windows)
{
    for (UserAssistWindow* w : windows) {
        QTRY_VERIFY(w->isVisible());
        auto* target = owner.findChild<QWidget*>(w->groupName());
        QVERIFY2(target && target->isVisible(), qPrintable(w->groupName()));
        const QRect rect(w->pos(), w->size());
        QVERIFY2(!rect.intersects(w->targetRect()), qPrintable(w->groupName()));
        for (UserAssistWindow* other : windows) {
            const QRect otherTarget = other->targetRect();
            if (other == w)
                continue;
            QVERIFY2(!rect.intersects(QRect(other->pos(), other->size())),
                     qPrintable(w->groupName() + " on " + other->groupName()));
            if (otherTarget.width() * otherTarget.height() < 20000)
                QVERIFY2(!rect.intersects(otherTarget),
                         qPrintable(w->groupName() + " on " + other->groupName()));
        }
        auto* text = w->findChild<AssistTextEdit*>();
        QVERIFY2(text->document()->size().height() <= text->viewport()->height(),
                 qPrintable(QStringLiteral("%1: text %2 high in %3")
                                .arg(w->groupName())
                                .arg(text->document()->size().height())
                                .arg(text->viewport()->height())));
    }
}

} // namespace

class TestAssistHelp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }

    void oneTopicOpensWithoutMenu()
    {
        Session s;
        s.write("help/maintab2.ini", "[only]\ntitle=ひとつ\nfile=/help/t.help\n");
        s.write("help/t.help", topic);
        s.start();
        s.window->form()->tabWidget->setCurrentIndex(1);
        s.window->form()->btnHelp2->click();
        QVERIFY(s.assist());
        QCOMPARE(targetsOf(s.assist()), QStringList({"btnLoad", "lineEdit"}));
        QVERIFY(!s.asked().contains("menu"));
        // The next press only closes.
        QPointer<UserAssistWindow> w = s.assist()->windows().at(0);
        s.window->form()->btnHelp2->click();
        QVERIFY(!s.assist());
        QVERIFY(!w);
    }

    void menuEntries_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("opens");
        QTest::newRow("help file") << "トピック" << true;
        QTest::newRow("other suffix does nothing") << "テキスト" << false;
        QTest::newRow("outside the help folder does nothing") << "外" << false;
        QTest::newRow("dismissed") << "" << false;
    }

    void menuEntries()
    {
        QFETCH(QString, choice);
        QFETCH(bool, opens);
        Session s;
        s.write("help/maintab1.ini", "[a]\ntitle=トピック\nfile=/help/t.help\n"
                                     "[b]\ntitle=テキスト\nfile=/help/t.txt\n"
                                     "[c]\ntitle=外\nfile=/help/../t.help\n");
        s.write("help/t.help", topic);
        s.write("help/t.txt", topic);
        s.write("t.help", topic);
        s.start();
        s.prompts.prompts().menuAnswers << choice;
        s.window->form()->btnHelp1->click();
        QCOMPARE(s.asked(), QStringList{"menu"});
        QCOMPARE(s.prompts.prompts().calls.at(0).text, QStringLiteral("トピック\nテキスト\n外"));
        QCOMPARE(s.assist() != nullptr, opens);
    }

    void missingWindowLeavesAnEmptySet_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no window") << QByteArray("[btnLoad]\nwindow=0,0,10,10\n[lineEdit]\na=b\n");
        QTest::newRow("three numbers") << QByteArray("[lineEdit]\nwindow=0,40,200\n");
    }

    void missingWindowLeavesAnEmptySet()
    {
        QFETCH(QByteArray, text);
        Session s;
        s.write("help/maintab1.ini", "[a]\ntitle=t\nfile=/help/t.help\n");
        s.write("help/t.help", text);
        s.start();
        s.window->form()->btnHelp1->click();
        QCOMPARE(s.asked(), QStringList{"critical"});
        const ScriptedPrompts::Call& call = s.prompts.prompts().calls.at(0);
        QCOMPARE(call.title, QStringLiteral("UserAssistWindow"));
        QCOMPARE(call.text, QStringLiteral("window設定が見つかりません"));
        QVERIFY(!call.parent);
        QVERIFY(s.assist());
        QVERIFY(s.assist()->windows().isEmpty());
        s.window->form()->btnHelp1->click();
        QVERIFY(!s.assist());
        QCOMPARE(s.asked(), QStringList{"critical"});
    }

    void helpClosesWithTheTabAndTheWindow()
    {
        Session s;
        s.write("help/maintab1.ini", "[a]\ntitle=t\nfile=/help/t.help\n");
        s.write("help/t.help", topic);
        s.start();
        s.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
        s.window->form()->btnHelp1->click();
        QPointer<UserAssistWindow> w = s.assist()->windows().at(0);
        QTRY_VERIFY(w->isVisible());
        s.window->form()->tabWidget->setCurrentIndex(2);
        QVERIFY(!s.assist());
        QVERIFY(!w);

        s.window->form()->tabWidget->setCurrentIndex(0);
        s.window->form()->btnHelp1->click();
        w = s.assist()->windows().at(0);
        QTRY_VERIFY(w->isVisible());
        s.window->resize(s.window->size() + QSize(10, 0));
        QTRY_VERIFY(!s.assist());
        QVERIFY(!w);

        s.window->form()->btnHelp1->click();
        w = s.assist()->windows().at(0);
        s.window.reset();
        QVERIFY(!w);
    }

    // Every topic shipped with the program opens without error at the form's
    // default size, each window beside its widget.
    void shippedHelp_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        for (int page = 0; page < 3; ++page) {
            const QList<assist::HelpEntry> entries = assist::readHelpIndex(
                QStringLiteral(SOURCE_DIST_DIR "/help/maintab%1.ini").arg(page + 1));
            QVERIFY(entries.size() >= 2);
            for (const assist::HelpEntry& entry : entries)
                QTest::addRow("%d %s", page + 1, qPrintable(entry.file)) << page << entry.title;
        }
    }

    void shippedHelp()
    {
        QFETCH(int, page);
        QFETCH(QString, title);
        Session s;
        s.copyShippedHelp();
        s.start();
        // The help windows are placed for the form's own size.
        s.window->resize(765, 645);
        s.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
        s.window->form()->tabWidget->setCurrentIndex(page);
        s.prompts.prompts().menuAnswers << title;
        QAbstractButton* help[] = {s.window->form()->btnHelp1, s.window->form()->btnHelp2,
                                   s.window->form()->btnHelp3};
        help[page]->click();
        QCOMPARE(s.asked(), QStringList{"menu"});
        QVERIFY(s.assist());
        const QList<UserAssistWindow*> windows = s.assist()->windows();
        QVERIFY(windows.size() >= 2);

        checkPlacement(*s.window, windows);
    }

    void recordDialogHelp()
    {
        Session s;
        s.copyShippedHelp();
        DataDialog dialog("大坂城", "135.52590000000000", "34.68730000000000", "1", "1", "Image",
                          "11", "10", nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.form()->btnHelp->click();
        QVERIFY(dialog.openAssist());
        const QList<UserAssistWindow*> windows = dialog.openAssist()->windows();
        QCOMPARE(windows.size(), 10);
        checkPlacement(dialog, windows);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(s.asked().isEmpty());

        // The button toggles; the dialog's end closes what is open.
        QPointer<UserAssistWindow> w = windows.at(0);
        dialog.form()->btnHelp->click();
        QVERIFY(!dialog.openAssist());
        QVERIFY(!w);
        dialog.form()->btnHelp->click();
        w = dialog.openAssist()->windows().at(0);
        auto* later = new DataDialog("", "", "", "", "", "", "", "", nullptr);
        later->form()->btnHelp->click();
        QPointer<UserAssistWindow> other = later->openAssist()->windows().at(0);
        delete later;
        QVERIFY(!other);
        QVERIFY(w);
    }
};

QTEST_MAIN(TestAssistHelp)
#include "tst_assisthelp.moc"

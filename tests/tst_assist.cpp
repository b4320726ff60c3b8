// Help popups on their own: the leader line, the assist file reader, the write-back.

#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "testsupport.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/assisttextedit.h"
#include "widgets/assist/leaderline.h"
#include "widgets/assist/userassist.h"
#include "widgets/assist/userassistwindow.h"

#include <QDir>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// An owner window with one named button, as the main window or the record dialog.
struct Owner
{
    explicit Owner(QWidget* window) : window(window)
    {
        button = new QPushButton(window);
        button->setObjectName("target");
        button->setGeometry(50, 60, 80, 30);
        window->resize(400, 300);
        window->move(200, 150);
        window->show();
    }
    QRect target() const { return QRect(button->mapToGlobal(QPoint(0, 0)), button->size()); }

    QWidget* window;
    QPushButton* button;
};

UserAssistWindow* windowFor(const UserAssist& set, const QString& name)
{
    for (UserAssistWindow* w : set.windows())
        if (w->groupName() == name)
            return w;
    return nullptr;
}

void click(QWidget* text, const QPoint& from, const QPoint& to)
{
    QWidget* view = static_cast<AssistTextEdit*>(text)->viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     {});
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

const QByteArray sample = "; placed by hand\r\n"
                          "[other]\r\n"
                          "window=5, 5, 50, 40\r\n"
                          "\r\n"
                          "[target]\r\n"
                          "b=two\r\n"
                          "window = 100,0,120,60\r\n"
                          "a=one\r\n"
                          "backColor=#102030\r\n";

// The sample help file in the program's help folder, beside a shown owner window.
struct Scene
{
    explicit Scene(const QString& file = "help/t.help") : path(dir.file(file)), owner(&window)
    {
        QDir(dir.path()).mkdir("help");
        writeAll(path, sample);
    }
    ProgramDirScope dir;
    const QString path;
    QWidget window;
    Owner owner;
};

} // namespace

class TestAssist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { AppSettings::instance().load(); }

    void leaderLine_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("target");
        QTest::addColumn<QRect>("box"); // null: no line
        QTest::addColumn<bool>("falling");

        const QRect win(100, 100, 50, 50);
        QTest::newRow("overlap") << win << QRect(120, 120, 10, 10) << QRect() << false;
        QTest::newRow("touching left") << win << QRect(40, 100, 60, 20) << QRect() << false;
        QTest::newRow("touching top") << win << QRect(100, 80, 50, 20) << QRect() << false;
        QTest::newRow("one pixel left of touching")
            << win << QRect(40, 100, 59, 20) << QRect(99, 110, 1, 15) << true;
        QTest::newRow("one pixel above touching")
            << win << QRect(100, 79, 50, 20) << QRect(135, 99, 2, 1) << false;
        QTest::newRow("touching right still joined")
            << win << QRect(150, 100, 20, 20) << QRect(145, 100, 7, 50) << false;
        QTest::newRow("below right part, nearly vertical")
            << QRect(100, 100, 200, 60) << QRect(250, 300, 40, 20) << QRect(258, 160, 2, 140)
            << false;
        QTest::newRow("right at another height")
            << QRect(100, 100, 100, 50) << QRect(300, 200, 40, 20) << QRect(200, 125, 100, 85)
            << true;
        QTest::newRow("horizontal in a 2-pixel box")
            << QRect(100, 100, 100, 50) << QRect(300, 115, 40, 20) << QRect(200, 125, 100, 2)
            << true;
        QTest::newRow("vertical in a 2-pixel box")
            << QRect(100, 100, 100, 50) << QRect(186, 300, 40, 20) << QRect(190, 150, 2, 150)
            << true;
        QTest::newRow("narrow window, earlier pair wins a tie")
            << QRect(100, 100, 8, 50) << QRect(90, 300, 40, 20) << QRect(106, 150, 2, 150) << false;
        QTest::newRow("best pair further along")
            << QRect(100, 100, 100, 50) << QRect(120, 300, 100, 20) << QRect(170, 150, 2, 150)
            << true;
        QTest::newRow("left and above") << QRect(300, 300, 100, 50) << QRect(100, 100, 40, 20)
                                        << QRect(140, 110, 160, 215) << true;
        QTest::newRow("above, window on the right")
            << QRect(100, 300, 100, 50) << QRect(90, 100, 40, 20) << QRect(120, 120, 2, 180)
            << false;
        QTest::newRow("above, window on the left")
            << QRect(100, 300, 100, 50) << QRect(150, 100, 100, 20) << QRect(180, 120, 2, 180)
            << false;
        QTest::newRow("no widget: the screen corner")
            << win << QRect(0, 0, 0, 0) << QRect(0, 0, 100, 125) << true;
    }

    void leaderLine()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, target);
        QFETCH(QRect, box);
        QFETCH(bool, falling);
        const assist::LeaderLine line = assist::layoutLeaderLine(window, target);
        QCOMPARE(line.needed, !box.isNull());
        if (!line.needed)
            return;
        QCOMPARE(line.box, box);
        const QLine corners = falling ? QLine(0, 0, box.width(), box.height())
                                      : QLine(0, box.height(), box.width(), 0);
        QCOMPARE(line.line, corners);
    }

    void readFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("missing");

        QTest::newRow("groups by name") << QByteArray("[b]\nwindow=1,2,3,4\n[a]\nwindow=1,2,3,4\n")
                                        << QStringList{"a", "b"} << false;
        QTest::newRow("stops at a group without window")
            << QByteArray("[a]\nwindow=1,2,3,4\n[b]\nx=1\n[c]\nwindow=1,2,3,4\n")
            << QStringList{"a"} << true;
        QTest::newRow("three numbers are not enough")
            << QByteArray("[a]\nwindow=1,2,3\n") << QStringList{} << true;
        QTest::newRow("a single number is not a list")
            << QByteArray("[a]\nwindow=1\n") << QStringList{} << true;
        QTest::newRow("missing file") << QByteArray() << QStringList{} << false;
    }

    void readFile()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.help");
        if (!text.isNull())
            writeAll(path, text);
        const assist::AssistFile file = assist::readAssistFile(" " + path + "\n");
        QStringList names;
        for (const AssistWindowSpec& spec : file.specs)
            names << spec.name;
        QTEST(names, "names");
        QTEST(file.missingWindow, "missing");
    }

    void specPieces()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("t.help"), sample + "textColor=nonsense\ncomma=\"x, y\"\n"
                                                  "plain=<b>a,b</b> c ,d\\n\"e, f\"\n");
        const assist::AssistFile file = assist::readAssistFile(dir.filePath("t.help"));
        QCOMPARE(file.specs.size(), 2);
        const AssistWindowSpec& spec = file.specs.at(1);
        QCOMPARE(spec.window, QStringList({"100", "0", "120", "60"}));
        // Keys in name order, colours taken out of the text.
        QCOMPARE(spec.texts, QStringList({"one", "two", "x, y", "<b>a,b</b> c ,d\ne, f"}));
        writeAll(dir.filePath("index.ini"), "[t1]\ntitle=検索, 絞込\nfile=/help/a.help\n");
        QCOMPARE(assist::readHelpIndex(dir.filePath("index.ini")).at(0).title,
                 QStringLiteral("検索, 絞込"));
        QCOMPARE(spec.backColor, QColor("#102030"));
        QCOMPARE(spec.borderColor, AppSettings::instance().assistWinBorderColor);
        QVERIFY(!spec.textColor.isValid());
        QCOMPARE(file.specs.at(0).backColor, AppSettings::instance().assistWinBackColor);
    }

    void iniValue_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("only the group's key changes")
            << QByteArray("[a]\nwindow=1, 2, 3, 4\n[b]\nx=1\nwindow=1,2,3,4\ny=2\n")
            << QByteArray("[a]\nwindow=1, 2, 3, 4\n[b]\nx=1\nwindow=9, 8, 7, 6\ny=2\n");
        QTest::newRow("crlf and a byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[b]\r\nwindow = 0,0,1,1\r\n")
            << QByteArray("\xEF\xBB\xBF[b]\r\nwindow =9, 8, 7, 6\r\n");
        QTest::newRow("the last of a repeated key")
            << QByteArray("[b]\nwindow=1\n[b]\nwindow=2\n")
            << QByteArray("[b]\nwindow=1\n[b]\nwindow=9, 8, 7, 6\n");
        QTest::newRow("similar names untouched")
            << QByteArray("[bb]\nwindow=1\n[b]\nwindows=2\n; window=3\n")
            << QByteArray("[bb]\nwindow=1\n[b]\nwindow=9, 8, 7, 6\nwindows=2\n; window=3\n");
        QTest::newRow("missing group appended")
            << QByteArray("[a]\nx=1") << QByteArray("[a]\nx=1\n[b]\nwindow=9, 8, 7, 6\n");
    }

    void iniValue()
    {
        QFETCH(QByteArray, before);
        QTEST(assist::withIniValue(before, "b", "window", "9, 8, 7, 6"), "after");
    }

    void helpFolderOnly_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("inside");
        QTest::newRow("help file") << "/help/a.help" << true;
        QTest::newRow("sub folder") << "/help/sub/../b.help" << true;
        QTest::newRow("up and out") << "/help/../../x/a.help" << false;
        QTest::newRow("beside the program") << "/mivaromap.ini" << false;
        QTest::newRow("folder with a longer name") << "/helpx/a.help" << false;
        QTest::newRow("no leading slash") << "help/a.help" << false;
        QTest::newRow("the folder itself") << "/help" << false;
    }

    void helpFolderOnly()
    {
        ProgramDirScope dir;
        QFETCH(QString, entry);
        QFETCH(bool, inside);
        const QString path = assist::helpFilePath(entry);
        QCOMPARE(!path.isEmpty(), inside);
        if (inside)
            QVERIFY(path.startsWith(dir.path() + "/help/"));
    }

    void windowBesideItsWidget()
    {
        Scene scene;
        QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
        const Owner& owner = scene.owner;
        UserAssist set(scene.path, &scene.window);
        QCOMPARE(set.windows().size(), 2);
        UserAssistWindow* w = windowFor(set, "target");
        QVERIFY(w);
        QCOMPARE(w->targetRect(), owner.target());
        auto* text = w->findChild<AssistTextEdit*>();
        // Pieces run together in key order, one paragraph.
        QCOMPARE(text->toPlainText(), QStringLiteral("onetwo"));
        QVERIFY(text->toHtml().contains("line-height:130%"));
        QVERIFY(text->isReadOnly());
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(w->pos(), owner.target().topLeft() + QPoint(100, 0));
        QCOMPARE(w->size(), QSize(120, 60));
        // To the right at the same top: a line from the middle of the right edges.
        QVERIFY(w->leaderWindow());
        QCOMPARE(QRect(w->leaderWindow()->pos(), w->leaderWindow()->size()),
                 assist::layoutLeaderLine(QRect(w->pos(), w->size()), owner.target()).box);
        // A group naming no widget is placed on the screen and gets no line.
        UserAssistWindow* loose = windowFor(set, "other");
        QTRY_COMPARE(loose->pos(), QPoint(5, 5));
        QVERIFY(!loose->leaderWindow());
    }

    void clickAndDragWriteBack()
    {
        Scene scene;
        QWidget& window = scene.window;
        const QString& path = scene.path;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        UserAssist set(path, &window);
        UserAssistWindow* w = windowFor(set, "target");
        QTRY_VERIFY(w->isVisible());
        auto* text = w->findChild<AssistTextEdit*>();

        // A click without moving writes the same numbers; nothing else changes.
        click(text, QPoint(10, 10), QPoint(10, 10));
        QByteArray expected = sample;
        expected.replace("window = 100,0,120,60", "window =100, 0, 120, 60");
        QCOMPARE(readAll(path), expected);

        const QPoint before = w->pos();
        click(text, QPoint(10, 10), QPoint(30, 25));
        QCOMPARE(w->pos(), before + QPoint(20, 15));
        expected.replace("window =100, 0, 120, 60", "window =120, 15, 120, 60");
        QCOMPARE(readAll(path), expected);
        QCOMPARE(assist::readAssistFile(path).specs.at(1).window,
                 QStringList({"120", "15", "120", "60"}));

        // The owner carries its windows and lines; offsets stay relative to the widget.
        const QRect line = w->leaderWindow()->geometry();
        window.move(window.pos() + QPoint(30, 40));
        QTRY_COMPARE(w->pos(), before + QPoint(50, 55));
        QCOMPARE(w->leaderWindow()->geometry(), line.translated(30, 40));
        QCOMPARE(w->targetRect(), scene.owner.target());
        click(text, QPoint(5, 5), QPoint(5, 5));
        QCOMPARE(readAll(path), expected);
    }

    void ownerResizeClosesTheSet()
    {
        Scene scene;
        QWidget& window = scene.window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        UserAssist* set = new UserAssist(scene.path, &window);
        QPointer<UserAssistWindow> first = set->windows().at(0);
        QPointer<UserAssistWindow> second = set->windows().at(1);
        QObject::connect(set, &UserAssist::UserAssistClose,
                         [&set] { UserAssist::closeSet(set, nullptr, nullptr); });
        QTRY_VERIFY(first->isVisible() && second->isVisible());
        window.resize(500, 300);
        QTRY_VERIFY(!set);
        QVERIFY(!first && !second);
    }

    void failedWriteBackSaidOnce_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("disk full") << "help/t.help";
        QTest::newRow("outside the help folder") << "t.help";
    }

    void failedWriteBackSaidOnce()
    {
        QFETCH(QString, file);
        ProgramDirScope dir;
        QDir(dir.path()).mkdir("help");
        const QString path = dir.file(file);
        writeAll(path, sample);
        QMainWindow window;
        auto* central = new QWidget(&window);
        window.setCentralWidget(central);
        Owner owner(central);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        UserAssist set(path, &window);
        UserAssistWindow* w = windowFor(set, "target");
        QTRY_VERIFY(w->isVisible());
        QSignalSpy said(window.statusBar(), &QStatusBar::messageChanged);

        {
            const FileSizeLimit full(16);
            click(w->findChild<AssistTextEdit*>(), QPoint(10, 10), QPoint(30, 25));
        }

        QCOMPARE(said.size(), 1);
        QVERIFY(
            window.statusBar()->currentMessage().startsWith(path + " に保存できませんでした。"));
        QCOMPARE(readAll(path), sample);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{"t.help"});
    }
};

QTEST_MAIN(TestAssist)
#include "tst_assist.moc"

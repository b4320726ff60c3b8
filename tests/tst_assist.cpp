// Help popups on their own: the leader line, the assist file reader, the write-back.

#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/assist/assistfile.h"
#include "widgets/assist/assisttextedit.h"
#include "widgets/assist/leaderline.h"
#include "widgets/assist/userassist.h"
#include "widgets/assist/userassistwindow.h"

#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

QRect rect(const QString& xywh) // "x y w h"; "" is the null rectangle
{
    const QStringList n = xywh.split(' ', Qt::SkipEmptyParts);
    return n.isEmpty() ? QRect() : QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
}

UserAssistWindow* windowFor(const UserAssist& set, const QString& name)
{
    for (UserAssistWindow* w : set.windows())
        if (w->groupName() == name)
            return w;
    return nullptr;
}

// Press, move with the button held, release: a drag of the help window by its text.
void drag(UserAssistWindow* w, const QPoint& from, const QPoint& to)
{
    QWidget* view = w->findChild<AssistTextEdit*>()->viewport();
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

// The sample help file beside a shown window with one button named as its group.
struct Scene
{
    explicit Scene(const QString& file = "help/t.help") : path(dir.file(file))
    {
        QDir(dir.path()).mkdir("help");
        writeAll(path, sample);
        window.setCentralWidget(new QWidget);
        button = new QPushButton(window.centralWidget());
        button->setObjectName("target");
        button->setGeometry(50, 60, 80, 30);
        window.setGeometry(200, 150, 400, 300);
        window.show();
    }
    QRect target() const { return QRect(button->mapToGlobal(QPoint(0, 0)), button->size()); }

    ProgramDirScope dir;
    const QString path;
    QMainWindow window;
    QPushButton* button;
};

} // namespace

class TestAssist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { AppSettings::instance().load(); }

    // Rectangles as "x y w h"; no box: no line needed; "\\" a falling line, "/" a rising one.
    void leaderLine_data()
    {
        textColumns({"window", "target", "box", "line"});
        const char* win = "100 100 50 50";
        textRow("overlap", {win, "120 120 10 10", "", ""});
        textRow("touching left", {win, "40 100 60 20", "", ""});
        textRow("touching top", {win, "100 80 50 20", "", ""});
        textRow("one pixel left of touching", {win, "40 100 59 20", "99 110 1 15", "\\"});
        textRow("one pixel above touching", {win, "100 79 50 20", "135 99 2 1", "/"});
        textRow("touching right still joined", {win, "150 100 20 20", "145 100 7 50", "/"});
        textRow("horizontal, 2-pixel box",
                {"100 100 100 50", "300 115 40 20", "200 125 100 2", "\\"});
        textRow("vertical, 2-pixel box",
                {"100 100 100 50", "186 300 40 20", "190 150 2 150", "\\"});
        textRow("earlier pair wins a tie", {"100 100 8 50", "90 300 40 20", "106 150 2 150", "/"});
        textRow("above, window right", {"100 300 100 50", "90 100 40 20", "120 120 2 180", "/"});
        textRow("no widget: the screen corner", {win, "0 0 0 0", "0 0 100 125", "\\"});
    }
    void leaderLine()
    {
        const QRect box = rect(cell("box"));
        const assist::LeaderLine line =
            assist::layoutLeaderLine(rect(cell("window")), rect(cell("target")));
        QCOMPARE(line.needed, !box.isNull());
        if (line.needed)
            QVERIFY(line.box == box &&
                    line.line == (cell("line") == "\\" ? QLine(0, 0, box.width(), box.height())
                                                       : QLine(0, box.height(), box.width(), 0)));
    }

    // Group names read; "!" when reading stopped at a group without a usable window.
    void readFile_data()
    {
        textColumns({"text", "names"});
        textRow("groups by name", {"[b]\nwindow=1,2,3,4\n[a]\nwindow=1,2,3,4\n", "a b"});
        textRow("stops at a group without window",
                {"[a]\nwindow=1,2,3,4\n[b]\nx=1\n[c]\nwindow=1,2,3,4\n", "a !"});
        textRow("three numbers are not enough", {"[a]\nwindow=1,2,3\n", "!"});
        textRow("missing file", {"", ""});
    }
    void readFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.help");
        if (!cell("text").isEmpty())
            writeAll(path, cell("text").toUtf8());
        const assist::AssistFile file = assist::readAssistFile(" " + path + "\n");
        QStringList names;
        for (const AssistWindowSpec& spec : file.specs)
            names << spec.name;
        if (file.missingWindow)
            names << "!";
        QCOMPARE(names.join(' '), cell("names"));
    }

    void specPieces()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("t.help"), sample + "textColor=nonsense\ncomma=\"x, y\"\n"
                                                  "plain=<b>a,b</b> c ,d\\n\"e, f\"\n");
        const assist::AssistFile file = assist::readAssistFile(dir.filePath("t.help"));
        const AssistWindowSpec& spec = file.specs.at(1);
        QCOMPARE(spec.window, QStringList({"100", "0", "120", "60"}));
        // Keys in name order, colours taken out of the text.
        QCOMPARE(spec.texts, QStringList({"one", "two", "x, y", "<b>a,b</b> c ,d\ne, f"}));
        QVERIFY(spec.backColor == QColor("#102030") && !spec.textColor.isValid());
        QCOMPARE(spec.borderColor, AppSettings::instance().assistWinBorderColor);
        QCOMPARE(file.specs.at(0).backColor, AppSettings::instance().assistWinBackColor);
        writeAll(dir.filePath("index.ini"), "[t1]\ntitle=検索, 絞込\nfile=/help/a.help\n");
        QCOMPARE(assist::readHelpIndex(dir.filePath("index.ini")).at(0).title, "検索, 絞込");
    }

    // "%" in the text after stands for the value written.
    void iniValue_data()
    {
        textColumns({"before", "after"});
        textRow("only the group's key changes",
                {"[a]\nwindow=1, 2, 3, 4\n[b]\nx=1\nwindow=1,2,3,4\ny=2\n",
                 "[a]\nwindow=1, 2, 3, 4\n[b]\nx=1\nwindow=%\ny=2\n"});
        textRow("crlf and a byte-order mark kept",
                {"\uFEFF[b]\r\nwindow = 0,0,1,1\r\n", "\uFEFF[b]\r\nwindow =%\r\n"});
        textRow("the last of a repeated key",
                {"[b]\nwindow=1\n[b]\nwindow=2\n", "[b]\nwindow=1\n[b]\nwindow=%\n"});
        textRow("similar names untouched",
                {"[bb]\nwindow=1\n[b]\nwindows=2\n; window=3\n",
                 "[bb]\nwindow=1\n[b]\nwindow=%\nwindows=2\n; window=3\n"});
        textRow("missing group appended", {"[a]\nx=1", "[a]\nx=1\n[b]\nwindow=%\n"});
    }
    void iniValue()
    {
        QCOMPARE(assist::withIniValue(cell("before").toUtf8(), "b", "window", "9, 8, 7, 6"),
                 cell("after").replace("%", "9, 8, 7, 6").toUtf8());
    }

    void helpFolderOnly()
    {
        ProgramDirScope dir;
        for (const char* entry : {"/help/a.help", "/help/sub/../b.help"})
            QVERIFY(assist::helpFilePath(entry).startsWith(dir.path() + "/help/"));
        for (const char* entry :
             {"/help/../../x/a.help", "/mivaromap.ini", "/helpx/a.help", "help/a.help", "/help"})
            QVERIFY2(assist::helpFilePath(entry).isEmpty(), entry);
    }

    // Placed beside its widget, dragged by its text with the file written back, carried
    // along by its owner.
    void windowFollowsItsWidget()
    {
        Scene scene;
        QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
        auto* set = new UserAssist(scene.path, &scene.window);
        QCOMPARE(set->windows().size(), 2);
        UserAssistWindow* w = windowFor(*set, "target");
        QCOMPARE(w->targetRect(), scene.target());
        // Pieces run together in key order, one paragraph.
        QCOMPARE(w->findChild<AssistTextEdit*>()->toPlainText(), "onetwo");
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(w->pos(), scene.target().topLeft() + QPoint(100, 0));
        QCOMPARE(w->size(), QSize(120, 60));
        QCOMPARE(w->leaderWindow()->geometry(),
                 assist::layoutLeaderLine(w->geometry(), scene.target()).box);
        // A group naming no widget is placed on the screen and gets no line.
        UserAssistWindow* loose = windowFor(*set, "other");
        QTRY_COMPARE(loose->pos(), QPoint(5, 5));
        QVERIFY(!loose->leaderWindow());

        // Only the group's window line changes.
        const QPoint before = w->pos();
        drag(w, QPoint(10, 10), QPoint(30, 25));
        QCOMPARE(w->pos(), before + QPoint(20, 15));
        QByteArray expected = sample;
        expected.replace("window = 100,0,120,60", "window =120, 15, 120, 60");
        QCOMPARE(readAll(scene.path), expected);

        // Offsets stay relative to the widget.
        const QRect line = w->leaderWindow()->geometry();
        scene.window.move(scene.window.pos() + QPoint(30, 40));
        QTRY_COMPARE(w->pos(), before + QPoint(50, 55));
        QCOMPARE(w->leaderWindow()->geometry(), line.translated(30, 40));
        QCOMPARE(w->targetRect(), scene.target());
        drag(w, QPoint(5, 5), QPoint(5, 5));
        QCOMPARE(readAll(scene.path), expected);
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
        Scene scene(file);
        QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
        UserAssist set(scene.path, &scene.window);
        UserAssistWindow* w = windowFor(set, "target");
        QTRY_VERIFY(w->isVisible());
        QSignalSpy said(scene.window.statusBar(), &QStatusBar::messageChanged);
        {
            const FileSizeLimit full(16);
            drag(w, QPoint(10, 10), QPoint(30, 25));
        }
        QCOMPARE(said.size(), 1);
        QVERIFY(scene.window.statusBar()->currentMessage().startsWith(scene.path +
                                                                      " に保存できませんでした。"));
        QCOMPARE(readAll(scene.path), sample);
        QCOMPARE(QDir(QFileInfo(scene.path).path()).entryList(QDir::Files), QStringList{"t.help"});
    }
};

QTEST_MAIN(TestAssist)
#include "tst_assist.moc"

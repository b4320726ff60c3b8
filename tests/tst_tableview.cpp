#include "records/tablemodel.h"
#include "records/tableview.h"
#include "testsupport.h"

#include <QtTest>

using Rows = QList<int>;

// A data table as the main window runs it (a mark change rebuilds the model), on a test clock;
// what it reports is written to `seen`, the system's own double clicks as "2".
struct Table : QObject
{
    PlaceList places;
    Rows shown; // list indexes shown, in row order
    TableModel model;
    TableView view;
    qint64 ms = 100000;
    QStringList seen;
    explicit Table(int count, const Rows& visible = {}, const Rows& marked = {}) : shown(visible)
    {
        for (int i = 0; i < count; ++i) {
            places.push_back(std::make_unique<PlaceRecord>());
            places.back()->marked = marked.contains(i);
            if (visible.isEmpty())
                shown << i;
        }
        model.setList(&places);
        view.setModel(&model);
        view.setList(&places);
        view.setClock([this] { return ms; });
        rebuild();
        connect(&view, &TableView::selectChanged, [this] { rebuild(); });
        connect(&view, &TableView::selectionCleared, [this] { rebuild(); });
        connect(&view, &TableView::clicked,
                [this](auto i, bool r) { seen << (r ? "R" : "L") + QString::number(i.row()); });
        connect(&view, &TableView::DoubleClicked,
                [this](auto i) { seen << "D" + QString::number(i.row()); });
        view.viewport()->installEventFilter(this);
        view.resize(700, 420);
        view.show();
        ms += 5000; // setClock restarted the timing: the first press is no second one
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick)
            seen << "2";
        return false;
    }
    void rebuild()
    {
        model.clear();
        for (int i : shown)
            model.appendRow(i);
        model.setRowCount(shown.size());
    }
    QPoint cell(int row) const // below the last one for a row past the end
    {
        return row < shown.size() ? view.visualRect(model.index(row, 0)).center()
                                  : QPoint(5, view.viewport()->height() - 3);
    }
    // Events: "click:3", "ctrl+click:4", "press:2", "move:3" (held), "release:3", "right:3",
    // "wait:500", keys "Down", "Up", "Space", "shift+Up"; as the screen sends them
    // "screen:1", "edge:1" (the last pixel of the row) and "over:1" (two pixels below that).
    void run(const QString& actions)
    {
        int waited = 0;
        for (const QString& action : actions.split(' ')) {
            const Qt::KeyboardModifiers mods = action.startsWith("ctrl+")    ? Qt::ControlModifier
                                               : action.startsWith("shift+") ? Qt::ShiftModifier
                                                                             : Qt::NoModifier;
            const QString verb = action.section('+', -1).section(':', 0, 0);
            const int n = action.section(':', 1).toInt();
            QWidget* port = view.viewport();
            const QRect rect = view.visualRect(model.index(n, 0));
            if (verb == "click" || verb == "press")
                QTest::mousePress(port, Qt::LeftButton, mods, cell(n));
            if (verb == "click" || verb == "release")
                QTest::mouseRelease(port, Qt::LeftButton, {}, cell(n));
            if (verb == "move") {
                QMouseEvent event(QEvent::MouseMove, cell(n), port->mapToGlobal(cell(n)),
                                  Qt::NoButton, Qt::LeftButton, {});
                QApplication::sendEvent(port, &event);
            }
            if (verb == "right")
                QTest::mouseClick(port, Qt::RightButton, {}, cell(n));
            if (verb == "wait") {
                ms += n;
                waited += n;
            }
            if (verb == "screen" || verb == "edge" || verb == "over") {
                const int below = verb == "screen" ? -rect.height() / 2 : verb == "over" ? 2 : 0;
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                screenClick(port, QPoint(rect.center().x(), rect.bottom() + below), waited);
                waited = 0;
            }
            if (!action.contains(':')) {
                view.setFocus();
                QTest::keyClick(&view, Qt::Key(QKeySequence(verb)[0]), mods);
                QCoreApplication::processEvents(); // Space moves on by a posted Down key
            }
        }
    }
    QString marked() const // visible rows whose record is marked
    {
        QStringList out;
        for (int row = 0; row < shown.size(); ++row)
            if (places[shown[row]]->marked)
                out << QString::number(row);
        return out.join(' ');
    }
};

class TestTableView : public QObject
{
    Q_OBJECT
private slots:
    void marking_data()
    {
        textColumns({"before", "current", "actions", "after", "currentAfter"});
        textRow("plain on unmarked", {"1 5", "-1", "click:3", "3", "3"});
        textRow("plain on marked", {"1 5", "0", "click:1", "5", "1"});
        textRow("ctrl on marked", {"1 5", "2", "ctrl+click:1", "5", "2"});
        textRow("ctrl on unmarked", {"1", "2", "ctrl+click:4", "1 4", "2"});
        textRow("shift", {"4 9", "2", "shift+click:5", "2 3 4 5 9", "2"});
        textRow("shift up", {"", "6", "shift+click:3", "3 4 5 6", "6"});
        textRow("shift without current", {"1", "-1", "shift+click:5", "1", "-1"});
        textRow("drag", {"", "-1", "press:3 move:4 release:4", "3 4", "3"});
        textRow("no drag after release", {"", "-1", "click:2 move:5", "2", "2"});
        textRow("ctrl", {"", "-1", "ctrl+press:7 move:8 release:8", "7", "-1"});
        textRow("down and up", {"5", "2", "Down Down Up", "5", "3"});
        textRow("shift+Down", {"", "2", "shift+Down shift+Down", "2 3", "4"});
        textRow("space walks down", {"3", "2", "Space Space Space", "2 4", "5"});
    }
    // Marks follow presses and keys alone; the hidden eleventh record keeps its mark.
    void marking()
    {
        Rows before{10};
        for (const QString& n : cell("before").split(' ', Qt::SkipEmptyParts))
            before << n.toInt();
        Table table(11, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, before);
        table.view.makeCurrent(table.model.index(cell("current").toInt(), 0));
        QSignalSpy changed(&table.view, &TableView::selectChanged);
        table.run(cell("actions"));
        QCOMPARE(table.marked(), cell("after"));
        QCOMPARE(QString::number(table.view.currentIndex().row()), cell("currentAfter"));
        QVERIFY(changed.isEmpty() == (cell("before") == cell("after")) && table.places[10]->marked);
        if (!cell("actions").contains("shift+Down")) // the view's own selection serves only those
            QVERIFY(table.view.selectionModel()->selectedIndexes().isEmpty());
    }

    // A double click: two presses on one row within 800 ms, whether or not the system made
    // a double click of them too (two pixels apart across the line between rows, it does).
    void clicks_data()
    {
        textColumns({"actions", "after", "reported"});
        textRow("800 ms", {"click:1 wait:800 click:1", "1", "L1 D1"});
        textRow("900 ms", {"click:1 wait:900 click:1", "", "L1 L1"});
        textRow("other row", {"click:1 wait:500 click:2", "2", "L1 L2"});
        textRow("right: no mark", {"right:3", "", "R3"});
        textRow("below the rows", {"click:7", "", ""});
        textRow("screen, 150 ms", {"screen:1 wait:150 screen:1", "1", "L1 2 D1"});
        textRow("screen, next row", {"edge:1 wait:150 over:1", "2", "L1 2 L2"});
    }
    void clicks()
    {
        Table table(5);
        table.run(cell("actions"));
        QCOMPARE(table.seen.join(' '), cell("reported"));
        QCOMPARE(table.marked(), cell("after"));
    }

    // The buttons "clear" and "toggle" (value: nothing marked yet); hidden records keep theirs.
    void setMarks()
    {
        Table table(6, {0, 2, 3, 5}, {1, 2});
        QSignalSpy cleared(&table.view, &TableView::selectionCleared);
        QStringList seen;
        for (auto [value, toggle] : {std::pair{false, true}, {false, false}, {true, true}}) {
            table.view.setMarks(value, toggle);
            seen << table.marked();
        }
        QCOMPARE(seen, QStringList({"0 2 3", "", "0 1 2 3"}));
        QVERIFY(cleared.count() == 3 && table.places[1]->marked && table.view.markedCount() == 5);
    }
};

QTEST_MAIN(TestTableView)
#include "tst_tableview.moc"

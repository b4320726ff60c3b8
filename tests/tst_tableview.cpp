#include "records/tablemodel.h"
#include "records/tableview.h"
#include "testsupport.h"

#include <QScrollBar>
#include <QtTest>

using Rows = QList<int>;

// Counts the double-click events the system sends.
struct DoubleClickCounter : QObject
{
    explicit DoubleClickCounter(int* count) : count(count) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        *count += event->type() == QEvent::MouseButtonDblClick;
        return false;
    }
    int* count;
};
// A data table as the main window runs it (a mark change rebuilds the model), on a test clock.
struct Table
{
    PlaceList places;
    Rows shown; // list indexes shown, in row order
    TableModel model;
    TableView view;
    qint64 ms = 100000;
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
        QObject::connect(&view, &TableView::selectChanged, [this] { rebuild(); });
        QObject::connect(&view, &TableView::selectionCleared, [this] { rebuild(); });
        view.resize(700, 420);
        view.show();
        ms += 5000; // setClock restarted the timing: the first press is no second one
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
    // Real events: "click:3", "ctrl+click:4", "press:2", "move:3" (held), "release:3", "right:3",
    // "wait:500", keys "Down", "Up", "Space", "shift+Up".
    void run(const QString& actions)
    {
        for (const QString& action : actions.split(' ')) {
            const Qt::KeyboardModifiers mods = action.startsWith("ctrl+")    ? Qt::ControlModifier
                                               : action.startsWith("shift+") ? Qt::ShiftModifier
                                                                             : Qt::NoModifier;
            const QString verb = action.section('+', -1).section(':', 0, 0);
            const int n = action.section(':', 1).toInt();
            if (verb == "click" || verb == "press")
                QTest::mousePress(view.viewport(), Qt::LeftButton, mods, cell(n));
            if (verb == "click" || verb == "release")
                QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, cell(n));
            if (verb == "move") {
                QMouseEvent event(QEvent::MouseMove, cell(n), view.viewport()->mapToGlobal(cell(n)),
                                  Qt::NoButton, Qt::LeftButton, {});
                QApplication::sendEvent(view.viewport(), &event);
            }
            if (verb == "right")
                QTest::mouseClick(view.viewport(), Qt::RightButton, {}, cell(n));
            if (verb == "wait")
                ms += n;
            if (!action.contains(':')) {
                view.setFocus();
                QTest::keyClick(&view, Qt::Key(QKeySequence(verb)[0]), mods);
                QCoreApplication::processEvents(); // Space moves on by a posted Down key
            }
        }
    }
    Rows marked() const // visible rows whose record is marked
    {
        Rows out;
        for (int row = 0; row < shown.size(); ++row)
            if (places[shown[row]]->marked)
                out << row;
        return out;
    }
};

class TestTableView : public QObject
{
    Q_OBJECT
private slots:
    void marking_data()
    {
        QTest::addColumn<Rows>("before");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<Rows>("after");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("plain on unmarked") << Rows{1, 5} << -1 << "click:3" << Rows{3} << 3;
        QTest::newRow("plain on marked") << Rows{1, 5} << 0 << "click:1" << Rows{5} << 1;
        QTest::newRow("ctrl on marked") << Rows{1, 5} << 2 << "ctrl+click:1" << Rows{5} << 2;
        QTest::newRow("ctrl on unmarked") << Rows{1} << 2 << "ctrl+click:4" << Rows{1, 4} << 2;
        QTest::newRow("shift") << Rows{4, 9} << 2 << "shift+click:5" << Rows{2, 3, 4, 5, 9} << 2;
        QTest::newRow("shift up") << Rows{} << 6 << "shift+click:3" << Rows{3, 4, 5, 6} << 6;
        QTest::newRow("shift without current") << Rows{1} << -1 << "shift+click:5" << Rows{1} << -1;
        QTest::newRow("drag") << Rows{} << -1 << "press:3 move:4 release:4" << Rows{3, 4} << 3;
        QTest::newRow("no drag after release") << Rows{} << -1 << "click:2 move:5" << Rows{2} << 2;
        QTest::newRow("ctrl") << Rows{} << -1 << "ctrl+press:7 move:8 release:8" << Rows{7} << -1;
        QTest::newRow("down and up") << Rows{5} << 2 << "Down Down Up" << Rows{5} << 3;
        QTest::newRow("shift+Down") << Rows{} << 2 << "shift+Down shift+Down" << Rows{2, 3} << 4;
        QTest::newRow("space walks down") << Rows{3} << 2 << "Space Space Space" << Rows{2, 4} << 5;
    }
    // Marks follow presses and keys alone; the hidden eleventh record keeps its mark.
    void marking()
    {
        QFETCH(Rows, before);
        QFETCH(int, current);
        QFETCH(QString, actions);
        QFETCH(Rows, after);
        QFETCH(int, currentAfter);
        Table table(11, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, before + Rows{10});
        table.view.makeCurrent(table.model.index(current, 0));
        QSignalSpy changed(&table.view, &TableView::selectChanged);
        table.run(actions);
        QCOMPARE(table.marked(), after);
        QCOMPARE(table.view.currentIndex().row(), currentAfter);
        QVERIFY(changed.isEmpty() == (before == after) && table.places[10]->marked);
        if (!actions.contains("shift+Down")) // the view's own selection serves only Shift+arrows
            QVERIFY(table.view.selectionModel()->selectedIndexes().isEmpty());
    }
    void clicks_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<Rows>("after");
        QTest::addColumn<QString>("reported");
        QTest::newRow("500 ms") << "click:1 wait:500 click:1" << Rows{1} << "L1 D1";
        QTest::newRow("800 ms") << "click:1 wait:800 click:1" << Rows{1} << "L1 D1";
        QTest::newRow("900 ms") << "click:1 wait:900 click:1" << Rows{} << "L1 L1";
        QTest::newRow("other row") << "click:1 wait:500 click:2" << Rows{2} << "L1 L2";
        QTest::newRow("right: no mark") << "right:3" << Rows{} << "R3";
        QTest::newRow("below the rows") << "click:7" << Rows{} << "";
    }
    void clicks() // a double click: two presses on one row within 800 ms
    {
        QFETCH(QString, actions);
        QFETCH(Rows, after);
        QFETCH(QString, reported);
        Table table(5);
        QStringList seen; // L or R for a click with the left or right button, D for a double
        QObject::connect(&table.view, &TableView::clicked, [&](auto i, bool r) {
            seen << (r ? "R" : "L") + QString::number(i.row());
        });
        QObject::connect(&table.view, &TableView::DoubleClicked,
                         [&](auto i) { seen << "D" + QString::number(i.row()); });
        table.run(actions);
        QCOMPARE(seen.join(' '), reported);
        QCOMPARE(table.marked(), after);
    }
    void realClicks_data()
    {
        QTest::addColumn<int>("gap");    // real milliseconds between the two clicks
        QTest::addColumn<int>("second"); // pixels below the first click
        QTest::addColumn<int>("systemDoubles");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<Rows>("after");
        // Two pixels apart across the line between rows 1 and 2: still the system's double click.
        QTest::newRow("150 ms") << 150 << 0 << 1 << "L1 D1" << Rows{1};
        QTest::newRow("500 ms") << 500 << 0 << 0 << "L1 D1" << Rows{1};
        QTest::newRow("150 ms, next row") << 150 << 2 << 1 << "L1 L2" << Rows{2};
    }
    // As a screen sends them: through the window system's entry point with timestamps that
    // follow the real clock, so that the system makes its own double clicks.
    void realClicks()
    {
        QFETCH(int, gap);
        QFETCH(int, second);
        Table table(5);
        table.view.setClock({});
        QVERIFY(QTest::qWaitForWindowExposed(&table.view));
        QStringList seen;
        QObject::connect(&table.view, &TableView::clicked,
                         [&](auto i) { seen << "L" + QString::number(i.row()); });
        QObject::connect(&table.view, &TableView::DoubleClicked,
                         [&](auto i) { seen << "D" + QString::number(i.row()); });
        int doubles = 0;
        DoubleClickCounter counter(&doubles);
        table.view.viewport()->installEventFilter(&counter);

        const QRect row1 = table.view.visualRect(table.model.index(1, 0));
        const QPoint first(row1.center().x(), row1.bottom() - (second ? 0 : row1.height() / 2));
        screenClick(table.view.viewport(), first);
        QTest::qWait(gap);
        screenClick(table.view.viewport(), first + QPoint(0, second));
        QTEST(doubles, "systemDoubles");
        QTEST(seen.join(' '), "reported");
        QTEST(table.marked(), "after");
    }
    // The buttons "clear" and "toggle" (value: nothing marked yet); hidden records keep theirs.
    void setMarks()
    {
        Table table(6, {0, 2, 3, 5}, {1, 2});
        QSignalSpy cleared(&table.view, &TableView::selectionCleared);
        QList<Rows> seen;
        for (auto [value, toggle] : {std::pair{false, true}, {false, false}, {true, true}}) {
            table.view.setMarks(value, toggle);
            seen << table.marked();
        }
        QCOMPARE(seen, (QList<Rows>{{0, 2, 3}, {}, {0, 1, 2, 3}}));
        QVERIFY(cleared.count() == 3 && table.places[1]->marked && table.view.markedCount() == 5);
    }
    // Every mark change resets the model; the table must not jump back to the top.
    void markKeepsScroll()
    {
        Table table(300);
        table.view.selectRow(table.model.index(250, 0));
        QCoreApplication::processEvents();
        const int scrolled = table.view.verticalScrollBar()->value();
        table.run("click:250");
        QCoreApplication::processEvents();
        QVERIFY(scrolled > 0 && table.marked() == Rows{250});
        QCOMPARE(table.view.verticalScrollBar()->value(), scrolled);
    }
};

QTEST_MAIN(TestTableView)
#include "tst_tableview.moc"

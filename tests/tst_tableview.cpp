#include "records/tablemodel.h"
#include "records/tableview.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Rows = QList<int>;

Rows range(int first, int last)
{
    Rows out;
    for (int i = first; i <= last; ++i)
        out << i;
    return out;
}

// A data table as the main window runs it: every mark change rebuilds the
// model (a reset) from the records it shows.
struct Table
{
    PlaceList places;
    QList<int> shown; // list indexes shown, in row order
    TableModel model;
    TableView view;
    qint64 ms = 100000;

    explicit Table(int count, const QList<int>& visible = {})
    {
        for (int i = 0; i < count; ++i) {
            auto record = std::make_unique<PlaceRecord>();
            record->name = QStringLiteral("place %1").arg(i);
            record->x = QString::number(139 + i * 0.01);
            places.push_back(std::move(record));
        }
        if (visible.isEmpty()) {
            for (int i = 0; i < count; ++i)
                shown << i;
        } else {
            shown = visible;
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
    }

    void rebuild()
    {
        model.clearRowIndex();
        view.blockSignals(true);
        model.clear();
        view.blockSignals(false);
        model.setRowCount(0);
        for (int i : shown)
            model.appendRow(i);
        model.setRowCount(shown.size());
    }

    QPoint cell(int row, int column = 0) const
    {
        return view.visualRect(model.index(row, column)).center();
    }
    void press(int row, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(view.viewport(), button, mods, cell(row));
    }
    void release(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(view.viewport(), button, {}, cell(row));
    }
    void click(int row, Qt::KeyboardModifiers mods = {})
    {
        press(row, mods);
        release(row);
    }
    void moveHeld(int row)
    {
        QMouseEvent move(QEvent::MouseMove, cell(row), view.viewport()->mapToGlobal(cell(row)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
    }
    // What the platform sends after the second press of a quick pair.
    void systemDoubleClick(int row)
    {
        QMouseEvent dbl(QEvent::MouseButtonDblClick, cell(row),
                        view.viewport()->mapToGlobal(cell(row)), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &dbl);
    }
    void markRows(const Rows& rows)
    {
        for (int row : rows)
            places[shown[row]]->marked = true;
    }
    // Visible rows whose record is marked.
    Rows markedRows() const
    {
        Rows out;
        for (int row = 0; row < shown.size(); ++row) {
            if (places[shown[row]]->marked)
                out << row;
        }
        return out;
    }
    int currentRow() const { return view.currentIndex().row(); }
};

} // namespace

class TestTableView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void press_data();
    void press();
    void drag();
    void doubleClick_data();
    void doubleClick();
    void clickedSignal_data();
    void clickedSignal();
    void keys_data();
    void keys();
    void setMarks_data();
    void setMarks();
    void headerClick();
    void markKeepsScroll();
};

void TestTableView::initTestCase()
{
    qRegisterMetaType<QModelIndex>();
}

void TestTableView::press_data()
{
    QTest::addColumn<Rows>("marked");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<int>("expectedCurrent");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("plain on unmarked") << Rows{1, 5} << -1 << 3 << none << Rows{3} << 3;
    QTest::newRow("plain on marked") << Rows{1, 5} << 0 << 1 << none << Rows{5} << 1;
    QTest::newRow("ctrl on marked") << Rows{1, 5} << 2 << 1 << ctrl << Rows{5} << 2;
    QTest::newRow("ctrl on unmarked") << Rows{1} << 2 << 4 << ctrl << Rows{1, 4} << 2;
    QTest::newRow("shift downwards")
        << Rows{4, 9} << 2 << 7 << shift << Rows{2, 3, 4, 5, 6, 7, 9} << 2;
    QTest::newRow("shift upwards") << Rows{} << 6 << 3 << shift << range(3, 6) << 6;
    QTest::newRow("shift on the current row") << Rows{} << 4 << 4 << shift << Rows{4} << 4;
    QTest::newRow("shift without current") << Rows{1} << -1 << 5 << shift << Rows{1} << -1;
}

void TestTableView::press()
{
    QFETCH(Rows, marked);
    QFETCH(int, current);
    QFETCH(int, row);
    QFETCH(int, modifiers);
    QFETCH(Rows, expected);
    QFETCH(int, expectedCurrent);

    // The eleventh record is not shown: its mark is never touched.
    Table table(11, range(0, 9));
    table.places[10]->marked = true;
    table.markRows(marked);
    if (current >= 0)
        table.view.makeCurrent(table.model.index(current, 0));
    table.ms += 5000;
    QSignalSpy changed(&table.view, &TableView::selectChanged);

    table.click(row, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(table.markedRows(), expected);
    QCOMPARE(table.currentRow(), expectedCurrent);
    QCOMPARE(changed.isEmpty(), marked == expected);
    QVERIFY(table.places[10]->marked);
    // The view's own selection plays no part.
    QVERIFY(table.view.selectionModel()->selectedIndexes().isEmpty());
}

void TestTableView::drag()
{
    Table table(10);
    table.markRows({8});
    table.ms += 5000;
    table.press(2);
    table.moveHeld(3);
    table.moveHeld(4);
    table.moveHeld(3);
    table.release(4);
    QCOMPARE(table.markedRows(), range(2, 4));

    // Released: moving marks nothing more; a Ctrl press does not start a drag.
    table.moveHeld(6);
    table.ms += 5000;
    table.press(7, Qt::ControlModifier);
    table.moveHeld(8);
    table.moveHeld(9);
    table.release(9);
    QCOMPARE(table.markedRows(), (Rows{2, 3, 4, 7}));
}

void TestTableView::doubleClick_data()
{
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("secondRow");
    QTest::addColumn<bool>("systemEvent");
    QTest::addColumn<bool>("isDouble");
    QTest::addColumn<Rows>("marked");

    QTest::newRow("500 ms, same row") << 500 << 1 << false << true << Rows{1};
    QTest::newRow("800 ms, same row") << 800 << 1 << false << true << Rows{1};
    QTest::newRow("900 ms, same row") << 900 << 1 << false << false << Rows{};
    QTest::newRow("500 ms, other row") << 500 << 2 << false << false << Rows{2};
    QTest::newRow("with the system's event") << 300 << 1 << true << true << Rows{1};
    QTest::newRow("system's event on other row") << 300 << 2 << true << false << Rows{2};
}

void TestTableView::doubleClick()
{
    QFETCH(int, gap);
    QFETCH(int, secondRow);
    QFETCH(bool, systemEvent);
    QFETCH(bool, isDouble);
    QFETCH(Rows, marked);

    Table table(5);
    QSignalSpy clicks(&table.view, &TableView::clicked);
    QSignalSpy doubles(&table.view, &TableView::DoubleClicked);
    table.ms += 5000;
    table.click(1);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][1].toBool(), false);

    table.ms += gap;
    table.press(secondRow);
    if (systemEvent)
        table.systemDoubleClick(secondRow);
    table.release(secondRow);

    QCOMPARE(doubles.count(), isDouble ? 1 : 0);
    QCOMPARE(clicks.count(), isDouble ? 1 : 2);
    if (isDouble) {
        QCOMPARE(doubles[0][0].value<QModelIndex>().row(), 1);
        QCOMPARE(doubles[0][1].toInt(), 0);
    }
    QCOMPARE(table.markedRows(), marked);
}

void TestTableView::clickedSignal_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("emitted");
    QTest::addColumn<bool>("rightButton");

    QTest::newRow("left") << int(Qt::LeftButton) << 2 << 4 << true << false;
    QTest::newRow("right") << int(Qt::RightButton) << 3 << 1 << true << true;
    QTest::newRow("middle") << int(Qt::MiddleButton) << 3 << 1 << false << false;
    QTest::newRow("below the rows") << int(Qt::LeftButton) << 20 << 0 << false << false;
}

void TestTableView::clickedSignal()
{
    QFETCH(int, button);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, emitted);
    QFETCH(bool, rightButton);

    Table table(5);
    table.markRows({0});
    table.ms += 5000;
    QSignalSpy clicks(&table.view, &TableView::clicked);
    QSignalSpy changed(&table.view, &TableView::selectChanged);
    const QHeaderView* header = table.view.horizontalHeader();
    // Past the last row there is no cell.
    const QPoint pos = row < 5 ? table.cell(row, column)
                               : QPoint(header->sectionViewportPosition(column) + 5,
                                        table.view.viewport()->height() - 3);
    QTest::mouseClick(table.view.viewport(), Qt::MouseButton(button), {}, pos);

    QCOMPARE(clicks.count(), emitted ? 1 : 0);
    if (emitted) {
        const QModelIndex index = clicks[0][0].value<QModelIndex>();
        QCOMPARE(index.row(), row);
        QCOMPARE(index.column(), column);
        QCOMPARE(clicks[0][1].toBool(), rightButton);
    }
    // Only the left button marks.
    const bool marks = button == Qt::LeftButton && row < 5;
    QCOMPARE(changed.isEmpty(), !marks);
    QCOMPARE(table.markedRows(), marks ? Rows{row} : Rows{0});
}

void TestTableView::keys_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<Rows>("marked");
    QTest::addColumn<QList<int>>("keys"); // a key, or key | Qt::ShiftModifier
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<int>("expectedCurrent");

    const int shift = int(Qt::ShiftModifier);
    QTest::newRow("down and up") << 2 << Rows{5}
                                 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << Rows{5}
                                 << 3;
    QTest::newRow("shift down twice")
        << 2 << Rows{} << QList<int>{Qt::Key_Down | shift, Qt::Key_Down | shift} << Rows{2, 3} << 4;
    QTest::newRow("shift up") << 6 << Rows{} << QList<int>{Qt::Key_Up | shift} << Rows{6} << 5;
    QTest::newRow("space walks down")
        << 2 << Rows{3} << QList<int>{Qt::Key_Space, Qt::Key_Space, Qt::Key_Space} << Rows{2, 4}
        << 5;
}

void TestTableView::keys()
{
    QFETCH(int, current);
    QFETCH(Rows, marked);
    QFETCH(QList<int>, keys);
    QFETCH(Rows, expected);
    QFETCH(int, expectedCurrent);

    Table table(10);
    table.markRows(marked);
    if (current >= 0)
        table.view.makeCurrent(table.model.index(current, 0));
    table.view.setFocus();
    for (int key : keys) {
        const Qt::KeyboardModifiers mods(key & Qt::KeyboardModifierMask);
        QTest::keyClick(&table.view, Qt::Key(key & ~Qt::KeyboardModifierMask), mods);
        // Space moves on by a posted Down key.
        QCoreApplication::processEvents();
    }
    QCOMPARE(table.markedRows(), expected);
    QCOMPARE(table.currentRow(), expectedCurrent);
}

void TestTableView::setMarks_data()
{
    QTest::addColumn<Rows>("marked");
    QTest::addColumn<bool>("value");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<Rows>("expected");

    QTest::newRow("clear") << Rows{0, 2} << false << false << Rows{};
    // The toggle button: value is "nothing marked yet".
    QTest::newRow("toggle with one marked") << Rows{1} << false << true << Rows{0, 2, 3};
    QTest::newRow("toggle with none marked") << Rows{} << true << true << Rows{0, 1, 2, 3};
}

void TestTableView::setMarks()
{
    QFETCH(Rows, marked);
    QFETCH(bool, value);
    QFETCH(bool, toggle);
    QFETCH(Rows, expected);

    Table table(6, {0, 2, 3, 5});
    table.markRows(marked);
    table.places[1]->marked = true; // not shown
    QSignalSpy cleared(&table.view, &TableView::selectionCleared);
    table.view.setMarks(value, toggle);
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(table.markedRows(), expected);
    QVERIFY(table.places[1]->marked);
    QCOMPARE(table.view.markedCount(), expected.size() + 1);
}

void TestTableView::headerClick()
{
    Table table(3);
    table.view.setSortingEnabled(true);
    QSignalSpy headers(&table.view, &TableView::HeaderClicked);
    QHeaderView* header = table.view.horizontalHeader();
    for (int section : {1, 1, 6}) {
        const QPoint pos(header->sectionViewportPosition(section) +
                             header->sectionSize(section) / 2,
                         header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, pos);
    }
    QCOMPARE(headers.count(), 3);
    QCOMPARE(headers[0][0].toInt(), 1);
    QCOMPARE(headers[1][0].toInt(), 1);
    QCOMPARE(headers[2][0].toInt(), 6);
    QVERIFY(table.markedRows().isEmpty());
}

// Every mark change resets the model; the table must not jump back to the top.
void TestTableView::markKeepsScroll()
{
    Table table(300);
    table.view.selectRow(table.model.index(250, 0));
    QCoreApplication::processEvents();
    const int scrolled = table.view.verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    table.ms += 5000;
    table.click(250);
    QCoreApplication::processEvents();
    QCOMPARE(table.markedRows(), Rows{250});
    QCOMPARE(table.view.verticalScrollBar()->value(), scrolled);

    table.view.setFocus();
    QTest::keyClick(&table.view, Qt::Key_Space);
    QCoreApplication::processEvents();
    QCOMPARE(table.markedRows(), Rows{});
    QCOMPARE(table.currentRow(), 251);
    QVERIFY(table.view.verticalScrollBar()->value() >= scrolled);
}

QTEST_MAIN(TestTableView)
#include "tst_tableview.moc"

#include "records/placefile.h"
#include "records/tablemodel.h"
#include "settings/appsettings.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {
// Shows every record of the list, by the rebuild protocol.
void showAll(TableModel& model, const PlaceList& list)
{
    model.clear();
    for (int i = 0; i < int(list.size()); ++i)
        model.appendRow(i);
    model.setRowCount(int(list.size()));
}
} // namespace

class TestTableModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void headers();
    void rowsFollowTheList();
    void invalidIndexesGiveNothing();
    void removeRows_data();
    void removeRows();
    void colours_data();
    void colours();

private:
    PlaceList list;
};

void TestTableModel::initTestCase()
{
    AppSettings& s = AppSettings::instance();
    s.backcolor = QColor(1, 1, 1);
    s.forecolor = QColor(2, 2, 2);
    s.hlbackcolor = QColor(3, 3, 3);
    s.hlforecolor = QColor(4, 4, 4);
    for (int i = 0; i < AppSettings::ClassCount; ++i) {
        s.classBack[i] = QColor(i, 0, 0);
        s.classFore[i] = QColor(0, i, 0);
    }
    list = parsePlaceLines({"a,1,2,7,1,Image,11,10", "b,1,2,abc,1,Image,11,10",
                            "c,1,2,200,1,Image,11,10", "d,1,2,-1,1,Image,11,10",
                            "e,1,2,199,1,Image,11,10"});
}

void TestTableModel::headers()
{
    TableModel model;
    QStringList shown;
    for (int c = 0; c < model.columnCount(); ++c)
        shown << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown.join('|'), QStringLiteral("テキスト|経度(X)|緯度(Y)|色|ﾚｲﾔ|部品型|文字|ﾚﾍﾞﾙ"));
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.headerData(8, Qt::Horizontal).isValid());
}

void TestTableModel::rowsFollowTheList()
{
    TableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setList(&list);
    model.clear();
    model.appendRow(1);
    model.appendRow(4);
    model.setRowCount(2);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("e"));
    QCOMPARE(model.listIndexAt(1), 4);
    QCOMPARE(model.listIndexAt(2), -1);
    // Rebuilt without clear first: the views must still be told the truth.
    model.clearRowIndex();
    showAll(model, list);
    QCOMPARE(model.rowCount(), 5);
    model.setRowCount(0);
    QCOMPARE(model.rowCount(), 0);
}

void TestTableModel::invalidIndexesGiveNothing()
{
    TableModel model, other, noList;
    model.setList(&list);
    other.setList(&list);
    showAll(other, list);
    // Announced rows without list indexes behind them, and an index past the list's end.
    model.appendRow(0);
    model.appendRow(99);
    model.setRowCount(4);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a"));
    for (int row = 1; row < 4; ++row)
        for (int role : {int(Qt::DisplayRole), int(Qt::BackgroundRole), int(Qt::ForegroundRole)})
            QVERIFY(!model.data(model.index(row, 3), role).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(other.index(0, 0)).isValid());
    noList.appendRow(0);
    noList.setRowCount(1);
    QVERIFY(!noList.data(noList.index(0, 0)).isValid());
    model.clear();
    model.appendRow(0); // something in rowIndex, but no row shown
    QVERIFY(!model.data(model.index(0, 0)).isValid());
}

void TestTableModel::removeRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("remaining");
    QTest::newRow("middle") << 1 << 2 << true << "ade";
    QTest::newRow("all") << 0 << 5 << true << "";
    QTest::newRow("past the end") << 4 << 2 << false << "abcde";
    QTest::newRow("negative row") << -1 << 1 << false << "abcde";
    QTest::newRow("no rows") << 2 << 0 << false << "abcde";
}

void TestTableModel::removeRows()
{
    QFETCH(int, row);
    QFETCH(int, n);
    QFETCH(bool, removed);
    QFETCH(QString, remaining);
    TableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setList(&list);
    showAll(model, list);
    QCOMPARE(model.removeRows(row, n), removed);
    QString shown;
    for (int r = 0; r < model.rowCount(); ++r)
        shown += model.data(model.index(r, 0)).toString();
    QCOMPARE(shown, remaining);
}

void TestTableModel::colours_data()
{
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<int>("column");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("fore");
    QTest::newRow("plain row") << 0 << false << 0 << QColor(1, 1, 1) << QColor(2, 2, 2);
    QTest::newRow("marked row") << 0 << true << 7 << QColor(3, 3, 3) << QColor(4, 4, 4);
    QTest::newRow("class column") << 0 << false << 3 << QColor(7, 0, 0) << QColor(0, 7, 0);
    QTest::newRow("class column, marked") << 0 << true << 3 << QColor(7, 0, 0) << QColor(0, 7, 0);
    QTest::newRow("last class") << 4 << false << 3 << QColor(199, 0, 0) << QColor(0, 199, 0);
    QTest::newRow("not a number is class 0")
        << 1 << false << 3 << QColor(0, 0, 0) << QColor(0, 0, 0);
    QTest::newRow("200: view default") << 2 << true << 3 << QColor() << QColor();
    QTest::newRow("-1: view default") << 3 << false << 3 << QColor() << QColor();
}

void TestTableModel::colours()
{
    QFETCH(int, listIndex);
    QFETCH(bool, marked);
    QFETCH(int, column);
    QFETCH(QColor, back);
    QFETCH(QColor, fore);
    TableModel model;
    model.setList(&list);
    showAll(model, list);
    list[size_t(listIndex)]->marked = marked;
    const QModelIndex index = model.index(listIndex, column);
    QCOMPARE(model.data(index, Qt::BackgroundRole).value<QColor>(), back);
    QCOMPARE(model.data(index, Qt::ForegroundRole).value<QColor>(), fore);
    QCOMPARE(model.data(index, Qt::BackgroundRole).isValid(), back.isValid());
    list[size_t(listIndex)]->marked = false;
}

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"

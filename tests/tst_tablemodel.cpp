#include "records/placefile.h"
#include "records/tablemodel.h"
#include "settings/appsettings.h"

#include <QAbstractItemModelTester>
#include <QtTest>

class TestTableModel : public QObject
{
    Q_OBJECT
    PlaceList list =
        parsePlaceLines({"a,1,2,7,1,I,11,10", "b,1,2,abc,1,I,11,10", "c,1,2,200,1,I,11,10",
                         "d,1,2,-1,1,I,11,10", "e,1,2,199,1,I,11,10"});
    TableModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

private slots:
    // Fore colours are the back colours with red and green swapped.
    void initTestCase()
    {
        AppSettings& s = AppSettings::instance();
        std::tie(s.backcolor, s.forecolor, s.hlbackcolor, s.hlforecolor) =
            std::tuple(QColor(201, 0, 0), QColor(0, 201, 0), QColor(202, 0, 0), QColor(0, 202, 0));
        for (int i = 0; i < AppSettings::ClassCount; ++i)
            std::tie(s.classBack[i], s.classFore[i]) = std::pair(QColor(i, 0, 0), QColor(0, i, 0));
        list[0]->marked = list[2]->marked = true;
        model.setList(&list);
    }
    // Rebuilt without clear first; row 5 points past the list, row 6 has no index behind it.
    void init()
    {
        model.clearRowIndex();
        for (int i : {0, 1, 2, 3, 4, 99})
            model.appendRow(i);
        model.setRowCount(7);
    }
    void headersAndInvalidRows()
    {
        QStringList shown;
        for (int c = 0; c < model.columnCount(); ++c)
            shown << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(shown.join('|'),
                 QStringLiteral("テキスト|経度(X)|緯度(Y)|色|ﾚｲﾔ|部品型|文字|ﾚﾍﾞﾙ"));
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
        for (int row : {5, 6})
            QVERIFY(!model.data(model.index(row, 0)).isValid());
    }
    void removeRowsWithinBounds()
    {
        QVERIFY(!model.removeRows(6, 2) && !model.removeRows(-1, 1)); // one past the end
        QVERIFY(model.removeRows(1, 2));
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("d"));
        QVERIFY(model.removeRows(3, 2)); // up to the last row exactly
        QCOMPARE(model.rowCount(), 3);
    }
    void colours_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QColor>("back");
        QTest::newRow("plain row") << 1 << 0 << QColor(201, 0, 0);
        QTest::newRow("marked row") << 0 << 7 << QColor(202, 0, 0);
        QTest::newRow("colour column, marked") << 0 << 3 << QColor(7, 0, 0);
        QTest::newRow("last class") << 4 << 3 << QColor(199, 0, 0);
        QTest::newRow("not a number: class 0") << 1 << 3 << QColor(0, 0, 0);
        QTest::newRow("200, marked: view default") << 2 << 3 << QColor();
        QTest::newRow("-1: view default") << 3 << 3 << QColor();
    }
    void colours()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QColor, back);
        const QModelIndex index = model.index(row, column);
        const auto want = [&](QColor c) { return back.isValid() ? QVariant(c) : QVariant(); };
        QCOMPARE(model.data(index, Qt::BackgroundRole), want(back));
        QCOMPARE(model.data(index, Qt::ForegroundRole), want(QColor(0, back.red(), 0)));
    }
};

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"

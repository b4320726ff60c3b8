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
    void rowsWithinBounds()
    {
        QVERIFY(!model.data(model.index(5, 0)).isValid() &&
                !model.data(model.index(6, 0)).isValid());
        QVERIFY(!model.removeRows(6, 2) && !model.removeRows(-1, 1)); // one past the end
        QVERIFY(model.removeRows(1, 2));
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("d"));
        QVERIFY(model.removeRows(3, 2)); // up to the last row exactly
        QCOMPARE(model.rowCount(), 3);
    }
    // "row column red": the back colour's red (fore: the green), or "-" for the view's default.
    void colours()
    {
        for (const char* row :
             {"1 0 201", "0 7 202", "0 3 7", "4 3 199", "1 3 0", "2 3 -", "3 3 -"}) {
            const QStringList f = QString(row).split(' ');
            const QModelIndex index = model.index(f[0].toInt(), f[1].toInt());
            const auto want = [&](QColor c) { return f[2] == "-" ? QVariant() : QVariant(c); };
            const int v = f[2].toInt();
            QVERIFY2(model.data(index, Qt::BackgroundRole) == want(QColor(v, 0, 0)) &&
                         model.data(index, Qt::ForegroundRole) == want(QColor(0, v, 0)),
                     row);
        }
    }
};

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"

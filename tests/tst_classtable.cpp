#include "classes/classtable.h"
#include "settings/appsettings.h"

#include <QtTest>

static PlaceList withColours(const QStringList& colours)
{
    PlaceList list;
    for (const QString& c : colours) {
        list.push_back(std::make_unique<PlaceRecord>());
        list.back()->color = c;
    }
    return list;
}

static QStringList coloursOf(const PlaceList& list)
{
    QStringList out;
    for (const auto& p : list)
        out << p->color;
    return out;
}

// Name, back and fore of every entry, to compare whole tables.
static QStringList table(const AppSettings& s)
{
    QStringList out;
    for (int i = 0; i < AppSettings::ClassCount; ++i)
        out << s.className[i] + '|' + s.classBack[i].name() + '|' + s.classFore[i].name();
    return out;
}

class TestClassTable : public QObject
{
    Q_OBJECT
    AppSettings s;

private slots:
    void init()
    {
        for (int i = 0; i < AppSettings::ClassCount; ++i) {
            s.className[i] = QStringLiteral("k%1").arg(i);
            s.classBack[i] = QColor(i, 0, 0);
            s.classFore[i] = QColor(0, i, 0);
        }
    }

    void renumber_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("changed");
        QTest::addRow("insert 3") << "insert 3" << QStringList{"2", "3", "7"}
                                  << QStringList{"2", "4", "8"} << true;
        QTest::addRow("insert converts like every user")
            << "insert 3" << QStringList{"05", " 3", "abc", "250", "-1", "198"}
            << QStringList{"6", "4", "abc", "250", "-1", "199"} << true;
        QTest::addRow("insert 0 takes the non-numbers along")
            << "insert 0" << QStringList{"abc", "0"} << QStringList{"1", "1"} << true;
        QTest::addRow("insert past every place")
            << "insert 5" << QStringList{"4", "0"} << QStringList{"4", "0"} << false;
        QTest::addRow("erase 5") << "erase 5" << QStringList{"6", "10", "4", "199"}
                                 << QStringList{"5", "9", "4", "198"} << true;
        QTest::addRow("erase leaves numbers outside the table")
            << "erase 5" << QStringList{"200", "06", "5000"} << QStringList{"200", "5", "5000"}
            << true;
        QTest::addRow("erase past every place")
            << "erase 5" << QStringList{"5", "3"} << QStringList{"5", "3"} << false;
        QTest::addRow("swap 3 4") << "swap 3 4" << QStringList{"3", "4", "5", "04"}
                                  << QStringList{"4", "3", "5", "3"} << true;
        QTest::addRow("swap 3 4, nobody on them")
            << "swap 3 4" << QStringList{"5", "2"} << QStringList{"5", "2"} << false;
        QTest::addRow("swap 199 198") << "swap 199 198" << QStringList{"199", "0199", "200"}
                                      << QStringList{"198", "198", "200"} << true;
    }
    void renumber()
    {
        QFETCH(QString, op);
        QFETCH(QStringList, before);
        PlaceList places = withColours(before);
        const QStringList words = op.split(' ');
        const int n = words.at(1).toInt();
        bool changed = false;
        if (words[0] == "insert")
            changed = classtable::shiftForInsert(places, n);
        else if (words[0] == "erase")
            changed = classtable::shiftForErase(places, n);
        else
            changed = classtable::swapInPlaces(places, n, words.at(2).toInt());
        QTEST(coloursOf(places), "after");
        QTEST(changed, "changed");
    }

    void inUse_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QStringList>("colours");
        QTest::addColumn<bool>("used");
        QTest::addRow("exact") << 5 << QStringList{"4", "5"} << true;
        QTest::addRow("leading zero") << 5 << QStringList{"05"} << true;
        QTest::addRow("leading blank") << 5 << QStringList{" 5"} << true;
        QTest::addRow("neighbours only") << 5 << QStringList{"4", "6"} << false;
        QTest::addRow("a non-number is 0") << 0 << QStringList{"x"} << true;
        QTest::addRow("199") << 199 << QStringList{"199"} << true;
        QTest::addRow("200 is no class") << 199 << QStringList{"200"} << false;
    }
    void inUse()
    {
        QFETCH(int, n);
        QFETCH(QStringList, colours);
        QTEST(classtable::inUse(withColours(colours), n), "used");
    }

    void canInsert_data()
    {
        QTest::addColumn<QString>("name199");
        QTest::addColumn<QStringList>("colours");
        QTest::addColumn<bool>("allowed");
        QTest::addRow("199 free") << "" << QStringList{"198", "200"} << true;
        QTest::addRow("199 named") << "last" << QStringList{} << false;
        QTest::addRow("199 in use") << "" << QStringList{"0199"} << false;
    }
    void canInsert()
    {
        QFETCH(QString, name199);
        QFETCH(QStringList, colours);
        s.className[199] = name199;
        QTEST(classtable::canInsert(s, withColours(colours)), "allowed");
    }

    void tableShifts_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("n");
        QTest::addRow("insert 3") << "insert" << 3;
        QTest::addRow("insert 0") << "insert" << 0;
        QTest::addRow("insert 199") << "insert" << 199;
        QTest::addRow("erase 5") << "erase" << 5;
        QTest::addRow("erase 0") << "erase" << 0;
        QTest::addRow("erase 199") << "erase" << 199;
        QTest::addRow("swap 7") << "swap" << 7;
    }
    void tableShifts()
    {
        QFETCH(QString, op);
        QFETCH(int, n);
        const QStringList before = table(s);
        const QString blank = "|#555555|#ffffff";
        QStringList expected = before;
        if (op == "insert") {
            expected.insert(n, blank);
            expected.removeLast();
            classtable::insertBlank(s, n);
        } else if (op == "erase") {
            expected.removeAt(n);
            expected.append(blank);
            classtable::eraseEntry(s, n);
        } else {
            expected.swapItemsAt(n, n + 1);
            classtable::swapEntries(s, n, n + 1);
        }
        QCOMPARE(table(s), expected);
    }

    void vary_data()
    {
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("drawn");
        QTest::addColumn<int>("expected");
        QTest::addRow("plain") << 187 << 119 << 32767 << 204;
        QTest::addRow("masked draw") << 187 << 8 << 7 << 85 + 80;
        QTest::addRow("100 stays") << 202 << 0 << 0 << 100;
        QTest::addRow("99 wraps") << 201 << 0 << 0 << 179;
        QTest::addRow("negative wraps") << 0 << 0 << 0 << 82;
        QTest::addRow("240 stays") << 255 << 255 << 87 << 240;
        QTest::addRow("241 folds") << 255 << 255 << 88 << 161;
        QTest::addRow("272 folds") << 255 << 119 << 119 << 112;
    }
    void vary()
    {
        QFETCH(int, v);
        QFETCH(int, m);
        QFETCH(int, drawn);
        QTEST(classtable::vary(v, m, [drawn] { return drawn; }), "expected");
    }

    void randomColors_data()
    {
        QTest::addColumn<QList<int>>("named");
        QTest::addColumn<QList<int>>("draws");
        QTest::addColumn<QStringList>("expected"); // class:back/fore
        QTest::addRow("1, 2 and 30")
            << QList<int>{1, 2, 30} << QList<int>{100, 50}
            << QStringList{"0:#000000/#ffffff", "1:#ff0000/#ffffff", "2:#00ff00/#000000",
                           "3:#555555/#ffffff", "30:#0000b9/#ffffff"};
        QList<int> first24;
        for (int i = 1; i <= 24; ++i)
            first24 << i;
        QTest::addRow("cursor wraps after 24")
            << (first24 << 26) << QList<int>{0, 0, 0, 0}
            << QStringList{"4:#ffff00/#000000",  "10:#888800/#ffffff", "16:#bbbb00/#000000",
                           "24:#550061/#ffffff", "25:#555555/#ffffff", "26:#990000/#ffffff"};
    }
    void randomColors()
    {
        QFETCH(QList<int>, named);
        QFETCH(QList<int>, draws);
        QFETCH(QStringList, expected);
        s.className.fill(QString());
        for (int i : named)
            s.className[i] = QStringLiteral("n%1").arg(i);
        s.className[0] = QString();
        int calls = 0;
        classtable::randomColors(s, [&] { return draws.value(calls++, -1); });
        QCOMPARE(calls, draws.size());
        for (const QString& e : expected) {
            const int i = e.section(':', 0, 0).toInt();
            QCOMPARE(
                QStringLiteral("%1:%2/%3").arg(i).arg(s.classBack[i].name(), s.classFore[i].name()),
                e);
        }
    }
};

QTEST_GUILESS_MAIN(TestClassTable)
#include "tst_classtable.moc"

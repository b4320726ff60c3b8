#include "classes/classtable.h"
#include "settings/appsettings.h"

#include <QtTest>

// Colour fields are given as one text, split at '|'.
static PlaceList withColours(const QString& colours)
{
    PlaceList list;
    for (const QString& c : colours.split('|', Qt::SkipEmptyParts)) {
        list.push_back(std::make_unique<PlaceRecord>());
        list.back()->color = c;
    }
    return list;
}

static QString coloursOf(const PlaceList& list)
{
    QStringList out;
    for (const auto& p : list)
        out << p->color;
    return out.join('|');
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

    // Renumbering returns whether a place changed; "used" asks inUse and changes nothing.
    void places_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("result");
        const auto row = [](const char* op, const char* before, const char* after, bool result) {
            QTest::addRow("%s: %s", op, before) << op << before << after << result;
        };
        row("insert 3", "2|3|7", "2|4|8", true);
        row("insert 3", "05| 3|abc|250|-1|198", "6|4|abc|250|-1|199", true);
        row("insert 0", "abc|0", "1|1", true);
        row("insert 5", "4|0", "4|0", false);
        row("erase 5", "6|10|4|199", "5|9|4|198", true);
        row("erase 5", "200|06|5000", "200|5|5000", true);
        row("erase 5", "5|3", "5|3", false);
        row("swap 3 4", "3|4|5|04", "4|3|5|3", true);
        row("swap 3 4", "5|2", "5|2", false);
        row("swap 199 198", "199|0199|200", "198|198|200", true);
        row("used 5", "4|5", "4|5", true);
        row("used 5", "05", "05", true);
        row("used 5", " 5", " 5", true);
        row("used 5", "4|6", "4|6", false);
        row("used 0", "x", "x", true);
        row("used 199", "199", "199", true);
        row("used 199", "200", "200", false);
    }
    void places()
    {
        QFETCH(QString, op);
        QFETCH(QString, before);
        PlaceList places = withColours(before);
        const QStringList words = op.split(' ');
        const int n = words.at(1).toInt();
        const bool result = words[0] == "insert"  ? classtable::shiftForInsert(places, n)
                            : words[0] == "erase" ? classtable::shiftForErase(places, n)
                            : words[0] == "used"
                                ? classtable::inUse(places, n)
                                : classtable::swapInPlaces(places, n, words.at(2).toInt());
        QTEST(coloursOf(places), "after");
        QTEST(result, "result");
    }

    void canInsert_data()
    {
        QTest::addColumn<QString>("name199");
        QTest::addColumn<QString>("colours");
        QTest::addColumn<bool>("allowed");
        QTest::addRow("199 free") << ""
                                  << "198|200" << true;
        QTest::addRow("199 named") << "last"
                                   << "" << false;
        QTest::addRow("199 in use") << ""
                                    << "0199" << false;
    }
    void canInsert()
    {
        QFETCH(QString, name199);
        QFETCH(QString, colours);
        s.className[199] = name199;
        QTEST(classtable::canInsert(s, withColours(colours)), "allowed");
    }

    void tableShifts_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("n");
        for (int n : {0, 3, 199})
            QTest::addRow("insert %d", n) << "insert" << n;
        for (int n : {0, 5, 199})
            QTest::addRow("erase %d", n) << "erase" << n;
        QTest::addRow("swap 7") << "swap" << 7;
    }
    void tableShifts()
    {
        QFETCH(QString, op);
        QFETCH(int, n);
        QStringList expected = table(s);
        const QString blank = "|#555555|#ffffff";
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

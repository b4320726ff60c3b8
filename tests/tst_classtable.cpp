#include "classes/classtable.h"
#include "settings/appsettings.h"
#include "testsupport.h"

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

    // Renumbering returns whether a place changed; "used" asks inUse and changes nothing,
    // "insertable" canInsert with class 199 named as the word after it.
    void places_data()
    {
        textColumns({"op", "before", "after", "result"});
        for (auto [op, before, after, result] : std::initializer_list<std::array<const char*, 4>>{
                 {"insert 3", "2|3|7", "2|4|8", "1"},
                 {"insert 3", "05| 3|abc|250|-1|198", "6|4|abc|250|-1|199", "1"},
                 {"insert 0", "abc|0", "1|1", "1"},
                 {"insert 5", "4|0", "4|0", "0"},
                 {"erase 5", "6|10|4|199", "5|9|4|198", "1"},
                 {"erase 5", "200|06|5000", "200|5|5000", "1"},
                 {"erase 5", "5|3", "5|3", "0"},
                 {"swap 3 4", "3|4|5|04", "4|3|5|3", "1"},
                 {"swap 199 198", "199|0199|200", "198|198|200", "1"},
                 {"used 5", "4|5", "4|5", "1"},
                 {"used 5", "05", "05", "1"},
                 {"used 5", "4|6", "4|6", "0"},
                 {"used 0", "x", "x", "1"},
                 {"used 199", "199", "199", "1"},
                 {"used 199", "200", "200", "0"},
                 {"insertable", "198|200", "198|200", "1"},
                 {"insertable last", "", "", "0"},
                 {"insertable", "0199", "0199", "0"}}) {
            textRow(qPrintable(QStringLiteral("%1: %2").arg(op, before)),
                    {op, before, after, result});
        }
    }
    void places()
    {
        PlaceList places = withColours(cell("before"));
        const QStringList words = cell("op").split(' ');
        const int n = words.value(1).toInt();
        s.className[199] = words.value(1);
        const bool result = words[0] == "insert"  ? classtable::shiftForInsert(places, n)
                            : words[0] == "erase" ? classtable::shiftForErase(places, n)
                            : words[0] == "used"  ? classtable::inUse(places, n)
                            : words[0] == "insertable"
                                ? classtable::canInsert(s, places)
                                : classtable::swapInPlaces(places, n, words.at(2).toInt());
        QCOMPARE(coloursOf(places), cell("after"));
        QCOMPARE(QString::number(result), cell("result"));
    }

    // The whole table after each change: the rest moves along, the freed entry is blank.
    void tableShifts_data()
    {
        QTest::addColumn<QString>("op");
        for (const char* op : {"insert 0", "insert 199", "erase 0", "erase 199", "swap 7"})
            QTest::newRow(op) << op;
    }
    void tableShifts()
    {
        QFETCH(QString, op);
        const int n = op.section(' ', 1).toInt();
        QStringList expected = table(s);
        const QString blank = "|#555555|#ffffff";
        if (op.startsWith("insert")) {
            expected.insert(n, blank);
            expected.removeLast();
            classtable::insertBlank(s, n);
        } else if (op.startsWith("erase")) {
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
        textColumns({"v", "m", "drawn", "expected"});
        textRow("plain", {"187", "119", "32767", "204"});
        textRow("masked draw", {"187", "8", "7", "165"});
        textRow("100 stays", {"202", "0", "0", "100"});
        textRow("99 wraps", {"201", "0", "0", "179"});
        textRow("negative wraps", {"0", "0", "0", "82"});
        textRow("240 stays", {"255", "255", "87", "240"});
        textRow("241 folds", {"255", "255", "88", "161"});
        textRow("272 folds", {"255", "119", "119", "112"});
    }
    void vary()
    {
        const int drawn = cell("drawn").toInt();
        QCOMPARE(classtable::vary(cell("v").toInt(), cell("m").toInt(), [&] { return drawn; }),
                 cell("expected").toInt());
    }

    // Named classes (and ranges of them), the random draws, and class:back/fore after.
    void randomColors_data()
    {
        textColumns({"named", "draws", "expected"});
        textRow("cursor wraps after 24",
                {"1-24 26", "0 0 0 0",
                 "4:#ffff00/#000000 10:#888800/#ffffff 16:#bbbb00/#000000 "
                 "24:#550061/#ffffff 25:#555555/#ffffff 26:#990000/#ffffff"});
    }
    void randomColors()
    {
        s.className.fill(QString());
        for (const QString& part : cell("named").split(' '))
            for (int i = part.section('-', 0, 0).toInt(); i <= part.section('-', -1).toInt(); ++i)
                s.className[i] = QStringLiteral("n%1").arg(i);
        const QStringList draws = cell("draws").split(' ');
        int calls = 0;
        classtable::randomColors(s, [&] { return draws.value(calls++, "-1").toInt(); });
        QCOMPARE(calls, draws.size());
        QStringList got;
        for (const QString& e : cell("expected").split(' ')) {
            const int i = e.section(':', 0, 0).toInt();
            got << QStringLiteral("%1:%2/%3")
                       .arg(i)
                       .arg(s.classBack[i].name(), s.classFore[i].name());
        }
        QCOMPARE(got.join(' '), cell("expected"));
    }
};

QTEST_GUILESS_MAIN(TestClassTable)
#include "tst_classtable.moc"

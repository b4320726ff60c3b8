#include "records/search.h"
#include "testsupport.h"

#include <QtTest>

namespace {

PlaceList makeList(const QStringList& names)
{
    PlaceList list;
    for (const QString& name : names) {
        auto record = std::make_unique<PlaceRecord>();
        record->name = name;
        list.push_back(std::move(record));
    }
    return list;
}

QList<bool> marks(const PlaceList& list)
{
    QList<bool> out;
    for (const auto& record : list)
        out << record->marked;
    return out;
}

const QString NotFoundForward = QStringLiteral(" は見つかりませんでした。Google Map で検索します");

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void forwardWalk();
    void backwardWalk();
    void emptyTextDoesNothing();
    void exactAndPartial();
    void staleCursor();
    void narrowing_data();
    void narrowing();
    void webQuery_data();
    void webQuery();
    void addressIsEncoded();
};

// The main window's forward step: the cursor carried between presses, the
// beep and the web search going out through the prompts.
void TestSearch::forwardWalk()
{
    PromptScope scope;
    PlaceList places = makeList({"大坂城", "富士山", "江戸城", "名古屋城"});
    int cursor = -1;
    const QString text = QStringLiteral("城");

    QList<int> hits;
    for (int press = 0; press < 3; ++press) {
        const search::Step step = search::stepForward(places, cursor, text);
        QVERIFY(step.acted);
        QVERIFY(!step.beep);
        QVERIFY(step.status.isEmpty());
        QVERIFY(step.url.isEmpty());
        QVERIFY(step.lastMissedName.isEmpty());
        search::promptStep(step);
        cursor = step.cursor;
        hits << step.hit;
        QCOMPARE(cursor, step.hit);
    }
    QCOMPARE(hits, (QList<int>{0, 2, 3}));
    QCOMPARE(marks(places), (QList<bool>{true, false, true, true}));
    QVERIFY(scope.prompts().calls.isEmpty());

    const search::Step miss = search::stepForward(places, cursor, text);
    QCOMPARE(miss.hit, -1);
    QCOMPARE(miss.cursor, -1);
    QVERIFY(miss.beep);
    QCOMPARE(miss.status, text + NotFoundForward);
    QCOMPARE(miss.lastMissedName, text);
    search::promptStep(miss);
    QCOMPARE(scope.prompts().kinds(), (QStringList{"beep", "url"}));
    // "城" is the first character: nothing is appended.
    QCOMPARE(scope.prompts().calls[1].extra,
             QStringLiteral("https://www.google.com/maps/search/城/"));

    const search::Step again = search::stepForward(places, miss.cursor, text);
    QCOMPARE(again.hit, 0);
    QCOMPARE(marks(places), (QList<bool>{true, false, true, true}));
}

void TestSearch::backwardWalk()
{
    PlaceList places = makeList({"大坂城", "富士山", "江戸城"});
    search::Step step = search::stepBackward(places, 3, QStringLiteral("城"));
    QCOMPARE(step.hit, 2);
    step = search::stepBackward(places, step.cursor, QStringLiteral("城"));
    QCOMPARE(step.hit, 0);
    QCOMPARE(marks(places), (QList<bool>{true, false, true}));

    step = search::stepBackward(places, step.cursor, QStringLiteral("城"));
    QCOMPARE(step.hit, -1);
    QCOMPARE(step.cursor, -1);
    QVERIFY(step.beep);
    QCOMPARE(step.status, QStringLiteral("城 は見つかりませんでした"));
    QVERIFY(step.url.isEmpty());
    QVERIFY(step.lastMissedName.isEmpty());

    // Right after a miss the cursor stands before the first row: it fails at once.
    step = search::stepBackward(places, step.cursor, QStringLiteral("城"));
    QCOMPARE(step.hit, -1);
    QVERIFY(step.beep);
}

void TestSearch::emptyTextDoesNothing()
{
    PlaceList places = makeList({"大坂城", ""});
    for (bool forward : {true, false}) {
        const search::Step step = forward ? search::stepForward(places, 0, QString())
                                          : search::stepBackward(places, 1, QString());
        QVERIFY(!step.acted);
        QCOMPARE(step.cursor, forward ? 0 : 1);
        QVERIFY(!step.beep);
        QVERIFY(step.url.isEmpty());
    }
    QCOMPARE(marks(places), (QList<bool>{false, false}));
}

// The exact search picks the first record of a name (a clicked marker).
void TestSearch::exactAndPartial()
{
    PlaceList places = makeList({"大坂城跡", "大坂城", "大坂城"});
    QCOMPARE(search::findNext(places, -1, QStringLiteral("大坂城"), false), 1);
    QCOMPARE(search::findNext(places, -1, QStringLiteral("大坂城"), true), 0);
    QCOMPARE(search::findNext(places, -1, QStringLiteral("大坂"), false), -1);
    QCOMPARE(search::findPrevious(places, 3, QStringLiteral("大坂城跡"), false), 0);
    QVERIFY(!places[0]->marked && !places[1]->marked);
}

// A cursor left behind by deleted records must not reach past the list.
void TestSearch::staleCursor()
{
    PlaceList places = makeList({"江戸城", "大坂城"});
    QCOMPARE(search::findNext(places, 10, QStringLiteral("城"), true), -1);
    QCOMPARE(search::findPrevious(places, 10, QStringLiteral("城"), true), 1);
    QCOMPARE(search::findNext(places, -7, QStringLiteral("城"), true), 0);
    PlaceList empty;
    QCOMPARE(search::findPrevious(empty, 5, QStringLiteral("城"), true), -1);
    QCOMPARE(search::stepForward(empty, -1, QStringLiteral("城")).hit, -1);
}

void TestSearch::narrowing_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byName");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("status");

    const QStringList castles{"大坂城", "富士山", "江戸城", "ABC"};
    QTest::newRow("by name") << castles << "城" << true << QList<int>{0, 2} << "該当データ 2/4";
    QTest::newRow("empty text shows all")
        << castles << "" << true << QList<int>{0, 1, 2, 3} << "該当データ 4/4";
    QTest::newRow("not by name ignores the text")
        << castles << "城" << false << QList<int>{0, 1, 2, 3} << "該当データ 4/4";
    QTest::newRow("case-sensitive")
        << castles << "abc" << true << QList<int>{} << "該当は見つかりませんでした";
    QTest::newRow("empty list") << QStringList{} << "" << false << QList<int>{}
                                << "該当は見つかりませんでした";
}

void TestSearch::narrowing()
{
    QFETCH(QStringList, names);
    QFETCH(QString, text);
    QFETCH(bool, byName);
    QFETCH(QList<int>, rows);
    QFETCH(QString, status);
    const PlaceList places = makeList(names);
    const search::TableFill fill = search::dataTableRows(places, text, byName);
    QCOMPARE(QList<int>(fill.rows.begin(), fill.rows.end()), rows);
    QCOMPARE(fill.status, status);
    QCOMPARE(fill.beep, rows.isEmpty());
}

void TestSearch::webQuery_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    const auto row = [](const char* text, const char* query) {
        QTest::newRow(text) << QString::fromUtf8(text) << QString::fromUtf8(query);
    };
    row("小田原城", "小田原城跡");
    row("小田原城跡", "小田原城跡");
    row("城山", "城山"); // the first character
    row("名古屋城公園", "名古屋城公園跡");
    row("富士山", "富士山");
}

void TestSearch::webQuery()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QCOMPARE(search::webSearchQuery(text), query);
}

// The text is one path segment: separators, queries and fragments stay encoded.
void TestSearch::addressIsEncoded()
{
    QCOMPARE(search::webSearchUrl(QStringLiteral("小田原城")).toEncoded(),
             QByteArray("https://www.google.com/maps/search/"
                        "%E5%B0%8F%E7%94%B0%E5%8E%9F%E5%9F%8E%E8%B7%A1/"));
    const QUrl url = search::webSearchUrl(QStringLiteral("a/../b c?d#e"));
    QCOMPARE(url.toEncoded(),
             QByteArray("https://www.google.com/maps/search/a%2F..%2Fb%20c%3Fd%23e/"));
    QCOMPARE(url.host(), QStringLiteral("www.google.com"));
    QVERIFY(url.query().isEmpty() && url.fragment().isEmpty());
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"

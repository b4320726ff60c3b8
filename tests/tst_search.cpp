#include "records/search.h"
#include "testsupport.h"

#include <QtTest>

class TestSearch : public QObject
{
    Q_OBJECT
    static PlaceList makeList(const QStringList& names)
    {
        PlaceList list;
        for (const QString& name : names) {
            list.push_back(std::make_unique<PlaceRecord>());
            list.back()->name = name;
        }
        return list;
    }

private slots:
    // Presses as the window makes them: the cursor carried over, beeps and web search prompted.
    void walk()
    {
        PromptScope scope;
        PlaceList places = makeList({"大坂城", "富士山", "江戸城", "名古屋城"});
        QVERIFY(!search::stepForward(places, 0, QString()).acted);
        search::Step step;
        QList<int> hits;
        const auto press = [&](bool forward) {
            step = forward ? search::stepForward(places, step.cursor, QStringLiteral("城"))
                           : search::stepBackward(places, step.cursor, QStringLiteral("城"));
            search::promptStep(step);
            hits << step.hit;
            return step;
        };
        for (int i = 0; i < 3; ++i)
            QVERIFY(press(true).status.isEmpty() && !step.beep);
        const search::Step miss = press(true);
        QCOMPARE(miss.status, QStringLiteral("城 は見つかりませんでした。Google Map で検索します"));
        QCOMPARE(miss.lastMissedName, QStringLiteral("城"));
        QCOMPARE(scope.prompts().calls[1].extra,
                 QStringLiteral("https://www.google.com/maps/search/城/"));
        QVERIFY(press(true).lastMissedName.isEmpty());
        QCOMPARE(hits, (QList<int>{0, 2, 3, -1, 0}));
        QVERIFY(places[0]->marked && !places[1]->marked && places[2]->marked && places[3]->marked);
        // Backwards from past the end; after a miss the next press fails at once.
        for (auto& record : places)
            record->marked = false;
        step.cursor = 4;
        hits.clear();
        for (int i = 0; i < 5; ++i)
            press(false);
        QCOMPARE(hits, (QList<int>{3, 2, 0, -1, -1}));
        QVERIFY(step.url.isEmpty() && step.lastMissedName.isEmpty());
        QCOMPARE(step.status, QStringLiteral("城 は見つかりませんでした"));
        QCOMPARE(scope.prompts().kinds(), QStringList({"beep", "url", "beep", "beep"}));
        QVERIFY(places[0]->marked && !places[1]->marked && places[2]->marked && places[3]->marked);
    }
    void exactAndStaleCursor()
    {
        PlaceList places = makeList({"大坂城跡", "大坂城", "大坂城"});
        QCOMPARE(search::findNext(places, -1, QStringLiteral("大坂城"), false), 1); // exact
        // A cursor left behind by deleted records must not reach past the list.
        QCOMPARE(search::findNext(places, 10, QStringLiteral("城"), true), -1);
        QCOMPARE(search::findPrevious(places, 10, QStringLiteral("城"), true), 2);
    }
    void narrowing()
    {
        const PlaceList places = makeList({"大坂城", "富士山", "江戸城", "ABC"});
        search::TableFill fill = search::dataTableRows(places, QStringLiteral("城"), true);
        QVERIFY(fill.rows == std::vector<int>({0, 2}) && !fill.beep);
        QCOMPARE(fill.status, QStringLiteral("該当データ 2/4"));
        fill = search::dataTableRows(places, QStringLiteral("城"), false); // the text is ignored
        QCOMPARE(fill.status, QStringLiteral("該当データ 4/4"));
        fill = search::dataTableRows(places, QStringLiteral("abc"), true); // case-sensitive
        QVERIFY(fill.beep && fill.rows.empty());
        QCOMPARE(fill.status, QStringLiteral("該当は見つかりませんでした"));
    }
    void webSearch()
    {
        QCOMPARE(search::webSearchQuery(QStringLiteral("小田原城")), QStringLiteral("小田原城跡"));
        QCOMPARE(search::webSearchQuery(QStringLiteral("小田原城跡")), QString("小田原城跡"));
        QCOMPARE(search::webSearchQuery(QStringLiteral("城山")), QStringLiteral("城山"));
        // The text is one path segment: separators, queries and fragments stay encoded.
        QCOMPARE(search::webSearchUrl(QStringLiteral("a/../b c?d#e")).toEncoded(),
                 QByteArray("https://www.google.com/maps/search/a%2F..%2Fb%20c%3Fd%23e/"));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"

// Name search and the sort order of the list.
#include "records/search.h"
#include "records/sorting.h"
#include "testsupport.h"

#include <QtTest>

namespace {

PlaceList makeList(const QStringList& names, const QStringList& levels = {})
{
    PlaceList list;
    for (int i = 0; i < names.size(); ++i) {
        list.push_back(std::make_unique<PlaceRecord>());
        list.back()->name = names[i];
        list.back()->level = levels.value(i);
    }
    return list;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    // Presses as the window makes them: the cursor carried over, beeps and web search prompted.
    void walk()
    {
        PromptScope scope;
        PlaceList places = makeList({"大坂城", "富士山", "江戸城", "名古屋城"});
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
        QCOMPARE(scope.prompts().calls[1].extra,
                 QStringLiteral("https://www.google.com/maps/search/城/"));
        QVERIFY(press(true).lastMissedName.isEmpty());
        QCOMPARE(hits, (QList<int>{0, 2, 3, -1, 0}));
        QVERIFY(places[0]->marked && !places[1]->marked && places[2]->marked && places[3]->marked);
        // Backwards from past the end; after a miss the next press fails at once.
        step.cursor = 4;
        hits.clear();
        for (int i = 0; i < 5; ++i)
            press(false);
        QCOMPARE(hits, (QList<int>{3, 2, 0, -1, -1}));
        QCOMPARE(step.status, QStringLiteral("城 は見つかりませんでした"));
        QCOMPARE(scope.prompts().kinds(), QStringList({"beep", "url", "beep", "beep"}));
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
        QCOMPARE(search::webSearchQuery("小田原城") + search::webSearchQuery("小田原城跡") +
                     search::webSearchQuery("城山"),
                 QStringLiteral("小田原城跡小田原城跡城山"));
        // The text is one path segment: separators, queries and fragments stay encoded.
        QCOMPARE(search::webSearchUrl(QStringLiteral("a/../b c?d#e")).toEncoded(),
                 QByteArray("https://www.google.com/maps/search/a%2F..%2Fb%20c%3Fd%23e/"));
    }

    void headerClicks()
    {
        int mode = 0;
        QList<int> seen;
        for (int column : {1, 1, 1, 0, 7, 7, 8, -1})
            seen << (mode = sorting::nextSortMode(mode, column));
        QCOMPARE(seen, (QList<int>{3, 4, 3, 1, 15, 16, 16, 16}));
        QCOMPARE(sorting::nextSortMode(99, 2), 5); // a setting outside the range
    }
    // Numbers by value before texts; equal keys keep their order in both directions.
    void sortPlaces()
    {
        for (auto [mode, order] :
             {std::pair{15, "13026457"}, {16, "57402613"}, {0, "01234567"}, {17, "01234567"}}) {
            PlaceList list = makeList(QString("01234567").split("", Qt::SkipEmptyParts),
                                      {"10", "9", "10.0", "9", "", "abc", "10", "abc"});
            sorting::sortPlaces(list, mode);
            QString names;
            for (const auto& record : list)
                names += record->name;
            QCOMPARE(names, QString(order));
        }
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"

#pragma once

#include "records/placerecord.h"

#include <QString>
#include <QUrl>

#include <vector>

// Name search over the place list: which records the data table shows, the
// step search forwards and backwards, and the web map search on a miss.
//
// The step search works on list indexes; its callers first make the data
// table show every record in list order, so a list index is also the row.
namespace search {

// Name test of a step search: contains (partial) or equals, case-sensitive.
bool nameMatches(const PlaceRecord& record, const QString& text, bool partial);

// The "絞込" test: an empty text lets every record through.
bool passesNameFilter(const PlaceRecord& record, const QString& text);

// What the data table shows, and what the status bar says about it.
struct TableFill
{
    std::vector<int> rows; // list indexes, ascending
    QString status;        // shown without time-out
    bool beep = false;     // nothing to show
};

// The rows of the data table: by name, the records passing the name filter;
// otherwise every record.
TableFill dataTableRows(const PlaceList& places, const QString& text, bool byName);
// "該当データ %1/%2", or "該当は見つかりませんでした" for no rows.
QString countStatus(int shown, int total);

// The first list index after cursor whose name matches, or -1. Pure: the
// caller marks and selects the hit.
int findNext(const PlaceList& places, int cursor, const QString& text, bool partial);
// The same backwards from cursor - 1; a cursor past the end starts at the last record.
int findPrevious(const PlaceList& places, int cursor, const QString& text, bool partial);

// The outcome of one press of "次へ" / Return or "前へ".
struct Step
{
    bool acted = false; // false for an empty text: the caller does nothing at all
    int hit = -1;       // list index (= data-table row) to select; already marked
    int cursor = -1;    // the new search cursor
    QString status;     // status text without time-out; empty = keep the table's count
    bool beep = false;
    QUrl url;               // web map search to open; empty = none
    QString lastMissedName; // forward step only: the new value
};

// Forward step: the next record containing the text, marked; on a miss the
// cursor goes back before the first row and the web map search is asked for.
Step stepForward(PlaceList& places, int cursor, const QString& text);
// Backward step: the previous record containing the text, marked.
Step stepBackward(PlaceList& places, int cursor, const QString& text);

// Sounds the step's beep and opens its web map search, through the prompts.
void promptStep(const Step& step);

// The web map search query: a "城" after the first character gets "跡"
// appended, unless the text already says "城跡" (小田原城 → 小田原城跡).
QString webSearchQuery(const QString& text);
// The web map search address for a text.
QUrl webSearchUrl(const QString& text);

} // namespace search

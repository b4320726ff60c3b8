#include "records/search.h"

#include "prompts/prompts.h"

#include <algorithm>

namespace search {

bool nameMatches(const PlaceRecord& record, const QString& text, bool partial)
{
    return partial ? record.name.contains(text, Qt::CaseSensitive) : record.name == text;
}

bool passesNameFilter(const PlaceRecord& record, const QString& text)
{
    return text.isEmpty() || record.name.contains(text, Qt::CaseSensitive);
}

QString countStatus(int shown, int total)
{
    if (shown > 0)
        return QStringLiteral("該当データ %1/%2").arg(shown).arg(total);
    return QStringLiteral("該当は見つかりませんでした");
}

TableFill dataTableRows(const PlaceList& places, const QString& text, bool byName)
{
    TableFill fill;
    fill.rows.reserve(places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (byName && !passesNameFilter(*places[i], text))
            continue;
        fill.rows.push_back(static_cast<int>(i));
    }
    const int shown = static_cast<int>(fill.rows.size());
    fill.status = countStatus(shown, static_cast<int>(places.size()));
    fill.beep = shown == 0;
    return fill;
}

int findNext(const PlaceList& places, int cursor, const QString& text, bool partial)
{
    const int size = static_cast<int>(places.size());
    for (int i = std::max(cursor + 1, 0); i < size; ++i) {
        if (nameMatches(*places[i], text, partial))
            return i;
    }
    return -1;
}

int findPrevious(const PlaceList& places, int cursor, const QString& text, bool partial)
{
    // A cursor left past the end by a delete must not read beyond the list.
    const int start = std::min(cursor - 1, static_cast<int>(places.size()) - 1);
    for (int i = start; i >= 0; --i) {
        if (nameMatches(*places[i], text, partial))
            return i;
    }
    return -1;
}

namespace {

// One press of a step search: the hit is marked; a miss puts the cursor back
// before the first row and beeps.
Step step(PlaceList& places, int cursor, const QString& text,
          int (*find)(const PlaceList&, int, const QString&, bool))
{
    Step step;
    step.cursor = cursor;
    if (text.isEmpty())
        return step;
    step.acted = true;
    step.hit = find(places, cursor, text, true);
    if (step.hit >= 0) {
        places[step.hit]->marked = true;
        step.cursor = step.hit;
        return step;
    }
    step.cursor = -1;
    step.beep = true;
    return step;
}

} // namespace

Step stepForward(PlaceList& places, int cursor, const QString& text)
{
    Step forward = step(places, cursor, text, findNext);
    if (forward.acted && forward.hit < 0) {
        forward.status = text + QStringLiteral(" は見つかりませんでした。Google Map で検索します");
        forward.lastMissedName = text;
        forward.url = webSearchUrl(text);
    }
    return forward;
}

Step stepBackward(PlaceList& places, int cursor, const QString& text)
{
    Step backward = step(places, cursor, text, findPrevious);
    if (backward.acted && backward.hit < 0)
        backward.status = text + QStringLiteral(" は見つかりませんでした");
    return backward;
}

void promptStep(const Step& step)
{
    if (step.beep)
        Prompts::instance().beep();
    if (!step.url.isEmpty())
        Prompts::instance().openUrl(step.url);
}

QString webSearchQuery(const QString& text)
{
    QString query = text;
    if (query.indexOf(QStringLiteral("城")) > 0 && !query.contains(QStringLiteral("城跡")))
        query += QStringLiteral("跡");
    return query;
}

QUrl webSearchUrl(const QString& text)
{
    const QByteArray encoded = QUrl::toPercentEncoding(webSearchQuery(text));
    return QUrl(
        QStringLiteral("https://www.google.com/maps/search/%1/").arg(QString::fromLatin1(encoded)),
        QUrl::TolerantMode);
}

} // namespace search

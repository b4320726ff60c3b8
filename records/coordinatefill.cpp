#include "records/coordinatefill.h"

#include "records/editing.h"

#include <algorithm>

using geocoding::ServiceId;

namespace coordinatefill {

namespace {

bool isNumber(const QString& text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

bool lacksCoordinates(const PlaceRecord& record)
{
    return !isNumber(record.x) || !isNumber(record.y);
}

std::vector<PlaceRecord*> candidates(const PlaceList& places, bool markedOnly)
{
    std::vector<PlaceRecord*> found;
    for (const auto& record : places) {
        if ((!markedOnly || record->marked) && lacksCoordinates(*record) &&
            !record->name.trimmed().isEmpty())
            found.push_back(record.get());
    }
    return found;
}

std::vector<QString> placedFields(const PlaceRecord& record, const geocoding::Place& place)
{
    std::vector<QString> fields = editing::fieldsOf(record);
    fields[1] = geocoding::coordinateText(place.longitude);
    fields[2] = geocoding::coordinateText(place.latitude);
    return fields;
}

std::vector<EditHistory::FieldChange> changes(const std::vector<Item>& items,
                                              const std::vector<std::optional<int>>& choices,
                                              const PlaceList& places)
{
    auto inList = [&places](const PlaceRecord* record) {
        return std::any_of(places.begin(), places.end(),
                           [record](const auto& p) { return p.get() == record; });
    };
    std::vector<EditHistory::FieldChange> result;
    size_t several = 0;
    for (const Item& item : items) {
        const geocoding::Place* place = nullptr;
        if (item.match == geocoding::Match::Clear) {
            place = &item.places.front();
        } else if (item.match == geocoding::Match::Several) {
            const std::optional<int> choice =
                several < choices.size() ? choices[several] : std::nullopt;
            ++several;
            if (choice && *choice >= 0 && *choice < item.places.size())
                place = &item.places[*choice];
        }
        if (place && inList(item.record))
            result.push_back({item.record, placedFields(*item.record, *place)});
    }
    return result;
}

} // namespace coordinatefill

CoordinateFill::CoordinateFill(Geocoder* geocoder, std::vector<PlaceRecord*> records,
                               QObject* parent)
    : QObject(parent), geocoder(geocoder)
{
    for (PlaceRecord* record : records)
        all.push_back({record, record->name.trimmed(), geocoding::Match::None, {}, {}, false});
    connect(geocoder, &Geocoder::answered, this, &CoordinateFill::onAnswer);
}

CoordinateFill::~CoordinateFill()
{
    if (ticket)
        geocoder->cancel(ticket);
}

void CoordinateFill::start()
{
    clock.start();
    askNext();
}

void CoordinateFill::cancel()
{
    if (over)
        return;
    cancelled = true;
    if (ticket)
        geocoder->cancel(std::exchange(ticket, 0));
    finish();
}

qint64 CoordinateFill::remainingMs() const
{
    const int left = total() - next;
    if (left <= 0)
        return 0;
    // Each name still to ask takes a second at least, however fast the cache was.
    const qint64 perName = next > 0 ? qMax(clock.elapsed() / next, coordinatefill::msPerName)
                                    : coordinatefill::msPerName;
    return perName * left;
}

void CoordinateFill::askNext()
{
    if (next >= total()) {
        finish();
        return;
    }
    ticket = geocoder->ask(ServiceId::Gsi, all[size_t(next)].query);
}

void CoordinateFill::onAnswer(int answered, const Geocoder::Answer& answer)
{
    if (answered != ticket || over)
        return;
    ticket = 0;
    coordinatefill::Item& item = all[size_t(next)];
    item.asked = true;
    if (answer.error.isEmpty() && !answer.places.isEmpty()) {
        item.places = answer.places;
        item.error.clear();
    } else if (!answer.error.isEmpty()) {
        item.error =
            item.error.isEmpty() ? answer.error : item.error + QLatin1Char('\n') + answer.error;
    }
    // Unknown to the address search: the world-wide one may know the name.
    if (item.places.isEmpty() && answer.service == ServiceId::Gsi) {
        ticket = geocoder->ask(ServiceId::Nominatim, item.query);
        return;
    }
    if (!item.places.isEmpty())
        item.error.clear();
    item.match = geocoding::classify(item.query, item.places);

    const bool failed = item.places.isEmpty() && !item.error.isEmpty();
    failuresInRow = failed ? failuresInRow + 1 : 0;
    ++next;
    emit progress(next, total());
    if (failuresInRow >= coordinatefill::maxFailuresInRow) {
        stopped = item.error;
        finish();
        return;
    }
    askNext();
}

void CoordinateFill::finish()
{
    if (over)
        return;
    over = true;
    emit finished();
}

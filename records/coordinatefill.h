#pragma once

#include "net/geocoder.h"
#include "records/edithistory.h"
#include "records/placerecord.h"

#include <QElapsedTimer>
#include <QObject>

#include <optional>
#include <vector>

// "座標の補完": finds the coordinates of places that have none by their names,
// one name after another, as politely as the geocoder asks.
namespace coordinatefill {

// A public service is asked about at most this many names in one batch: their
// policies forbid bulk use. One's own server has no such limit.
constexpr int publicBatchLimit = 1000;
// The least a name takes when it is asked: one request a second.
constexpr qint64 msPerName = 1050;
// Names in a row that no service could answer before the batch gives up.
constexpr int maxFailuresInRow = 3;

// Empty or not a number, in either coordinate.
bool lacksCoordinates(const PlaceRecord& record);
// The records without coordinates (only the marked ones, if asked), in list
// order; a record without a name has nothing to search by and is left out.
std::vector<PlaceRecord*> candidates(const PlaceList& places, bool markedOnly);

struct Item
{
    PlaceRecord* record = nullptr;
    QString query;
    geocoding::Match match = geocoding::Match::None;
    // Clear: the match first. Several: the choices.
    QVector<geocoding::Place> places;
    // Every service asked failed: why.
    QString error;
    bool asked = false;
};

// The new fields of a record placed at a found position.
std::vector<QString> placedFields(const PlaceRecord& record, const geocoding::Place& place);

// The changes of one batch: every clear match, and the chosen place of those with
// several (choices[i] is an index into the i-th such item's places, or none).
// Records no longer in the list are skipped.
std::vector<EditHistory::FieldChange> changes(const std::vector<Item>& items,
                                              const std::vector<std::optional<int>>& choices,
                                              const PlaceList& places);

} // namespace coordinatefill

// Runs one batch: the address search first, then the world-wide search for a
// name it does not know. Three names in a row that no service could answer
// stop the batch (the network is gone); so does cancel().
class CoordinateFill : public QObject
{
    Q_OBJECT
public:
    CoordinateFill(Geocoder* geocoder, std::vector<PlaceRecord*> records,
                   QObject* parent = nullptr);
    ~CoordinateFill() override;

    void start();
    void cancel();

    const std::vector<coordinatefill::Item>& items() const { return all; }
    int total() const { return int(all.size()); }
    int done() const { return next; }
    bool isFinished() const { return over; }
    bool wasCancelled() const { return cancelled; }
    // Why the batch stopped early; empty when it ran to its end or was cancelled.
    QString stopReason() const { return stopped; }
    // Estimate of the time still needed, in milliseconds.
    qint64 remainingMs() const;

signals:
    void progress(int done, int total);
    void finished();

private:
    void askNext();
    void onAnswer(int ticket, const Geocoder::Answer& answer);
    void finish();

    Geocoder* geocoder;
    std::vector<coordinatefill::Item> all;
    int next = 0;
    int ticket = 0;
    int failuresInRow = 0;
    bool over = false;
    bool cancelled = false;
    QString stopped;
    QElapsedTimer clock;
};

#include "records/sorting.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <random>

namespace {

constexpr int PlaceCount = 50000;

// Places like the shipped list: Japanese names, coordinates with many
// decimals, small integers, a few shapes; some duplicate keys.
PlaceList makePlaces()
{
    static const QStringList stems{"大坂", "江戸", "名古屋", "小田原", "姫路", "熊本", "松本"};
    static const QStringList shapes{"Image", "Scaled", "Circle"};
    QRandomGenerator random(7);
    PlaceList places;
    places.reserve(PlaceCount);
    for (int i = 0; i < PlaceCount; ++i) {
        auto record = std::make_unique<PlaceRecord>();
        record->name = stems[int(random.bounded(stems.size()))] + QString::number(i % 9000) +
                       QStringLiteral("城");
        record->x = QString::number(128.0 + random.generateDouble() * 18.0, 'f', 14);
        record->y = QString::number(26.0 + random.generateDouble() * 19.0, 'f', 14);
        record->color = QString::number(random.bounded(200));
        record->layer = QString::number(1 + random.bounded(9));
        record->shape = shapes[int(random.bounded(shapes.size()))];
        record->font = QString::number(9 + random.bounded(8));
        record->level = QString::number(9 + random.bounded(9));
        places.push_back(std::move(record));
    }
    return places;
}

// One header click on a column of a shuffled list: the first click sorts ascending.
void BM_HeaderSort(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    PlaceList places = makePlaces();
    std::mt19937 shuffle(11);
    for (auto _ : state) {
        state.PauseTiming();
        std::shuffle(places.begin(), places.end(), shuffle);
        state.ResumeTiming();
        sorting::sortPlaces(places, sorting::nextSortMode(0, column));
        benchmark::DoNotOptimize(places.front().get());
    }
    state.SetItemsProcessed(state.iterations() * PlaceCount);
}

} // namespace

// Name (text), longitude (decimal numbers), colour (integers), shape (few texts).
BENCHMARK(BM_HeaderSort)
    ->Arg(0)
    ->Arg(1)
    ->Arg(3)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();

// Import and export of 171 000 places in each format, and the import of a
// million foreign placemarks. Peak memory is per process: run one benchmark at
// a time (--benchmark_filter) for the figure of one format; base_MiB is the resident
// size with the list and its file in memory, before the benchmark's own work.
#include "bench/benchsupport.h"
#include "formats/formats.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

namespace {

// From here on VmHWM counts only what follows; the resident size now is the base.
double resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
    return peakMemoryMb();
}

const formats::Format kinds[] = {formats::Format::PlaceList, formats::Format::SpreadsheetCsv,
                                 formats::Format::Gpx,       formats::Format::Kml,
                                 formats::Format::Kmz,       formats::Format::GeoJson};

PlaceList makeList(int n)
{
    PlaceList list;
    list.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<PlaceRecord>();
        p->name = QStringLiteral("地点%1 城跡").arg(i);
        p->x = QString::number(122.0 + (i % 2000) * 0.012, 'f', 4);
        p->y = QString::number(24.0 + (i / 2000) * 0.2, 'f', 4);
        p->color = QString::number(i % 200);
        p->layer = QString::number(1 + i % 9);
        p->shape = QStringLiteral("Image");
        p->font = QStringLiteral("11");
        p->level = QStringLiteral("10");
        list.push_back(std::move(p));
    }
    return list;
}

formats::ClassStyles styles()
{
    return {QVector<QString>(200), QVector<QColor>(200, QColor(200, 30, 30)),
            QVector<QColor>(200, Qt::white)};
}

std::vector<const PlaceRecord*> pointers(const PlaceList& list)
{
    std::vector<const PlaceRecord*> out;
    for (const auto& p : list)
        out.push_back(p.get());
    return out;
}

void BM_Export(benchmark::State& state)
{
    const formats::Format kind = kinds[state.range(0)];
    const PlaceList list = makeList(int(state.range(1)));
    const auto ptrs = pointers(list);
    state.counters["base_MiB"] = resetPeak();
    qint64 bytes = 0;
    for (auto _ : state) {
        const formats::ExportResult out = formats::exportPlaces(ptrs, kind, styles());
        bytes = out.bytes.size();
        benchmark::DoNotOptimize(out.bytes.data());
    }
    state.SetLabel(formats::formatName(kind).toStdString());
    state.counters["file_MiB"] = double(bytes) / (1 << 20);
    state.counters["VmHWM_MiB"] = peakMemoryMb();
}

void BM_Import(benchmark::State& state)
{
    const formats::Format kind = kinds[state.range(0)];
    QByteArray file;
    {
        const PlaceList list = makeList(int(state.range(1)));
        file = formats::exportPlaces(pointers(list), kind, styles()).bytes;
    }
    state.counters["base_MiB"] = resetPeak();
    size_t read = 0;
    for (auto _ : state) {
        const formats::ImportResult r = formats::importBytes(file);
        read = r.places.size();
        benchmark::DoNotOptimize(r.places.data());
    }
    state.SetLabel(formats::formatName(kind).toStdString());
    state.counters["places"] = double(read);
    state.counters["VmHWM_MiB"] = peakMemoryMb();
}

// A million placemarks of another tool: no data of ours, a style each.
void BM_ImportForeignKml(benchmark::State& state)
{
    QByteArray kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
    for (int i = 0; i < state.range(0); ++i)
        kml += "<Placemark><name>p" + QByteArray::number(i) +
               "</name><styleUrl>#s</styleUrl><Point><coordinates>" +
               QByteArray::number(122 + (i % 2000) * 0.012) + "," +
               QByteArray::number(24 + (i / 20000) * 0.2) + "</coordinates></Point></Placemark>\n";
    kml += "</Document></kml>\n";
    state.counters["base_MiB"] = resetPeak();
    size_t read = 0;
    for (auto _ : state) {
        const formats::ImportResult r = formats::importBytes(kml);
        read = r.places.size();
    }
    state.counters["places"] = double(read);
    state.counters["VmHWM_MiB"] = peakMemoryMb();
}

void places(benchmark::internal::Benchmark* b)
{
    for (int k = 0; k < 6; ++k)
        b->Args({k, 171000});
}

} // namespace

BENCHMARK(BM_Export)
    ->Apply(places)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Import)
    ->Apply(places)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ImportForeignKml)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

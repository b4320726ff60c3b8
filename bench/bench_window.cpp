// Start-up and refresh of the whole window with large lists.
//
//   build/bench/bench_window --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "app/mivaromap.h"
#include "map/markers.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A list of n places around Japan, all shapes and layers, a few classes.
QByteArray makeList(int n)
{
    static const char* shapes[] = {"Image", "Scaled", "Circle"};
    QByteArray out;
    for (int i = 0; i < n; ++i) {
        out += QStringLiteral("場所%1,%2,%3,%4,%5,%6,11,10\n")
                   .arg(i)
                   .arg(129.0 + (i % 1000) * 0.013, 0, 'f', 4)
                   .arg(31.0 + (i / 1000) * 0.2 + (i % 7) * 0.01, 0, 'f', 4)
                   .arg(i % 4)
                   .arg(1 + i % 9)
                   .arg(QLatin1String(shapes[i % 3]))
                   .toUtf8();
    }
    return out;
}

struct ProgramDir : BenchProgramDir
{
    explicit ProgramDir(int places) : BenchProgramDir(makeList(places)) {}
};

// Start-up to the shown window with the markers in view painted (the CPU
// column is the GUI thread's alone). The picture files follow on a worker
// thread; they are timed on their own below.
void BM_StartUp(benchmark::State& state)
{
    ProgramDir dir(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QDir(dir.dir.filePath("image")).removeRecursively();
        state.ResumeTiming();
        MivaroMap window;
        window.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StartUp)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Writing every picture file of a first run (empty image folder).
void BM_FirstRunFiles(benchmark::State& state)
{
    ProgramDir dir(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        QDir(dir.dir.filePath("image")).removeRecursively();
        MivaroMap window;
        state.ResumeTiming();
        window.markerPictures()->flushFiles();
    }
}
BENCHMARK(BM_FirstRunFiles)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefreshUnchanged(benchmark::State& state)
{
    ProgramDir dir(int(state.range(0)));
    MivaroMap window;
    window.refreshPlaces();
    window.markerPictures()->flushFiles();
    for (auto _ : state)
        window.refreshPlaces();
}
BENCHMARK(BM_RefreshUnchanged)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}

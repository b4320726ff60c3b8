// The command line's picture measured from outside, start-up included: the
// real program runs `--render` on 100 000 random places inside Japan, without
// tiles, for a 1600 x 1000 view at zoom 9 around Tokyo (the default view), at
// 1x and as a 4x print. Figures: the child's CPU time (user + system, every
// thread) and its peak memory (ru_maxrss), read by wait4().
//
//   build/bench/bench_render --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

// A portable copy of the program in a folder of its own with the places.
struct RenderFolder
{
    QTemporaryDir dir;
    QString exe;

    explicit RenderFolder(int places)
    {
        exe = dir.filePath(QStringLiteral("mivaromap"));
        QFile::copy(QStringLiteral(MIVAROMAP_EXE), exe);
        QFile::copy(QStringLiteral(MIVAROMAP_DIST "/classsetting.ini"),
                    dir.filePath(QStringLiteral("classsetting.ini")));
        QFile list(dir.filePath(QStringLiteral("castlelist.csv")));
        list.open(QIODevice::WriteOnly);
        list.write(makeJapanList(places, 12));
        list.close();
        QSettings ini(dir.filePath(QStringLiteral("mivaromap.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("cache"), false);
    }
};

struct Run
{
    double cpuSeconds = 0;
    double peakMb = 0;
    int status = -1;
};

Run render(const RenderFolder& folder, int scale)
{
    std::vector<std::string> args = {folder.exe.toStdString(),
                                     "--render",
                                     folder.dir.filePath("out.png").toStdString(),
                                     "--no-tiles",
                                     "--size",
                                     "1600x1000",
                                     "--zoom",
                                     "9",
                                     "--center",
                                     "139.949,35.7153",
                                     "--scale",
                                     std::to_string(scale)};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    Run run;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return run;
    struct rusage usage = {};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
    run.peakMb = usage.ru_maxrss / 1024.0;
    return run;
}

void BM_Render(benchmark::State& state)
{
    RenderFolder folder(int(state.range(0)));
    const int scale = int(state.range(1));
    Run last;
    double cpu = 0;
    for (auto _ : state) {
        last = render(folder, scale);
        if (last.status != 0) {
            state.SkipWithError("the render failed");
            return;
        }
        cpu = last.cpuSeconds;
        state.SetIterationTime(last.cpuSeconds);
    }
    state.counters["cpu_s"] = cpu;
    state.counters["VmHWM_MB"] = last.peakMb;
}

} // namespace

BENCHMARK(BM_Render)
    ->ArgNames({"places", "scale"})
    ->Args({100000, 1})
    ->Args({100000, 4})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();

// The program started as a user starts it, measured from outside: a copy of
// the executable in a folder of its own with N random places inside Japan
// (the shipped mix of shapes), no tile server, the offscreen platform. The
// child runs until it uses no CPU for 3 s; the figures are its CPU time up to
// then (every thread, picture files included), the wall time, and its peak
// memory (VmHWM), all read from /proc.
//
//   Cold: an empty picture folder, as on the first run with a new list.
//   Warm: the picture folder of an earlier run with the same list.
//   FilesOff: no picture files written ("マーカー画像ファイルを書き出す" off).
//
//   build/bench/bench_startup --benchmark_filter=Cold/10000/
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>

namespace {

// A folder that looks like an installed program with its own list.
struct Installation
{
    QTemporaryDir dir;
    QString exe;

    explicit Installation(int places)
    {
        exe = dir.filePath(QStringLiteral("mivaromap"));
        // MIVAROMAP_BENCH_EXE measures another build (an older one, say).
        const QString built = qEnvironmentVariableIsEmpty("MIVAROMAP_BENCH_EXE")
                                  ? QStringLiteral(MIVAROMAP_EXE)
                                  : qEnvironmentVariable("MIVAROMAP_BENCH_EXE");
        QFile::copy(built, exe);
        QFile::copy(QStringLiteral(MIVAROMAP_DIST "/classsetting.ini"),
                    dir.filePath(QStringLiteral("classsetting.ini")));
        QFile list(dir.filePath(QStringLiteral("castlelist.csv")));
        list.open(QIODevice::WriteOnly);
        list.write(makeJapanList(places, 12));
        list.close();
        writeSettings();
    }

    // Each run starts from the same settings: the saved ones of a closed run
    // would move the map.
    void writeSettings(bool markerFiles = true)
    {
        const QString path = dir.filePath(QStringLiteral("mivaromap.ini"));
        QFile::remove(path);
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("cache"), false);
        ini.setValue(QStringLiteral("provider"), 1);
        ini.setValue(QStringLiteral("zoomLevel"), 9);
        ini.setValue(QStringLiteral("coordX"), 139.949);
        ini.setValue(QStringLiteral("coordY"), 35.7153);
        ini.setValue(QStringLiteral("markerFiles"), markerFiles);
        // A window of a usual desktop size, not the form's small default.
        QWidget window;
        window.setGeometry(40, 40, 1600, 1000);
        ini.setValue(QStringLiteral("geometry"), window.saveGeometry());
        const QString nowhere = QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png");
        for (const char* key : {"tiles/google", "tiles/osm", "tiles/stamen", "tiles/gsi"})
            ini.setValue(QLatin1String(key), nowhere);
    }

    // Moved aside, not deleted: a file system that has just freed 100 000
    // inodes makes the next creations slower than a first run ever sees.
    void clearPictures()
    {
        QDir(dir.path())
            .rename(QStringLiteral("image"), QStringLiteral("image.old%1").arg(++cleared));
    }
    int cleared = 0;
};

struct Figures
{
    double cpu = 0.0;  // seconds, user + system, every thread
    double wall = 0.0; // seconds
    double hwmMB = 0.0;
    bool idle = false;
};

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which may hold spaces, in parentheses.
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return -1.0;
    return double(f[11].toLongLong() + f[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// When the folder's entries last changed (0 while it does not exist): cheap to
// ask every 50 ms, unlike counting 100 000 entries, which would compete with
// the program for the machine.
qint64 folderChangeTime(const QString& folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return 0;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Idle: less than 30 ms of CPU in 3 s (a blinking text cursor is not work)
// and no change in the picture folder meanwhile: a low-priority writer
// starved by a busy machine must not pass for an idle program.
Figures runUntilIdle(const Installation& inst)
{
    constexpr qint64 quietMs = 3000;
    constexpr double quietCpu = 0.03;
    constexpr qint64 giveUpMs = 600000;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setWorkingDirectory(inst.dir.path());
    QElapsedTimer clock;
    clock.start();
    child.start(inst.exe, QStringList());
    Figures f;
    if (!child.waitForStarted())
        return f;
    const qint64 pid = child.processId();
    // CPU samples: (elapsed ms, cpu s); the first sample of the last quiet window ends the run.
    struct Sample
    {
        qint64 ms;
        double cpu;
        qint64 folderChanged;
    };
    const QString pictures = inst.dir.filePath(QStringLiteral("image"));
    std::vector<Sample> samples;
    while (clock.elapsed() < giveUpMs && child.state() == QProcess::Running) {
        const double cpu = cpuSeconds(pid);
        if (cpu < 0)
            break;
        samples.push_back({clock.elapsed(), cpu, folderChangeTime(pictures)});
        f.hwmMB = std::max(f.hwmMB, peakMemoryMb(pid));
        // The earliest sample at least 3 s back.
        std::size_t i = samples.size();
        while (i > 0 && samples.back().ms - samples[i - 1].ms < quietMs)
            --i;
        if (i > 0 && samples.back().cpu - samples[i - 1].cpu <= quietCpu &&
            samples.back().folderChanged == samples[i - 1].folderChanged) {
            f.cpu = samples[i - 1].cpu;
            f.wall = samples[i - 1].ms / 1000.0;
            f.idle = true;
            break;
        }
        QThread::msleep(50);
    }
    child.kill();
    child.waitForFinished();
    return f;
}

Installation& installation(int places)
{
    static std::map<int, std::unique_ptr<Installation>> made;
    auto& inst = made[places];
    if (!inst)
        inst = std::make_unique<Installation>(places);
    return *inst;
}

void report(benchmark::State& state, const Figures& f)
{
    state.SetIterationTime(f.cpu);
    state.counters["cpu_s"] = f.cpu;
    state.counters["wall_s"] = f.wall;
    state.counters["VmHWM_MB"] = f.hwmMB;
    if (!f.idle)
        state.SkipWithError("the program never went idle");
}

void BM_StartUpCold(benchmark::State& state)
{
    Installation& inst = installation(int(state.range(0)));
    for (auto _ : state) {
        inst.clearPictures();
        inst.writeSettings();
        report(state, runUntilIdle(inst));
    }
}

void BM_StartUpWarm(benchmark::State& state)
{
    Installation& inst = installation(int(state.range(0)));
    inst.writeSettings();
    runUntilIdle(inst); // the picture folder of an earlier run
    for (auto _ : state) {
        inst.writeSettings();
        report(state, runUntilIdle(inst));
    }
}

void BM_StartUpFilesOff(benchmark::State& state)
{
    Installation& inst = installation(int(state.range(0)));
    for (auto _ : state) {
        inst.clearPictures();
        inst.writeSettings(false);
        report(state, runUntilIdle(inst));
    }
}

} // namespace

// Three runs of each list size: the figures are their medians.
void listSizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10000)->Arg(50000)->Arg(100000)->Arg(170000);
    b->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);
}
BENCHMARK(BM_StartUpCold)->Apply(listSizes);
BENCHMARK(BM_StartUpWarm)->Apply(listSizes);
BENCHMARK(BM_StartUpFilesOff)->Apply(listSizes);

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}

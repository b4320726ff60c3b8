#include "bench/benchsupport.h"

#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>

double peakMemoryMb(qint64 pid)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

int runWidgetBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initMivaroMapResources();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit)
        beforeExit();
    return 0;
}

BenchProgramDir::BenchProgramDir(const QByteArray& list)
{
    setProgramDir(dir.path());
    QFile f(dir.filePath(QStringLiteral("list.csv")));
    f.open(QIODevice::WriteOnly);
    f.write(list);
    f.close();
    AppSettings::instance().load();
    AppSettings::instance().csv_filename = dir.filePath(QStringLiteral("list.csv"));
    AppSettings::instance().cache = false;
}

BenchProgramDir::~BenchProgramDir()
{
    setProgramDir(QString());
}

namespace {
// Land boxes of the main islands (lon0, lat0, lon1, lat1), weighted by size.
struct Box
{
    double lon0, lat0, lon1, lat1;
    int weight;
};
const Box japan[] = {
    {129.7, 31.2, 131.9, 33.9, 3}, // Kyushu
    {132.5, 32.9, 134.6, 34.3, 2}, // Shikoku
    {131.0, 34.0, 136.5, 35.6, 4}, // western Honshu
    {135.5, 34.0, 140.9, 37.0, 6}, // central Honshu
    {139.0, 37.0, 141.9, 41.4, 5}, // Tohoku
    {140.0, 41.5, 145.5, 45.4, 5}, // Hokkaido
};
} // namespace

QByteArray makeJapanList(int n, quint32 seed)
{
    QRandomGenerator random(seed);
    int total = 0;
    for (const Box& b : japan)
        total += b.weight;
    static const char* const syllables[] = {"山", "川", "城", "田", "島", "松", "本", "高",
                                            "岡", "宮", "大", "小", "中", "野", "原", "木"};
    QByteArray out;
    for (int i = 0; i < n; ++i) {
        int pick = int(random.bounded(total));
        const Box* box = japan;
        while (pick >= box->weight) {
            pick -= box->weight;
            ++box;
        }
        QString name;
        const int length = 2 + int(random.bounded(4));
        for (int k = 0; k < length; ++k)
            name += QString::fromUtf8(syllables[random.bounded(16)]);
        name += QString::number(i);
        const int s = int(random.bounded(100));
        const char* shape = s < 66 ? "Circle" : s < 78 ? "Image" : "Scaled";
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,11,10\n")
                   .arg(name)
                   .arg(box->lon0 + random.generateDouble() * (box->lon1 - box->lon0), 0, 'f', 4)
                   .arg(box->lat0 + random.generateDouble() * (box->lat1 - box->lat0), 0, 'f', 4)
                   .arg(random.bounded(10))
                   .arg(1 + random.bounded(9))
                   .arg(QLatin1String(shape))
                   .toUtf8();
    }
    return out;
}

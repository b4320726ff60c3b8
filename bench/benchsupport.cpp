#include "bench/benchsupport.h"

#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>

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

#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

#include <functional>

// The peak resident memory (VmHWM) in megabytes of a process (0: this one),
// 0 when unknown.
double peakMemoryMb(qint64 pid = 0);

// main() of a benchmark that builds widgets: an offscreen application unless a
// platform is set, the compiled-in pictures, then the benchmarks asked for.
// `beforeExit` drops what must go before the application (pixmaps, fonts).
int runWidgetBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {});

// A program directory of its own holding `list` as "list.csv", the list the
// settings name; the tile cache off. Set while it lives.
struct BenchProgramDir
{
    QTemporaryDir dir;
    explicit BenchProgramDir(const QByteArray& list);
    ~BenchProgramDir();
};

// N random places inside Japan, as list lines (the shipped mix of shapes:
// two thirds circles, a fifth scaled labels, the rest fixed labels); the same
// list for the same seed.
QByteArray makeJapanList(int n, quint32 seed);

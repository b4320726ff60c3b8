// The class page and the label palette.
//
//   build/bench/bench_classes --benchmark_filter=Palette --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
// Run one benchmark per process for a meaningful VmHWM (the process's peak).
#include "app/mivaromap.h"
#include "classes/classrows.h"
#include "map/markers.h"
#include "prompts/prompts.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "widgets/mivaromaputil.h"

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

// Places on classes 0..9 but 3, so that class 3 can be erased and inserted again.
int classFor(int i)
{
    const int c = i % 9;
    return c == 3 ? 9 : c;
}

// The palette is shown and painted once, then left without a choice.
class ShowOncePrompts : public QtPrompts
{
public:
    int execDialog(QDialog*) override
    {
        QApplication::processEvents();
        return QDialog::Rejected;
    }
};

void nameAllClasses()
{
    AppSettings& s = AppSettings::instance();
    for (int i = 0; i < AppSettings::ClassCount; ++i) {
        s.className[i] = QStringLiteral("分類%1").arg(i);
        s.classBack[i] = QColor::fromHsv(i * 7 % 360, 200, 200);
        s.classFore[i] = Qt::white;
    }
}

QByteArray makeList(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += QStringLiteral("場所%1,%2,%3,%4,%5,Image,11,10\n")
                   .arg(i)
                   .arg(129.0 + (i % 1000) * 0.013, 0, 'f', 4)
                   .arg(31.0 + (i / 1000) * 0.2, 0, 'f', 4)
                   .arg(classFor(i))
                   .arg(1 + i % 9)
                   .toUtf8();
    return out;
}

struct ProgramDir : BenchProgramDir
{
    explicit ProgramDir(int places) : BenchProgramDir(makeList(places))
    {
        nameAllClasses();
        AppSettings::instance().className[199].clear();
    }
};

QPushButton* button(MivaroMap& window, const QString& tip)
{
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (b->toolTip() == tip)
            return b;
    return nullptr;
}

void BM_OpenPalette(benchmark::State& state)
{
    nameAllClasses();
    auto previous = Prompts::install(std::make_unique<ShowOncePrompts>());
    MivaroMapUtil util;
    for (auto _ : state)
        benchmark::DoNotOptimize(util.pickColorClass(0, 0, 1600, 1000));
    Prompts::install(std::move(previous));
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_OpenPalette)->Unit(benchmark::kMillisecond)->UseRealTime();

// The 200 rows as start-up builds them (their page is not shown yet), and
// built and shown, as when the page is first opened.
void BM_BuildClassRows(benchmark::State& state)
{
    ProgramDir dir(0);
    MivaroMap window;
    for (auto _ : state) {
        QWidget page;
        auto* layout = new QVBoxLayout(&page);
        benchmark::DoNotOptimize(buildClassRowWidgets(layout, &window));
        if (state.range(0)) {
            page.show();
            QApplication::processEvents();
        }
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_BuildClassRows)
    ->ArgName("shown")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One structural change on a large list: renumbering, saving the class file
// and the list, and the refresh. The change is taken back untimed.
void BM_ClassChange(benchmark::State& state, const char* doTip, const char* undoTip)
{
    ProgramDir dir(int(state.range(0)));
    MivaroMap window;
    QPushButton* change = button(window, QString::fromLatin1(doTip));
    QPushButton* undo = button(window, QString::fromLatin1(undoTip));
    for (auto _ : state) {
        change->click();
        state.PauseTiming();
        undo->click();
        state.ResumeTiming();
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK_CAPTURE(BM_ClassChange, Insert, "insert3", "erase3")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ClassChange, Erase, "erase3", "insert3")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ClassChange, Move, "up3", "down2")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}

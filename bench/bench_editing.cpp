// The editing commands on large lists, each with the refresh it triggers.
// Run one benchmark per process so that its VmHWM is its own:
//
//   build/bench/bench_editing --benchmark_filter=BM_Delete --benchmark_repetitions=5
#include "app/mivaromap.h"
#include "map/markers.h"
#include "prompts/prompts.h"
#include "records/tablemodel.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "ui_mainwindow.h"

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {

// n places; `names` distinct names (the pictures are drawn once per name
// and colour, the filter looks at no name).
QByteArray makeList(int n, int names)
{
    static const char* shapes[] = {"Image", "Scaled", "Circle"};
    QByteArray out;
    for (int i = 0; i < n; ++i) {
        out += QStringLiteral("場所%1,%2,%3,%4,%5,%6,11,10\n")
                   .arg(i % names)
                   .arg(129.0 + (i % 1000) * 0.013, 0, 'f', 4)
                   .arg(31.0 + (i / 1000) * 0.2 + (i % 7) * 0.01, 0, 'f', 4)
                   .arg(i % 4)
                   .arg(1 + i % 9)
                   .arg(QLatin1String(shapes[i % 3]))
                   .toUtf8();
    }
    return out;
}

// Answers every question with Yes and keeps quiet otherwise.
class YesPrompts : public QtPrompts
{
public:
    QMessageBox::StandardButton question(QWidget*, const QString&, const QString&,
                                         QMessageBox::StandardButtons,
                                         QMessageBox::StandardButton) override
    {
        return QMessageBox::Yes;
    }
    QMessageBox::StandardButton information(QWidget*, const QString&, const QString&,
                                            QMessageBox::StandardButtons) override
    {
        return QMessageBox::Ok;
    }
    void beep() override {}
};

struct Fixture : BenchProgramDir
{
    std::unique_ptr<MivaroMap> window;
    Fixture(int places, int names) : BenchProgramDir(makeList(places, names))
    {
        Prompts::install(std::make_unique<YesPrompts>());
        // The picture files are written while the program is idle, which a
        // benchmark never is: they stay out of the figures.
        window = std::make_unique<MivaroMap>();
    }
    ~Fixture()
    {
        window.reset();
        Prompts::install(nullptr);
    }
    // Every fifth place.
    void markFifth()
    {
        for (size_t i = 0; i < window->places.size(); ++i)
            window->places[i]->marked = i % 5 == 0;
    }
};

void reportPeak(benchmark::State& state)
{
    state.counters["VmHWM_kB"] = peakMemoryMb() * 1024.0;
}

// Bulk replace of 10 000 marked places among 50 000: the level (markers keep
// their pictures) or the colour class (10 000 new pictures).
void BM_BulkReplace(benchmark::State& state)
{
    Fixture f(50000, 50000);
    Ui::MainWindow& ui = *f.window->form();
    f.markFifth();
    (state.range(0) ? ui.le_color_2 : ui.le_level_2)->setText(QStringLiteral("15"));
    for (auto _ : state) {
        ui.btnRefresh3->click();
        state.PauseTiming();
        f.window->editHistory()->undo();
        state.ResumeTiming();
    }
    reportPeak(state);
}
BENCHMARK(BM_BulkReplace)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Delete of 10 000 marked among 50 000, with the autosave and the refresh.
void BM_Delete(benchmark::State& state)
{
    Fixture f(50000, 50000);
    Ui::MainWindow& ui = *f.window->form();
    f.markFifth();
    for (auto _ : state) {
        ui.btnDelete->click();
        state.PauseTiming();
        if (f.window->places.size() != 40000)
            state.SkipWithError("delete did not take 10 000 places");
        f.window->editHistory()->undo();
        state.ResumeTiming();
    }
    reportPeak(state);
}
BENCHMARK(BM_Delete)->Unit(benchmark::kMillisecond)->UseRealTime();

// The bulk-edit filter over 100 000 places with every field set.
void BM_RebuildBulkTable(benchmark::State& state)
{
    Fixture f(100000, 1000);
    Ui::MainWindow& ui = *f.window->form();
    // Typing into the fields would run the filter on every key.
    for (QLineEdit* e : {ui.le_color, ui.le_layer, ui.le_font, ui.le_level})
        e->blockSignals(true);
    ui.cmb_shape->blockSignals(true);
    ui.le_startX->setText(QStringLiteral("129.5"));
    ui.le_startY->setText(QStringLiteral("45.0"));
    ui.le_endX->setText(QStringLiteral("141.0"));
    ui.le_endY->setText(QStringLiteral("31.5"));
    ui.le_color->setText(QStringLiteral("1"));
    ui.le_layer->setText(QStringLiteral("4"));
    ui.cmb_shape->setCurrentIndex(1);
    ui.le_font->setText(QStringLiteral("11"));
    ui.le_level->setText(QStringLiteral("10"));
    for (auto _ : state)
        f.window->rebuildBulkTable();
    state.counters["rows"] = f.window->bulkTableModel()->rowCount();
    reportPeak(state);
}
BENCHMARK(BM_RebuildBulkTable)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}

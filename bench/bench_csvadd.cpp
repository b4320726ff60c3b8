#include "bench/benchsupport.h"
#include "prompts/prompts.h"
#include "records/placefile.h"
#include "records/placelistdocument.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Answers the file dialog with one file and keeps the report box's text.
class BenchPrompts : public Prompts
{
public:
    QString file;
    QString report;
    QMessageBox::StandardButton question(QWidget*, const QString&, const QString&,
                                         QMessageBox::StandardButtons,
                                         QMessageBox::StandardButton) override
    {
        return QMessageBox::No;
    }
    QMessageBox::StandardButton information(QWidget*, const QString&, const QString& text,
                                            QMessageBox::StandardButtons) override
    {
        report = text;
        return QMessageBox::Ok;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString&, const QString&,
                                        QMessageBox::StandardButtons) override
    {
        return QMessageBox::Ok;
    }
    QMessageBox::StandardButton critical(QWidget*, const QString&, const QString&,
                                         QMessageBox::StandardButtons) override
    {
        return QMessageBox::Ok;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return file;
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    QColor getColor(const QColor&, QWidget*, const QString&) override { return {}; }
    QAction* execMenu(QMenu*, const QPoint&) override { return nullptr; }
    int execDialog(QDialog*) override { return 0; }
    void beep() override {}
    bool openUrl(const QUrl&) override { return false; }
};

// " CSV Add" of a file whose rows all share one name (state.range(1): empty or not), at
// different spots, into a list that holds one of them: the case that used to build a report
// of a billion lines.
void BM_CsvAddNamesakes(benchmark::State& state)
{
    const int rows = int(state.range(0));
    const QString name = state.range(1) ? QStringLiteral("大坂城") : QString();
    QTemporaryDir dir;
    const QString file = dir.filePath("namesakes.csv");
    QByteArray bytes;
    for (int i = 0; i < rows; ++i)
        bytes += name.toUtf8() + ',' + QByteArray::number(130 + i * 0.002, 'f', 6) +
                 ",35,0,1,Image,11,10\n";
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(bytes);
    out.close();

    auto owned = std::make_unique<BenchPrompts>();
    BenchPrompts* prompts = owned.get();
    prompts->file = file;
    auto previous = Prompts::install(std::move(owned));
    int reportLines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlaceListDocument doc;
        doc.places = parsePlaceLines({name + QStringLiteral(",0,0,0,1,Image,11,10")});
        state.ResumeTiming();
        doc.addCommand();
        benchmark::DoNotOptimize(doc.places.size());
        reportLines = prompts->report.count(QLatin1Char('\n'));
    }
    Prompts::install(std::move(previous));
    state.counters["report_lines"] = reportLines;
    state.counters["VmHWM_MiB"] = peakMemoryMb();
}

} // namespace

BENCHMARK(BM_CsvAddNamesakes)
    ->Args({50000, 1})
    ->Args({50000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the program directory is asked of it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

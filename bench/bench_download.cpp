// What the synchronous download costs while it waits: a server on 127.0.0.1
// that never answers keeps the call busy for the whole time-out, and the
// process's CPU time over that wait is reported as a share of one core.
// A second case fetches a small answer to show the wait adds no delay.

#include "bench/benchsupport.h"
#include "net/httpdownload.h"
#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Accepts connections; answers only when `answer` is set.
class LoopbackServer : public QTcpServer
{
public:
    explicit LoopbackServer(const QByteArray& answer) : m_answer(answer)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    if (!m_answer.isEmpty()) {
                        socket->write(m_answer);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(serverPort())); }

private:
    QByteArray m_answer;
};

void BM_WaitForSilentServer(benchmark::State& state)
{
    LoopbackServer server{QByteArray()};
    AppSettings::instance().timeout = 1;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        HttpDownLoad download(server.url());
        QByteArray bytes;
        QString msg;
        QElapsedTimer clock;
        clock.start();
        const double before = processCpuSeconds();
        const int result = download.download(bytes, msg);
        cpu += processCpuSeconds() - before;
        wall += clock.nsecsElapsed() / 1e9;
        if (result != 1)
            state.SkipWithError("expected a time-out");
    }
    state.counters["cpu_pct_of_core"] = 100.0 * cpu / wall;
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_WaitForSilentServer)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmallAnswer(benchmark::State& state)
{
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    AppSettings::instance().timeout = 5;
    for (auto _ : state) {
        HttpDownLoad download(server.url());
        QByteArray bytes;
        QString msg;
        if (download.download(bytes, msg) != 0 || bytes != "hello")
            state.SkipWithError("expected the answer");
    }
    state.counters["VmHWM_MB"] = peakMemoryMb();
}
BENCHMARK(BM_SmallAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

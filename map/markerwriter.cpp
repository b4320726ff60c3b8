#include "map/markerwriter.h"

#include "map/markerfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The names in a folder, as the file system holds them.
QSet<QByteArray> folderEntries(const QString& folder)
{
    QSet<QByteArray> names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir))
        names.insert(QByteArray(entry->d_name));
    ::closedir(dir);
    return names;
}

// Successive failures after which a batch gives up (a full disk, say); the
// next refresh tries again.
constexpr int GiveUpAfter = 10;
constexpr qint64 ProgressEveryMs = 100;
constexpr qint64 ManifestEveryMs = 5000;

} // namespace

MarkerFileWriter::MarkerFileWriter(QObject* parent) : QThread(parent) {}

MarkerFileWriter::~MarkerFileWriter()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = true;
        m_wake.wakeAll();
    }
    // Only the file in hand is finished: the rest waits for the next run.
    wait();
}

void MarkerFileWriter::submit(const QString& folder, const MarkerStyle& style,
                              std::vector<MarkerPicture> pictures)
{
    QMutexLocker lock(&m_mutex);
    m_next = std::move(pictures);
    m_nextStyle = style;
    m_nextFolder = folder;
    m_hasNext = true;
    m_pending = int(m_next.size());
    if (!isRunning())
        start(QThread::LowPriority);
    m_wake.wakeAll();
}

void MarkerFileWriter::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_next.clear();
    m_hasNext = false;
    m_cancel = true;
    m_pending = 0;
}

void MarkerFileWriter::waitUntilIdle()
{
    QMutexLocker lock(&m_mutex);
    while ((m_hasNext || m_busy) && isRunning())
        m_idle.wait(&m_mutex);
}

bool MarkerFileWriter::interrupted()
{
    QMutexLocker lock(&m_mutex);
    return m_stop || m_hasNext || m_cancel;
}

void MarkerFileWriter::run()
{
#ifdef Q_OS_LINUX
    // Below the program's own work: on Linux a thread has its own nice value.
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
#endif
    for (;;) {
        QString folder;
        MarkerStyle style;
        std::vector<MarkerPicture> jobs;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_hasNext && !m_stop) {
                m_busy = false;
                m_idle.wakeAll();
                m_wake.wait(&m_mutex);
            }
            if (m_stop) {
                m_busy = false;
                m_idle.wakeAll();
                return;
            }
            jobs = std::move(m_next);
            m_next.clear();
            style = m_nextStyle;
            folder = m_nextFolder;
            m_hasNext = false;
            m_cancel = false;
            m_busy = true;
        }
        process(folder, style, jobs);
    }
}

void MarkerFileWriter::process(const QString& folder, const MarkerStyle& style,
                               const std::vector<MarkerPicture>& pictures)
{
    MarkerManifest manifest(folder);
    manifest.load();
    const QSet<QByteArray> present = folderEntries(folder);
    const QByteArray fontKey = markerFontKey(style.font);

    struct Job
    {
        const MarkerPicture* picture;
        QString fileName;
        quint64 digest;
        bool present;
    };
    // The last place of each name, in the order of the places.
    QHash<QString, int> last;
    last.reserve(int(pictures.size()));
    for (int i = 0; i < int(pictures.size()); ++i)
        last.insert(pictures[std::size_t(i)].name, i);
    // What the manifest vouches for is not drawn again.
    std::vector<Job> todo;
    for (int i = 0; i < int(pictures.size()); ++i) {
        if ((i & 1023) == 0 && interrupted())
            return;
        const MarkerPicture& picture = pictures[std::size_t(i)];
        if (last.value(picture.name) != i)
            continue;
        const QString fileName = markerFileName(picture.name);
        Job job{&picture, fileName, markerDigest(style, picture, fontKey),
                present.contains(QFile::encodeName(fileName))};
        if (job.present && manifest.isCurrent(job.fileName, job.digest))
            continue;
        todo.push_back(std::move(job));
    }
    m_pending = int(todo.size());
    const int total = int(todo.size());
    emit progress(0, total);

    bool reported = false;
    int failedInRow = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QElapsedTimer sinceManifest;
    sinceManifest.start();
    int done = 0;
    for (const Job& job : todo) {
        if (interrupted())
            break;
        const QString path = folder + QLatin1Char('/') + job.fileName;
        QString error;
        const FileWrite result =
            writeMarkerFile(path, markerFileBytes(style, *job.picture), &error, job.present);
        if (result == FileWrite::Failed) {
            ++m_failures;
            manifest.remove(job.fileName);
            if (!reported)
                emit failed(path, error);
            reported = true;
        } else {
            if (result == FileWrite::Written)
                ++m_written;
            manifest.set(job.fileName, job.digest);
        }
        failedInRow = result == FileWrite::Failed ? failedInRow + 1 : 0;
        ++done;
        --m_pending;
        if (failedInRow >= GiveUpAfter)
            break;
        if (sinceProgress.elapsed() >= ProgressEveryMs) {
            emit progress(done, total);
            sinceProgress.restart();
        }
        // A run closed half way keeps what it wrote.
        if (sinceManifest.elapsed() >= ManifestEveryMs) {
            manifest.save();
            sinceManifest.restart();
        }
    }
    QString error;
    if (!manifest.save(&error) && !reported)
        emit failed(folder + QLatin1Char('/') + MarkerManifest::fileName(), error);
    if (!interrupted()) {
        m_pending = 0;
        emit progress(total, total);
    }
}

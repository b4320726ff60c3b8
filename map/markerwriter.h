#pragma once

#include "map/markerpictures.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <vector>

// Writes the marker picture files on a thread of its own at low priority (one
// core at most), so that the map never waits for them. Files known to be
// current by the folder's manifest are skipped without drawing; the others are
// drawn, encoded and written only where their bytes change. A new batch
// replaces the one under way; closing abandons what is left after the file in
// hand (the next run finishes it).
class MarkerFileWriter : public QThread
{
    Q_OBJECT
public:
    explicit MarkerFileWriter(QObject* parent = nullptr);
    ~MarkerFileWriter() override;

    // The pictures of the places in list order; of two places of one name the
    // later one's picture is the file's.
    void submit(const QString& folder, const MarkerStyle& style,
                std::vector<MarkerPicture> pictures);
    // Drops what is waiting and stops the batch under way after the file in
    // hand; what was written stays in the manifest.
    void cancel();
    // Blocks until every submitted file is done (tests, benchmarks).
    void waitUntilIdle();

    // Files of the batch under way not yet looked at.
    int pending() const { return m_pending; }
    int written() const { return m_written; }
    int failures() const { return m_failures; }

signals:
    // Of the files that had to be drawn, `done` of `total`; total 0 when
    // every file was current. A batch ends with done == total.
    void progress(int done, int total);
    // The first failure of a batch, with the system's reason.
    void failed(const QString& path, const QString& reason);

protected:
    void run() override;

private:
    void process(const QString& folder, const MarkerStyle& style,
                 const std::vector<MarkerPicture>& pictures);
    bool interrupted();

    QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_idle;
    std::vector<MarkerPicture> m_next;
    MarkerStyle m_nextStyle;
    QString m_nextFolder;
    bool m_hasNext = false;
    bool m_busy = false;
    bool m_stop = false;
    bool m_cancel = false;
    std::atomic<int> m_pending{0};
    std::atomic<int> m_written{0};
    std::atomic<int> m_failures{0};
};

#include "net/httpdownload.h"

#include "settings/appsettings.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

HttpDownLoad::HttpDownLoad(const QUrl& url, QObject* parent) : QObject(parent), url(url) {}

bool HttpDownLoad::isFinished()
{
    QMutexLocker locker(&lock);
    return finished;
}

int HttpDownLoad::download(QByteArray& bytes, QString& msg)
{
    error = false;
    {
        QMutexLocker locker(&lock);
        finished = false;
    }
    data = QByteArray();
    message = QString();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    reply = manager.get(request);
    connect(reply, SIGNAL(finished()), this, SLOT(HttpFinished()));
    connect(reply, SIGNAL(readyRead()), this, SLOT(HttpReadyRead()));
    connect(reply, SIGNAL(downloadProgress(qint64, qint64)), this,
            SLOT(UpdateDataReadProgress(qint64, qint64)));

    const int seconds = AppSettings::instance().timeout;
    const qint64 limit = qint64(seconds) * 1000;
    // Sleeps until something happens or the time is up, instead of polling.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        wake.start(int(std::max<qint64>(0, limit - clock.elapsed()) + 1));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (clock.elapsed() > limit)
            break;
        if (isFinished()) {
            if (error) {
                msg = message;
                return -1;
            }
            bytes = data;
            return 0;
        }
    }

    emit StatusMsg(QStringLiteral("http timeout %1 sec ").arg(seconds) + url.toString());
    QMutexLocker locker(&lock);
    finished = true;
    reply->deleteLater();
    return 1;
}

bool HttpDownLoad::fromCurrentReply() const
{
    return sender() == reply;
}

void HttpDownLoad::HttpReadyRead()
{
    if (!fromCurrentReply())
        return;
    data.append(reply->readAll());
}

void HttpDownLoad::UpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes)
{
    if (!fromCurrentReply() || isFinished())
        return;
    emit StatusMsg(QStringLiteral("%1/%2").arg(bytesRead).arg(totalBytes));
}

void HttpDownLoad::HttpFinished()
{
    auto* finishedReply = qobject_cast<QNetworkReply*>(sender());
    if (!fromCurrentReply()) {
        if (finishedReply)
            finishedReply->deleteLater();
        return;
    }
    if (isFinished()) {
        message = QStringLiteral("Http aborted");
        reply->deleteLater();
        return;
    }
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (reply->error() != QNetworkReply::NoError) {
        error = true;
        message = QStringLiteral("Http Faild error ") + reply->errorString();
    } else if (!target.isNull()) {
        error = true;
        message = QStringLiteral("Redirect to ") + url.resolved(target.toUrl()).toString();
    }
    QMutexLocker locker(&lock);
    finished = true;
    reply->deleteLater();
}

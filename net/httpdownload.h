#pragma once

#include <QByteArray>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Fetches one URL into memory and returns when the transfer has finished,
// failed or timed out (AppSettings::timeout seconds); events keep being
// handled meanwhile. Redirects are reported, not followed.
class HttpDownLoad : public QObject
{
    Q_OBJECT
public:
    HttpDownLoad(const QUrl& url, QObject* parent = nullptr);

    // 0: done, body in `bytes`; -1: error or redirect, the reason in `msg`;
    // 1: timed out (neither output touched).
    int download(QByteArray& bytes, QString& msg);
    bool isFinished();

signals:
    void StatusMsg(QString msg);

private slots:
    void UpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes);
    void HttpReadyRead();
    void HttpFinished();

private:
    // Signals of a reply given up on by an earlier call must not reach this one.
    bool fromCurrentReply() const;

    QMutex lock;
    QUrl url;
    QNetworkAccessManager manager;
    QNetworkReply* reply = nullptr;
    QByteArray data;
    bool error = false;
    bool finished = true;
    QString message;
};

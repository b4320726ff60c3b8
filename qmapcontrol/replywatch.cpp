#include "qmapcontrol/replywatch.h"

#include <QNetworkReply>
#include <QTimer>

namespace qmapcontrol {

ReplyWatch::ReplyWatch(QNetworkReply* reply, const ReplyLimits& limits)
    : QObject(reply), reply(reply), limits(limits)
{
    setObjectName(QStringLiteral("replyWatch"));
    auto* total = new QTimer(this);
    total->setSingleShot(true);
    connect(total, &QTimer::timeout, this, [this] {
        giveUp(QStringLiteral("応答が %1 秒で終わりません")
                   .arg(double(this->limits.deadline.count()) / 1000.0));
    });
    total->start(int(limits.deadline.count()));
    auto* stall = new QTimer(this);
    stall->setSingleShot(true);
    connect(stall, &QTimer::timeout, this, [this] {
        giveUp(QStringLiteral("応答が %1 秒止まりました")
                   .arg(double(this->limits.stall.count()) / 1000.0));
    });
    stall->start(int(limits.stall.count()));
    connect(reply, &QNetworkReply::metaDataChanged, stall, qOverload<>(&QTimer::start));
    connect(reply, &QNetworkReply::readyRead, this, [this, stall] {
        stall->start();
        if (!reason.isEmpty())
            return;
        body += this->reply->readAll();
        const QVariant length = this->reply->header(QNetworkRequest::ContentLengthHeader);
        if (tooBig() || length.toLongLong() > this->limits.maxBytes)
            giveUp(tooMuchText(this->limits.maxBytes));
    });
}

ReplyWatch* ReplyWatch::watch(QNetworkReply* reply, const ReplyLimits& limits)
{
    return new ReplyWatch(reply, limits);
}

ReplyWatch* ReplyWatch::of(QNetworkReply* reply)
{
    return reply ? reply->findChild<ReplyWatch*>(QStringLiteral("replyWatch"),
                                                 Qt::FindDirectChildrenOnly)
                 : nullptr;
}

QByteArray ReplyWatch::takeBody()
{
    if (reason.isEmpty() && reply->isOpen())
        body += reply->readAll();
    return std::move(body);
}

QString ReplyWatch::tooMuchText(qint64 maxBytes)
{
    return QStringLiteral("応答が %1 MB を超えました").arg(double(maxBytes) / (1024 * 1024));
}

void ReplyWatch::giveUp(const QString& why)
{
    if (reply->isFinished() || !reason.isEmpty())
        return;
    reason = why;
    reply->abort();
}

} // namespace qmapcontrol

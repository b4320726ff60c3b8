#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class QNetworkReply;

namespace qmapcontrol {

// A server that sends too much, too slowly or nothing at all must not hold a
// request (or memory) for ever. Limits for one reply:
struct ReplyLimits
{
    // Nothing received for this long: given up.
    std::chrono::milliseconds stall{10000};
    // Still running after this long: given up.
    std::chrono::milliseconds deadline{30000};
    // More than this many bytes (announced or received): given up.
    qint64 maxBytes = 4 * 1024 * 1024;
};

// Watches one reply within its limits, taking its body as it arrives so that its
// size is known at once. Aborts the reply when a limit is passed; abortReason()
// then says why in words for the user. Lives as the reply's child.
class ReplyWatch : public QObject
{
    Q_OBJECT
public:
    static ReplyWatch* watch(QNetworkReply* reply, const ReplyLimits& limits);
    // The watch of a reply, or null.
    static ReplyWatch* of(QNetworkReply* reply);

    // Everything received, the rest of the reply included. Call once it finished.
    QByteArray takeBody();
    // Why the reply was aborted by the watch; empty otherwise.
    QString abortReason() const { return reason; }
    // The body is over the byte limit (also when the reply finished first).
    bool tooBig() const { return body.size() > limits.maxBytes; }
    // "応答が 4 MB を超えました".
    static QString tooMuchText(qint64 maxBytes);

private:
    ReplyWatch(QNetworkReply* reply, const ReplyLimits& limits);
    void giveUp(const QString& why);

    QNetworkReply* reply;
    ReplyLimits limits;
    QByteArray body;
    QString reason;
};

} // namespace qmapcontrol

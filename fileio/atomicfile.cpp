#include "fileio/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {

WriteResult failure(int reason)
{
    return WriteResult{false, errorReason(reason)};
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// The rename itself lives in the folder's entry list; without this sync a
// crash right after saving may bring back the old file.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The process's file creation mask, read once: asking for it means setting
// it, which would race with files other threads create meanwhile.
mode_t creationMask()
{
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (line.startsWith("Umask:") && ok)
                    return mode_t(value);
            }
        }
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Drawn files: a new file written where it will stay. False with errno EEXIST
// when the file is there already.
bool writeInPlace(const QByteArray& target, const QByteArray& bytes, int* reason)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = errno;
        return false;
    }
    bool ok = writeAll(fd, bytes.constData(), bytes.size());
    *reason = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        *reason = errno;
    }
    if (!ok)
        ::unlink(target.constData());
    return ok;
}

} // namespace

QString errorReason(int errnum)
{
    const QString system = QString::fromLocal8Bit(std::strerror(errnum));
    const char* japanese = nullptr;
    switch (errnum) {
    case ENOSPC:
        japanese = "ディスクの空き容量が足りません";
        break;
    case EFBIG:
        japanese = "ファイルが大きすぎます";
        break;
    case EACCES:
    case EPERM:
        japanese = "アクセスする権限がありません";
        break;
    case EROFS:
        japanese = "読み取り専用のファイルシステムです";
        break;
    case EDQUOT:
        japanese = "ディスクの使用量の上限に達しました";
        break;
    case ENOENT:
        japanese = "フォルダがありません";
        break;
    case EIO:
        japanese = "入出力エラーが起きました";
        break;
    default:
        return system;
    }
    return QString::fromUtf8(japanese) + QStringLiteral("（") + system + QStringLiteral("）");
}

WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes, Durability durability)
{
    if (durability == Durability::Drawn) {
        int reason = 0;
        if (writeInPlace(QFile::encodeName(path), bytes, &reason))
            return WriteResult{true, QString()};
        if (reason != EEXIST)
            return failure(reason);
    }
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temp = folder + '/' + '.' + QFile::encodeName(info.fileName()) + ".XXXXXX";

    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failure(errno);

    // mkstemp makes the file private; give it what the old file had, or what
    // a newly created file would get.
    struct stat old;
    mode_t mode;
    if (::stat(target.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode = 0666 & ~creationMask();
    }

    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes.constData(), bytes.size());
    if (ok && durability == Durability::Synced)
        ok = ::fsync(fd) == 0;
    int reason = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return failure(reason);
    }
    if (durability == Durability::Synced)
        syncFolder(folder);
    return WriteResult{true, QString()};
}

} // namespace fileio

#include "safefile.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vidrona::platform {

namespace {

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

SmallFile failed(SmallFile::Status status, const QString &error)
{
    SmallFile f;
    f.status = status;
    f.error = error;
    return f;
}

} // namespace

#ifndef Q_OS_WIN

namespace {

// Reads up to limit + 1 bytes, so that a file growing past the bound
// while it is read is still refused.
SmallFile readOpened(int fd, qint64 maxBytes)
{
    SmallFile f;
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(SmallFile::Status::Failed, errnoText(errno));
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes)
            return failed(SmallFile::Status::TooLarge, QStringLiteral("larger than %1 bytes").arg(maxBytes));
        bytes.append(chunk, n);
    }
    f.status = SmallFile::Status::Read;
    f.bytes = bytes;
    return f;
}

bool writeWhole(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

void syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

SmallFile readSmallFile(const QString &path, qint64 maxBytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return failed(SmallFile::Status::Missing, {});
        if (errno == ELOOP)
            return failed(SmallFile::Status::NotPlain, QStringLiteral("it is a link"));
        return failed(SmallFile::Status::Failed, errnoText(errno));
    }
    struct stat st {};
    SmallFile f;
    if (::fstat(fd, &st) != 0)
        f = failed(SmallFile::Status::Failed, errnoText(errno));
    else if (!S_ISREG(st.st_mode))
        f = failed(SmallFile::Status::NotPlain, QStringLiteral("not a plain file"));
    else if (st.st_size > maxBytes)
        f = failed(SmallFile::Status::TooLarge, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    else
        f = readOpened(fd, maxBytes);
    ::close(fd);
    return f;
}

bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error, FileFault *fault,
                     bool privateToUser)
{
    const QString fresh = QStringLiteral("%1.%2.new").arg(path).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QByteArray freshName = QFile::encodeName(fresh);
    // O_EXCL: a name someone else put there (a link, a file) is never used.
    const int fd = ::open(freshName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            privateToUser ? 0600 : 0644);
    bool ok = fd >= 0 && writeWhole(fd, bytes) && ::fdatasync(fd) == 0;
    int code = errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(freshName.constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        if (fd >= 0)
            ::unlink(freshName.constData());
        if (error)
            *error = errnoText(code);
        if (fault) {
            errno = code;
            *fault = lastFileFault();
        }
        return false;
    }
    syncFolderOf(path);
    return true;
}

#else

SmallFile readSmallFile(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return failed(SmallFile::Status::Missing, {});
    if (info.isSymLink() || info.isJunction() || !info.isFile())
        return failed(SmallFile::Status::NotPlain, QStringLiteral("not a plain file"));
    if (info.size() > maxBytes)
        return failed(SmallFile::Status::TooLarge, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(SmallFile::Status::Failed, file.errorString());
    SmallFile f;
    f.bytes = file.read(maxBytes + 1);
    if (f.bytes.size() > maxBytes)
        return failed(SmallFile::Status::TooLarge, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    f.status = SmallFile::Status::Read;
    return f;
}

bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error, FileFault *fault,
                     bool privateToUser)
{
    Q_UNUSED(privateToUser); // the user's profile folder keeps others out
    QSaveFile file(path);
    // A commit can report success after a failed buffered write: every
    // byte is flushed and checked first.
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
                    && file.error() == QFileDevice::NoError && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        if (fault)
            *fault = lastFileFault();
    }
    return ok;
}

#endif

} // namespace vidrona::platform

#include "socketfolder.h"
#include <QDir>
#include <QFile>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <QFileInfo>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vidrona::platform {

#ifdef Q_OS_WIN

SocketFolder socketFolder()
{
    return {}; // pipes have no folder
}

int listenAt(const QString &, bool *occupied, QString *error)
{
    *occupied = false;
    *error = QStringLiteral("no socket folder here");
    return -1;
}

SocketName socketNameState(const QString &)
{
    return SocketName::Absent; // a pipe name: its peer is checked instead
}

FolderLock::~FolderLock() = default;

FolderLock::Taken FolderLock::take(const QString &)
{
    return Taken::Yes; // the pipe's own checks keep one window per list
}

#else

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why the folder on fd is not the user's private folder; empty when it is.
QString privacyFault(int fd, const QString &path)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return QStringLiteral("%1: %2").arg(path, errnoText());
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (st.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(st.st_uid);
    if ((st.st_mode & 07777) != 0700)
        return QStringLiteral("%1 has mode %2, not 0700").arg(path).arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

int openFolder(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The folder at path when it is the user's own with mode 0700; made so
// when missing (made: a folder just made may be brought to 0700 first).
SocketFolder privateFolder(const QString &path, bool make)
{
    bool made = false;
    if (make) {
        made = ::mkdir(QFile::encodeName(path).constData(), 0700) == 0;
        if (!made && errno != EEXIST)
            return {QString(), QStringLiteral("%1 cannot be made: %2").arg(path, errnoText())};
    }
    const int fd = openFolder(path);
    if (fd < 0)
        return {QString(), QStringLiteral("%1 cannot be used: %2").arg(path, errno == ELOOP || errno == ENOTDIR
                                                                                 ? QStringLiteral("not a folder")
                                                                                 : errnoText())};
    struct stat st {};
    if (made && ::fstat(fd, &st) == 0 && st.st_uid == ::getuid())
        ::fchmod(fd, 0700); // a strict umask may have left less
    const QString fault = privacyFault(fd, path);
    ::close(fd);
    if (!fault.isEmpty())
        return {QString(), fault};
    return {path, QString()};
}

bool addressOf(const QString &path, sockaddr_un *address)
{
    const QByteArray name = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    return true;
}

// True when something listens at address (connect() on a local socket
// never waits: a listener whose queue is full counts as one).
bool somebodyListens(const sockaddr_un &address)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true; // cannot tell: leave the name alone
    const int result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const bool listening = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return listening;
}

int boundSocket(const sockaddr_un &address)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 && ::listen(fd, 64) == 0)
        return fd;
    const int fault = errno;
    ::close(fd);
    errno = fault;
    return -1;
}

// Two starts after a crash would each take the leftover for their own:
// the folder's lock lets one at a time look and bind (a short wait).
class FolderTurn
{
public:
    explicit FolderTurn(const QString &folder)
    {
        for (int i = 0; i < 50 && m_lock.take(folder) == FolderLock::Taken::HeldElsewhere; ++i)
            QThread::msleep(20);
    }

private:
    FolderLock m_lock;
};

} // namespace

int listenAt(const QString &path, bool *occupied, QString *error)
{
    *occupied = false;
    sockaddr_un address;
    if (!addressOf(path, &address))
        return *error = QStringLiteral("%1: the name is too long for a socket").arg(path), -1;
    const FolderTurn turn(QFileInfo(path).absolutePath());
    int fd = boundSocket(address);
    if (fd < 0 && errno == EADDRINUSE) {
        if (socketNameState(path) != SocketName::Ours)
            return *error = QStringLiteral("%1 is not a socket of this user's: it is left alone").arg(path), -1;
        if (somebodyListens(address))
            return *occupied = true, -1;
        ::unlink(address.sun_path); // a crash's leftover
        fd = boundSocket(address);
    }
    if (fd < 0)
        *error = QStringLiteral("%1: %2").arg(path, errnoText());
    return fd;
}

SocketFolder socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && privateFolder(runtime, false).ok())
        return {runtime, QString()};
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("vidrona-%1").arg(::getuid()));
    return privateFolder(own, true);
}

SocketName socketNameState(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? SocketName::Absent : SocketName::Foreign;
    return S_ISSOCK(st.st_mode) && st.st_uid == ::getuid() ? SocketName::Ours : SocketName::Foreign;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with it
}

FolderLock::Taken FolderLock::take(const QString &folder)
{
    const int fd = openFolder(folder);
    if (fd < 0)
        return Taken::CannotOpen;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Only a lock held by another process counts: a file system
        // without such locks keeps nobody out.
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Taken::HeldElsewhere : Taken::CannotOpen;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return Taken::Yes;
}

#endif

} // namespace vidrona::platform

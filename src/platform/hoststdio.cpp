#include "hoststdio.h"
#include <QDir>
#include <cerrno>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace vidrona::platform {

Stdio binaryStdio()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    return {_fileno(stdin), _fileno(stdout)};
#else
    return {STDIN_FILENO, STDOUT_FILENO};
#endif
}

#ifdef Q_OS_WIN
// A pipe cannot be waited on with a time bound, so it is looked at every
// few milliseconds until bytes are there; a console or file reads at once.
ReadSome readSomeWithin(int fd, char *into, qint64 size, QDeadlineTimer deadline, qint64 *count)
{
    *count = 0;
    const HANDLE handle = HANDLE(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return ReadSome::Failed;
    DWORD ready = 0;
    while (GetFileType(handle) == FILE_TYPE_PIPE && PeekNamedPipe(handle, nullptr, 0, nullptr, &ready, nullptr) && ready == 0) {
        if (deadline.hasExpired())
            return ReadSome::TimedOut;
        Sleep(5);
    }
    if (GetFileType(handle) == FILE_TYPE_PIPE && ready == 0) // PeekNamedPipe failed: the writer is gone
        return GetLastError() == ERROR_BROKEN_PIPE ? ReadSome::End : ReadSome::Failed;
    DWORD got = 0;
    const DWORD want = DWORD(qMin<qint64>(size, ready > 0 ? qint64(ready) : size));
    if (!ReadFile(handle, into, want, &got, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? ReadSome::End : ReadSome::Failed;
    *count = got;
    return got == 0 ? ReadSome::End : ReadSome::Bytes;
}

bool writeAllTo(int fd, const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const int n = _write(fd, data + done, unsigned(qMin<qint64>(size - done, 1 << 20)));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
#else
ReadSome readSomeWithin(int fd, char *into, qint64 size, QDeadlineTimer deadline, qint64 *count)
{
    *count = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (ready == 0)
            return ReadSome::TimedOut;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return ReadSome::Failed;
        const ssize_t n = ::read(fd, into, size_t(size));
        if (n == 0)
            return ReadSome::End;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return ReadSome::Failed;
        *count = n;
        return ReadSome::Bytes;
    }
}

bool writeAllTo(int fd, const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
#endif

QString programIn(const QString &folder, const QString &name)
{
#ifdef Q_OS_WIN
    return QDir(folder).filePath(name + QStringLiteral(".exe"));
#else
    return QDir(folder).filePath(name);
#endif
}

} // namespace vidrona::platform

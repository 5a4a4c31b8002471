#include "localserver.h"
#include "socketfolder.h"
#include <QDir>
#include <QLocalServer>

namespace vidrona::platform {

#ifdef Q_OS_WIN

QString localServerPath(const QString &name, QString *)
{
    return name; // a pipe's name: its peer is checked
}

Listened listenLocal(QLocalServer &server, const QString &path, QString *error)
{
    if (server.listen(path))
        return Listened::Listening;
    *error = server.errorString();
    return server.serverError() == QAbstractSocket::AddressInUseError ? Listened::Occupied : Listened::Failed;
}

#else

QString localServerPath(const QString &name, QString *why)
{
    const SocketFolder folder = socketFolder();
    if (why)
        *why = folder.error;
    return folder.ok() ? QDir(folder.path).filePath(name) : QString();
}

// The socket is made here rather than by QLocalServer, which would remove
// whatever holds the name first.
Listened listenLocal(QLocalServer &server, const QString &path, QString *error)
{
    bool occupied = false;
    const int fd = listenAt(path, &occupied, error);
    if (fd < 0)
        return occupied ? Listened::Occupied : Listened::Failed;
    if (server.listen(qintptr(fd)))
        return Listened::Listening;
    *error = server.errorString();
    return Listened::Failed;
}

#endif

} // namespace vidrona::platform

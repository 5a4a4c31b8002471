#include "listowner.h"
#include "platform.h"
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace vidrona {

namespace {

// The message: one address per line, UTF-8, ended by an empty line; the
// owner answers "OK" once it has taken them.
QByteArray messageOf(const QStringList &addresses)
{
    QByteArray out;
    for (const QString &a : addresses)
        out += a.simplified().toUtf8() + '\n';
    return out + '\n';
}

bool waitFor(QLocalSocket &socket, bool writing, QElapsedTimer &clock)
{
    const int left = ListOwner::TimeoutMs - int(clock.elapsed());
    return left > 0 && (writing ? socket.waitForBytesWritten(left) : socket.waitForReadyRead(left));
}

} // namespace

QString ListOwner::socketPathFor(const QString &listFolder)
{
    const QString canonical = QFileInfo(listFolder).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash((canonical.isEmpty() ? listFolder : canonical).toUtf8(),
                                                    QCryptographicHash::Sha256).toHex().left(16);
    return platform::localSocketPath(
        QStringLiteral("vidrona-%1-%2.socket").arg(platform::userId(), QString::fromLatin1(key)));
}

// Blocking, but only in a start that has no window yet.
bool ListOwner::handOver(const QString &listFolder, const QStringList &addresses)
{
    QLocalSocket socket;
    socket.connectToServer(socketPathFor(listFolder));
    QElapsedTimer clock;
    clock.start();
    if (!socket.waitForConnected(TimeoutMs))
        return false;
    socket.write(messageOf(addresses.mid(0, MaxAddresses)));
    while (socket.bytesToWrite() > 0)
        if (!waitFor(socket, true, clock))
            return false;
    while (!socket.canReadLine())
        if (!waitFor(socket, false, clock))
            return false;
    return socket.readLine().trimmed() == "OK";
}

ListOwner::ListOwner(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ListOwner::onConnection);
}

ListOwner::~ListOwner() = default;

bool ListOwner::listen(const QString &listFolder)
{
    const QString path = socketPathFor(listFolder);
    if (m_server->listen(path))
        return true;
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(TimeoutMs))
        return false; // another start got there first: it owns the list
    QLocalServer::removeServer(path); // a crash's leftover
    return m_server->listen(path);
}

QString ListOwner::errorString() const
{
    return m_server->errorString();
}

void ListOwner::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        // A start that never finishes its message is dropped.
        QTimer::singleShot(TimeoutMs, socket, [socket] { socket->abort(); });
        read(socket);
    }
}

// Waits for the whole message (an empty line), within its bounds.
void ListOwner::read(QLocalSocket *socket)
{
    if (socket->bytesAvailable() > MaxMessageBytes)
        return socket->abort();
    const QByteArray pending = socket->peek(MaxMessageBytes);
    const qsizetype end = pending.startsWith('\n') ? 0 : pending.indexOf("\n\n");
    if (end < 0)
        return;
    socket->read(end + (end == 0 ? 1 : 2));
    QStringList addresses;
    for (const QByteArray &line : pending.left(end).split('\n'))
        if (!line.trimmed().isEmpty() && addresses.size() < MaxAddresses)
            addresses << QString::fromUtf8(line.trimmed());
    socket->write("OK\n");
    socket->flush();
    emit handedOver(addresses);
}

} // namespace vidrona

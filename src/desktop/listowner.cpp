#include "listowner.h"
#include "platform/localserver.h"
#include "platform/peeruser.h"
#include "platform/platform.h"
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>

namespace vidrona::desktop {

namespace {

const QByteArray FieldMark = "\tfield ";
const QByteArray CookieMark = "\tcookie ";
const QByteArray TitleMark = "\ttitle ";

// One line of the message: whatever would end it or start another goes.
QByteArray oneLine(const QByteArray &text)
{
    QByteArray out = text;
    out.replace('\r', ' ').replace('\n', ' ');
    return out;
}

bool waitFor(QLocalSocket &socket, bool writing, QElapsedTimer &clock)
{
    const int left = ListOwner::TimeoutMs - int(clock.elapsed());
    return left > 0 && (writing ? socket.waitForBytesWritten(left) : socket.waitForReadyRead(left));
}

// One line on standard error: the user started the program from a
// terminal or a menu, and no window may be there to show it.
void say(const QString &line)
{
    std::fprintf(stderr, "vidrona: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// Sends the addresses over a connected socket and waits for the "OK",
// which the owner answers once it has taken them.
bool sendAndConfirm(QLocalSocket &socket, const QList<HandedAddress> &addresses)
{
    QElapsedTimer clock;
    clock.start();
    socket.write(ListOwner::messageOf(addresses.mid(0, ListOwner::MaxAddresses)));
    while (socket.bytesToWrite() > 0)
        if (!waitFor(socket, true, clock))
            return false;
    while (!socket.canReadLine())
        if (!waitFor(socket, false, clock))
            return false;
    return socket.readLine().trimmed() == "OK";
}

} // namespace

QByteArray ListOwner::messageOf(const QList<HandedAddress> &addresses)
{
    QByteArray out;
    for (const HandedAddress &a : addresses) {
        out += a.address.simplified().toUtf8() + '\n';
        for (const QByteArray &f : a.extras.fields)
            out += FieldMark + oneLine(f) + '\n';
        for (const QByteArray &c : a.extras.cookies.split('\n'))
            if (!c.trimmed().isEmpty())
                out += CookieMark + oneLine(c) + '\n';
        if (!a.title.isEmpty())
            out += TitleMark + oneLine(a.title.left(MaxTitleChars).toUtf8()) + '\n';
    }
    return out + '\n';
}

QList<HandedAddress> ListOwner::addressesOf(const QByteArray &message)
{
    QList<HandedAddress> out;
    for (const QByteArray &line : message.split('\n')) {
        if (line.startsWith(FieldMark) && !out.isEmpty())
            out.last().extras.fields << line.mid(FieldMark.size());
        else if (line.startsWith(CookieMark) && !out.isEmpty())
            out.last().extras.cookies += line.mid(CookieMark.size()) + '\n';
        else if (line.startsWith(TitleMark) && !out.isEmpty())
            out.last().title = QString::fromUtf8(line.mid(TitleMark.size())).left(MaxTitleChars);
        else if (!line.startsWith('\t') && !line.trimmed().isEmpty() && out.size() < MaxAddresses)
            out.append({QString::fromUtf8(line.trimmed()), {}});
    }
    return out;
}

QString ListOwner::socketName(const QString &listFolder)
{
    const QString canonical = QFileInfo(listFolder).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash((canonical.isEmpty() ? listFolder : canonical).toUtf8(),
                                                    QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("vidrona-%1-%2.socket").arg(platform::userId(), QString::fromLatin1(key));
}

QString ListOwner::socketPathFor(const QString &listFolder, QString *why)
{
    return platform::localServerPath(socketName(listFolder), why);
}

// Blocking, but only in a start that has no window yet.
ListOwner::Handed ListOwner::handOver(const QString &listFolder, const QStringList &addresses, QString *why)
{
    QList<HandedAddress> plain;
    for (const QString &a : addresses)
        plain.append({a, {}});
    return handOverWithExtras(listFolder, plain, why);
}

ListOwner::Handed ListOwner::handOverWithExtras(const QString &listFolder, const QList<HandedAddress> &addresses,
                                                QString *why)
{
    QString fault;
    const QString path = socketPathFor(listFolder, &fault);
    if (path.isEmpty()) {
        if (why)
            *why = fault;
        return Handed::NoOwner;
    }
    if (platform::socketNameState(path) == platform::SocketName::Foreign) {
        if (why)
            *why = QStringLiteral("%1 is not a socket of this user's: the addresses were not handed over").arg(path);
        return Handed::Refused;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectMs))
        return Handed::NoOwner;
    const platform::Peer peer = platform::peerOf(socket.socketDescriptor(), true);
    if (peer.is != platform::Peer::Is::SameUser) {
        if (why)
            *why = QStringLiteral("%1 is held by another user (%2): the addresses were not handed over")
                       .arg(path, peer.who.isEmpty() ? QStringLiteral("unknown") : peer.who);
        return Handed::Refused;
    }
    if (sendAndConfirm(socket, addresses))
        return Handed::Taken;
    if (why)
        *why = QStringLiteral("the window that has the list in %1 (%2) did not answer: the addresses were not added")
                   .arg(QDir::toNativeSeparators(listFolder), peer.who);
    return Handed::NoAnswer;
}

ListOwner::ListOwner(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ListOwner::onConnection);
}

ListOwner::~ListOwner() = default;

ListOwner::Bound ListOwner::bindAt(const QString &path)
{
    switch (platform::listenLocal(*m_server, path, &m_error)) {
    case platform::Listened::Listening: return Bound::Listening;
    case platform::Listened::Occupied: return Bound::Occupied;
    case platform::Listened::Failed: break;
    }
    return Bound::Failed;
}

bool ListOwner::listen(const QString &listFolder)
{
    const QString path = socketPathFor(listFolder, &m_error);
    return !path.isEmpty() && bindAt(path) == Bound::Listening;
}

QString ListOwner::errorString() const
{
    return m_error;
}

ListOwner::Claim ListOwner::claim(const QString &listFolder, const QStringList &addresses)
{
    QString why;
    const QString path = socketPathFor(listFolder, &why);
    for (int attempt = 0; attempt < 2 && !path.isEmpty(); ++attempt) {
        switch (handOver(listFolder, addresses, &why)) {
        case Handed::Taken: return Claim::HandedOver;
        case Handed::NoAnswer: return say(why), Claim::OwnedElsewhere;
        case Handed::Refused: return say(why + QStringLiteral("; this window runs on its own")), alone(listFolder);
        case Handed::NoOwner: break;
        }
        switch (bindAt(path)) {
        case Bound::Listening:
            if (m_listLock.take(listFolder) != platform::FolderLock::Taken::HeldElsewhere)
                return Claim::Owner;
            m_server->close();
            return alone(listFolder);
        case Bound::Occupied: // another start got there first: ask it
            why = QStringLiteral("%1 is in use but takes nothing").arg(path);
            continue;
        case Bound::Failed: why = m_error; break;
        }
        break;
    }
    say(QStringLiteral("no socket can be used (%1); this window runs on its own").arg(why));
    return alone(listFolder);
}

// Without a socket, the list folder's lock still keeps a second window off.
ListOwner::Claim ListOwner::alone(const QString &listFolder)
{
    if (m_listLock.take(listFolder) != platform::FolderLock::Taken::HeldElsewhere)
        return Claim::Alone;
    say(QStringLiteral("the list in %1 is open in another window, which cannot be reached: the addresses were not added")
            .arg(QDir::toNativeSeparators(listFolder)));
    return Claim::OwnedElsewhere;
}

void ListOwner::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const platform::Peer peer = platform::peerOf(socket->socketDescriptor(), false);
        if (peer.is != platform::Peer::Is::SameUser) {
            say(QStringLiteral("a process of another user (%1) tried to hand addresses over: refused")
                    .arg(peer.who.isEmpty() ? QStringLiteral("unknown") : peer.who));
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
    const QList<HandedAddress> handed = addressesOf(pending.left(end));
    socket->write("OK\n");
    socket->flush();
    QStringList addresses;
    bool extras = false;
    for (const HandedAddress &a : handed) {
        addresses << a.address;
        extras = extras || !a.extras.isEmpty() || !a.title.isEmpty();
    }
    if (extras)
        emit handedOverWithExtras(handed);
    else
        emit handedOver(addresses);
}

} // namespace vidrona::desktop

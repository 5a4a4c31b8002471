#pragma once
#include "handedaddress.h"
#include "platform/socketfolder.h"
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace vidrona::desktop {

// One window per list: the first copy that opens a list folder owns it
// and listens on a local socket named for that folder, in a folder only
// its user can enter; a later start for the same list hands its addresses
// over and ends, so no two windows ever rewrite the same list. Both ends
// check that the other is a process of the same user: addresses never go
// to, nor come from, anyone else. Every refusal is said in one line on
// standard error.
class ListOwner : public QObject
{
    Q_OBJECT
public:
    // Bounds on what a later start may send, and on the waits.
    static constexpr int MaxAddresses = 1000;
    static constexpr qint64 MaxMessageBytes = 1 << 20;
    static constexpr int TimeoutMs = 5000;
    static constexpr int ConnectMs = 1000;

    // The socket's name for the list kept in listFolder, without a folder.
    static QString socketName(const QString &listFolder);
    // Its full path (on Windows the pipe's name); empty when no folder of
    // the user's own can be had (*why says why). Makes that folder when
    // missing.
    static QString socketPathFor(const QString &listFolder, QString *why = nullptr);

    enum class Handed {
        Taken,    // the owner took the addresses
        NoOwner,  // nobody listens (or a crash left its socket)
        Refused,  // the name is another user's or the peer is: nothing sent
        NoAnswer, // an owner of the same user did not take them in time
    };
    // Hands addresses (possibly none) to the copy of the same user that
    // owns listFolder, which then comes to the front. *why says what
    // went wrong for Refused and NoAnswer.
    static Handed handOver(const QString &listFolder, const QStringList &addresses, QString *why = nullptr);
    // The same with each address's extras (a browser's hand-over).
    static Handed handOverWithExtras(const QString &listFolder, const QList<HandedAddress> &addresses,
                                     QString *why = nullptr);

    // The message on the socket: one address per line, UTF-8, ended by an
    // empty line. An address's extras follow it on lines that begin with a
    // tab ("\tfield Name: value", "\tcookie LINE"), which no address does:
    // a message without extras is the one every earlier start sends.
    static QByteArray messageOf(const QList<HandedAddress> &addresses);
    static QList<HandedAddress> addressesOf(const QByteArray &message);

    explicit ListOwner(QObject *parent = nullptr);
    ~ListOwner() override;

    // Starts listening for later starts; a socket of the user's own left by
    // a crash is replaced, nothing else ever is. False when another copy
    // owns the list after all (it started at the same moment) or the
    // socket cannot be made (errorString).
    bool listen(const QString &listFolder);
    QString errorString() const;

    enum class Claim {
        Owner,          // this start has the list and listens
        HandedOver,     // a window of the same user took the addresses
        Alone,          // no socket could be used: this window runs on its own
        OwnedElsewhere, // another window has the list and did not take them
    };
    // A start's whole choice: hand over, else own the list, else run on
    // its own as long as no other window holds the list folder.
    Claim claim(const QString &listFolder, const QStringList &addresses);

signals:
    // A later start of the same user asked for the window, with its
    // addresses in order.
    void handedOver(const QStringList &addresses);
    // The same with their extras; emitted instead when any address has some.
    void handedOverWithExtras(const QList<vidrona::desktop::HandedAddress> &addresses);

private:
    enum class Bound { Listening, Occupied, Failed };
    Bound bindAt(const QString &path);
    Claim alone(const QString &listFolder);
    void onConnection();
    void read(QLocalSocket *socket);

    QLocalServer *m_server;
    QString m_error;
    platform::FolderLock m_listLock;
};

} // namespace vidrona::desktop

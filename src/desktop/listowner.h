#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace vidrona {

// One window per list: the first copy that opens a list folder owns it
// and listens on a local socket named for the user and that folder; a
// later start for the same list hands its addresses over and ends, so no
// two windows ever rewrite the same list.
class ListOwner : public QObject
{
    Q_OBJECT
public:
    // Bounds on what a later start may send.
    static constexpr int MaxAddresses = 1000;
    static constexpr qint64 MaxMessageBytes = 1 << 20;
    static constexpr int TimeoutMs = 5000;

    // The socket's full path for the list kept in listFolder.
    static QString socketPathFor(const QString &listFolder);

    // Hands addresses (possibly none) to the copy that owns listFolder,
    // which then comes to the front. False when no copy owns it (none
    // answers, or a crashed one left its socket behind).
    static bool handOver(const QString &listFolder, const QStringList &addresses);

    explicit ListOwner(QObject *parent = nullptr);
    ~ListOwner() override;

    // Starts listening for later starts; a socket left by a crash is
    // replaced. False when another copy owns the list after all (it started
    // at the same moment) or the socket cannot be made (errorString).
    bool listen(const QString &listFolder);
    QString errorString() const;

signals:
    // A later start asked for the window, with its addresses in order.
    void handedOver(const QStringList &addresses);

private:
    void onConnection();
    void read(QLocalSocket *socket);

    QLocalServer *m_server;
};

} // namespace vidrona

#include "testenv.h"
#include <QDir>
#include <QFile>
#include <QNetworkProxy>

namespace vidrona::test {

QByteArray describe(const net::Failure &f)
{
    return QStringLiteral("reason %1, cause %2, status %3, ms %4, bytes %5 of %6, piece %7 of %8: %9")
        .arg(int(f.reason))
        .arg(int(f.cause))
        .arg(f.status)
        .arg(f.ms)
        .arg(f.bytes)
        .arg(f.ofBytes)
        .arg(f.piece)
        .arg(f.pieces)
        .arg(f.detail)
        .toUtf8();
}

QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

LocalWeb::LocalWeb() : m_server(std::make_unique<testweb::Server>())
{
    m_ok = m_server->listen();
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), m_server->port()));
}

LocalWeb::~LocalWeb()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

} // namespace vidrona::test

#include "testenv.h"
#include <QDir>
#include <QFile>
#include <QNetworkProxy>

namespace vidrona::test {

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

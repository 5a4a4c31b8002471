#include "testenv.h"
#include "resolve/getsource.h"
#include <QSignalSpy>
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

PageResult fetchPage(PageRequest &request, const QString &address, bool viaService)
{
    QSignalSpy finished(&request, &PageRequest::finished);
    if (viaService)
        OpenURL(request, address);
    else
        FetchPage(request, address);
    if (!finished.wait(PageTotalTimeoutMs + 5000))
        return PageResult();
    return finished.at(0).at(0).value<PageResult>();
}

PageResult fetchPage(const QString &address, bool viaService, int idleMs)
{
    PageRequest request;
    PageRequest::Limits limits;
    limits.idleMs = idleMs;
    request.setLimits(limits);
    request.setUserNamed(!viaService); // as the window asks: a typed page, the service's answer
    return fetchPage(request, address, viaService);
}

QString fetchPageText(const QString &address, bool viaService, int idleMs)
{
    const PageResult result = fetchPage(address, viaService, idleMs);
    return result.fetched() ? QString::fromLatin1(result.body) : QString();
}

} // namespace vidrona::test

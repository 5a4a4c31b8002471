#include "proxy.h"
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>

namespace vidrona::net {

namespace {

QByteArray spelled(const QNetworkProxy &proxy)
{
    QUrl url;
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy: url.setScheme(QStringLiteral("http")); break;
    case QNetworkProxy::Socks5Proxy: url.setScheme(QStringLiteral("socks5h")); break;
    default: return QByteArray();
    }
    url.setHost(proxy.hostName());
    url.setPort(proxy.port());
    url.setUserName(proxy.user());
    url.setPassword(proxy.password());
    return url.toEncoded();
}

// The first of names set in the environment, or empty.
QByteArray firstSet(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (QByteArray value = qgetenv(name).trimmed(); !value.isEmpty())
            return value;
    return {};
}

// no_proxy: host names and domains ("example.com" or ".example.com"
// cover the domain and its hosts), or "*" for every host.
bool exempt(const QString &host)
{
    const QString name = host.toLower();
    const QList<QByteArray> entries = firstSet({"no_proxy", "NO_PROXY"}).split(',');
    for (QByteArray entry : entries) {
        entry = entry.trimmed().toLower();
        if (entry.startsWith('.'))
            entry.remove(0, 1);
        const QString domain = QString::fromLatin1(entry);
        if (entry == "*" || (!domain.isEmpty() && (name == domain || name.endsWith(QLatin1Char('.') + domain))))
            return true;
    }
    return false;
}

// From the environment as curl and most tools read it (the capital
// HTTP_PROXY is not read: a web server's request may set it).
bool fromEnvironment(const QUrl &target, QByteArray *proxy)
{
    const bool secure = target.scheme().toLower() == QLatin1String("https");
    QByteArray value = secure ? firstSet({"https_proxy", "HTTPS_PROXY"}) : firstSet({"http_proxy"});
    if (value.isEmpty())
        value = firstSet({"all_proxy", "ALL_PROXY"});
    if (value.isEmpty())
        return false;
    proxy->clear();
    if (exempt(target.host()))
        return true;
    if (!value.contains("://"))
        value.prepend("http://");
    // The proxy resolves names: what a name leads to is then its business.
    if (value.startsWith("socks5://"))
        value.replace(0, 6, "socks5h");
    *proxy = value;
    return true;
}

} // namespace

QByteArray proxyFor(const QUrl &target)
{
    const QNetworkProxy chosen = QNetworkProxy::applicationProxy();
    if (!spelled(chosen).isEmpty())
        return spelled(chosen);
    QByteArray proxy;
    if (fromEnvironment(target, &proxy))
        return proxy;
    return spelled(QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(target)).value(0));
}

} // namespace vidrona::net

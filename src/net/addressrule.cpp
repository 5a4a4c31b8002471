#include "addressrule.h"
#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

namespace vidrona {

namespace {

// 10/8, 172.16/12, 192.168/16, and 0/8 (which reaches this machine).
bool isPrivateIPv4(quint32 a)
{
    return (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1) || (a >> 16) == ((192u << 8) | 168)
           || (a >> 24) == 0;
}

bool isInternalAddress(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped && address.protocol() == QAbstractSocket::IPv6Protocol)
        return isInternalAddress(QHostAddress(v4));
    if (mapped && isPrivateIPv4(v4))
        return true;
    return address.isLoopback() || address.isLinkLocal() || address.isUniqueLocalUnicast()
           || address.isSiteLocal() || address == QHostAddress::AnyIPv6;
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

bool isInternalHost(const QString &host)
{
    QString name = host.toLower();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
        return true;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    QHostAddress address;
    return address.setAddress(name) && isInternalAddress(address);
}

bool isRedirectAllowed(const QUrl &from, const QUrl &to)
{
    const QUrl target = from.resolved(to);
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || target.host().isEmpty() || !isWebScheme(scheme))
        return false;
    if (from.scheme().toLower() == QLatin1String("https") && scheme != QLatin1String("https"))
        return false;
    return !isInternalHost(target.host()) || isInternalHost(from.host());
}

QString redirectRefusedText(const QUrl &to)
{
    return QStringLiteral("A redirect to %1 was refused.")
        .arg(to.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemovePath));
}

void askBeforeRedirects(QNetworkRequest &request)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
}

void guardRedirects(QNetworkReply *reply, std::function<void(const QString &)> refused)
{
    // The address of the last hop: each redirect is judged against it.
    auto last = std::make_shared<QUrl>(reply->request().url());
    QObject::connect(reply, &QNetworkReply::redirected, reply,
                     [reply, last, refused = std::move(refused)](const QUrl &to) {
                         const QUrl target = last->resolved(to);
                         if (!isRedirectAllowed(*last, target)) {
                             refused(redirectRefusedText(target));
                             return;
                         }
                         *last = target;
                         emit reply->redirectAllowed();
                     });
}

} // namespace vidrona

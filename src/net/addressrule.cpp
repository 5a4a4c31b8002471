#include "addressrule.h"
#include <QHostAddress>
#include <netinet/in.h>
#include <cstring>
#include <sys/socket.h>

namespace vidrona::net {

namespace {

bool inRange(quint32 a, quint32 net, int bits)
{
    return (a >> (32 - bits)) == (net >> (32 - bits));
}

bool isPrivateIPv4(quint32 a)
{
    return inRange(a, 0x00000000, 8)                                      // 0/8: this host
           || inRange(a, 0x0A000000, 8) || inRange(a, 0xAC100000, 12)     // 10/8, 172.16/12
           || inRange(a, 0xC0A80000, 16) || inRange(a, 0x64400000, 10)    // 192.168/16, 100.64/10
           || inRange(a, 0x7F000000, 8) || inRange(a, 0xA9FE0000, 16)     // loopback, link-local
           || inRange(a, 0xE0000000, 4) || a == 0xFFFFFFFF;               // multicast, broadcast
}

// The IPv4 address inside ::ffff:a.b.c.d or ::a.b.c.d, if it is one.
bool embeddedIPv4(const Q_IPV6ADDR &b, quint32 *v4)
{
    for (int i = 0; i < 10; ++i)
        if (b[i] != 0)
            return false;
    const bool mapped = b[10] == 0xff && b[11] == 0xff;
    if (!mapped && (b[10] != 0 || b[11] != 0))
        return false;
    *v4 = quint32(b[12]) << 24 | quint32(b[13]) << 16 | quint32(b[14]) << 8 | b[15];
    return mapped || *v4 > 1; // :: and ::1 are IPv6's own
}

bool isPrivateIPv6(const Q_IPV6ADDR &b)
{
    quint32 v4 = 0;
    if (embeddedIPv4(b, &v4))
        return isPrivateIPv4(v4);
    bool zero = true;
    for (int i = 0; i < 15; ++i)
        zero = zero && b[i] == 0;
    if (zero && (b[15] == 0 || b[15] == 1))
        return true; // :: and ::1
    return (b[0] & 0xfe) == 0xfc                    // fc00::/7 unique local
           || (b[0] == 0xfe && (b[1] & 0x80) == 0x80) // fe80::/10 and old fec0::/10
           || b[0] == 0xff;                          // multicast
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

bool isPrivateAddress(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return isPrivateIPv4(address.toIPv4Address());
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return isPrivateIPv6(address.toIPv6Address());
    return true; // not an address one may connect to
}

bool isPrivateAddress(const sockaddr *address)
{
    if (address->sa_family == AF_INET)
        return isPrivateIPv4(ntohl(reinterpret_cast<const sockaddr_in *>(address)->sin_addr.s_addr));
    if (address->sa_family != AF_INET6)
        return true;
    Q_IPV6ADDR b;
    memcpy(b.c, reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr.s6_addr, 16);
    return isPrivateIPv6(b);
}

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
    return address.setAddress(name) && isPrivateAddress(address);
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

QString refusedTarget(const QUrl &to)
{
    return to.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemovePath);
}

} // namespace vidrona::net

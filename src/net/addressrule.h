#pragma once
#include <QString>
#include <QUrl>

class QHostAddress;
struct sockaddr;

namespace vidrona::net {

// True for an address of this machine or of a network no public site may
// lead into: loopback, link-local, the private ranges (10/8, 172.16/12,
// 192.168/16, fc00::/7, 100.64/10), multicast, broadcast, the unspecified
// addresses, and IPv4 ones written as IPv6 (mapped or compatible).
bool isPrivateAddress(const QHostAddress &address);
// The same for an address as the system hands it to a socket (IPv4 or IPv6).
bool isPrivateAddress(const sockaddr *address);

// True when host names this machine, a link-local address or a private
// network: a literal address in one of those ranges, or a localhost name.
// Only literal names: what a name resolves to is judged at the connection.
bool isInternalHost(const QString &host);

// Whether a redirect from `from` to `to` may be followed: only to http or
// https, never from https down to http, and never from a public address
// into this machine or a private network. A relative `to` counts from `from`.
bool isRedirectAllowed(const QUrl &from, const QUrl &to);

// Where a refused redirect went, as the user is told it: the site
// without who, path or query.
QString refusedTarget(const QUrl &to);

} // namespace vidrona::net

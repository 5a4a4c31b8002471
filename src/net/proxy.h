#pragma once
#include <QByteArray>
#include <QUrl>

namespace vidrona::net {

// The proxy for target as libcurl spells it ("http://host:port",
// "socks5h://host:port"), empty for none. Read in this order: a proxy the
// program set itself, then http_proxy / https_proxy / all_proxy and
// no_proxy, then the system's settings. libcurl reads none of these on
// its own: this is the one reading.
QByteArray proxyFor(const QUrl &target);

} // namespace vidrona::net

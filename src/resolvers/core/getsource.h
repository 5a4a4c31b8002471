#pragma once
#include <QString>

namespace vidrona {

// How long a page fetch may go without receiving anything.
inline constexpr int PageTimeoutMs = 30000;

// GET of an http or https address, sent as "vb wininet". The body comes back
// one character per byte; an error page's body is returned like any other.
// Empty when the address is not http(s), the server cannot be reached, the
// transfer breaks off or goes quiet for timeoutMs. While it waits the
// application shows the busy cursor and drops clicks and key presses, but
// keeps painting and running timers.
QString FetchPage(const QString &address, int timeoutMs = PageTimeoutMs);

// The transfer the resolvers use for the player's XML and the link service:
// like FetchPage, but an address without a scheme is taken as http.
QString OpenURL(const QString &address, int timeoutMs = PageTimeoutMs);

} // namespace vidrona

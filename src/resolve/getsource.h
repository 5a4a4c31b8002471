#pragma once
#include "net/pagerequest.h"
#include <QString>
#include <QUrl>

namespace vidrona {

// How long a page fetch may go without receiving anything.
inline constexpr int PageTimeoutMs = PageIdleTimeoutMs;

// The agents the two fetch paths send.
inline constexpr char FetchPageAgent[] = "vb wininet";
inline constexpr char OpenUrlAgent[] = "Vidrona";

// The address FetchPage reads: as given, with its scheme.
QUrl pageAddress(const QString &address);
// The address OpenURL reads: one without a scheme is taken as http.
QUrl serviceAddress(const QString &address);

// GET of an http or https address, sent as "vb wininet". The body comes back
// one character per byte; an error page's body is returned like any other.
// Empty when the address is not http(s), the server cannot be reached, the
// transfer breaks off, goes quiet for timeoutMs, takes longer than the whole
// fetch may, or the page passes MaxPageBytes. While it waits the application
// shows the busy cursor; every window keeps painting and answering.
QString FetchPage(const QString &address, int timeoutMs = PageTimeoutMs);

// The transfer the resolvers use for the player's XML and the link service:
// like FetchPage, but an address without a scheme is taken as http.
QString OpenURL(const QString &address, int timeoutMs = PageTimeoutMs);

// The same two fetches through a request the caller owns, so that it can
// cancel it, with the whole result (why it failed, for the user).
PageResult FetchPage(PageRequest &request, const QString &address);
PageResult OpenURL(PageRequest &request, const QString &address);

} // namespace vidrona

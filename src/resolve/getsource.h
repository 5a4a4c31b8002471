#pragma once
#include "net/agents.h"
#include "net/pagerequest.h"
#include <QString>
#include <QUrl>

namespace vidrona::resolve {

using net::PageIdleTimeoutMs;
using net::PageRequest;

// How long a page fetch may go without receiving anything.
inline constexpr int PageTimeoutMs = PageIdleTimeoutMs;

// The agents the two fetch paths send.
inline constexpr const char *FetchPageAgent = net::agent::OldSitePage;
inline constexpr const char *OpenUrlAgent = net::agent::Program;

// An address as pasted: blanks around it and line breaks or tabs inside
// it (a copy from a mail or a chat often has them) taken out.
QString pastedAddress(const QString &text);

// The address FetchPage reads: as given, with its scheme.
QUrl pageAddress(const QString &address);
// The address OpenURL reads: one without a scheme is taken as http.
QUrl serviceAddress(const QString &address);

// Starts a GET of an http or https address through request, sent as
// "vb wininet"; request's finished() brings the page. The body comes one
// character per byte; an error page's body is returned like any other.
// The window goes on meanwhile: nothing here waits.
void FetchPage(PageRequest &request, const QString &address);

// The fetch the resolvers use for the player's XML and the link service:
// like FetchPage, but an address without a scheme is taken as http.
void OpenURL(PageRequest &request, const QString &address);

} // namespace vidrona::resolve

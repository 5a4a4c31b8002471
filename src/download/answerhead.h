#pragma once
#include "keptbytes.h"
#include "net/failure.h"
#include "net/httphead.h"
#include <QUrl>

// How a file fetch reads the head of an answer, for every connection of it.
namespace vidrona::download::answer {

using net::HttpHead;

// What resuming cares about in head, which came from url.
kept::AnswerHead of(const HttpHead &head, const QUrl &url);

// A video file is never a web page: such an answer is a sign-in page, an
// error page with a success status, a portal's notice.
bool isWebPage(const HttpHead &head);

// The server's seconds to wait from Retry-After (a date is not used); -1 none.
int retryAfterSeconds(const HttpHead &head);

// An answer with an error status as a failure: its status, its
// Retry-After and its reason phrase ("Service Unavailable").
net::Failure statusFailure(const HttpHead &head);

// No byte came for the stall time.
net::Failure stalled(int stallTimeoutMs);

} // namespace vidrona::download::answer

#include "answerhead.h"
#include "net/httpclient.h"

namespace vidrona::download::answer {

using net::HttpHead;
using net::parseContentLength;

kept::AnswerHead of(const HttpHead &head, const QUrl &url)
{
    kept::AnswerHead a;
    a.status = head.status;
    a.address = url.toEncoded();
    a.etag = head.value("ETag");
    a.lastModified = head.value("Last-Modified");
    a.contentRange = head.value("Content-Range");
    a.contentLength = parseContentLength(head.value("Content-Length")).value_or(-1);
    return a;
}

bool isWebPage(const HttpHead &head)
{
    const QByteArray type = head.value("Content-Type").split(';').first().trimmed().toLower();
    return type == "text/html" || type == "application/xhtml+xml";
}

int retryAfterSeconds(const HttpHead &head)
{
    bool seconds = false;
    const int retryAfter = head.value("Retry-After").trimmed().toInt(&seconds);
    return seconds && retryAfter >= 0 ? retryAfter : -1;
}

net::Failure statusFailure(const HttpHead &head)
{
    net::Failure f = net::fail(net::Reason::HttpError, net::Cause::HttpStatus, QString::fromLatin1(head.reason));
    f.status = head.status;
    f.retryAfterSeconds = retryAfterSeconds(head);
    return f;
}

net::Failure stalled(int stallTimeoutMs)
{
    return net::stalled(stallTimeoutMs);
}

} // namespace vidrona::download::answer

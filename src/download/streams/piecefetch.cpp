#include "piecefetch.h"
#include "streamlimits.h"
#include <optional>

namespace vidrona::download::streams {

using net::HttpHead;
using net::parseContentLength;

namespace {

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

net::Failure statusFailure(const HttpHead &head)
{
    net::Failure f = net::fail(net::Reason::HttpError, net::Cause::HttpStatus, QString::fromLatin1(head.reason));
    f.status = head.status;
    bool seconds = false;
    const int retryAfter = head.value("Retry-After").trimmed().toInt(&seconds);
    f.retryAfterSeconds = seconds && retryAfter >= 0 ? retryAfter : -1;
    return f;
}

qint64 announcedLength(const HttpHead &head)
{
    return parseContentLength(head.value("Content-Length")).value_or(-1);
}

struct SmallReceiver : net::Receiver {
    SmallBody &out;
    qsizetype maxBytes;
    bool decoded; // a length announced is the packed one: the decoded bytes are counted
    SmallReceiver(SmallBody &o, qsizetype m, bool d) : out(o), maxBytes(m), decoded(d) {}
    bool head(const HttpHead &head, const QUrl &url) override
    {
        out.finalUrl = url;
        if (!isSuccess(head.status))
            return out.failure = statusFailure(head), false;
        if (!decoded && announcedLength(head) > maxBytes)
            return out.tooLarge = true, false;
        return true;
    }
    bool body(const char *data, qsizetype length) override
    {
        if (out.bytes.size() + length > maxBytes)
            return out.tooLarge = true, false;
        out.bytes.append(data, length);
        return true;
    }
};

} // namespace

SmallBody fetchSmall(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                     net::Subject what, int idleMs, const std::atomic<bool> &cancel, BodyCoding coding)
{
    SmallBody out;
    out.finalUrl = url;
    SmallReceiver receiver(out, maxBytes, coding == BodyCoding::Decoded);
    net::Request request;
    request.url = url;
    request.userNamed = userNamed;
    request.idleMs = idleMs;
    request.compressed = coding == BodyCoding::Decoded;
    const net::Outcome outcome = client.perform(request, receiver, cancel);
    if (out.tooLarge) {
        out.failure = net::fail(net::Reason::TooLarge, net::Cause::TooLargeToFetch);
    } else if (!out.failure.failed() && outcome.failure.failed()) {
        out.failure = outcome.failure;
    } else if (!out.failure.failed() && !outcome.headIn) {
        out.failure = net::fail(net::Reason::BrokenAnswer, net::Cause::NoAnswer);
    }
    if (out.failure.failed())
        out.failure.subject = what; // the window says what did not come, except for a cancel
    return out;
}

} // namespace vidrona::download::streams

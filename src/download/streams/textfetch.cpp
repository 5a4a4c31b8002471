#include "textfetch.h"
#include "piecefetch.h"

namespace vidrona::streams {

namespace {

struct TextReceiver : net::Receiver {
    FetchedText &out;
    qsizetype maxBytes;
    TextReceiver(FetchedText &o, qsizetype m) : out(o), maxBytes(m) {}
    bool head(const HttpHead &head, const QUrl &url) override
    {
        out.finalUrl = url;
        if (head.status < 200 || head.status > 299) {
            out.failure = net::fail(net::Reason::HttpError, answeredText(head.status, head.reason));
            out.failure.status = head.status;
            return false;
        }
        return true; // a length announced is the packed one: the decoded bytes are counted below
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

FetchedText fetchText(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                      const QString &what, int idleMs, const std::atomic<bool> &cancel)
{
    FetchedText out;
    out.finalUrl = url;
    TextReceiver receiver(out, maxBytes);
    net::Request request;
    request.url = url;
    request.userNamed = userNamed;
    request.idleMs = idleMs;
    request.compressed = true;
    const net::Outcome outcome = client.perform(request, receiver, cancel);
    if (out.tooLarge) {
        out.failure = net::fail(net::Reason::TooLarge, QStringLiteral("%1 is larger than allowed").arg(what));
        out.failure.text[0] = out.failure.text[0].toUpper();
        return out;
    }
    if (!out.failure.failed() && outcome.failure.failed())
        out.failure = outcome.failure;
    else if (!out.failure.failed() && !outcome.headIn)
        out.failure = net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    if (out.failure.failed() && out.failure.reason != net::Reason::Cancelled)
        out.failure.text += QStringLiteral(" for %1").arg(what);
    return out;
}

} // namespace vidrona::streams

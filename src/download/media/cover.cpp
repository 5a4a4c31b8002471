#include "cover.h"
#include "net/addressrule.h"
#include "net/httpclient.h"
#include "net/pagerequest.h"

namespace vidrona::download::media {

using net::HttpHead;
using net::MaxPageRedirects;
using net::PageIdleTimeoutMs;
using net::PageTotalTimeoutMs;
using net::isInternalHost;
using net::parseContentLength;

namespace {

struct CoverReceiver : net::Receiver {
    QByteArray bytes;
    bool refused = false;
    bool head(const HttpHead &head, const QUrl &) override
    {
        const QByteArray type = head.value("Content-Type").trimmed().toLower();
        const std::optional<qint64> length = parseContentLength(head.value("Content-Length"));
        refused = head.status < 200 || head.status > 299 || !type.startsWith("image/")
                  || (length && *length > MaxCoverBytes);
        return !refused;
    }
    bool body(const char *data, qsizetype length) override
    {
        if (bytes.size() + length > MaxCoverBytes)
            return !(refused = true);
        bytes.append(data, length);
        return true;
    }
};

} // namespace

Tags withCover(const Tags &tags, const QUrl &rowUrl, const std::atomic<bool> &cancel)
{
    Tags out = tags;
    out.cover.clear();
    const QUrl url(tags.coverUrl);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return out;
    net::Request request;
    request.url = url;
    request.userNamed = isInternalHost(rowUrl.host());
    request.idleMs = PageIdleTimeoutMs;
    request.totalMs = PageTotalTimeoutMs;
    request.maxRedirects = MaxPageRedirects;
    request.bufferBytes = 64 << 10;
    CoverReceiver receiver;
    net::HttpClient client;
    const net::Outcome outcome = client.perform(request, receiver, cancel);
    if (!receiver.refused && !outcome.failure.failed() && outcome.headIn && !pictureType(receiver.bytes).isEmpty())
        out.cover = receiver.bytes;
    return out;
}

} // namespace vidrona::download::media

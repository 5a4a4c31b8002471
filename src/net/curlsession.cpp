#include "curlsession.h"
#include "agents.h"
#include "httpclient.h"
#include "proxy.h"

namespace vidrona::curlsession {

namespace {
constexpr long ReceiveBufferBytes = 512 << 10;
constexpr int PollMs = 50;
} // namespace

QByteArray proxyFor(const QUrl &target)
{
    return net::proxyFor(target);
}

QString Session::errorText(CURLcode result) const
{
    return QString::fromLatin1(error[0] ? error : curl_easy_strerror(result));
}

void prepare(Session &s, const QUrl &url)
{
    CURL *e = s.easy.get();
    curl_easy_reset(e);
    const QByteArray address = url.toEncoded();
    const QByteArray proxy = proxyFor(url);
    curl_easy_setopt(e, CURLOPT_URL, address.constData()); // copied by curl
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    // The proxy's answer to CONNECT (https) is not the server's answer.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, net::agent::Browser);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, ReceiveBufferBytes);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.error);
    s.error[0] = 0;
}

HeadLine readHeadLine(HeadBounds &bounds, const char *data, size_t length, QByteArray *line)
{
    if (!bounds.take(length))
        return HeadLine::TooLarge;
    *line = QByteArray(data, qsizetype(length)).trimmed();
    if (line->startsWith("HTTP/"))
        return HeadLine::Status; // a new answer (after an interim one)
    return line->isEmpty() ? HeadLine::End : HeadLine::Field;
}

CURLcode run(Session &s, const Watch &watch, Stopped *stopped)
{
    CURLM *multi = s.multi.get();
    curl_multi_add_handle(multi, s.easy.get());
    int running = 1;
    CURLcode result = CURLE_OK;
    *stopped = Stopped::No;
    while (running) {
        curl_multi_perform(multi, &running);
        if (watch.cancel)
            *stopped = Stopped::Cancelled;
        else if (Clock::now() - watch.lastByte > std::chrono::milliseconds(watch.stallMs))
            *stopped = Stopped::Stalled;
        if (*stopped != Stopped::No)
            break;
        if (running)
            curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
    }
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE)
            result = msg->data.result;
    curl_multi_remove_handle(multi, s.easy.get());
    return result;
}

void wake(Session &s)
{
    curl_multi_wakeup(s.multi.get());
}

void initOnce()
{
    net::HttpClient::initOnce();
}

} // namespace vidrona::curlsession

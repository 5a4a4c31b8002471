// A request on the calling thread: one request on a loop of its own
// (loop.h), which keeps its connections from one request to the next.
#include "httpclient.h"
#include "loop.h"
#include <curl/curl.h>
#include <mutex>
#include <optional>

namespace vidrona::net {

namespace {
constexpr int PollMs = 50; // a cancel set without wake() is seen this soon
} // namespace

HttpClient::HttpClient() : m_loop(std::make_unique<Loop>())
{
    initOnce();
}

HttpClient::~HttpClient() = default;

Outcome HttpClient::perform(const Request &request, Receiver &receiver, const std::atomic<bool> &cancel)
{
    if (!m_loop->ok())
        return {fail(Reason::Other, Cause::CannotStart)};
    m_loop->setCancel(&cancel);
    std::optional<Outcome> out;
    Request asked = request;
    asked.fields = m_fields + request.fields;
    if (asked.cookieFile.isEmpty())
        asked.cookieFile = m_cookieFile;
    m_loop->start(asked, receiver, [&out](const Outcome &o) { out = o; });
    while (!out)
        m_loop->step(PollMs);
    m_loop->setCancel(nullptr);
    return *out;
}

void HttpClient::setRowExtras(const QList<QByteArray> &fields, const QString &cookieFile)
{
    m_fields = fields;
    m_cookieFile = cookieFile;
}

void HttpClient::wake()
{
    m_loop->wake();
}

void HttpClient::initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace vidrona::net

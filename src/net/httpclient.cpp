// Every request of the program: libcurl moves the bytes, this file decides
// where they may come from and how much of them is taken.
#include "httpclient.h"
#include "addressrule.h"
#include "proxy.h"
#include "speedlimit.h"
#include <QHostAddress>
#include <curl/curl.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <chrono>
#include <mutex>

namespace vidrona::net {

namespace {

using Clock = std::chrono::steady_clock;
// Few writes to the disk per second at full speed.
constexpr long ReceiveBufferBytes = 512 << 10;
constexpr int PollMs = 50;

enum class Plan { Undecided, Redirect, Body, Stop, Fail };
enum class Stopped { No, Cancelled, Stalled, TimedOut };

QString headText()
{
    return QStringLiteral("The server's answer has no valid header, or one larger than %1 KB or of more than %2 lines.")
        .arg(MaxHeadBytes / 1024)
        .arg(MaxHeadLines);
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

struct ListDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using FieldList = std::unique_ptr<curl_slist, ListDeleter>;

// One request and its answer, without the redirects that follow it.
struct Hop {
    const Request &request;
    Receiver &receiver;
    QUrl url;
    bool trusted = false;  // private addresses may be reached
    bool viaProxy = false; // the proxy resolves names and makes the connection
    Clock::time_point deadline;
    Clock::time_point lastByte = Clock::now();
    HeadReader reader;
    Plan plan = Plan::Undecided;
    Failure failure;
    QString refused; // the address a connection was refused to
    bool headIn = false;
    const std::atomic<bool> *cancel = nullptr;
};

QString addressOf(const sockaddr *address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void *raw = address->sa_family == AF_INET6
                          ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr)
                          : static_cast<const void *>(&reinterpret_cast<const sockaddr_in *>(address)->sin_addr);
    inet_ntop(address->sa_family, raw, text, sizeof text);
    return QString::fromLatin1(text);
}

// Where the connection is made, after the name is resolved: what a page
// named is judged by the address it leads to.
curl_socket_t onOpenSocket(void *context, curlsocktype, curl_sockaddr *address)
{
    Hop &h = *static_cast<Hop *>(context);
    if (!h.trusted && !h.viaProxy && isPrivateAddress(&address->addr)) {
        h.refused = addressOf(&address->addr);
        return CURL_SOCKET_BAD;
    }
    h.receiver.connecting();
    return socket(address->family, address->socktype, address->protocol);
}

int onRequestSent(void *context, char *, char *, int, int)
{
    static_cast<Hop *>(context)->receiver.requestSent();
    return CURL_PREREQFUNC_OK;
}

size_t onHeader(char *data, size_t size, size_t count, void *context)
{
    Hop &h = *static_cast<Hop *>(context);
    const size_t length = size * count;
    h.lastByte = Clock::now();
    const HeadReader::State state = h.reader.take(QByteArrayView(data, qsizetype(length)));
    if (h.reader.failed()) {
        h.failure = Failure{state == HeadReader::TooLarge ? Reason::HeadTooLarge : Reason::BrokenAnswer, headText()};
        h.plan = Plan::Fail;
        return 0;
    }
    if (state == HeadReader::More || h.plan != Plan::Undecided)
        return length; // the head goes on, or trailers after the body
    const HttpHead &head = h.reader.head();
    if (isRedirectStatus(head.status) && head.has("Location")) {
        h.plan = Plan::Redirect; // its body is of no use
        return 0;
    }
    h.headIn = true;
    h.plan = h.receiver.head(head, h.url) ? Plan::Body : Plan::Stop;
    return h.plan == Plan::Body ? length : 0; // 0 ends the request here
}

size_t onBody(char *data, size_t size, size_t count, void *context)
{
    Hop &h = *static_cast<Hop *>(context);
    const size_t length = size * count;
    h.lastByte = Clock::now();
    if (h.plan != Plan::Body)
        return 0;
    if (!h.receiver.body(data, qsizetype(length))) {
        h.plan = Plan::Stop;
        return 0;
    }
    if (h.request.limited) {
        SpeedLimit::global().take(qint64(length), *h.cancel);
        h.lastByte = Clock::now(); // waiting for the limit is no stall
    }
    return length;
}

} // namespace

struct HttpClient::Handles {
    CURL *easy = curl_easy_init();
    CURLM *multi = curl_multi_init();
    char error[CURL_ERROR_SIZE] = {};
    ~Handles()
    {
        if (multi)
            curl_multi_cleanup(multi);
        if (easy)
            curl_easy_cleanup(easy);
    }
    bool ok() const { return easy && multi; }
    QString errorText(CURLcode code) const
    {
        return QString::fromLatin1(error[0] ? error : curl_easy_strerror(code));
    }
};

namespace {

void prepare(HttpClient::Handles &hd, Hop &h, curl_slist *fields)
{
    CURL *e = hd.easy;
    curl_easy_reset(e);
    const QByteArray address = h.url.toEncoded();
    const QByteArray proxy = proxyFor(h.url);
    h.viaProxy = !proxy.isEmpty();
    curl_easy_setopt(e, CURLOPT_URL, address.constData()); // curl copies strings
    // Empty strings, not left unset: curl must not read the environment itself.
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    // The proxy's answer to CONNECT (https) is not the server's answer.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L); // each redirect is judged here
    curl_easy_setopt(e, CURLOPT_USERAGENT, h.request.agent.constData());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, fields);
    curl_easy_setopt(e, CURLOPT_NOBODY, long(h.request.method == Request::Method::Head));
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, h.request.compressed ? "" : nullptr);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, ReceiveBufferBytes);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, hd.error);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &h);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &onRequestSent);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &h);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &h);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &h);
    hd.error[0] = 0;
}

Stopped check(const Hop &h, const std::atomic<bool> &cancel)
{
    const Clock::time_point now = Clock::now();
    if (cancel)
        return Stopped::Cancelled;
    if (now - h.lastByte > std::chrono::milliseconds(h.request.idleMs))
        return Stopped::Stalled;
    return now > h.deadline ? Stopped::TimedOut : Stopped::No;
}

// Runs the prepared request until it ends or is stopped; then drops it.
CURLcode run(HttpClient::Handles &hd, const Hop &h, const std::atomic<bool> &cancel, Stopped *stopped)
{
    curl_multi_add_handle(hd.multi, hd.easy);
    int running = 1;
    CURLcode result = CURLE_OK;
    *stopped = Stopped::No;
    while (running) {
        curl_multi_perform(hd.multi, &running);
        if ((*stopped = check(h, cancel)) != Stopped::No)
            break;
        if (running)
            curl_multi_poll(hd.multi, nullptr, 0, PollMs, nullptr);
    }
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(hd.multi, &left))
        if (msg->msg == CURLMSG_DONE)
            result = msg->data.result;
    curl_multi_remove_handle(hd.multi, hd.easy);
    return result;
}

Failure fromCurl(CURLcode code, const QString &text)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return {Reason::CannotConnect, text};
    case CURLE_OPERATION_TIMEDOUT:
        return {Reason::TimedOut, text};
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return {Reason::BrokeOff, QStringLiteral("The connection broke off before the answer was complete.")};
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_WEIRD_SERVER_REPLY:
        return {Reason::BrokenAnswer, QStringLiteral("The server's answer is broken: %1").arg(text)};
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return {Reason::NotWebAddress, QStringLiteral("Not a web address.")};
    default:
        return {Reason::Other, text};
    }
}

Failure outcomeOf(const HttpClient::Handles &hd, const Hop &h, CURLcode code, Stopped stopped)
{
    switch (stopped) {
    case Stopped::Cancelled: return {Reason::Cancelled, QStringLiteral("Cancelled.")};
    case Stopped::Stalled:
        return {Reason::Stalled, QStringLiteral("Nothing arrived for %1 seconds.").arg(h.request.idleMs / 1000.0)};
    case Stopped::TimedOut:
        return {Reason::TimedOut,
                QStringLiteral("The answer did not arrive within %1 seconds.").arg(h.request.totalMs / 1000.0)};
    case Stopped::No: break;
    }
    if (h.plan == Plan::Fail)
        return h.failure;
    if (h.plan == Plan::Redirect || h.plan == Plan::Stop || (code == CURLE_OK && h.plan == Plan::Body))
        return {};
    if (!h.refused.isEmpty())
        return {Reason::AddressRefused, addressRefusedText(h.refused)};
    if (code == CURLE_OK)
        return {Reason::BrokenAnswer, QStringLiteral("No answer came.")};
    if (code == CURLE_OUT_OF_MEMORY && !h.headIn)
        return {Reason::HeadTooLarge, headText()}; // libcurl's own bound on one head line
    return fromCurl(code, hd.errorText(code));
}

// Whether the hop's connection reached a private address (not through a proxy).
bool reachedPrivate(const HttpClient::Handles &hd, const Hop &h)
{
    char *ip = nullptr;
    if (h.viaProxy || curl_easy_getinfo(hd.easy, CURLINFO_PRIMARY_IP, &ip) != CURLE_OK || !ip || !*ip)
        return false;
    return isPrivateAddress(QHostAddress(QString::fromLatin1(ip)));
}

FieldList fieldList(const QList<QByteArray> &fields)
{
    curl_slist *list = nullptr;
    for (const QByteArray &f : fields)
        list = curl_slist_append(list, f.constData());
    return FieldList(list);
}

// Before any request: an address that is not for the web, or a literal
// private one the user did not name (through a proxy, the only judging).
Failure judge(const QUrl &url, bool trusted)
{
    if (!isWebAddress(url))
        return {Reason::NotWebAddress, QStringLiteral("Not a web address.")};
    if (!trusted && isInternalHost(url.host()))
        return {Reason::AddressRefused, addressRefusedText(url.host())};
    return {};
}

} // namespace

HttpClient::HttpClient() : m_handles(std::make_unique<Handles>())
{
    initOnce();
}

HttpClient::~HttpClient() = default;

Outcome HttpClient::perform(const Request &request, Receiver &receiver, const std::atomic<bool> &cancel)
{
    if (!m_handles->ok())
        return {Failure{Reason::Other, QStringLiteral("Cannot start a transfer.")}};
    const FieldList fields = fieldList(request.fields);
    const FieldList resolveAs = fieldList(request.resolveAs);
    const Clock::time_point deadline = request.totalMs > 0 ? Clock::now() + std::chrono::milliseconds(request.totalMs)
                                                           : Clock::time_point::max();
    QUrl url = request.url;
    bool trusted = request.userNamed;
    for (int hop = 0;; ++hop) {
        if (Failure f = judge(url, trusted); f.failed())
            return {f};
        Hop h{request, receiver, url, trusted, false, deadline};
        h.cancel = &cancel;
        prepare(*m_handles, h, fields.get());
        curl_easy_setopt(m_handles->easy, CURLOPT_RESOLVE, resolveAs.get());
        Stopped stopped;
        const CURLcode code = run(*m_handles, h, cancel, &stopped);
        const Outcome out{outcomeOf(*m_handles, h, code, stopped), h.headIn, h.plan == Plan::Stop};
        if (out.failure.failed() || h.plan != Plan::Redirect)
            return out;
        const QUrl next = url.resolved(QUrl(QString::fromLatin1(h.reader.head().value("Location")), QUrl::TolerantMode));
        if (!isRedirectAllowed(url, next))
            return {Failure{Reason::RedirectRefused, redirectRefusedText(next)}};
        if (hop >= request.maxRedirects)
            return {Failure{Reason::TooManyRedirects,
                            QStringLiteral("The address redirects more than %1 times.").arg(request.maxRedirects)}};
        // Trust goes on from a private address the user named to another one only.
        trusted = trusted && (isInternalHost(url.host()) || reachedPrivate(*m_handles, h));
        url = next;
    }
}

void HttpClient::wake()
{
    curl_multi_wakeup(m_handles->multi);
}

void HttpClient::initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace vidrona::net

// The one libcurl loop: libcurl moves the bytes of every request at once,
// this file decides where they may come from and how much of them is
// taken (see loop.h).
#include "loop.h"
#include "addressrule.h"
#include "proxy.h"
#include "speedlimit.h"
#include <QFile>
#include <QHostAddress>
#include <curl/curl.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <algorithm>
#include <chrono>

namespace vidrona::net {

namespace {

using Clock = std::chrono::steady_clock;
const std::atomic<bool> NeverCancelled{false};

enum class Plan { Undecided, Redirect, Body, Stop, Fail };


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

FieldList fieldList(const QList<QByteArray> &fields)
{
    curl_slist *list = nullptr;
    for (const QByteArray &f : fields)
        list = curl_slist_append(list, f.constData());
    return FieldList(list);
}

QString addressOf(const sockaddr *address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void *raw = address->sa_family == AF_INET6
                          ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr)
                          : static_cast<const void *>(&reinterpret_cast<const sockaddr_in *>(address)->sin_addr);
    inet_ntop(address->sa_family, raw, text, sizeof text);
    return QString::fromLatin1(text);
}

// Before any request: an address that is not for the web, or a literal
// private one the user did not name (through a proxy, the only judging).
Failure judge(const QUrl &url, bool trusted)
{
    if (!isWebAddress(url))
        return fail(Reason::NotWebAddress, Cause::NotWebAddress);
    if (!trusted && isInternalHost(url.host()))
        return fail(Reason::AddressRefused, Cause::AddressRefused, url.host());
    return {};
}

} // namespace


// One request with its redirects: one easy handle, one hop at a time.
struct Loop::Exchange {
    int id = 0;
    Request request;
    Receiver *receiver = nullptr;
    Ended ended;
    CURL *easy = nullptr;
    FieldList fields;
    FieldList resolveAs; // tests only: names resolved as given
    char error[CURL_ERROR_SIZE] = {};
    const std::atomic<bool> *cancel = &NeverCancelled;
    Clock::time_point deadline = Clock::time_point::max();
    int hop = 0;
    // The hop under way.
    QUrl url;
    bool trusted = false;  // private addresses may be reached
    bool viaProxy = false; // the proxy resolves names and makes the connection
    Clock::time_point lastByte = Clock::now();
    HeadReader reader;
    Plan plan = Plan::Undecided;
    Failure failure;
    QString refused; // the address a connection was refused to
    bool headIn = false;
    bool paused = false;
};

namespace {

using Exchange = Loop::Exchange;

curl_socket_t onOpenSocket(void *context, curlsocktype, curl_sockaddr *address)
{
    Exchange &x = *static_cast<Exchange *>(context);
    if (!x.trusted && !x.viaProxy && isPrivateAddress(&address->addr)) {
        x.refused = addressOf(&address->addr);
        return CURL_SOCKET_BAD;
    }
    x.receiver->connecting();
    return socket(address->family, address->socktype, address->protocol);
}

int onRequestSent(void *context, char *, char *, int, int)
{
    static_cast<Exchange *>(context)->receiver->requestSent();
    return CURL_PREREQFUNC_OK;
}

size_t onHeader(char *data, size_t size, size_t count, void *context)
{
    Exchange &x = *static_cast<Exchange *>(context);
    const size_t length = size * count;
    x.lastByte = Clock::now();
    const HeadReader::State state = x.reader.take(QByteArrayView(data, qsizetype(length)));
    if (x.reader.failed()) {
        x.failure = fail(state == HeadReader::TooLarge ? Reason::HeadTooLarge : Reason::BrokenAnswer, Cause::BadHead);
        x.plan = Plan::Fail;
        return 0;
    }
    if (state == HeadReader::More || x.plan != Plan::Undecided)
        return length; // the head goes on, or trailers after the body
    const HttpHead &head = x.reader.head();
    if (isRedirectStatus(head.status) && head.has("Location")) {
        x.plan = Plan::Redirect; // its body is of no use
        return 0;
    }
    x.headIn = true;
    x.plan = x.receiver->head(head, x.url) ? Plan::Body : Plan::Stop;
    return x.plan == Plan::Body ? length : 0; // 0 ends the request here
}

size_t onBody(char *data, size_t size, size_t count, void *context)
{
    Exchange &x = *static_cast<Exchange *>(context);
    const size_t length = size * count;
    x.lastByte = Clock::now();
    if (x.plan != Plan::Body)
        return 0;
    if (x.receiver->full()) {
        x.paused = true; // libcurl hands the same bytes again on resuming
        return CURL_WRITEFUNC_PAUSE;
    }
    if (!x.receiver->body(data, qsizetype(length))) {
        x.plan = Plan::Stop;
        return 0;
    }
    if (x.request.limit) {
        x.request.limit->take(qint64(length), *x.cancel);
        x.lastByte = Clock::now(); // waiting for the limit is no stall
    }
    return length;
}

void prepare(Exchange &x)
{
    CURL *e = x.easy;
    curl_easy_reset(e);
    const QByteArray address = x.url.toEncoded();
    const QByteArray proxy = proxyFor(x.url);
    x.viaProxy = !proxy.isEmpty();
    x.reader = HeadReader();
    x.plan = Plan::Undecided;
    x.headIn = false;
    x.paused = false;
    x.lastByte = Clock::now();
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
    curl_easy_setopt(e, CURLOPT_USERAGENT, x.request.agent.constData());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, x.fields.get());
    curl_easy_setopt(e, CURLOPT_RESOLVE, x.resolveAs.get());
    // The engine sends each cookie only to the hosts it belongs to, on
    // every hop: a redirect to another host never carries it.
    if (!x.request.cookieFile.isEmpty())
        curl_easy_setopt(e, CURLOPT_COOKIEFILE, QFile::encodeName(x.request.cookieFile).constData());
    curl_easy_setopt(e, CURLOPT_NOBODY, long(x.request.method == Request::Method::Head));
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, x.request.compressed ? "" : nullptr);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, x.request.bufferBytes);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, x.error);
    curl_easy_setopt(e, CURLOPT_PRIVATE, &x);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &x);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &onRequestSent);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &x);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &x);
    x.error[0] = 0;
}

Failure fromCurl(CURLcode code, const QString &text)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return fail(Reason::CannotConnect, Cause::ConnectFailed, text);
    case CURLE_OPERATION_TIMEDOUT:
        return fail(Reason::TimedOut, Cause::ConnectFailed, text);
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return fail(Reason::BrokeOff, Cause::BrokeOff);
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_WEIRD_SERVER_REPLY:
        return fail(Reason::BrokenAnswer, Cause::Garbled, text);
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return fail(Reason::NotWebAddress, Cause::NotWebAddress);
    default:
        return fail(Reason::Other, Cause::ConnectFailed, text);
    }
}

Failure tooManyRedirects(int allowed)
{
    Failure f = fail(Reason::TooManyRedirects, Cause::TooManyRedirects);
    f.count = allowed;
    return f;
}

Failure outcomeOf(const Exchange &x, CURLcode code)
{
    if (x.plan == Plan::Fail)
        return x.failure;
    if (x.plan == Plan::Redirect || x.plan == Plan::Stop || (code == CURLE_OK && x.plan == Plan::Body))
        return {};
    if (!x.refused.isEmpty())
        return fail(Reason::AddressRefused, Cause::AddressRefused, x.refused);
    if (code == CURLE_OK)
        return fail(Reason::BrokenAnswer, Cause::NoAnswer);
    if (code == CURLE_OUT_OF_MEMORY && !x.headIn)
        return fail(Reason::HeadTooLarge, Cause::BadHead); // libcurl's own bound on one head line
    return fromCurl(code, QString::fromLatin1(x.error[0] ? x.error : curl_easy_strerror(code)));
}

// Whether the hop's connection reached a private address (not through a proxy).
bool reachedPrivate(const Exchange &x)
{
    char *ip = nullptr;
    if (x.viaProxy || curl_easy_getinfo(x.easy, CURLINFO_PRIMARY_IP, &ip) != CURLE_OK || !ip || !*ip)
        return false;
    return isPrivateAddress(QHostAddress(QString::fromLatin1(ip)));
}

} // namespace

Loop::Loop() : m_multi(curl_multi_init())
{
    HttpClient::initOnce();
}

Loop::~Loop()
{
    for (Exchange *x : std::as_const(m_exchanges))
        release(x);
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM *>(m_multi));
}

bool Loop::ok() const
{
    return m_multi != nullptr;
}

int Loop::start(const Request &request, Receiver &receiver, Ended ended)
{
    auto *x = new Exchange;
    x->id = m_nextId++;
    x->request = request;
    x->receiver = &receiver;
    x->ended = std::move(ended);
    x->fields = fieldList(request.fields);
    x->resolveAs = fieldList(request.resolveAs);
    x->cancel = m_cancel ? m_cancel : &NeverCancelled;
    if (request.totalMs > 0)
        x->deadline = Clock::now() + std::chrono::milliseconds(request.totalMs);
    x->url = request.url;
    x->trusted = request.userNamed;
    m_exchanges.insert(x->id, x);
    x->easy = curl_easy_init();
    Failure refused = judge(x->url, x->trusted);
    if (!x->easy)
        refused = fail(Reason::Other, Cause::CannotStart);
    if (refused.failed()) { // ended at the next step, never inside start()
        m_exchanges.remove(x->id);
        m_ended.push_back({x, Outcome{refused}});
        return x->id;
    }
    prepare(*x);
    if (curl_multi_add_handle(static_cast<CURLM *>(m_multi), x->easy) != CURLM_OK) {
        m_exchanges.remove(x->id); // e.g. from inside a callback of this loop
        m_ended.push_back({x, Outcome{fail(Reason::Other, Cause::CannotStart)}});
    }
    return x->id;
}

void Loop::release(Exchange *x)
{
    if (x->easy) {
        curl_multi_remove_handle(static_cast<CURLM *>(m_multi), x->easy);
        // libcurl holds the cookie file's name until a transfer loads it,
        // and its cleanup does not free a name no transfer took: loading it
        // now lets it go.
        if (!x->request.cookieFile.isEmpty())
            curl_easy_setopt(x->easy, CURLOPT_COOKIELIST, "RELOAD");
        curl_easy_cleanup(x->easy);
    }
    delete x;
}

void Loop::drop(int id)
{
    if (Exchange *x = m_exchanges.take(id))
        release(x);
}

void Loop::resumePaused()
{
    for (Exchange *x : std::as_const(m_exchanges))
        if (x->paused) {
            x->paused = false;
            x->lastByte = Clock::now(); // the wait was the disk's, not the server's
            curl_easy_pause(x->easy, CURLPAUSE_CONT);
        }
}

// After a redirect: the next hop when the rule allows it (none returned),
// else why not.
Failure Loop::nextHop(Exchange &x)
{
    const QUrl next = x.url.resolved(QUrl(QString::fromLatin1(x.reader.head().value("Location")), QUrl::TolerantMode));
    if (!isRedirectAllowed(x.url, next))
        return fail(Reason::RedirectRefused, Cause::RedirectRefused, refusedTarget(next));
    if (x.hop >= x.request.maxRedirects)
        return tooManyRedirects(x.request.maxRedirects);
    // Trust goes on from a private address the user named to another one only.
    x.trusted = x.trusted && (isInternalHost(x.url.host()) || reachedPrivate(x));
    if (Failure f = judge(next, x.trusted); f.failed())
        return f;
    ++x.hop;
    x.url = next;
    prepare(x);
    curl_multi_add_handle(static_cast<CURLM *>(m_multi), x.easy);
    return {};
}

void Loop::finish(Exchange &x, int code)
{
    curl_multi_remove_handle(static_cast<CURLM *>(m_multi), x.easy);
    Outcome out{outcomeOf(x, CURLcode(code)), x.headIn, x.plan == Plan::Stop};
    if (!out.failure.failed() && x.plan == Plan::Redirect) {
        const Failure refused = nextHop(x);
        if (!refused.failed())
            return; // the next hop is under way
        out = Outcome{refused};
    }
    m_exchanges.remove(x.id);
    m_ended.push_back({&x, out});
}

// Cancel, stalls and the whole request's time, checked at every step.
void Loop::checkBounds()
{
    const Clock::time_point now = Clock::now();
    const bool cancelled = m_cancel && *m_cancel;
    for (Exchange *x : m_exchanges.values()) {
        Failure f;
        if (cancelled)
            f = net::cancelled();
        else if (!x->paused && now - x->lastByte > std::chrono::milliseconds(x->request.idleMs))
            f = stalled(x->request.idleMs);
        else if (now > x->deadline)
            f = timedOut(Cause::TimedOut, x->request.totalMs);
        if (!f.failed())
            continue;
        curl_multi_remove_handle(static_cast<CURLM *>(m_multi), x->easy);
        m_exchanges.remove(x->id);
        m_ended.push_back({x, Outcome{f, x->headIn, false}});
    }
}

void Loop::step(int waitMs)
{
    auto *multi = static_cast<CURLM *>(m_multi);
    if (m_ended.empty()) // waits even without requests: a retry's wait, a wake()
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Exchange *x = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char **>(&x));
        if (x && m_exchanges.contains(x->id))
            finish(*x, msg->data.result);
    }
    checkBounds();
    // Last, and from a copy: an Ended call may start or drop requests.
    std::vector<std::pair<Exchange *, Outcome>> ended;
    ended.swap(m_ended);
    for (auto &[x, out] : ended) {
        if (x->ended)
            x->ended(out);
        release(x);
    }
}

void Loop::wake()
{
    curl_multi_wakeup(static_cast<CURLM *>(m_multi));
}

void CancelToken::set()
{
    std::lock_guard lock(m_mutex);
    m_set = true;
    for (Loop *loop : m_loops)
        loop->wake();
    for (CancelToken *token : m_passedTo) // always from a fetch to its own parts, so locks never cross
        token->set();
}

void CancelToken::passTo(CancelToken *token)
{
    std::lock_guard lock(m_mutex);
    m_passedTo.push_back(token);
    if (m_set)
        token->set();
}

void CancelToken::stopPassing(CancelToken *token)
{
    std::lock_guard lock(m_mutex);
    m_passedTo.erase(std::remove(m_passedTo.begin(), m_passedTo.end(), token), m_passedTo.end());
}

void CancelToken::watch(Loop *loop)
{
    std::lock_guard lock(m_mutex);
    m_loops.push_back(loop);
}

void CancelToken::unwatch(Loop *loop)
{
    std::lock_guard lock(m_mutex);
    m_loops.erase(std::remove(m_loops.begin(), m_loops.end(), loop), m_loops.end());
}

} // namespace vidrona::net

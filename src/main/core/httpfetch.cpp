// The file fetch of the queue, on a thread of its own with libcurl: the
// body goes from the socket to the disk without a hop through the window's
// thread, at the speed of the curl tool.
#include "httpfetch.h"
#include "filewriter.h"
#include "keptbytes.h"
#include "redirectpolicy.h"
#include <QFile>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <curl/curl.h>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace vidrona {

namespace {
using Clock = std::chrono::steady_clock;

// An answer's head is small; one that goes on is hostile.
constexpr int MaxHeaderLines = 200;
constexpr qint64 MaxHeaderBytes = 64 << 10;
constexpr long ReceiveBufferBytes = 512 << 10;
constexpr int PollMs = 50;

enum class Plan { Undecided, Write, Redirect, StartOver, Fail };

// One request and its answer.
struct Attempt {
    const FetchJob &job;
    FetchShared &shared;
    FileWriter &writer;
    QUrl url;
    qint64 kept = 0; // asking for the bytes from here on; 0: the whole body
    std::optional<kept::Record> record;
    kept::AnswerHead head;
    QByteArray location;
    int status = 0;
    int headerLines = 0;
    qint64 headerBytes = 0;
    Plan plan = Plan::Undecided;
    QString failure;
    qint64 body = 0;
    qint64 expectedBody = -1;
    Clock::time_point lastByte = Clock::now();

    Attempt(const FetchJob &j, FetchShared &sh, FileWriter &w) : job(j), shared(sh), writer(w) {}
    // Ready for the next answer (after a redirect).
    void nextAnswer(const QUrl &to)
    {
        url = to;
        head = {};
        location.clear();
        status = headerLines = 0;
        headerBytes = body = 0;
        expectedBody = -1;
        plan = Plan::Undecided;
    }
    Plan fail(const QString &why)
    {
        failure = why;
        return plan = Plan::Fail;
    }
};

QByteArray headerValue(const QByteArray &line, const char *name)
{
    const int colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) != 0)
        return {};
    return line.mid(colon + 1).trimmed();
}

void readHeader(Attempt &a, const QByteArray &line)
{
    if (QByteArray v = headerValue(line, "ETag"); !v.isEmpty())
        a.head.etag = v;
    else if (QByteArray v = headerValue(line, "Last-Modified"); !v.isEmpty())
        a.head.lastModified = v;
    else if (QByteArray v = headerValue(line, "Content-Range"); !v.isEmpty())
        a.head.contentRange = v;
    else if (QByteArray v = headerValue(line, "Location"); !v.isEmpty())
        a.location = v;
    else if (QByteArray v = headerValue(line, "Content-Length"); !v.isEmpty()) {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        a.head.contentLength = ok && n >= 0 ? n : -1;
    }
}

// The answer's head is complete: what becomes of its body.
Plan decide(Attempt &a, int status)
{
    a.head.status = status;
    a.head.address = a.url.toEncoded();
    if (status >= 300 && status <= 399 && status != 304 && !a.location.isEmpty())
        return a.plan = Plan::Redirect;
    qint64 total = -1;
    if (status == 416 || (status == 206 && !(a.record && kept::continues(*a.record, a.kept, a.head, &total))))
        return a.kept > 0 ? a.plan = Plan::StartOver
                          : a.fail(QStringLiteral("HTTP status %1").arg(status));
    if (status < 200 || status > 299)
        return a.fail(QStringLiteral("HTTP status %1").arg(status));
    const QString bytes = kept::bytesPath(a.job.finalPath);
    if (status == 206) {
        if (!a.writer.open(bytes, true) || a.writer.size() != a.kept)
            return a.plan = Plan::StartOver;
        a.expectedBody = total - a.kept;
        a.shared.total = total;
    } else {
        // The whole body from its first byte: old kept bytes and their
        // record go first, so the two never describe different versions.
        kept::remove(a.job.finalPath);
        if (!a.writer.open(bytes, false))
            return a.fail(a.writer.errorString());
        a.record = kept::recordFor(a.head);
        if (a.record)
            kept::save(a.job.finalPath, *a.record);
        a.expectedBody = a.head.contentLength;
        a.shared.total = a.head.contentLength;
    }
    a.shared.received = a.writer.size();
    if (a.job.receiving)
        a.job.receiving();
    return a.plan = Plan::Write;
}

size_t onHeader(char *data, size_t size, size_t count, void *context)
{
    Attempt &a = *static_cast<Attempt *>(context);
    const size_t length = size * count;
    a.lastByte = Clock::now();
    a.headerBytes += qint64(length);
    if (++a.headerLines > MaxHeaderLines || a.headerBytes > MaxHeaderBytes) {
        a.fail(QStringLiteral("the answer's head is too large"));
        return 0;
    }
    const QByteArray line = QByteArray(data, qsizetype(length)).trimmed();
    if (line.startsWith("HTTP/")) { // a new answer (after an interim one)
        a.head = {};
        a.location.clear();
        a.status = line.split(' ').value(1).toInt();
        return length;
    }
    if (!line.isEmpty()) {
        readHeader(a, line);
        return length;
    }
    if (a.status >= 100 && a.status <= 199)
        return length; // an interim answer; the real one follows
    const Plan plan = decide(a, a.status);
    return plan == Plan::Write ? length : 0; // 0 ends the transfer here
}

size_t onBody(char *data, size_t size, size_t count, void *context)
{
    Attempt &a = *static_cast<Attempt *>(context);
    const size_t length = size * count;
    a.lastByte = Clock::now();
    if (a.plan != Plan::Write)
        return 0;
    if (!a.writer.write(data, qint64(length))) {
        a.fail(a.writer.errorString());
        return 0;
    }
    a.body += qint64(length);
    a.shared.received += qint64(length);
    a.shared.fresh += qint64(length);
    return length;
}

QByteArray proxyFor(const QUrl &target)
{
    const QNetworkProxy proxy = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(target)).value(0);
    QUrl url;
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy: url.setScheme(QStringLiteral("http")); break;
    case QNetworkProxy::Socks5Proxy: url.setScheme(QStringLiteral("socks5h")); break;
    default: return QByteArray(); // none: also overrides curl's own reading of http_proxy
    }
    url.setHost(proxy.hostName());
    url.setPort(proxy.port());
    url.setUserName(proxy.user());
    url.setPassword(proxy.password());
    return url.toEncoded();
}

// CURL and CURLM are the same type to the compiler: one deleter each.
struct EasyDeleter {
    void operator()(CURL *e) const { curl_easy_cleanup(e); }
};
struct MultiDeleter {
    void operator()(CURLM *m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

// One connection's worth of state for all requests of a fetch, so a
// redirect or a second request may reuse the connection.
struct Session {
    std::unique_ptr<CURL, EasyDeleter> easy{curl_easy_init()};
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
    char error[CURL_ERROR_SIZE] = {};
};

void prepare(Session &s, Attempt &a, curl_slist *headers)
{
    CURL *e = s.easy.get();
    curl_easy_reset(e);
    const QByteArray url = a.url.toEncoded();
    const QByteArray proxy = proxyFor(a.url);
    curl_easy_setopt(e, CURLOPT_URL, url.constData()); // copied by curl
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
    // The proxy's answer to CONNECT (https) is not the server's answer.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L); // followed here, by our rule
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Mozilla/5.0");
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, ReceiveBufferBytes);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &a);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &a);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.error);
    s.error[0] = 0;
}

// Runs one request to its end, or until cancelled or stalled.
void perform(Session &s, Attempt &a)
{
    CURLM *multi = s.multi.get();
    curl_multi_add_handle(multi, s.easy.get());
    int running = 1;
    CURLcode result = CURLE_OK;
    const auto stall = std::chrono::milliseconds(a.job.stallTimeoutMs);
    while (running) {
        curl_multi_perform(multi, &running);
        if (a.shared.cancel) {
            a.fail(QStringLiteral("cancelled"));
            break;
        }
        if (Clock::now() - a.lastByte > stall) {
            a.fail(QStringLiteral("no data for %1 ms").arg(a.job.stallTimeoutMs));
            break;
        }
        if (running)
            curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
    }
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE)
            result = msg->data.result;
    curl_multi_remove_handle(multi, s.easy.get());
    if (a.plan == Plan::Write && result != CURLE_OK)
        a.fail(QString::fromLatin1(s.error[0] ? s.error : curl_easy_strerror(result)));
    else if (a.plan == Plan::Undecided)
        a.fail(QString::fromLatin1(result == CURLE_OK ? "no answer" : s.error[0] ? s.error
                                                                                  : curl_easy_strerror(result)));
    else if (a.plan == Plan::Write && a.expectedBody >= 0 && a.body != a.expectedBody)
        a.fail(QStringLiteral("body of %1 bytes, %2 announced").arg(a.body).arg(a.expectedBody));
}

// Follows the redirects of one request; the plan of the last answer.
Plan follow(Session &s, Attempt &a)
{
    std::unique_ptr<curl_slist, ListDeleter> headers;
    if (a.kept > 0) {
        // Only the rest, and only if it is still the version kept.
        const QByteArray range = "Range: bytes=" + QByteArray::number(a.kept) + '-';
        const QByteArray ifRange = "If-Range: " + a.record->validator();
        headers.reset(curl_slist_append(curl_slist_append(nullptr, range.constData()), ifRange.constData()));
    }
    for (int hop = 0;; ++hop) {
        prepare(s, a, headers.get());
        perform(s, a);
        if (a.plan != Plan::Redirect)
            return a.plan;
        const QUrl next = a.url.resolved(QUrl::fromEncoded(a.location));
        if (hop >= a.job.maxRedirects)
            return a.fail(QStringLiteral("too many redirects"));
        if (!isRedirectAllowed(a.url, next)) // also never into a private network
            return a.fail(redirectRefusedText(next));
        a.nextAnswer(next);
    }
}

} // namespace

void initFetching()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

FetchResult runFetch(const FetchJob &job, FetchShared &shared)
{
    Session session;
    if (!session.easy || !session.multi)
        return {false, QStringLiteral("cannot start a transfer")};
    FileWriter writer;
    qint64 keptLength = 0;
    std::optional<kept::Record> record = kept::load(job.finalPath, &keptLength);
    for (int round = 0;; ++round) {
        Attempt a(job, shared, writer);
        a.url = job.url;
        a.record = record;
        a.kept = record ? keptLength : 0;
        const Plan plan = follow(session, a);
        if (plan == Plan::StartOver && round == 0) {
            // The kept bytes cannot be continued: the whole body again.
            writer.close();
            kept::remove(job.finalPath);
            record.reset();
            continue;
        }
        if (plan != Plan::Write) {
            writer.close();
            if (!a.record) // bytes that cannot be resumed are not kept
                kept::remove(job.finalPath);
            return {false, plan == Plan::StartOver ? QStringLiteral("the answers do not add up") : a.failure};
        }
        if (job.finishing)
            job.finishing();
        if (!writer.commitTo(job.finalPath))
            return {false, writer.errorString()};
        QFile::remove(kept::recordPath(job.finalPath));
        return {true, QString()};
    }
}

} // namespace vidrona

// The file fetch of the queue, on a thread of its own with libcurl: the
// body goes from the socket to the disk without a hop through the window's
// thread, at the speed of the curl tool.
#include "filefetch.h"
#include "filewriter.h"
#include "keptbytes.h"
#include "net/curlsession.h"
#include "net/addressrule.h"
#include <QFile>
#include <chrono>
#include <memory>
#include <optional>

namespace vidrona {

namespace {
using curlsession::Clock;
using curlsession::Session;

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
    curlsession::HeadBounds headBounds;
    Plan plan = Plan::Undecided;
    net::Failure failure;
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
        status = 0;
        headBounds = {};
        body = 0;
        expectedBody = -1;
        plan = Plan::Undecided;
    }
    Plan fail(net::Reason reason, const QString &why)
    {
        failure = net::fail(reason, why);
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
                          : a.fail(net::Reason::HttpError, QStringLiteral("HTTP status %1").arg(status));
    if (status < 200 || status > 299)
        return a.fail(net::Reason::HttpError, QStringLiteral("HTTP status %1").arg(status));
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
            return a.fail(net::Reason::WriteFailed, a.writer.errorString());
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
    QByteArray line;
    switch (curlsession::readHeadLine(a.headBounds, data, length, &line)) {
    case curlsession::HeadLine::TooLarge:
        a.fail(net::Reason::HeadTooLarge, QStringLiteral("the answer's head is too large"));
        return 0;
    case curlsession::HeadLine::Status:
        a.head = {};
        a.location.clear();
        a.status = line.split(' ').value(1).toInt();
        return length;
    case curlsession::HeadLine::Field:
        readHeader(a, line);
        return length;
    case curlsession::HeadLine::End:
        break;
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
        a.fail(net::Reason::WriteFailed, a.writer.errorString());
        return 0;
    }
    a.body += qint64(length);
    a.shared.received += qint64(length);
    a.shared.fresh += qint64(length);
    return length;
}

void prepare(Session &s, Attempt &a, curl_slist *headers)
{
    curlsession::prepare(s, a.url); // redirects followed here, by our rule
    CURL *e = s.easy.get();
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &a);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &a);
}

// Runs one request to its end, or until cancelled or stalled.
void perform(Session &s, Attempt &a)
{
    curlsession::Stopped stopped;
    const CURLcode result = curlsession::run(s, {a.shared.cancel, a.lastByte, a.job.stallTimeoutMs}, &stopped);
    if (stopped == curlsession::Stopped::Cancelled)
        a.fail(net::Reason::Cancelled, QStringLiteral("cancelled"));
    else if (stopped == curlsession::Stopped::Stalled)
        a.fail(net::Reason::Stalled, QStringLiteral("no data for %1 ms").arg(a.job.stallTimeoutMs));
    else if (a.plan == Plan::Write && result != CURLE_OK)
        a.fail(net::Reason::BrokeOff, s.errorText(result));
    else if (a.plan == Plan::Undecided)
        a.fail(result == CURLE_OK ? net::Reason::BrokenAnswer : net::Reason::CannotConnect,
               result == CURLE_OK ? QStringLiteral("no answer") : s.errorText(result));
    else if (a.plan == Plan::Write && a.expectedBody >= 0 && a.body != a.expectedBody)
        a.fail(net::Reason::BrokeOff, QStringLiteral("body of %1 bytes, %2 announced").arg(a.body).arg(a.expectedBody));
}

// Follows the redirects of one request; the plan of the last answer.
Plan follow(Session &s, Attempt &a)
{
    std::unique_ptr<curl_slist, curlsession::ListDeleter> headers;
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
            return a.fail(net::Reason::TooManyRedirects, QStringLiteral("too many redirects"));
        if (!isRedirectAllowed(a.url, next)) // also never into a private network
            return a.fail(net::Reason::RedirectRefused, redirectRefusedText(next));
        a.nextAnswer(next);
    }
}

} // namespace

void initFetching()
{
    curlsession::initOnce();
}

FetchResult runFetch(const FetchJob &job, FetchShared &shared)
{
    Session session;
    if (!session.easy || !session.multi)
        return {net::fail(net::Reason::Other, QStringLiteral("cannot start a transfer"))};
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
            return {plan == Plan::StartOver ? net::fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("the answers do not add up"))
                                            : a.failure};
        }
        if (job.finishing)
            job.finishing();
        if (!writer.commitTo(job.finalPath))
            return {net::fail(net::Reason::WriteFailed, writer.errorString())};
        QFile::remove(kept::recordPath(job.finalPath));
        return {};
    }
}

} // namespace vidrona

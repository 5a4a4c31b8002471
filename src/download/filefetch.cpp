// The file fetch of the queue, on a thread of its own through the
// program's HTTP client: the body goes from the socket to the disk without
// a hop through the window's thread, at the speed of the curl tool.
#include "filefetch.h"
#include "filewriter.h"
#include "keptbytes.h"
#include "net/httpclient.h"
#include "streams/streamaddress.h"
#include "streams/streamfetch.h"
#include <QFile>
#include <optional>

namespace vidrona {

namespace {

enum class Plan { Undecided, Write, StartOver, Fail, Stream };

// One request (redirects followed by the client) and what its answer is for.
struct Attempt : net::Receiver {
    const FetchJob &job;
    FetchShared &shared;
    FileWriter &writer;
    qint64 kept = 0; // asking for the bytes from here on; 0: the whole body
    std::optional<kept::Record> record;
    Plan plan = Plan::Undecided;
    net::Failure failure;
    qint64 received = 0;
    qint64 expectedBody = -1;
    QByteArray reasonPhrase; // of the final answer, for an error's words

    Attempt(const FetchJob &j, FetchShared &sh, FileWriter &w) : job(j), shared(sh), writer(w) {}
    bool head(const HttpHead &head, const QUrl &url) override;
    bool body(const char *data, qsizetype length) override;
    void connecting() override
    {
        if (job.connecting)
            job.connecting();
    }
    void requestSent() override
    {
        if (job.requestSent)
            job.requestSent();
    }
    Plan decide(const kept::AnswerHead &head);
    QString statusText(int status) const;
    int retryAfterSeconds = -1;
    Plan fail(net::Reason reason, const QString &why)
    {
        failure = net::fail(reason, why);
        return plan = Plan::Fail;
    }
};

// A video file is never a web page: such an answer is a sign-in page, an
// error page with a success status, a portal's notice.
bool isWebPage(const HttpHead &head)
{
    const QByteArray type = head.value("Content-Type").split(';').first().trimmed().toLower();
    return type == "text/html" || type == "application/xhtml+xml";
}

kept::AnswerHead answerHead(const HttpHead &head, const QUrl &url)
{
    kept::AnswerHead a;
    a.status = head.status;
    a.address = url.toEncoded();
    a.etag = head.value("ETag");
    a.lastModified = head.value("Last-Modified");
    a.contentRange = head.value("Content-Range");
    if (head.has("Content-Length")) {
        bool ok = false;
        const qint64 n = head.value("Content-Length").toLongLong(&ok);
        a.contentLength = ok && n >= 0 ? n : -1;
    }
    return a;
}

bool Attempt::head(const HttpHead &head, const QUrl &url)
{
    if (job.head && !job.head(head)) {
        fail(net::Reason::Cancelled, QStringLiteral("the body was not wanted"));
        return false;
    }
    reasonPhrase = head.reason;
    // A busy server says when to come back, in seconds (a date is not used).
    bool seconds = false;
    const int retryAfter = head.value("Retry-After").trimmed().toInt(&seconds);
    retryAfterSeconds = seconds && retryAfter >= 0 ? retryAfter : -1;
    if (head.status >= 200 && head.status <= 299 && isWebPage(head)) {
        fail(net::Reason::NotTheVideo, QStringLiteral("The server sent a web page instead of the video"));
        return false;
    }
    if (head.status >= 200 && head.status <= 299 && streams::isStreamType(head.value("Content-Type")))
        return plan = Plan::Stream, false; // a playlist: its pieces are fetched instead
    return decide(answerHead(head, url)) == Plan::Write; // else no body is read
}

QString Attempt::statusText(int status) const
{
    return QStringLiteral("The server answered %1 %2").arg(status).arg(QString::fromLatin1(reasonPhrase)).trimmed();
}

// The final answer's head is in: what becomes of its body.
Plan Attempt::decide(const kept::AnswerHead &head)
{
    const int status = head.status;
    qint64 total = -1;
    if (status == 416 || (status == 206 && !(record && kept::continues(*record, kept, head, &total))))
        return kept > 0 ? plan = Plan::StartOver
                        : fail(net::Reason::HttpError, statusText(status));
    if (status < 200 || status > 299) {
        fail(net::Reason::HttpError, statusText(status));
        failure.status = status;
        failure.retryAfterSeconds = retryAfterSeconds;
        return plan;
    }
    const QString bytes = kept::bytesPath(job.finalPath);
    if (status == 206) {
        if (!writer.open(bytes, true) || writer.size() != kept)
            return plan = Plan::StartOver;
        expectedBody = total - kept;
        shared.total = total;
    } else {
        // The whole body from its first byte: old kept bytes and their
        // record go first, so the two never describe different versions.
        kept::remove(job.finalPath);
        if (!writer.open(bytes, false)) {
            failure = writer.failure();
            return plan = Plan::Fail;
        }
        record = kept::recordFor(head);
        if (record)
            kept::save(job.finalPath, *record);
        expectedBody = head.contentLength;
        shared.total = head.contentLength;
    }
    shared.received = writer.size();
    if (job.receiving)
        job.receiving();
    return plan = Plan::Write;
}

bool Attempt::body(const char *data, qsizetype length)
{
    if (!writer.write(data, length)) {
        failure = writer.failure();
        plan = Plan::Fail;
        return false;
    }
    received += length;
    shared.received += length;
    shared.fresh += length;
    return true;
}

// Only the rest, and only if it is still the version kept.
QList<QByteArray> rangeFields(const Attempt &a)
{
    if (a.kept <= 0)
        return {};
    return {"Range: bytes=" + QByteArray::number(a.kept) + '-', "If-Range: " + a.record->validator()};
}

// One request to its end: the plan of its last answer.
Plan fetchOnce(net::HttpClient &client, Attempt &a)
{
    net::Request request;
    request.url = a.job.url;
    request.userNamed = true; // an address in the list; its redirects are judged
    request.limited = true;
    request.fields = rangeFields(a);
    request.idleMs = a.job.stallTimeoutMs;
    request.maxRedirects = a.job.maxRedirects;
    const net::Outcome out = client.perform(request, a, a.shared.cancel);
    if (a.plan == Plan::Fail || a.plan == Plan::StartOver)
        return a.plan;
    if (out.failure.reason == net::Reason::Stalled)
        return a.fail(out.failure.reason,
                      QStringLiteral("No data came for %1 seconds").arg(a.job.stallTimeoutMs / 1000.0));
    if (out.failure.failed())
        return a.fail(out.failure.reason, out.failure.text);
    if (a.plan == Plan::Undecided)
        return a.fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    if (a.expectedBody >= 0 && a.received != a.expectedBody)
        return a.fail(net::Reason::BrokeOff,
                      QStringLiteral("body of %1 bytes, %2 announced").arg(a.received).arg(a.expectedBody));
    return a.plan;
}

} // namespace

void initFetching()
{
    net::HttpClient::initOnce();
}

FetchResult runFetch(const FetchJob &job, FetchShared &shared)
{
    if (streams::isStreamAddress(job.url))
        return streams::runStreamFetch(job, shared);
    net::HttpClient client;
    FileWriter writer;
    qint64 keptLength = 0;
    std::optional<kept::Record> record = kept::load(job.finalPath, &keptLength);
    for (int round = 0;; ++round) {
        Attempt a(job, shared, writer);
        a.record = record;
        a.kept = record ? keptLength : 0;
        const Plan plan = fetchOnce(client, a);
        if (plan == Plan::StartOver && round == 0) {
            // The kept bytes cannot be continued: the whole body again.
            writer.close();
            kept::remove(job.finalPath);
            record.reset();
            continue;
        }
        if (plan == Plan::Stream) // bytes kept from a plain fetch of it are of no use
            return kept::remove(job.finalPath), streams::runStreamFetch(job, shared);
        if (plan != Plan::Write) {
            writer.close();
            if (!a.record) // bytes that cannot be resumed are not kept
                kept::remove(job.finalPath);
            return {plan == Plan::StartOver ? net::fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("the answers do not add up"))
                                            : a.failure};
        }
        if (job.finishing)
            job.finishing();
        const auto taken = [&job](const QString &name) { return job.takenNames.contains(name, Qt::CaseInsensitive); };
        QString placedAt;
        if (!writer.commitTo(job.finalPath, taken, &placedAt))
            return {writer.failure()};
        QFile::remove(kept::recordPath(job.finalPath));
        return {{}, placedAt};
    }
}

} // namespace vidrona

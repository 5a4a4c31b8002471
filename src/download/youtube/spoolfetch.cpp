// The YouTube window's file fetch on a thread of its own with libcurl:
// the body goes from the socket to the spool without a hop through the
// window's thread.
#include "spoolfetch.h"
#include "net/curlsession.h"
#include "download/filewriter.h"
#include "net/addressrule.h"
#include "transfertext.h"
#include <chrono>

namespace vidrona::youtube {

namespace {
using curlsession::Clock;

enum class Plan { Undecided, Write, Redirect, Done, Fail };

struct Attempt {
    const SpoolJob &job;
    SpoolShared &shared;
    const SpoolEvents &events;
    FileWriter &spool;
    QUrl url;
    curlsession::HeadBounds bounds;
    int status = 0;
    QByteArray reason;
    HeaderList headers;
    Plan plan = Plan::Undecided;
    QString failure;
    qint64 limit = 0; // the announced length
    Clock::time_point lastByte = Clock::now();

    Plan fail(const QString &why)
    {
        failure = why;
        return plan = Plan::Fail;
    }
    QByteArray header(const char *name) const
    {
        for (const auto &h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return {};
    }
};

void startAnswer(Attempt &a, const QByteArray &statusLine)
{
    const QList<QByteArray> parts = statusLine.split(' ');
    a.status = parts.value(1).toInt();
    a.reason = statusLine.mid(statusLine.indexOf(' ', statusLine.indexOf(' ') + 1) + 1);
    if (parts.size() < 3)
        a.reason.clear();
    a.headers.clear();
}

// The answer's head is complete: what becomes of its body.
Plan decide(Attempt &a)
{
    if (a.status >= 300 && a.status <= 399 && a.status != 304 && !a.header("Location").isEmpty())
        return a.plan = Plan::Redirect;
    if (a.status < 200 || a.status > 299)
        return a.fail(QStringLiteral("The server answered %1 %2").arg(a.status).arg(QString::fromLatin1(a.reason)));
    if (a.events.head)
        a.events.head(a.headers);
    const auto length = parseContentLength(a.header("Content-Length"));
    if (!length)
        return a.plan = Plan::Done; // nothing of it can be used: not read
    a.limit = *length;
    return a.plan = a.limit == 0 ? Plan::Done : Plan::Write;
}

size_t onHeader(char *data, size_t size, size_t count, void *context)
{
    Attempt &a = *static_cast<Attempt *>(context);
    const size_t length = size * count;
    a.lastByte = Clock::now();
    QByteArray line;
    switch (curlsession::readHeadLine(a.bounds, data, length, &line)) {
    case curlsession::HeadLine::TooLarge:
        a.fail(QStringLiteral("The answer's head is too large."));
        return 0;
    case curlsession::HeadLine::Status:
        startAnswer(a, line);
        return length;
    case curlsession::HeadLine::Field:
        if (const int colon = line.indexOf(':'); colon > 0)
            a.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        return length;
    case curlsession::HeadLine::End:
        break;
    }
    if (a.status >= 100 && a.status <= 199)
        return length; // the real answer follows
    return decide(a) == Plan::Write ? length : 0; // 0 ends the transfer here
}

size_t onBody(char *data, size_t size, size_t count, void *context)
{
    Attempt &a = *static_cast<Attempt *>(context);
    const size_t length = size * count;
    a.lastByte = Clock::now();
    if (a.plan != Plan::Write)
        return 0;
    // Never past the announced length: what follows it is not read.
    const qint64 room = a.limit - a.shared.received;
    const qint64 take = qMin<qint64>(qint64(length), room);
    if (!a.spool.write(data, take)) {
        a.fail(QStringLiteral("Cannot write the temporary file: ") + a.spool.errorString());
        return 0;
    }
    a.shared.received += take;
    if (a.events.arrived)
        a.events.arrived();
    if (a.shared.received == a.limit)
        a.plan = Plan::Done;
    return take == qint64(length) ? length : 0;
}

int onSocket(void *context, curl_socket_t, curlsocktype)
{
    const auto &events = *static_cast<const SpoolEvents *>(context);
    if (events.connecting)
        events.connecting();
    return CURL_SOCKOPT_OK;
}

int onRequest(void *context, char *, char *, int, int)
{
    const auto &events = *static_cast<const SpoolEvents *>(context);
    if (events.requestSent)
        events.requestSent();
    return CURL_PREREQFUNC_OK;
}

void prepare(curlsession::Session &s, Attempt &a)
{
    curlsession::prepare(s, a.url);
    CURL *e = s.easy.get();
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &a);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &a);
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &onSocket);
    curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, &a.events);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &onRequest);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &a.events);
    // Bytes as sent, so Content-Length counts what is written.
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, nullptr);
}

// Runs one request to its end, or until cancelled or stalled.
void perform(curlsession::Session &s, Attempt &a)
{
    curlsession::Stopped stopped;
    const CURLcode result = curlsession::run(s, {a.shared.cancel, a.lastByte, a.job.stallTimeoutMs}, &stopped);
    if (stopped == curlsession::Stopped::Cancelled)
        a.fail(QStringLiteral("Cancelled."));
    else if (stopped == curlsession::Stopped::Stalled)
        a.fail(QStringLiteral("No data came for %1 seconds.").arg(a.job.stallTimeoutMs / 1000));
    else if (a.plan == Plan::Write && result != CURLE_OK)
        a.fail(s.errorText(result));
    else if (a.plan == Plan::Undecided)
        a.fail(result == CURLE_OK ? QStringLiteral("No answer came.") : s.errorText(result));
}

} // namespace

SpoolShared::SpoolShared() : session(std::make_unique<curlsession::Session>()) {}
SpoolShared::~SpoolShared() = default;

void SpoolShared::stop()
{
    cancel = true;
    curlsession::wake(*session);
}

QString runSpoolFetch(const SpoolJob &job, SpoolShared &shared, const SpoolEvents &events)
{
    if (!shared.session->ok())
        return QStringLiteral("Cannot start a transfer.");
    // The spool was made empty; opening it to empty it again would make
    // ext4 write the whole body back to disk when it is closed.
    FileWriter spool;
    if (!spool.open(job.spoolPath, true))
        return QStringLiteral("Cannot write the temporary file: ") + spool.errorString();
    QUrl url = job.url;
    for (int hop = 0;; ++hop) {
        Attempt a{job, shared, events, spool, url};
        prepare(*shared.session, a);
        perform(*shared.session, a);
        if (a.plan != Plan::Redirect)
            return a.plan == Plan::Fail ? a.failure : QString();
        const QUrl next = url.resolved(QUrl::fromEncoded(a.header("Location")));
        if (hop >= job.maxRedirects)
            return QStringLiteral("Too many redirects.");
        if (!isRedirectAllowed(url, next)) // also never into a private network
            return redirectRefusedText(next);
        url = next;
    }
}

} // namespace vidrona::youtube

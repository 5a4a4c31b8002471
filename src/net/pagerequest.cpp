#include "pagerequest.h"
#include "httpclient.h"
#include <QThread>

namespace vidrona::net {

struct PageRequest::Job {
    net::Request request;
    Ask ask = Ask::Page;
    Limits limits;
    std::atomic<bool> cancel{false};
    net::HttpClient client;
    PageResult result;
};

namespace {

// Takes the final answer as the fetch asks for it, within the page's size.
class PageReceiver : public net::Receiver
{
public:
    explicit PageReceiver(PageRequest::Job &job) : m_job(job) {}
    net::Failure failure;

    bool head(const HttpHead &head, const QUrl &url) override
    {
        PageResult &r = m_job.result;
        r.status = head.status;
        r.reason = head.reason;
        r.head = head;
        r.url = url;
        if (m_job.ask == PageRequest::Ask::Head || m_job.ask == PageRequest::Ask::GetHead)
            return false; // a HEAD answer has no body; the other one is not wanted
        const std::optional<qint64> announced = parseContentLength(head.value("Content-Length"));
        if (announced && *announced > m_job.limits.maxBytes && m_job.ask != PageRequest::Ask::PageStart)
            return tooLarge();
        return true;
    }

    bool body(const char *data, qsizetype length) override
    {
        QByteArray &body = m_job.result.body;
        body.append(data, length);
        if (body.size() <= m_job.limits.maxBytes)
            return true;
        if (m_job.ask != PageRequest::Ask::PageStart)
            return tooLarge();
        // The start of the page is all some readers need: the rest is not read.
        body.truncate(m_job.limits.maxBytes);
        m_job.result.cut = true;
        return false;
    }

private:
    bool tooLarge()
    {
        failure = net::fail(net::Reason::TooLarge, net::Cause::PageTooLarge);
        failure.bytes = m_job.limits.maxBytes;
        return false;
    }
    PageRequest::Job &m_job;
};

// The client's failure as a page fetch's, which the window words for a page.
net::Failure forPage(net::Failure failure, const PageRequest::Limits &limits)
{
    if (failure.reason == net::Reason::BrokeOff)
        failure = net::fail(net::Reason::BrokeOff, net::Cause::PageBrokeOff);
    else if (failure.reason == net::Reason::TimedOut)
        failure = net::timedOut(net::Cause::PageTimedOut, limits.totalMs);
    return failure;
}

// On the fetch's own thread.
void run(PageRequest::Job &job)
{
    PageReceiver receiver(job);
    const net::Outcome out = job.client.perform(job.request, receiver, job.cancel);
    PageResult &r = job.result;
    r.failure = receiver.failure.failed() ? receiver.failure : forPage(out.failure, job.limits);
    r.outcome = !r.failure.failed() ? PageResult::Fetched
                : r.failure.reason == net::Reason::Cancelled ? PageResult::Cancelled
                                                             : PageResult::Failed;
    if (!r.fetched())
        r.body = QByteArray(); // gives the memory back
}

} // namespace

PageRequest::PageRequest(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<vidrona::net::PageResult>();
}

PageRequest::~PageRequest()
{
    drop();
}

void PageRequest::start(const QUrl &url, const QByteArray &agent)
{
    drop();
    auto job = std::make_shared<Job>();
    job->ask = m_ask;
    job->limits = m_limits;
    job->request.url = url;
    job->request.method = m_ask == Ask::Head ? net::Request::Method::Head : net::Request::Method::Get;
    job->request.agent = agent;
    job->request.userNamed = m_userNamed;
    job->request.fields = m_fields;
    job->request.cookieFile = m_cookieFile;
    job->request.compressed = true;
    job->request.idleMs = m_limits.idleMs;
    job->request.totalMs = m_limits.totalMs;
    job->request.maxRedirects = m_limits.maxRedirects;
    m_job = job;
    m_busy = true;
    QThread *thread = QThread::create([job] { run(*job); });
    // The result comes back on this object's thread, and never once it is gone.
    connect(thread, &QThread::finished, this, [this, job] {
        if (m_job == job && !job->cancel) // else cancel() delivers
            deliver(job->result);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void PageRequest::cancel()
{
    if (!m_busy || !m_job)
        return;
    std::shared_ptr<Job> job = m_job;
    drop();
    m_job = job; // so that a start() before the answer drops it without a signal
    QMetaObject::invokeMethod(this, [this, job] {
        if (m_job != job)
            return;
        PageResult result;
        result.outcome = PageResult::Cancelled;
        result.failure = net::cancelled();
        deliver(result);
    }, Qt::QueuedConnection);
}

// Tells the running fetch to stop; its thread ends on its own.
void PageRequest::drop()
{
    if (!m_job)
        return;
    m_job->cancel = true;
    m_job->client.wake();
    m_job.reset();
}

void PageRequest::deliver(const PageResult &result)
{
    m_busy = false;
    m_job.reset();
    emit finished(result);
}

} // namespace vidrona::net

#include "httptransfer.h"
#include "download/filefetch.h"
#include "download/service/besidefetch.h"
#include "download/service/downloadservice.h"
#include "net/httpclient.h"
#include "transfertext.h"

namespace vidrona::download::youtube {

using net::ContentRange;
using net::HttpHead;
using net::parseContentLength;
using net::parseContentRange;
using service::BesideFetch;
using service::DownloadService;

namespace {
// The window's thread hears of arrivals this often (it shows them less
// often still), never once per buffer of a fast body.
constexpr int ArrivalPollMs = 20;
constexpr int StallTimeoutMs = 60000;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

// The full length a usable answer names: Content-Length, or for the
// rest of a file the total of "bytes S-E/T"; -1 when there is none.
qint64 fullLength(const HttpHead &head)
{
    if (head.status == 206) {
        const std::optional<ContentRange> range = parseContentRange(head.value("Content-Range"));
        return range ? range->total : -1;
    }
    return parseContentLength(head.value("Content-Length")).value_or(-1);
}
} // namespace

// What one request's fetch thread and the window's thread share.
struct HttpTransfer::Run {
    std::atomic<bool> bodyRefused{false}; // ended by its head, not a fault
};

HttpTransfer::HttpTransfer(QObject *parent) : QObject(parent), m_fetch(new BesideFetch(this))
{
    m_arrivals.setInterval(ArrivalPollMs);
    connect(&m_arrivals, &QTimer::timeout, this, &HttpTransfer::pollArrivals);
    connect(m_fetch, &BesideFetch::retrying, this, [this](int waitMs) { emit retrying(waitMs); });
    connect(m_fetch, &BesideFetch::finished, this, [this](const net::Failure &failure) {
        if (!m_fetch->placedAt().isEmpty())
            m_path = m_fetch->placedAt(); // another name when the wanted one was held
        onFinished(failure);
    });
}

HttpTransfer::~HttpTransfer()
{
    m_fetch->cancel();
}

void HttpTransfer::setService(DownloadService *service)
{
    m_service = service;
}

bool HttpTransfer::Execute(const QString &url, const QString &filePath, bool takeBody)
{
    if (m_running) {
        m_fault = TransferFault{};
        m_fault.busy = true;
        return false;
    }
    m_fetch->cancel();
    release();
    m_fault = {};
    m_head = {};
    m_headersIn = false;
    m_complete = false;
    m_received = 0;
    m_total = -1;
    m_status = 0;
    m_reason.clear();
    m_path = filePath;
    m_run = std::make_shared<Run>();
    const int generation = ++m_generation;
    const FetchJob job = jobFor(url, generation, takeBody);
    if (m_service)
        m_service->prepareBeside(*m_fetch);
    m_running = true;
    m_fetch->start(job); // never running here: it was cancelled above
    m_arrivals.start();
    return true;
}

// The fetch, with what its thread reports turned into posts to this
// object's thread.
FetchJob HttpTransfer::jobFor(const QString &url, int generation, bool takeBody)
{
    FetchJob job;
    job.url = QUrl(url);
    job.finalPath = m_path;
    job.stallTimeoutMs = StallTimeoutMs;
    if (m_service)
        m_service->prepareBeside(job);
    job.connecting = [this, generation] { post(generation, [this] { emit StateChanged(Connecting); }); };
    job.requestSent = [this, generation] { post(generation, [this] { emit StateChanged(RequestSent); }); };
    job.head = [this, generation, run = m_run, takeBody](const HttpHead &head) {
        post(generation, [this, head] { onHead(head); });
        if (!isSuccess(head.status))
            return true; // the fetch fails it; its words are kept for the error text
        // Without a usable length nothing of the body can be used.
        const bool wanted = takeBody && parseContentLength(head.value("Content-Length")) && fullLength(head) >= 0;
        run->bodyRefused = !wanted; // each try says it anew
        return wanted;
    };
    return job;
}

void HttpTransfer::post(int generation, std::function<void()> step)
{
    QMetaObject::invokeMethod(this, [this, generation, step = std::move(step)] {
        if (generation == m_generation && m_running)
            step();
    }, Qt::QueuedConnection);
}

void HttpTransfer::onHead(const HttpHead &head)
{
    m_status = head.status;
    m_reason = head.reason;
    if (!isSuccess(head.status))
        return;
    m_headersIn = true;
    m_head = head;
    m_total = fullLength(head);
    emit StateChanged(Receiving);
}

void HttpTransfer::pollArrivals()
{
    const qint64 received = m_fetch->bytesReceived();
    if (received == m_received)
        return;
    m_received = received;
    emit arrived(m_received);
}

void HttpTransfer::onFinished(const net::Failure &failure)
{
    m_running = false;
    m_arrivals.stop();
    m_received = m_fetch->bytesReceived();
    // A body left unread on purpose ends the request without a fault.
    m_fault = {};
    if (!m_run->bodyRefused)
        m_fault = TransferFault{false, failure, m_status, m_reason, StallTimeoutMs};
    m_complete = !failure.failed();
    if (failed()) {
        emit StateChanged(Error);
    } else {
        emit StateChanged(ResponseReceived);
        emit StateChanged(ResponseCompleted);
    }
    emit done();
}

QByteArray HttpTransfer::GetChunk(qint64 max)
{
    if (!m_complete || max <= 0)
        return QByteArray();
    if (!m_file.isOpen()) {
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::ReadOnly))
            return QByteArray();
    }
    return m_file.read(max);
}

void HttpTransfer::Cancel()
{
    m_fetch->cancel();
    m_complete = false;
    m_running = false;
    m_arrivals.stop();
}

} // namespace vidrona::download::youtube

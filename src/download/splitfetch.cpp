// The parts of one file over several connections: see splitfetch.h.
#include "splitfetch.h"
#include "answerhead.h"
#include "filewriter.h"
#include "net/httpclient.h"

namespace vidrona {

namespace {
// Each connection hands its bytes to the disk in pieces of this size while
// they arrive, so the sync that puts the file in place has little to do.
constexpr qint64 WriteBehindBytes = 8 << 20;
constexpr int SaveEveryMs = 1000;

QList<QByteArray> rangeFields(Span part, const kept::Record &record)
{
    return {"Range: bytes=" + QByteArray::number(part.begin) + '-' + QByteArray::number(part.end - 1),
            "If-Range: " + record.validator()};
}
} // namespace

// One connection's answer to a request for one part.
class SplitFetch::RangeReceiver : public net::Receiver
{
public:
    RangeReceiver(SplitFetch &fetch, Lane &part, Span span) : m_fetch(fetch), m_part(part), m_span(span) {}
    bool head(const HttpHead &head, const QUrl &url) override;
    bool body(const char *data, qsizetype length) override
    {
        m_ended = !m_fetch.put(m_part, data, length);
        return !m_ended;
    }
    bool writing = false; // the head was the part asked for
    bool m_ended = false; // the part is done, or every connection stops

private:
    SplitFetch &m_fetch;
    Lane &m_part;
    Span m_span;
};

bool SplitFetch::RangeReceiver::head(const HttpHead &head, const QUrl &url)
{
    const kept::AnswerHead a = answer::of(head, url);
    if (kept::answersPart(m_fetch.m_record, m_span, a)) {
        m_fetch.confirm();
        return writing = true;
    }
    const bool sameFile = a.address == m_fetch.m_record.address && kept::sameVersion(m_fetch.m_record, a);
    if ((head.status == 200 || head.status == 206) && sameFile && !answer::isWebPage(head))
        m_fetch.oneConnection(); // a range answered with the whole file, or not exactly
    else if (head.status >= 200 && head.status <= 299 && answer::isWebPage(head))
        m_fetch.stopWith(net::fail(net::Reason::NotTheVideo, QStringLiteral("The server sent a web page instead of the video")));
    else if ((head.status >= 200 && head.status <= 299) || head.status == 416)
        m_fetch.versionChanged();
    else
        m_fetch.stopWith(answer::statusFailure(head));
    return false;
}

SplitFetch::SplitFetch(const FetchJob &job, FetchShared &shared, FileWriter &writer, const kept::Record &record)
    : m_job(job), m_shared(shared), m_writer(writer), m_record(record), m_scheduler(record.total, MinPartBytes),
      m_durable(record)
{
    for (const Span &s : record.done)
        m_scheduler.markDone(s);
    m_sinceSave.start();
}

SplitFetch::~SplitFetch()
{
    m_stopping = true;
    joinAll();
}

// Joins every connection's thread, also those started meanwhile, then the
// watcher of the user's cancel.
void SplitFetch::joinAll()
{
    for (size_t i = 0;; ++i) {
        std::thread t;
        {
            std::lock_guard lock(m_mutex);
            if (i >= m_threads.size())
                break;
            t = std::move(m_threads[i]);
        }
        if (t.joinable())
            t.join();
    }
    m_ended = true;
    if (m_watcher.joinable())
        m_watcher.join();
}

// The user's cancel reaches every connection, also one that waits.
void SplitFetch::watchCancel()
{
    using namespace std::chrono_literals;
    while (!m_ended) {
        if (m_shared.cancel && !m_stopping)
            stopWith(net::fail(net::Reason::Cancelled, QStringLiteral("cancelled")));
        std::this_thread::sleep_for(20ms);
    }
}

bool SplitFetch::start(qint64 from, bool open)
{
    std::lock_guard lock(m_mutex);
    const std::optional<PieceScheduler::Assignment> lead = m_scheduler.take();
    if (!lead || lead->span.begin != from) {
        if (lead)
            m_scheduler.release(lead->worker);
        return false;
    }
    m_lead = {lead->worker, from, from, open};
    m_shared.received = m_scheduler.doneUnits();
    m_watcher = std::thread([this] { watchCancel(); });
    spawn(); // the connection that finds out whether ranges are answered
    return true;
}

// Called with m_mutex held.
void SplitFetch::spawn()
{
    m_threads.emplace_back([this] {
        net::HttpClient client;
        work(client);
    });
}

// A part was answered exactly: the other connections join.
void SplitFetch::confirm()
{
    std::lock_guard lock(m_mutex);
    if (m_confirmed)
        return;
    m_confirmed = true;
    for (int i = 2; i < qBound(1, m_job.connections, 16); ++i)
        spawn();
}

bool SplitFetch::leadBody(const char *data, qsizetype length)
{
    return put(m_lead, data, length);
}

// Writes what belongs to the part at its offset; false when the part ends
// within data or every connection stops.
bool SplitFetch::put(Lane &part, const char *data, qsizetype length)
{
    if (m_stopping)
        return false;
    qint64 take = 0;
    {
        std::lock_guard lock(m_mutex);
        if (part.open && part.pos + length > m_scheduler.endOf(part.worker))
            m_scheduler.extend(part.worker);
        take = qBound<qint64>(0, m_scheduler.endOf(part.worker) - part.pos, length);
    }
    net::Failure failure;
    if (take > 0 && !m_writer.writeAt(part.pos, data, take, &failure)) {
        stopWith(failure);
        return false;
    }
    part.pos += take;
    if (part.pos - part.writeBackFrom >= WriteBehindBytes || take < length) {
        m_writer.writeBack(part.writeBackFrom, part.pos - part.writeBackFrom);
        part.writeBackFrom = part.pos;
    }
    bool save = false;
    {
        std::lock_guard lock(m_mutex);
        m_scheduler.advance(part.worker, part.pos);
        m_shared.received = m_scheduler.doneUnits();
        save = m_sinceSave.elapsed() >= SaveEveryMs;
        if (save)
            m_sinceSave.restart();
    }
    m_shared.fresh += take;
    if (save)
        saveRecord();
    return take == length;
}

std::optional<PieceScheduler::Assignment> SplitFetch::takePart()
{
    std::lock_guard lock(m_mutex);
    if (m_stopping || m_oneConnection)
        return std::nullopt;
    return m_scheduler.take();
}

void SplitFetch::work(net::HttpClient &client)
{
    while (const std::optional<PieceScheduler::Assignment> assignment = takePart()) {
        fetchPart(client, *assignment);
        std::lock_guard lock(m_mutex);
        m_scheduler.release(assignment->worker);
    }
}

void SplitFetch::fetchPart(net::HttpClient &client, const PieceScheduler::Assignment &assignment)
{
    Lane part{assignment.worker, assignment.span.begin, assignment.span.begin, false};
    RangeReceiver receiver(*this, part, assignment.span);
    net::Request request;
    request.url = m_job.url;
    request.userNamed = true;
    request.limited = true;
    request.fields = rangeFields(assignment.span, m_record);
    request.idleMs = m_job.stallTimeoutMs;
    request.maxRedirects = m_job.maxRedirects;
    const net::Outcome out = client.perform(request, receiver, m_stopping);
    if (!receiver.writing || receiver.m_ended)
        return; // judged by its head, or done, or stopping
    {
        std::lock_guard lock(m_mutex);
        if (part.pos >= m_scheduler.endOf(part.worker) && !out.failure.failed())
            return; // the whole part came
    }
    if (out.failure.reason == net::Reason::Stalled)
        stopWith(answer::stalled(m_job.stallTimeoutMs));
    else if (out.failure.failed())
        stopWith(out.failure);
    else // the answer ended before the part did
        stopWith(net::fail(net::Reason::BrokeOff, QStringLiteral("A part of the file ended early")));
}

void SplitFetch::stopWith(const net::Failure &failure)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure.failed() && !m_changed)
        m_failure = failure;
    m_stopping = true;
}

void SplitFetch::versionChanged()
{
    std::lock_guard lock(m_mutex);
    m_changed = true;
    m_stopping = true;
}

void SplitFetch::oneConnection()
{
    std::lock_guard lock(m_mutex);
    m_oneConnection = true;
}

SplitFetch::Outcome SplitFetch::finish(net::HttpClient &client, const net::Failure &leadFailure)
{
    if (leadFailure.failed())
        stopWith(leadFailure);
    {
        std::lock_guard lock(m_mutex);
        m_scheduler.release(m_lead.worker);
    }
    work(client);
    joinAll();
    std::lock_guard lock(m_mutex);
    if (m_changed)
        return Outcome::Changed;
    if (m_failure.failed())
        return Outcome::Failed;
    if (m_scheduler.complete())
        return Outcome::Complete;
    if (m_oneConnection)
        return Outcome::OneConnection;
    m_failure = net::fail(net::Reason::BrokeOff, QStringLiteral("Not every part of the file arrived"));
    return Outcome::Failed;
}

net::Failure SplitFetch::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

kept::Record SplitFetch::record() const
{
    std::lock_guard lock(m_mutex);
    kept::Record record = m_record;
    record.done = m_scheduler.done();
    return record;
}

void SplitFetch::saveRecord()
{
    std::lock_guard saving(m_saving);
    {
        std::lock_guard lock(m_mutex);
        if (m_changed)
            return; // the bytes are of another version than the record's
    }
    // The spans are taken before the sync: every byte they name was written
    // by then, and is durable once the sync returns.
    const kept::Record r = record();
    if (m_shared.cancel) // Cancel waits for no sync: the last record that names durable bytes only
        kept::save(m_job.finalPath, m_durable);
    else if (kept::saveDurably(m_job.finalPath, r, m_writer))
        m_durable = r;
}

} // namespace vidrona

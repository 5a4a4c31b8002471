// The parts of one file over several connections of one loop: see parts.h.
#include "parts.h"
#include "download/answerhead.h"
#include "download/filewriter.h"
#include "download/retries.h"
#include <algorithm>

namespace vidrona::download::engine {

using net::HttpHead;
using net::rangeField;

namespace {
constexpr int SaveEveryMs = 1000;
constexpr int MaxConnections = 16;
constexpr int IdleTickMs = 100;
// However the failures spread over the file, a row gives up after this many.
constexpr int MaxFailedParts = MaxConnections * (retries::MaxRetries + 1);
} // namespace

// One connection's way through its part of the file.
struct Parts::Lane {
    int worker = 0;
    qint64 pos = 0;
    bool open = false; // an answer that goes on past the part's end
    Span span;
    std::unique_ptr<RangeReceiver> receiver;
    int id = 0; // the loop's, for its request
};

// The one receiver of a part: it checks the answer against the range and
// version asked for, and writes the bytes at their offset.
class Parts::RangeReceiver : public net::Receiver
{
public:
    RangeReceiver(Parts &parts, Lane &lane) : m_parts(parts), m_lane(lane) {}
    bool head(const HttpHead &head, const QUrl &url) override;
    bool body(const char *data, qsizetype length) override
    {
        ended = !m_parts.put(m_lane, data, length);
        return !ended;
    }
    bool full() const override { return m_parts.m_queue.full(); }
    bool writing = false; // the head was the part asked for
    bool ended = false;   // the part is done, or every connection stops

private:
    Parts &m_parts;
    Lane &m_lane;
};

bool Parts::RangeReceiver::head(const HttpHead &head, const QUrl &url)
{
    const kept::AnswerHead a = answer::of(head, url);
    if (kept::answersPart(m_parts.m_record, m_lane.span, a)) {
        m_parts.confirm();
        return writing = true;
    }
    const bool sameFile = a.address == m_parts.m_record.address && kept::sameVersion(m_parts.m_record, a);
    const bool success = head.status >= 200 && head.status <= 299;
    if ((head.status == 200 || head.status == 206) && sameFile && !answer::isWebPage(head))
        m_parts.m_oneConnection = true; // a range answered with the whole file, or not exactly
    else if (success && answer::isWebPage(head))
        m_parts.stopWith(net::fail(net::Reason::NotTheVideo, net::Cause::WebPage));
    else if (success || head.status == 416)
        m_parts.m_changed = m_parts.m_stopping = true;
    else
        m_parts.partFailed(m_lane, answer::statusFailure(head));
    return false;
}

Parts::Parts(const FetchJob &job, FetchShared &shared, DiskQueue &queue, FileWriter &writer, net::Loop &loop,
             const kept::Record &record)
    : m_job(job), m_shared(shared), m_queue(queue), m_writer(writer), m_loop(loop), m_record(record),
      m_scheduler(record.total, MinPartBytes, qMax<qint64>(0, job.rangeCap)), m_written(record.done)
{
    for (const Span &s : record.done)
        m_scheduler.markDone(s);
    m_sinceSave.start();
}

Parts::~Parts()
{
    for (auto it = m_lanes.cbegin(); it != m_lanes.cend(); ++it) {
        m_loop.drop(it.key());
        delete it.value();
    }
}

bool Parts::start(qint64 from, bool open)
{
    const std::optional<PieceScheduler::Assignment> lead = m_scheduler.take();
    if (!lead || lead->span.begin != from) {
        if (lead)
            m_scheduler.release(lead->worker);
        return false;
    }
    m_lead = std::make_unique<Lane>();
    m_lead->worker = lead->worker;
    m_lead->pos = from;
    m_lead->open = open;
    m_lead->span = lead->span;
    m_leadRunning = true;
    m_shared.received = m_scheduler.doneUnits();
    // The connection that finds out whether ranges are answered starts at
    // the next tick: this runs inside the lead's callback, where libcurl
    // takes no new request.
    return true;
}

bool Parts::leadBody(const char *data, qsizetype length)
{
    return put(*m_lead, data, length);
}

// Queues what belongs to the lane's part at its offset; false when the
// part ends within data or every connection stops.
bool Parts::put(Lane &lane, const char *data, qsizetype length)
{
    if (m_stopping)
        return false;
    // A site that slows long answers: once bounded ranges are answered,
    // the lead's unbounded answer gives way to them.
    if (m_job.rangeCap > 0 && m_confirmed && &lane == m_lead.get())
        return false;
    // An answer that goes on stops at its part's end when the site slows
    // long ranges: the rest is asked for in parts of the allowed length.
    if (lane.open && m_job.rangeCap <= 0 && lane.pos + length > m_scheduler.endOf(lane.worker))
        m_scheduler.extend(lane.worker);
    const qint64 take = qBound<qint64>(0, m_scheduler.endOf(lane.worker) - lane.pos, length);
    m_queue.put(lane.pos, data, take);
    lane.pos += take;
    m_scheduler.advance(lane.worker, lane.pos);
    m_shared.received = m_scheduler.doneUnits();
    m_shared.fresh += take;
    return take == length;
}

void Parts::startLane(const PieceScheduler::Assignment &assignment)
{
    auto *lane = new Lane;
    lane->worker = assignment.worker;
    lane->pos = assignment.span.begin;
    lane->span = assignment.span;
    lane->receiver = std::make_unique<RangeReceiver>(*this, *lane);
    net::Request request;
    request.url = m_job.url;
    request.userNamed = true;
    request.limit = m_job.speedLimit.get();
    request.fields = m_job.requestFields;
    request.fields << rangeField(assignment.span.begin, assignment.span.end) << "If-Range: " + m_record.validator();
    request.cookieFile = m_job.cookieFile;
    request.idleMs = m_job.stallTimeoutMs;
    request.maxRedirects = m_job.maxRedirects;
    request.bufferBytes = PartBufferBytes;
    lane->id = m_loop.start(request, *lane->receiver, [this, lane](const net::Outcome &out) { laneEnded(lane, out); });
    m_lanes.insert(lane->id, lane);
}

void Parts::laneEnded(Lane *lane, const net::Outcome &out)
{
    m_lanes.remove(lane->id);
    const std::unique_ptr<Lane> gone(lane);
    const RangeReceiver &r = *lane->receiver;
    if (r.ended || (!r.writing && out.headIn && !out.failure.failed()) || m_stopping) {
        m_scheduler.release(lane->worker); // done, judged by its head, or stopping
        return;
    }
    if (!out.failure.failed() && lane->pos >= m_scheduler.endOf(lane->worker)) {
        m_scheduler.release(lane->worker); // the whole part came
        return;
    }
    partFailed(*lane, out.failure.failed() ? out.failure
                                           : net::fail(net::Reason::BrokeOff, net::Cause::PartEndedEarly));
}

void Parts::leadEnded(const net::Failure &failure)
{
    m_leadRunning = false;
    if (!m_lead)
        return;
    const bool whole = m_lead->pos >= m_scheduler.endOf(m_lead->worker);
    const bool gaveWay = m_job.rangeCap > 0 && m_confirmed && !failure.failed();
    if (m_stopping || gaveWay || (whole && !failure.failed())) { // what it left is handed out again
        m_scheduler.release(m_lead->worker);
        return;
    }
    partFailed(*m_lead, failure.failed() ? failure
                                         : net::fail(net::Reason::BrokeOff, net::Cause::PartEndedEarly));
}

// The lane's part goes back to the scheduler; it is asked for again after
// a short wait when the failure may pass and its tries are not used up.
void Parts::partFailed(Lane &lane, const net::Failure &failure)
{
    m_scheduler.release(lane.worker);
    if (m_stopping)
        return;
    const int tries = ++m_tries[lane.pos];
    ++m_failedParts;
    const std::optional<int> wait = retries::waitMs(failure, tries - 1, PartDelaysMs);
    if (!wait || m_failedParts > MaxFailedParts) {
        stopWith(failure);
        return;
    }
    m_waits.push_back(Clock::now() + std::chrono::milliseconds(*wait));
}

void Parts::stopWith(const net::Failure &failure)
{
    if (!m_failure.failed() && !m_changed)
        m_failure = failure;
    m_stopping = true;
}

int Parts::connectionsWanted() const
{
    return m_confirmed ? qBound(1, m_job.connections, MaxConnections) : 2;
}

void Parts::fill()
{
    const Clock::time_point now = Clock::now();
    m_waits.erase(std::remove_if(m_waits.begin(), m_waits.end(), [now](Clock::time_point t) { return t <= now; }),
                  m_waits.end());
    while (!m_stopping && !m_oneConnection
           && m_lanes.size() + (m_leadRunning ? 1 : 0) + qsizetype(m_waits.size()) < connectionsWanted()) {
        const std::optional<PieceScheduler::Assignment> a = m_scheduler.take();
        if (!a)
            break;
        startLane(*a);
    }
}

int Parts::tick()
{
    for (const Span &s : m_queue.takeWritten())
        m_written = kept::withSpan(m_written, s);
    if (const net::Failure f = m_queue.failure(); f.failed())
        stopWith(f);
    if (m_stopping) {
        for (auto it = m_lanes.cbegin(); it != m_lanes.cend(); ++it) {
            m_loop.drop(it.key());
            m_scheduler.release(it.value()->worker);
            delete it.value();
        }
        m_lanes.clear();
        m_waits.clear();
    }
    fill();
    if (m_sinceSave.elapsed() >= SaveEveryMs) {
        saveLater();
        m_sinceSave.restart();
    }
    int waitMs = IdleTickMs;
    const Clock::time_point now = Clock::now();
    for (Clock::time_point t : m_waits)
        waitMs = std::min<int>(waitMs, int(std::chrono::duration_cast<std::chrono::milliseconds>(t - now).count()) + 1);
    return waitMs;
}

bool Parts::ended() const
{
    return !m_leadRunning && m_lanes.isEmpty() && (m_stopping || m_oneConnection || m_waits.empty());
}

Parts::Outcome Parts::outcome()
{
    m_queue.drain();
    for (const Span &s : m_queue.takeWritten())
        m_written = kept::withSpan(m_written, s);
    if (const net::Failure f = m_queue.failure(); f.failed())
        stopWith(f);
    if (m_changed)
        return Outcome::Changed;
    if (m_failure.failed())
        return Outcome::Failed;
    if (m_scheduler.complete())
        return Outcome::Complete;
    if (m_oneConnection)
        return Outcome::OneConnection;
    m_failure = net::fail(net::Reason::BrokeOff, net::Cause::PartsMissing);
    return Outcome::Failed;
}

kept::Record Parts::record()
{
    kept::Record record = m_record;
    record.done = m_written;
    record.doneFrom = -1;
    return record;
}

void Parts::saveRecord()
{
    if (m_changed) // the bytes are of another version than the record's
        return;
    if (!m_shared.cancel.isSet())
        kept::saveDurably(m_job.finalPath, record(), m_writer);
    else if (m_writer.syncDataWithin(CancelSyncMs)) // see CancelSyncMs
        kept::save(m_job.finalPath, record());
}

// While the parts run: the spans written so far are named once a writer
// thread has synced them, so the sockets never wait for the disk.
void Parts::saveLater()
{
    if (m_changed)
        return;
    m_queue.saveAfterSync([path = m_job.finalPath, r = record()] { return kept::save(path, r); });
}

} // namespace vidrona::download::engine

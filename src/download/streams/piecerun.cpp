// The pieces of one stream on the row's one loop: see piecerun.h.
#include "piecelane.h"
#include "download/keptbytes.h"
#include <algorithm>

namespace vidrona::download::streams {

namespace {
// The record names new pieces this often at most: each time costs a sync.
constexpr int SaveEveryMs = 250;
constexpr int IdleTickMs = 100;

// The order pieces are asked in: the tracks' pieces by turns (a picture's,
// its sound's, the next picture's...), so that the pieces left at the end,
// which idle connections share, are the large ones of the picture rather
// than a track of small sound pieces after it; pieces no track names last.
QList<int> fetchOrder(const StreamPlan &plan)
{
    QList<int> order;
    QList<bool> taken(plan.pieces.size(), false);
    const auto add = [&](int n) {
        if (n >= 0 && n < taken.size() && !taken.at(n))
            taken[n] = true, order << n;
    };
    qsizetype longest = 0;
    for (const QList<int> &track : plan.tracks)
        longest = qMax(longest, track.size());
    for (qsizetype i = 0; i < longest; ++i)
        for (const QList<int> &track : plan.tracks)
            if (i < track.size())
                add(track.at(i));
    for (int n = 0; n < taken.size(); ++n)
        add(n);
    return order;
}
} // namespace

PieceRun::PieceRun(const FetchJob &job, FetchShared &shared, const StreamPlan &plan, const PieceFolder &folder,
                   const PieceRecord &record)
    : m_job(job), m_shared(shared), m_plan(plan), m_folder(folder), m_record(record), m_driver(shared.cancel),
      m_order(fetchOrder(plan)), m_scheduler(plan.pieces.size(), 1, 1)
{
    QList<int> placeOf(m_order.size());
    for (int i = 0; i < m_order.size(); ++i)
        placeOf[m_order.at(i)] = i;
    for (const Span &s : record.done)
        for (qint64 n = s.begin; n < s.end && n < placeOf.size(); ++n)
            if (const std::optional<JoinPiece> at = folder.where(record, int(n))) {
                m_scheduler.markDone({placeOf.at(n), placeOf.at(n) + 1});
                m_doneBytes += at->length;
            }
    for (const Span &place : record.places)
        m_end = qMax(m_end, place.end);
    m_shared.piecesTotal = int(plan.pieces.size());
    m_shared.piecesDone = int(m_scheduler.doneUnits());
    m_shared.received = m_doneBytes;
    m_shared.fresh = 0;
}

PieceRun::~PieceRun()
{
    dropAll();
    m_queue.reset(); // what it holds is written first
    m_writer.closeInBackground(); // the file may be gone: freeing its blocks is not waited for
}

// Every connection stops now (outside the loop's callbacks).
void PieceRun::dropAll()
{
    for (auto it = m_lanes.cbegin(); it != m_lanes.cend(); ++it) {
        m_driver.loop().drop(it.key());
        delete it.value();
    }
    m_lanes.clear();
    for (Piece *piece : std::as_const(m_pieces)) {
        m_shared.received -= piece->counted;
        m_scheduler.release(piece->worker);
        delete piece;
    }
    m_pieces.clear();
}

void PieceRun::stopWith(const net::Failure &failure)
{
    if (!m_failure.failed())
        m_failure = failure;
    m_stopping = true;
}

// The failure names the piece, so the user is told which one; a stall
// is told with the row's own stall time.
net::Failure PieceRun::named(net::Failure f, int n) const
{
    if (f.reason == net::Reason::Stalled)
        f.ms = m_job.stallTimeoutMs;
    f.piece = n;
    f.pieces = int(m_plan.pieces.size());
    return f;
}

void PieceRun::fill()
{
    const Clock::time_point now = Clock::now();
    const auto due = std::partition(m_waits.begin(), m_waits.end(), [now](const Wait &w) { return w.due > now; });
    for (auto it = due; it != m_waits.end(); ++it)
        m_scheduler.release(it->worker); // the first free piece again: the next connection takes it
    m_waits.erase(due, m_waits.end());
    const int wanted = qBound(1, m_job.connections, MaxConnections);
    while (!m_stopping && m_lanes.size() + qsizetype(m_waits.size()) < wanted) {
        if (const std::optional<PieceScheduler::Assignment> a = m_scheduler.take())
            startPiece(*a);
        else if (!shareOne())
            break;
    }
}

int PieceRun::tick()
{
    if (const net::Failure f = m_queue->failure(); f.failed())
        stopWith(f);
    if (m_stopping) {
        dropAll();
        for (const Wait &w : m_waits)
            m_scheduler.release(w.worker);
        m_waits.clear();
    }
    fill();
    if (m_sinceSave.elapsed() >= SaveEveryMs) {
        saveRecord();
        m_sinceSave.restart();
    }
    showProgress();
    if (!m_queue->full())
        m_driver.loop().resumePaused();
    int waitMs = IdleTickMs;
    const Clock::time_point now = Clock::now();
    for (const Wait &w : m_waits)
        waitMs = std::min<int>(waitMs, int(std::chrono::duration_cast<std::chrono::milliseconds>(w.due - now).count()) + 1);
    return waitMs;
}

// Names the pieces done since the last time, in a record the disk queue
// writes behind their bytes and a sync of them, so the loop never waits for
// the disk; with wait, until that record is written.
void PieceRun::saveRecord(bool wait)
{
    if (!m_finished.isEmpty()) {
        for (auto it = m_finished.cbegin(); it != m_finished.cend(); ++it) {
            m_record.places.insert(it.key(), it.value());
            m_record.done = kept::withSpan(m_record.done, {it.key(), it.key() + 1});
        }
        m_finished.clear();
        m_queue->saveAfterSync([folder = m_folder, record = m_record] { return folder.save(record); });
    }
    if (wait)
        m_queue->drain();
}

PieceRecord PieceRun::done() const
{
    PieceRecord all = m_record;
    for (auto it = m_finished.cbegin(); it != m_finished.cend(); ++it) {
        all.places.insert(it.key(), it.value());
        all.done = kept::withSpan(all.done, {it.key(), it.key() + 1});
    }
    return all;
}

void PieceRun::showProgress()
{
    if (!m_told && m_shared.fresh > 0 && m_job.receiving) {
        m_told = true;
        m_job.receiving();
    }
    // The total from the pieces so far, as if the rest were as large.
    const int done = m_shared.piecesDone;
    if (done > 0)
        m_shared.total = qMax<qint64>(m_shared.received, m_doneBytes / done * qint64(m_plan.pieces.size()));
}

bool PieceRun::ended() const
{
    return m_lanes.isEmpty() && m_pieces.isEmpty() && (m_stopping || m_waits.empty());
}

net::Failure PieceRun::run()
{
    m_sinceSave.start();
    if (!m_writer.open(m_folder.keptPath(), true))
        return m_writer.failure();
    m_queue = std::make_unique<engine::DiskQueue>(m_writer, [this] { m_driver.loop().wake(); });
    fill();
    m_driver.runUntil([this] { return ended(); }, [this] { return tick(); });
    m_queue->drain();
    if (const net::Failure f = m_queue->failure(); f.failed())
        stopWith(f);
    if (m_shared.cancel || m_failure.failed() || !m_scheduler.complete())
        saveRecord(true); // for the next try; a whole stream is joined first
    showProgress();
    if (!m_told && m_job.receiving && !m_shared.cancel)
        m_job.receiving(); // every piece was there already
    if (m_shared.cancel)
        return net::cancelled();
    if (m_failure.failed())
        return m_failure;
    if (!m_scheduler.complete())
        return net::fail(net::Reason::BrokenAnswer, net::Cause::PiecesMissing);
    return {};
}

} // namespace vidrona::download::streams

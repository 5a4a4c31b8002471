// The pieces of one stream on the row's one loop: see piecerun.h.
#include "piecerun.h"
#include "aesstream.h"
#include "streamlimits.h"
#include "download/answerhead.h"
#include "download/keptbytes.h"
#include "download/retries.h"
#include <algorithm>
#include <optional>

namespace vidrona::streams {

namespace {
// The record names new pieces this often at most: each time costs a sync.
constexpr int SaveEveryMs = 250;
constexpr int IdleTickMs = 100;
// Small receive buffers: a row of many connections keeps its memory bounded.
constexpr long PieceBufferBytes = 64 << 10;
// Short waits: the other pieces go on meanwhile.
const QList<int> PieceDelaysMs = {100, 500, 2000};

// A 206 whose Content-Range starts at from.
bool startsAt(const HttpHead &head, qint64 from)
{
    const std::optional<ContentRange> range = parseContentRange(head.value("Content-Range"));
    return head.status == 206 && range && range->start == from;
}

// span lies within the bytes written.
bool covered(const QList<Span> &written, const Span &span)
{
    return span.size() == 0 || std::any_of(written.cbegin(), written.cend(), [&](const Span &w) {
               return w.begin <= span.begin && span.end <= w.end;
           });
}
} // namespace

// One piece on its way, over one connection or, once shared, several.
struct PieceRun::Piece {
    int number = 0;
    int turn = 0;       // its place in the order pieces are asked in
    int worker = 0;     // the scheduler's of pieces
    qint64 size = -1;   // the body's bytes that are the piece, as its head said; -1 unknown
    qint64 offset = -1; // where its bytes go in the kept file; -1 not yet given
    qint64 base = 0;    // where its bytes begin in the file the server holds
    std::unique_ptr<PieceScheduler> bytes; // its bytes over its connections, once its size is known
    bool shareable = false; // plain bytes whose ranges the server answers
    qint64 stored = 0;  // plain bytes queued
    qint64 counted = 0; // bytes counted as received
    QByteArray held;    // a piece of unknown length, until its end
    std::optional<AesStream> aes;
    int lanes = 0;
    net::Failure failure; // of the first of its connections that failed
};

// One connection's way through a piece, or through the part of it it took over.
struct PieceRun::Lane {
    Piece *piece = nullptr;
    bool first = false; // the connection that asked for the whole piece
    int worker = 0;     // the piece's byte scheduler's; 0 before its head
    qint64 pos = 0;     // where its next body byte goes in the piece
    qint64 skip = 0;    // bytes before the range (a 200 to a range request)
    qint64 asked = -1;  // bytes of the part it took over
    bool headIn = false;
    net::Failure failure;
    std::unique_ptr<Receiver> receiver;
    int id = 0;
};

// Checks a piece's answer against the range asked for, cuts the piece out
// of a whole file sent instead, decrypts it, and hands its bytes on, never
// past where another connection took over.
class PieceRun::Receiver : public net::Receiver
{
public:
    Receiver(PieceRun &run, Lane &lane, const ByteRange &range) : m_run(run), m_lane(lane), m_range(range) {}
    bool head(const HttpHead &head, const QUrl &) override;
    bool body(const char *data, qsizetype length) override;
    bool full() const override { return m_run.m_queue->full(); }

private:
    bool firstHead(const HttpHead &head);
    bool fail(net::Reason reason, const QString &why)
    {
        m_lane.failure = net::fail(reason, why);
        return false;
    }
    PieceRun &m_run;
    Lane &m_lane;
    const ByteRange m_range;
};

bool PieceRun::Receiver::head(const HttpHead &head, const QUrl &)
{
    if (head.status < 200 || head.status > 299)
        return m_lane.failure = answer::statusFailure(head), false;
    m_lane.headIn = true;
    if (m_lane.first)
        return firstHead(head);
    const qint64 length = parseContentLength(head.value("Content-Length")).value_or(-1);
    if ((length >= 0 && length != m_lane.asked) || !startsAt(head, m_lane.piece->base + m_lane.pos))
        return fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The server sent another part than asked"));
    return true;
}

// The answer for the whole piece says how long it is.
bool PieceRun::Receiver::firstHead(const HttpHead &head)
{
    Piece &piece = *m_lane.piece;
    const qint64 length = parseContentLength(head.value("Content-Length")).value_or(-1);
    qint64 size = length;
    const QString other = QStringLiteral("The server sent another part than asked");
    if (!m_range.whole() && head.status != 206) { // the whole file: the range is cut out of it here
        m_lane.skip = m_range.offset;
        size = length >= 0 ? qMin(length - m_lane.skip, m_range.length) : m_range.length;
        if (size < m_range.length) // a file that ends before the range does: the piece would be short
            return fail(net::Reason::AnswersDoNotAddUp, other);
    } else if (!m_range.whole()) {
        if ((length >= 0 && length != m_range.length) || !startsAt(head, m_range.offset))
            return fail(net::Reason::AnswersDoNotAddUp, other);
        size = m_range.length; // without a length said, no more than asked either
    }
    if (size > MaxPieceBytes)
        return fail(net::Reason::TooLarge, QStringLiteral("A piece of this video is larger than 1 GB"));
    piece.size = size;
    if (size < 0)
        return true;
    piece.offset = m_run.reserve(size); // decrypted, a piece is never longer than its body
    piece.base = m_range.whole() ? 0 : m_range.offset;
    piece.bytes = std::make_unique<PieceScheduler>(size, MinShareBytes);
    if (const std::optional<PieceScheduler::Assignment> all = piece.bytes->take()) // none for an empty piece
        m_lane.worker = all->worker;
    const bool ranges = head.status == 206 || head.value("Accept-Ranges").toLower().contains("bytes");
    piece.shareable = ranges && m_lane.skip == 0 && !piece.aes;
    return true;
}

bool PieceRun::Receiver::body(const char *data, qsizetype length)
{
    Piece &piece = *m_lane.piece;
    if (m_run.m_stopping || piece.failure.failed())
        return false;
    const qsizetype skipped = qsizetype(qMin<qint64>(m_lane.skip, length));
    m_lane.skip -= skipped;
    data += skipped;
    length -= skipped;
    if (length <= 0)
        return true;
    const qint64 end = m_lane.worker ? piece.bytes->endOf(m_lane.worker)
                                     : piece.size >= 0 ? piece.size : MaxUnsizedPieceBytes;
    const qsizetype allowed = qsizetype(qBound<qint64>(0, end - m_lane.pos, length));
    if (piece.size < 0 && allowed < length)
        return fail(net::Reason::TooLarge,
                    QStringLiteral("A piece of this video without a stated length is larger than 32 MB"));
    const qint64 at = m_lane.pos;
    m_lane.pos += allowed;
    if (m_lane.worker)
        piece.bytes->advance(m_lane.worker, m_lane.pos);
    const QByteArray bytes = piece.aes ? piece.aes->feed(data, allowed) : QByteArray::fromRawData(data, allowed);
    m_run.put(piece, piece.aes ? piece.stored : at, bytes);
    return allowed == length; // at its part's end: the rest is another's
}

namespace {
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
}

qint64 PieceRun::reserve(qint64 length)
{
    const qint64 offset = m_end;
    m_end += length;
    return offset;
}

void PieceRun::put(Piece &piece, qint64 at, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (piece.offset < 0)
        piece.held.append(bytes);
    else
        m_queue->put(piece.offset + at, bytes.constData(), bytes.size());
    piece.stored += bytes.size();
    piece.counted += bytes.size();
    m_shared.received += bytes.size();
    m_shared.fresh += bytes.size();
}

void PieceRun::startPiece(const PieceScheduler::Assignment &assignment)
{
    auto *piece = new Piece;
    piece->turn = int(assignment.span.begin);
    piece->number = m_order.at(piece->turn);
    piece->worker = assignment.worker;
    const StreamPiece &p = m_plan.pieces.at(piece->number);
    if (p.key >= 0)
        piece->aes.emplace(m_plan.keys.at(p.key), p.iv);
    m_pieces.append(piece);
    if (piece->aes && !piece->aes->ok()) {
        stopWith(named(net::fail(net::Reason::BrokenAnswer, QStringLiteral("The key of a piece is not 16 bytes")),
                       piece->number));
        return;
    }
    startLane(*piece, std::nullopt);
}

// The whole piece, or share: the part of it taken over.
void PieceRun::startLane(Piece &piece, const std::optional<PieceScheduler::Assignment> &share)
{
    const StreamPiece &p = m_plan.pieces.at(piece.number);
    auto *lane = new Lane;
    lane->piece = &piece;
    lane->first = !share;
    lane->receiver = std::make_unique<Receiver>(*this, *lane, p.range);
    net::Request request;
    request.url = p.url;
    request.fields = m_job.requestFields; // the row's own: a browser's cookies reach the pieces too
    request.cookieFile = m_job.cookieFile;
    request.limit = m_job.speedLimit.get();
    request.userNamed = m_plan.trusted;
    request.idleMs = m_job.stallTimeoutMs;
    request.bufferBytes = PieceBufferBytes;
    if (share) {
        lane->worker = share->worker;
        lane->pos = share->span.begin;
        lane->asked = share->span.size();
        request.fields << rangeField(piece.base + share->span.begin, piece.base + share->span.end);
    } else if (!p.range.whole()) {
        request.fields << rangeField(p.range.offset, p.range.offset + p.range.length);
    }
    ++piece.lanes;
    lane->id = m_driver.loop().start(request, *lane->receiver, [this, lane](const net::Outcome &o) { laneEnded(lane, o); });
    m_lanes.insert(lane->id, lane);
}

// An idle connection takes over half of what the piece with the most
// left still has to fetch, so the last pieces end together; false when no
// piece has enough left.
bool PieceRun::shareOne()
{
    Piece *most = nullptr;
    qint64 mostPart = 0;
    for (Piece *piece : std::as_const(m_pieces))
        if (piece->shareable && !piece->failure.failed())
            if (const qint64 part = piece->bytes->nextPart(); part > mostPart)
                most = piece, mostPart = part;
    if (!most)
        return false;
    const std::optional<PieceScheduler::Assignment> a = most->bytes->take();
    if (a)
        startLane(*most, a);
    return a.has_value();
}

void PieceRun::laneEnded(Lane *lane, const net::Outcome &out)
{
    m_lanes.remove(lane->id);
    const std::unique_ptr<Lane> gone(lane);
    Piece *piece = lane->piece;
    if (!m_stopping) {
        const net::Failure f = checkEnd(*lane, out);
        if (f.failed() && !piece->failure.failed())
            piece->failure = f;
    }
    if (lane->worker)
        piece->bytes->release(lane->worker);
    if (--piece->lanes == 0)
        pieceEnded(piece);
}

net::Failure PieceRun::checkEnd(Lane &lane, const net::Outcome &out)
{
    Piece &piece = *lane.piece;
    if (lane.failure.failed())
        return lane.failure;
    if (piece.failure.failed()) // another connection of the piece failed: this one was stopped
        return {};
    if (out.failure.failed())
        return out.failure;
    if (!out.headIn || !lane.headIn)
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    if (lane.worker && lane.pos < piece.bytes->endOf(lane.worker))
        return net::fail(net::Reason::BrokeOff,
                         QStringLiteral("The piece ended after %1 of %2 bytes").arg(lane.pos).arg(piece.size));
    QByteArray last;
    if (piece.aes && !piece.aes->finish(&last))
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("The piece cannot be decrypted with its key"));
    put(piece, piece.stored, last);
    return {};
}

// Every connection of the piece ended: it is done, or it goes back.
void PieceRun::pieceEnded(Piece *piece)
{
    m_pieces.removeOne(piece);
    const std::unique_ptr<Piece> gone(piece);
    if (m_stopping) {
        m_shared.received -= piece->counted;
        m_scheduler.release(piece->worker);
    } else if (piece->failure.failed()) {
        pieceFailed(*piece, piece->failure);
    } else if (piece->bytes && !piece->bytes->complete()) {
        pieceFailed(*piece, net::fail(net::Reason::BrokeOff, QStringLiteral("A part of the piece did not arrive")));
    } else {
        pieceDone(*piece);
    }
}

void PieceRun::pieceDone(Piece &piece)
{
    if (piece.offset < 0) { // its length is known only now
        piece.offset = reserve(piece.held.size());
        m_queue->put(piece.offset, piece.held.constData(), piece.held.size());
    }
    const qint64 length = piece.aes || piece.size < 0 ? piece.stored : piece.size;
    m_finished.insert(piece.number, {piece.offset, piece.offset + length});
    m_doneBytes += length;
    m_scheduler.advance(piece.worker, piece.turn + 1);
    m_scheduler.release(piece.worker);
    ++m_shared.piecesDone;
}

// The piece goes back to the scheduler; it is asked for again after a
// short wait when the failure may pass and its tries are not used up.
void PieceRun::pieceFailed(Piece &piece, const net::Failure &failure)
{
    m_shared.received -= piece.counted; // those bytes are gone with the piece
    const int tries = ++m_tries[piece.number];
    const std::optional<int> wait = retries::pieceWaitMs(failure, tries - 1, PieceDelaysMs);
    if (!wait) {
        m_scheduler.release(piece.worker);
        stopWith(named(failure, piece.number));
        return;
    }
    m_waits.push_back({Clock::now() + std::chrono::milliseconds(*wait), piece.worker});
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

// The failure's words name the piece, so the user knows which one.
net::Failure PieceRun::named(net::Failure f, int n) const
{
    const QString which = QStringLiteral("piece %1 of %2").arg(n + 1).arg(m_plan.pieces.size());
    if (f.reason == net::Reason::Stalled)
        f.text = net::stalledText(m_job.stallTimeoutMs) + QStringLiteral(" for ") + which;
    else if (f.reason == net::Reason::HttpError)
        f.text += QStringLiteral(" for ") + which;
    else if (f.reason != net::Reason::Cancelled)
        f.text = QStringLiteral("%1 (%2)").arg(f.text, which);
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
    for (const Span &s : m_queue->takeWritten())
        m_written = kept::withSpan(m_written, s);
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

// Names the pieces whose bytes the queue wrote, once those are durable.
void PieceRun::saveRecord()
{
    QList<int> durable;
    for (auto it = m_finished.cbegin(); it != m_finished.cend(); ++it)
        if (covered(m_written, it.value()))
            durable.append(it.key());
    if (durable.isEmpty())
        return;
    if (!m_writer.syncData()) {
        stopWith(m_writer.failure());
        return;
    }
    for (int n : std::as_const(durable)) {
        m_record.places.insert(n, m_finished.take(n));
        m_record.done = kept::withSpan(m_record.done, {n, n + 1});
    }
    m_folder.save(m_record);
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
    for (const Span &s : m_queue->takeWritten())
        m_written = kept::withSpan(m_written, s);
    if (const net::Failure f = m_queue->failure(); f.failed())
        stopWith(f);
    if (m_shared.cancel || m_failure.failed() || !m_scheduler.complete())
        saveRecord(); // for the next try; a whole stream is joined first
    showProgress();
    if (!m_told && m_job.receiving && !m_shared.cancel)
        m_job.receiving(); // every piece was there already
    if (m_shared.cancel)
        return net::fail(net::Reason::Cancelled, QStringLiteral("Cancelled."));
    if (m_failure.failed())
        return m_failure;
    if (!m_scheduler.complete())
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("Not every piece arrived"));
    return {};
}

} // namespace vidrona::streams

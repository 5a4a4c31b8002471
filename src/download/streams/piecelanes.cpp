// A piece's way over its connections, from its first request to done or
// back to the scheduler: see piecerun.h.
#include "piecelane.h"
#include "download/retries.h"

namespace vidrona::download::streams {

using net::rangeField;

namespace {
// Small receive buffers: a row of many connections keeps its memory bounded.
constexpr long PieceBufferBytes = 64 << 10;
// A lane whose bytes all came within less tells no speed (one burst).
constexpr double MinFlowingSeconds = 0.01;
// Short waits: the other pieces go on meanwhile.
const QList<int> PieceDelaysMs = {100, 500, 2000};
} // namespace

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
        stopWith(named(net::fail(net::Reason::BrokenAnswer, net::Cause::PieceKeyBroken),
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
    lane->askedAt = Clock::now();
    lane->id = m_driver.loop().start(request, *lane->receiver, [this, lane](const net::Outcome &o) { laneEnded(lane, o); });
    m_lanes.insert(lane->id, lane);
}

// An idle connection takes over half of what the piece with the most
// left still has to fetch, so the last pieces end together; false when no
// piece has enough left: a half that comes sooner over the connection
// that has it than a new request's first byte would.
bool PieceRun::shareOne()
{
    Piece *most = nullptr;
    qint64 mostPart = qMax<qint64>(0, m_waitBytes);
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
    learnWait(*lane);
    if (--piece->lanes == 0)
        pieceEnded(piece);
}

// The bytes a connection would have fetched while a new request waited for
// its first one, from the lanes that ended so far (a running mean).
void PieceRun::learnWait(const Lane &lane)
{
    const Clock::time_point now = Clock::now();
    const double flowing = std::chrono::duration<double>(now - lane.firstByteAt).count();
    if (lane.got < MinShareBytes || flowing < MinFlowingSeconds)
        return; // too few bytes, or too short a time, to tell a speed
    const double waited = std::chrono::duration<double>(lane.firstByteAt - lane.askedAt).count();
    const qint64 bytes = qint64(double(lane.got) / flowing * waited);
    m_waitBytes = m_waitBytes < 0 ? bytes : (3 * m_waitBytes + bytes) / 4;
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
        return net::fail(net::Reason::BrokenAnswer, net::Cause::NoAnswer);
    if (lane.worker && lane.pos < piece.bytes->endOf(lane.worker))
        return net::Failure::sized(net::Reason::BrokeOff, net::Cause::PieceEndedEarly, lane.pos, piece.size);
    QByteArray last;
    if (piece.aes && !piece.aes->finish(&last))
        return net::fail(net::Reason::BrokenAnswer, net::Cause::PieceUndecryptable);
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
        pieceFailed(*piece, net::fail(net::Reason::BrokeOff, net::Cause::PiecePartMissing));
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

} // namespace vidrona::download::streams

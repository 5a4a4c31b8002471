// A piece's answers on one connection: see piecelane.h.
#include "piecelane.h"
#include "streamlimits.h"
#include "download/answerhead.h"

namespace vidrona::download::streams {

using net::ContentRange;
using net::HttpHead;
using net::parseContentLength;
using net::parseContentRange;

namespace {
// A 206 whose Content-Range starts at from.
bool startsAt(const HttpHead &head, qint64 from)
{
    const std::optional<ContentRange> range = parseContentRange(head.value("Content-Range"));
    return head.status == 206 && range && range->start == from;
}
} // namespace

bool PieceRun::Receiver::head(const HttpHead &head, const QUrl &)
{
    if (head.status < 200 || head.status > 299)
        return m_lane.failure = answer::statusFailure(head), false;
    m_lane.headIn = true;
    if (m_lane.first)
        return firstHead(head);
    const qint64 length = parseContentLength(head.value("Content-Length")).value_or(-1);
    if ((length >= 0 && length != m_lane.asked) || !startsAt(head, m_lane.piece->base + m_lane.pos))
        return fail(net::Reason::AnswersDoNotAddUp, net::Cause::OtherPart);
    return true;
}

// The answer for the whole piece says how long it is.
bool PieceRun::Receiver::firstHead(const HttpHead &head)
{
    Piece &piece = *m_lane.piece;
    const qint64 length = parseContentLength(head.value("Content-Length")).value_or(-1);
    qint64 size = length;
    constexpr net::Cause other = net::Cause::OtherPart;
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
        return fail(net::Reason::TooLarge, net::Cause::PieceTooLarge);
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
        return fail(net::Reason::TooLarge, net::Cause::UnsizedPieceTooLarge);
    if (m_lane.got == 0)
        m_lane.firstByteAt = Clock::now();
    m_lane.got += allowed;
    const qint64 at = m_lane.pos;
    m_lane.pos += allowed;
    if (m_lane.worker)
        piece.bytes->advance(m_lane.worker, m_lane.pos);
    const QByteArray bytes = piece.aes ? piece.aes->feed(data, allowed) : QByteArray::fromRawData(data, allowed);
    m_run.put(piece, piece.aes ? piece.stored : at, bytes);
    return allowed == length; // at its part's end: the rest is another's
}

} // namespace vidrona::download::streams

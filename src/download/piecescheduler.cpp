#include "piecescheduler.h"
#include <algorithm>

namespace vidrona::download {

PieceScheduler::PieceScheduler(qint64 total, qint64 minPart, qint64 maxPart)
    : m_total(qMax<qint64>(0, total)), m_minPart(qMax<qint64>(1, minPart)), m_maxPart(qMax<qint64>(0, maxPart))
{
}

void PieceScheduler::markDone(Span span)
{
    span.begin = qBound<qint64>(0, span.begin, m_total);
    span.end = qBound<qint64>(0, span.end, m_total);
    if (span.size() > 0)
        addDone(span);
}

// Keeps m_done sorted and merged, so it never holds more spans than there
// are gaps between them.
void PieceScheduler::addDone(Span span)
{
    QList<Span> merged;
    merged.reserve(m_done.size() + 1);
    bool placed = false;
    for (const Span &s : std::as_const(m_done)) {
        if (s.end < span.begin) {
            merged.append(s);
        } else if (span.end < s.begin) {
            if (!placed)
                merged.append(span);
            placed = true;
            merged.append(s);
        } else {
            span = {qMin(span.begin, s.begin), qMax(span.end, s.end)};
        }
    }
    if (!placed)
        merged.append(span);
    m_done = merged;
}

qint64 PieceScheduler::doneUnits() const
{
    qint64 n = 0;
    for (const Span &s : m_done)
        n += s.size();
    return n;
}

QList<Span> PieceScheduler::missing() const
{
    QList<Span> out;
    qint64 at = 0;
    for (const Span &s : m_done) {
        if (s.begin > at)
            out.append({at, s.begin});
        at = s.end;
    }
    if (at < m_total)
        out.append({at, m_total});
    return out;
}

// The first missing units that no worker is fetching.
std::optional<Span> PieceScheduler::firstFreeGap() const
{
    QList<Span> busy;
    for (const Worker &w : m_workers)
        if (w.end > w.cursor)
            busy.append({w.cursor, w.end});
    std::sort(busy.begin(), busy.end(), [](const Span &a, const Span &b) { return a.begin < b.begin; });
    for (const Span &gap : missing()) {
        qint64 at = gap.begin;
        for (const Span &b : std::as_const(busy)) {
            if (b.end <= at)
                continue;
            if (b.begin >= gap.end)
                break;
            if (b.begin > at)
                return Span{at, b.begin};
            at = b.end;
        }
        if (at < gap.end)
            return Span{at, gap.end};
    }
    return std::nullopt;
}

PieceScheduler::Assignment PieceScheduler::assign(Span span)
{
    if (m_maxPart > 0 && span.size() > m_maxPart)
        span.end = span.begin + m_maxPart;
    const int id = m_nextWorker++;
    m_workers.insert(id, {span.begin, span.end});
    return {id, span};
}

std::optional<PieceScheduler::Assignment> PieceScheduler::take()
{
    if (const std::optional<Span> gap = firstFreeGap())
        return assign(*gap);
    return takeOverLargest();
}

qint64 PieceScheduler::nextPart() const
{
    if (const std::optional<Span> gap = firstFreeGap())
        return m_maxPart > 0 ? qMin(gap->size(), m_maxPart) : gap->size();
    const auto largest = largestPart();
    if (largest == m_workers.cend() || largest->end - largest->cursor < 2 * m_minPart)
        return 0;
    const qint64 left = largest->end - largest->cursor;
    return left - left / 2;
}

// The worker with the most units still to fetch; end() when none.
QMap<int, PieceScheduler::Worker>::const_iterator PieceScheduler::largestPart() const
{
    auto largest = m_workers.cend();
    for (auto it = m_workers.cbegin(); it != m_workers.cend(); ++it)
        if (largest == m_workers.cend() || it->end - it->cursor > largest->end - largest->cursor)
            largest = it;
    return largest;
}

// The second half of the largest part still to come, when both halves keep
// at least minPart units.
std::optional<PieceScheduler::Assignment> PieceScheduler::takeOverLargest()
{
    const auto found = largestPart();
    if (found == m_workers.cend() || found->end - found->cursor < 2 * m_minPart)
        return std::nullopt;
    Worker &largest = m_workers[found.key()];
    const qint64 middle = largest.cursor + (largest.end - largest.cursor) / 2;
    const Span tail{middle, largest.end};
    largest.end = middle;
    return assign(tail);
}

void PieceScheduler::advance(int worker, qint64 pos)
{
    const auto it = m_workers.find(worker);
    if (it == m_workers.end())
        return;
    pos = qMin(pos, it->end);
    if (pos > it->cursor) {
        addDone({it->cursor, pos});
        it->cursor = pos;
    }
}

qint64 PieceScheduler::endOf(int worker) const
{
    const auto it = m_workers.constFind(worker);
    return it == m_workers.cend() ? 0 : it->end;
}

bool PieceScheduler::extend(int worker)
{
    const auto it = m_workers.find(worker);
    if (it == m_workers.end())
        return false;
    const qint64 at = it->end;
    qint64 until = -1;
    for (const Span &gap : missing())
        if (gap.begin <= at && at < gap.end)
            until = gap.end;
    for (auto w = m_workers.cbegin(); w != m_workers.cend(); ++w) {
        if (w.key() == worker || w->end <= w->cursor)
            continue;
        if (w->cursor <= at && at < w->end)
            return false; // another one fetches them
        if (w->cursor > at)
            until = qMin(until, w->cursor);
    }
    if (until <= at)
        return false;
    it->end = until;
    return true;
}

void PieceScheduler::release(int worker)
{
    m_workers.remove(worker);
}

} // namespace vidrona::download

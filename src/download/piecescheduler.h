#pragma once
#include <QList>
#include <QMap>
#include <QtGlobal>
#include <optional>

namespace vidrona::download {

// Units [begin, end): the bytes of a file, or the pieces of a stream.
struct Span {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 size() const { return end - begin; }
    bool operator==(const Span &) const = default;
};

// Hands out the parts of a whole (a file's bytes, a stream's pieces) to
// several workers at once. A worker takes the first part nobody has; once
// every part is taken, a new worker takes over the second half of the
// largest part still being fetched, so connections that finish early keep
// helping until the end. The units that arrived are kept as spans, for the
// record that lets a later run ask only for what is missing. Meant for one
// thread: the one that drives the workers.
class PieceScheduler
{
public:
    struct Assignment {
        int worker = 0;
        Span span;
    };

    // total units; a part taken over keeps at least minPart units on each
    // side; a part handed out is at most maxPart units (0: no limit), so a
    // stream's workers take one piece at a time with maxPart 1.
    PieceScheduler(qint64 total, qint64 minPart, qint64 maxPart = 0);

    // Units already there (read from a record); ignored outside the whole.
    void markDone(Span span);

    // A part for a new worker, or none when nothing is left to hand out.
    std::optional<Assignment> take();
    // The units take() would hand out now (0: none), so that of several
    // wholes the one with the most left is shared first.
    qint64 nextPart() const;
    // The worker's units arrived up to pos: [its cursor, pos) is done.
    void advance(int worker, qint64 pos);
    // Where the worker must stop now: another may have taken its tail.
    qint64 endOf(int worker) const;
    // Lets a worker whose answer goes on past its end (an open range, a
    // whole body) keep going into the missing units right after its end
    // that nobody fetches. False when there are none.
    bool extend(int worker);
    // The worker stops; what it did not fetch is handed out again.
    void release(int worker);

    int running() const { return int(m_workers.size()); }
    bool complete() const { return doneUnits() == m_total; }
    qint64 total() const { return m_total; }
    qint64 doneUnits() const;
    // The units that arrived, merged and in order.
    const QList<Span> &done() const { return m_done; }
    // The units that did not, in order.
    QList<Span> missing() const;

private:
    struct Worker {
        qint64 cursor = 0;
        qint64 end = 0;
    };
    std::optional<Span> firstFreeGap() const;
    QMap<int, Worker>::const_iterator largestPart() const;
    std::optional<Assignment> takeOverLargest();
    Assignment assign(Span span);
    void addDone(Span span);

    qint64 m_total;
    qint64 m_minPart;
    qint64 m_maxPart;
    QList<Span> m_done;
    QMap<int, Worker> m_workers;
    int m_nextWorker = 1;
};

} // namespace vidrona::download

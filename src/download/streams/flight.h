#pragma once
#include <QList>
#include <QtGlobal>
#include <mutex>

// One piece on its way, in parts [begin, end) of its body, each fetched by
// one connection into a file of its own. The connection that took the
// piece fetches the first part; a connection with nothing left to take
// takes over the second half of the part with the most left, when the
// server answers ranges, so the last pieces of a video do not leave most
// connections idle. Parts only shrink from their end, under the lock, and
// never below the bytes already written.
namespace vidrona::streams {

class Flight
{
public:
    struct Share {
        qint64 begin = 0;
        qint64 end = -1; // -1: to the end of an answer of unknown length
        qint64 got = 0;  // bytes of the part counted so far
        bool done = false;
    };

    // The first part's head is in: the body's length (-1 unknown), where it
    // starts in the file the server holds, and whether ranges of it may be
    // asked for (a known length, plain bytes, a server that answers ranges).
    void start(qint64 size, qint64 base, bool splittable);
    // The bytes of length part may count now (fewer at its end).
    qint64 reserve(int part, qint64 length);
    // Takes over the second half of the part with the most left, when
    // both halves keep at least minBytes; the new part's number, or -1.
    int split(qint64 minBytes);
    // Most bytes one part still has to fetch, for choosing which flight to split.
    qint64 mostLeft() const;
    Share part(int n) const;
    QList<Share> parts() const;
    qint64 base() const;
    qint64 size() const;
    // Marks the part done; true once for the call that completes the piece.
    bool finish(int part);

private:
    mutable std::mutex m_lock;
    qint64 m_size = -1;
    qint64 m_base = 0;
    bool m_splittable = false;
    QList<Share> m_parts{Share{}};
};

} // namespace vidrona::streams

#include "flight.h"

namespace vidrona::streams {

void Flight::start(qint64 size, qint64 base, bool splittable)
{
    std::lock_guard guard(m_lock);
    m_size = size;
    m_base = base;
    m_splittable = splittable && size >= 0;
    m_parts[0].end = size;
}

qint64 Flight::reserve(int part, qint64 length)
{
    std::lock_guard guard(m_lock);
    Share &p = m_parts[part];
    if (p.end >= 0)
        length = qBound<qint64>(0, p.end - p.begin - p.got, length);
    p.got += length;
    return length;
}

int Flight::split(qint64 minBytes)
{
    std::lock_guard guard(m_lock);
    if (!m_splittable)
        return -1;
    int most = -1;
    qint64 mostLeft = 0;
    for (int i = 0; i < m_parts.size(); ++i) {
        const Share &p = m_parts.at(i);
        const qint64 left = p.end - p.begin - p.got;
        if (!p.done && left > mostLeft)
            most = i, mostLeft = left;
    }
    if (most < 0 || mostLeft < 2 * minBytes)
        return -1;
    const Share p = m_parts.at(most);
    const qint64 middle = p.begin + p.got + mostLeft / 2;
    m_parts[most].end = middle; // before the list grows: no reference into it survives that
    m_parts.append({middle, p.end, 0, false});
    return int(m_parts.size() - 1);
}

qint64 Flight::mostLeft() const
{
    std::lock_guard guard(m_lock);
    qint64 most = 0;
    for (const Share &p : m_parts)
        if (m_splittable && !p.done)
            most = qMax(most, p.end - p.begin - p.got);
    return most;
}

Flight::Share Flight::part(int n) const
{
    std::lock_guard guard(m_lock);
    return m_parts.at(n);
}

QList<Flight::Share> Flight::parts() const
{
    std::lock_guard guard(m_lock);
    return m_parts;
}

qint64 Flight::base() const
{
    std::lock_guard guard(m_lock);
    return m_base;
}

qint64 Flight::size() const
{
    std::lock_guard guard(m_lock);
    return m_size;
}

bool Flight::finish(int part)
{
    std::lock_guard guard(m_lock);
    m_parts[part].done = true;
    for (const Share &p : m_parts)
        if (!p.done)
            return false;
    return true;
}

} // namespace vidrona::streams

// The writer of a running row: see diskqueue.h.
#include "diskqueue.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"

namespace vidrona::engine {

namespace {
// Chunks that follow each other are written as one up to this size: fewer
// system calls when every connection's bytes arrive in small buffers.
constexpr qsizetype MergeUpTo = 1 << 20;
// The disk is told to start writing this often, so the sync that puts the
// file in place has little left to do.
constexpr qint64 WriteBehindBytes = 8 << 20;
} // namespace

DiskQueue::DiskQueue(FileWriter &writer, std::function<void()> roomAgain)
    : m_writer(writer), m_roomAgain(std::move(roomAgain)), m_thread([this] { run(); })
{
}

DiskQueue::~DiskQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    m_thread.join();
}

bool DiskQueue::full() const
{
    std::lock_guard lock(m_mutex);
    return m_queued >= MaxQueuedBytes;
}

void DiskQueue::put(qint64 offset, const char *data, qsizetype length)
{
    if (length <= 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_failure.failed())
            return; // the row is failing; its bytes would go nowhere
        Chunk *last = m_chunks.empty() ? nullptr : &m_chunks.back();
        if (last && last->offset + last->bytes.size() == offset && last->bytes.size() < MergeUpTo)
            last->bytes.append(data, length);
        else
            m_chunks.push_back({offset, QByteArray(data, length)});
        m_queued += length;
        m_wasFull = m_wasFull || m_queued >= MaxQueuedBytes;
    }
    m_work.notify_one();
}

void DiskQueue::drain()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return (m_chunks.empty() && !m_writing) || m_failure.failed(); });
}

net::Failure DiskQueue::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

QList<Span> DiskQueue::takeWritten()
{
    std::lock_guard lock(m_mutex);
    QList<Span> out;
    out.swap(m_written);
    return out;
}

void DiskQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return m_stop || !m_chunks.empty(); });
        if (m_chunks.empty())
            return; // stopped, and everything written
        const Chunk chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        m_writing = true;
        lock.unlock();
        writeOne(chunk);
        lock.lock();
        m_writing = false;
        m_queued -= chunk.bytes.size();
        const bool room = m_wasFull && m_queued < MaxQueuedBytes / 2;
        if (room)
            m_wasFull = false;
        m_idle.notify_all();
        if (room && m_roomAgain) {
            lock.unlock();
            m_roomAgain();
            lock.lock();
        }
    }
}

void DiskQueue::writeOne(const Chunk &chunk)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_failure.failed())
            return;
    }
    net::Failure failure;
    const bool ok = m_writer.writeAt(chunk.offset, chunk.bytes.constData(), chunk.bytes.size(), &failure);
    m_sinceWriteBack += chunk.bytes.size();
    if (ok && m_sinceWriteBack >= WriteBehindBytes) {
        m_writer.writeBack(0, 0); // the whole file: what is written goes on to the disk
        m_sinceWriteBack = 0;
    }
    std::lock_guard lock(m_mutex);
    if (!ok) {
        m_failure = failure;
        m_idle.notify_all();
        return;
    }
    m_written = kept::withSpan(m_written, {chunk.offset, chunk.offset + chunk.bytes.size()});
}

} // namespace vidrona::engine

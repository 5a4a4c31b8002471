// The writer of a running row: see diskqueue.h.
#include "diskqueue.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"
#include <thread>
#include <vector>

namespace vidrona::download::engine {

namespace {
// A chunk's room: the bytes that follow it are written with it up to this
// size (fewer system calls when every connection's bytes arrive in small
// buffers), and its buffer serves the chunks after it.
constexpr qsizetype ChunkRoom = 128 << 10;
// The disk is told to start writing this often, so the sync that puts the
// file in place has little left to do.
constexpr qint64 WriteBehindBytes = 8 << 20;
// Written chunks' buffers kept for the next ones, up to this much room:
// fresh memory for every chunk cost a page fault and a cleared page per
// 4 KiB, as much work as the copy itself.
constexpr qsizetype SpareRoom = DiskQueue::MaxQueuedBytes / 2;
} // namespace

// The writer threads of every row. A queue with chunks waits in line;
// a thread takes it, writes its first chunk and puts it back in line when
// more wait, so one row's big backlog does not hold up the others.
class WriterPool
{
public:
    static WriterPool &global()
    {
        static WriterPool pool;
        return pool;
    }
    void ready(DiskQueue *queue)
    {
        {
            std::lock_guard lock(m_mutex);
            m_line.push_back(queue);
        }
        m_work.notify_one();
    }

private:
    WriterPool()
    {
        for (int i = 0; i < DiskQueue::WriterThreads; ++i)
            m_threads.emplace_back([this] { run(); });
    }
    ~WriterPool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_work.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_work.wait(lock, [this] { return m_stop || !m_line.empty(); });
            if (m_line.empty())
                return;
            DiskQueue *queue = m_line.front();
            m_line.pop_front();
            lock.unlock();
            const bool more = queue->writeNext();
            lock.lock();
            if (more)
                m_line.push_back(queue);
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::deque<DiskQueue *> m_line;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};

DiskQueue::DiskQueue(FileWriter &writer, std::function<void()> roomAgain)
    : m_writer(writer), m_roomAgain(std::move(roomAgain))
{
}

// No writer thread holds the queue once it is out of line and empty.
DiskQueue::~DiskQueue()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_scheduled; });
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
        // Merged only into room the chunk has: a grown buffer is fresh memory.
        if (last && !last->save && last->offset + last->bytes.size() == offset
            && last->bytes.capacity() - last->bytes.size() >= length)
            last->bytes.append(data, length);
        else
            m_chunks.push_back({offset, takeSpare(data, length)});
        m_queued += length;
        m_wasFull = m_wasFull || m_queued >= MaxQueuedBytes;
        if (m_scheduled)
            return;
        m_scheduled = true;
    }
    WriterPool::global().ready(this);
}

// Under the lock: a buffer kept from a written chunk, holding data.
QByteArray DiskQueue::takeSpare(const char *data, qsizetype length)
{
    if (m_spare.empty() || m_spare.back().capacity() < length) {
        QByteArray bytes;
        bytes.reserve(qMax(length, ChunkRoom));
        bytes.append(data, length);
        return bytes;
    }
    QByteArray bytes = std::move(m_spare.back());
    m_spare.pop_back();
    m_spareRoom -= bytes.capacity();
    bytes.append(data, length);
    return bytes;
}

// Under the lock: keeps a written chunk's buffer while there is room.
void DiskQueue::keepSpare(QByteArray bytes)
{
    if (bytes.isDetached() && m_spareRoom + bytes.capacity() <= SpareRoom) {
        bytes.truncate(0); // keeps its capacity
        m_spareRoom += bytes.capacity();
        m_spare.push_back(std::move(bytes));
    }
}

void DiskQueue::saveAfterSync(std::function<bool()> save)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_failure.failed())
            return;
        m_chunks.push_back({0, {}, std::move(save)});
        if (m_scheduled)
            return;
        m_scheduled = true;
    }
    WriterPool::global().ready(this);
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

bool DiskQueue::writeNext()
{
    std::unique_lock lock(m_mutex);
    if (m_chunks.empty()) {
        m_scheduled = false;
        m_idle.notify_all();
        return false;
    }
    Chunk chunk = std::move(m_chunks.front());
    m_chunks.pop_front();
    m_writing = true;
    lock.unlock();
    if (chunk.save)
        syncThenSave(chunk);
    else
        writeOne(chunk);
    lock.lock();
    m_writing = false;
    m_queued -= chunk.bytes.size();
    keepSpare(std::move(chunk.bytes));
    const bool room = m_wasFull && m_queued < MaxQueuedBytes / 2;
    if (room)
        m_wasFull = false;
    const bool more = !m_chunks.empty();
    m_scheduled = more;
    m_idle.notify_all();
    const std::function<void()> roomAgain = room ? m_roomAgain : nullptr;
    lock.unlock(); // the queue may be gone once it is out of line and unlocked: roomAgain was copied
    if (roomAgain)
        roomAgain();
    return more;
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

// Every chunk before this one is written: the sync covers them all.
void DiskQueue::syncThenSave(const Chunk &chunk)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_failure.failed())
            return;
    }
    if (m_writer.syncData()) {
        chunk.save();
        return;
    }
    const net::Failure failure = FileWriter::failureOf(platform::lastFileFault(), net::Cause::NotWritten);
    std::lock_guard lock(m_mutex);
    m_failure = failure;
    m_idle.notify_all();
}

} // namespace vidrona::download::engine

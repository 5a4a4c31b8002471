#pragma once
#include "download/piecescheduler.h"
#include "net/failure.h"
#include <QByteArray>
#include <QList>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace vidrona::download {
class FileWriter;
}

namespace vidrona::download::engine {

// The disk side of a running row: the row's driver hands over body bytes
// with their offsets and goes back to its sockets at once; the program's
// few writer threads (WriterThreads, shared by every row) write them, one
// chunk of a queue at a time and in order, so a row's threads are its
// driver alone. The queue holds at most MaxQueuedBytes: when it
// is full the driver pauses the connections whose bytes have nowhere to
// go (net::Receiver::full) and resumes them once the queue has room
// again, so a slow disk slows the row down without stalling its sockets
// on a write, and memory stays bounded.
class DiskQueue
{
public:
    static constexpr qint64 MaxQueuedBytes = 2 << 20;

    static constexpr int WriterThreads = 2;

    // roomAgain is called on a writer thread when a full queue has room
    // again (the driver's loop is woken with it).
    DiskQueue(FileWriter &writer, std::function<void()> roomAgain);
    // Writes what is queued first.
    ~DiskQueue();
    DiskQueue(const DiskQueue &) = delete;
    DiskQueue &operator=(const DiskQueue &) = delete;

    bool full() const;
    // Queues a copy of the bytes for [offset, offset + length).
    void put(qint64 offset, const char *data, qsizetype length);
    // Waits until every byte put so far is written, or writing failed.
    void drain();
    // The first write that failed; none while all went well.
    net::Failure failure() const;
    // The spans written since the last call, merged: what a record may name.
    QList<Span> takeWritten();
    // Behind every byte put so far, on a writer thread: makes the file's
    // bytes durable, then calls save (which writes a record naming them).
    // The row's sockets never wait for the sync; a failed sync fails the
    // queue as a failed write does.
    void saveAfterSync(std::function<bool()> save);

private:
    struct Chunk {
        qint64 offset = 0;
        QByteArray bytes;
        std::function<bool()> save; // a sync, then this, instead of bytes
    };
    friend class WriterPool;
    // On a writer thread: writes the first chunk; true when more wait.
    bool writeNext();
    void writeOne(const Chunk &chunk);
    void syncThenSave(const Chunk &chunk);
    QByteArray takeSpare(const char *data, qsizetype length);
    void keepSpare(QByteArray bytes);

    FileWriter &m_writer;
    std::function<void()> m_roomAgain;
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::deque<Chunk> m_chunks;
    qint64 m_queued = 0;
    bool m_writing = false;
    bool m_scheduled = false; // a writer thread has it, or will take it
    bool m_wasFull = false;
    net::Failure m_failure;
    QList<Span> m_written;
    qint64 m_sinceWriteBack = 0;
    std::vector<QByteArray> m_spare; // written chunks' buffers, empty, for the next ones
    qsizetype m_spareRoom = 0;       // their capacity together
};

} // namespace vidrona::download::engine

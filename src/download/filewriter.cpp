#include "filewriter.h"
#include "filenames.h"
#include "platform/platform.h"
#include <QDir>
#include <QHash>
#include <QFileInfo>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vidrona::download {

namespace {
// A big body goes on to the disk in pieces of this size while it arrives,
// so the sync that puts it in place does not wait for all of it at the end.
constexpr qint64 WriteBehindBytes = 8 << 20;
// How often a caller waiting for the closing sync looks at its cancel.
constexpr int CancelPollMs = 5;

// The closing sync on a shared thread (SyncThreads), on a duplicate of the
// writer's descriptor that only that thread uses and closes: the caller may
// stop waiting for it, and then it finishes alone; or a close alone that
// nobody waits for (the last close of a removed file frees its blocks).
// Only the duplicate goes across, never the writer's own file, whose Qt
// internals (a name, an error text) share data with the writer's strings.
struct BackgroundSync {
    QFile file; // the duplicate
    bool closeOnly = false; // no sync: the duplicate is only closed there
    bool abandoned = false; // the caller went
    QString path;                // a sync given up: whose end others may await
    std::function<void()> then;  // a sync given up: after it succeeded
    std::mutex lock;
    std::condition_variable over;
    bool done = false;
    bool ok = false;
};

// The few threads that make closing files durable, shared by every row:
// a row's thread may stop waiting for its sync, and the syncs of rows
// that end together wait in line instead of each taking a thread of its
// own (one disk syncs them one after the other anyway).
class SyncThreads
{
public:
    static constexpr int Threads = 2;
    static SyncThreads &global()
    {
        static SyncThreads pool;
        return pool;
    }
    void sync(std::shared_ptr<BackgroundSync> state)
    {
        {
            std::lock_guard guard(m_lock);
            m_line.push_back(std::move(state));
        }
        m_work.notify_one();
    }

    // A sync given up on path: awaitAlone(path) waits until it is over.
    void leftAlone(const QString &path)
    {
        std::lock_guard guard(m_aloneLock);
        ++m_alone[path];
    }
    void awaitAlone(const QString &path, const std::function<bool()> &giveUp)
    {
        std::unique_lock guard(m_aloneLock);
        while (m_alone.value(path) > 0 && !giveUp())
            m_aloneOver.wait_for(guard, std::chrono::milliseconds(50));
    }

private:
    SyncThreads()
    {
        for (int i = 0; i < Threads; ++i)
            m_threads.emplace_back([this] { run(); });
    }
    ~SyncThreads()
    {
        {
            std::lock_guard guard(m_lock);
            m_stop = true;
        }
        m_work.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }
    void run()
    {
        std::unique_lock guard(m_lock);
        for (;;) {
            m_work.wait(guard, [this] { return m_stop || !m_line.empty(); });
            if (m_line.empty())
                return;
            const std::shared_ptr<BackgroundSync> state = std::move(m_line.front());
            m_line.pop_front();
            guard.unlock();
            finish(*state);
            guard.lock();
        }
    }
    void aloneOver(const QString &path)
    {
        std::lock_guard guard(m_aloneLock);
        if (--m_alone[path] <= 0)
            m_alone.remove(path);
        m_aloneOver.notify_all();
    }
    static void finish(BackgroundSync &state)
    {
        const bool ok = state.closeOnly || platform::syncFile(state.file);
        state.file.close();
        bool alone = false;
        {
            std::lock_guard guard(state.lock);
            state.ok = ok;
            state.done = true;
            alone = state.abandoned;
            state.over.notify_all();
        }
        if (!alone)
            return;
        if (ok && state.then)
            state.then();
        if (!state.path.isEmpty())
            global().aloneOver(state.path);
    }
    std::mutex m_aloneLock;
    std::condition_variable m_aloneOver;
    QHash<QString, int> m_alone;
    std::mutex m_lock;
    std::condition_variable m_work;
    std::deque<std::shared_ptr<BackgroundSync>> m_line;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};
} // namespace

bool FileWriter::open(const QString &path, bool keep, qint64 from)
{
    close();
    m_error.clear();
    m_cause = net::Cause::None;
    m_cancelled = false;
    m_fault = platform::FileFault::Other;
    // Never opened to append: other threads may write their parts at offsets.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered
                                     | (keep ? QIODevice::OpenMode() : QIODevice::Truncate);
    m_path = path; // a file opened from its descriptor forgets its name
    m_afterAlone = {};
    platform::OpenFault why;
    if (!platform::openKept(*m_file, path, mode, &why))
        return why.notPlain ? failWith(net::Cause::NotPlainFile) : fail(why.words);
    m_size = m_writeBackFrom = from >= 0 ? from : m_file->size();
    if (!m_file->seek(m_size))
        return fail(m_file->errorString());
    platform::markHidden(path);
    return true;
}

bool FileWriter::cutHere()
{
    return m_file->resize(m_size) || fail(m_file->errorString());
}

bool FileWriter::writeAt(qint64 offset, const char *data, qint64 size, net::Failure *failure)
{
    if (platform::writeAt(*m_file, offset, data, size))
        return true;
    const platform::FileFault fault = platform::lastFileFault();
    *failure = failureOf(fault, net::Cause::PartNotWritten);
    return false;
}

void FileWriter::writeBack(qint64 offset, qint64 length)
{
    platform::startWriteBack(*m_file, offset, length);
}

bool FileWriter::syncData()
{
    return m_file->isOpen() && platform::syncFile(*m_file);
}

void FileWriter::reserve(qint64 length)
{
    if (m_file->isOpen() && length > 0)
        platform::reserveSpace(*m_file, length);
}

bool FileWriter::write(const char *data, qint64 size)
{
    if (!m_file->isOpen())
        return failWith(net::Cause::NotOpen);
    const qint64 written = m_file->write(data, size);
    if (written > 0)
        m_size += written;
    if (written != size) {
        const bool full = m_file->error() == QFileDevice::ResourceError;
        fail(m_file->errorString());
        if (full)
            m_fault = platform::FileFault::DiskFull;
        return false;
    }
    if (m_size - m_writeBackFrom >= WriteBehindBytes) {
        platform::startWriteBack(*m_file, m_writeBackFrom, m_size - m_writeBackFrom);
        m_writeBackFrom = m_size;
    }
    return true;
}

bool FileWriter::commitTo(const QString &finalPath, const std::function<bool(const QString &)> &taken,
                          QString *placedAt)
{
    if (!m_file->isOpen())
        return failWith(net::Cause::NotOpen);
    // Nothing is buffered here, but the system's own write-back can still
    // fail (a full disk on a file system that allocates late): only a
    // successful sync proves the bytes are on disk.
    if (m_file->error() != QFileDevice::NoError)
        return fail(m_file->errorString());
    if (!syncUnlessCancelled())
        return m_cancelled ? false : failWith(net::Cause::NotWritten);
    m_file->close();
    if (m_file->error() != QFileDevice::NoError)
        return fail(m_file->errorString());
    return place(finalPath, taken, placedAt);
}

// A sync that was given up leaves the file where it was written, and its
// thread never puts anything in place.
bool FileWriter::syncUnlessCancelled()
{
    if (!m_cancel)
        return platform::syncFile(*m_file);
    if (syncOnSharedThread([this] { return m_cancel->load(); }))
        return true;
    if (!m_file->isOpen()) { // given up: the sync goes on alone
        m_cancelled = true;
        m_cause = net::Cause::Cancelled;
    }
    return false;
}

bool FileWriter::syncDataWithin(int ms)
{
    if (!m_file->isOpen())
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    return syncOnSharedThread([until] { return std::chrono::steady_clock::now() >= until; });
}

// The sync on one of SyncThreads, waited for until giveUp() holds; a sync
// given up goes on alone on its duplicate, and the writer closes its own
// file. Without a duplicate (no descriptor left) the sync is waited for here.
bool FileWriter::syncOnSharedThread(const std::function<bool()> &giveUp)
{
    const auto state = std::make_shared<BackgroundSync>();
    if (!platform::duplicateFile(*m_file, state->file))
        return platform::syncFile(*m_file);
    SyncThreads::global().sync(state);
    std::unique_lock guard(state->lock);
    while (!state->done && !giveUp())
        state->over.wait_for(guard, std::chrono::milliseconds(CancelPollMs));
    if (!state->done) {
        state->abandoned = true; // its thread closes the file when the sync is over
        state->path = m_path;
        state->then = std::move(m_afterAlone);
        SyncThreads::global().leftAlone(m_path); // before the thread can see it over
        m_file->close(); // the duplicate keeps the file open for the sync
        return false;
    }
    return state->ok;
}

// Never over a file (or link) someone else put there, even one that
// appears at the last moment: the next free name instead.
bool FileWriter::place(const QString &finalPath, const std::function<bool(const QString &)> &taken,
                       QString *placedAt)
{
    const QFileInfo wanted(finalPath);
    QString path = finalPath;
    for (int round = 0; round < MaxPlaceRounds && !path.isEmpty(); ++round) {
        QString error;
        switch (platform::placeFileNew(m_path, path, &error)) {
        case platform::Placed::Moved:
            if (placedAt)
                *placedAt = path;
            return true;
        case platform::Placed::Failed:
            return fail(error);
        case platform::Placed::Taken: {
            const QString name = nextFreeName(wanted.path(), wanted.fileName(), taken);
            path = name.isEmpty() ? QString() : QDir(wanted.path()).filePath(name);
        }
        }
    }
    return failWith(net::Cause::WriteNoFreeName);
}

net::Failure FileWriter::failure() const
{
    if (m_cancelled)
        return net::cancelled();
    return failureOf(m_fault, m_cause, m_error);
}

net::Failure FileWriter::failureOf(platform::FileFault fault, net::Cause cause, const QString &error)
{
    switch (fault) {
    case platform::FileFault::DiskFull:
        return net::fail(net::Reason::DiskFull, net::Cause::DiskFull);
    case platform::FileFault::NameTooLong:
        return net::fail(net::Reason::WriteFailed, net::Cause::NameTooLong);
    default:
        return net::fail(net::Reason::WriteFailed, cause, error);
    }
}

void FileWriter::close()
{
    if (m_file->isOpen())
        m_file->close();
}

void FileWriter::awaitSyncLeftAlone(const QString &path, const std::function<bool()> &giveUp)
{
    SyncThreads::global().awaitAlone(path, giveUp);
}

void FileWriter::closeInBackground()
{
    if (!m_file->isOpen())
        return;
    const auto state = std::make_shared<BackgroundSync>();
    const bool duplicated = platform::duplicateFile(*m_file, state->file);
    m_file->close(); // not the last close while the duplicate is open
    if (!duplicated)
        return;
    state->closeOnly = true;
    state->abandoned = true; // nobody waits for it
    SyncThreads::global().sync(state);
}

bool FileWriter::fail(const QString &what)
{
    return failWith(net::Cause::WriteFault, what);
}

bool FileWriter::failWith(net::Cause cause, const QString &what)
{
    // The first failure that says something is the one told.
    if (m_cause == net::Cause::None || (m_cause == net::Cause::WriteFault && m_error.isEmpty())) {
        m_fault = platform::lastFileFault(); // first: what follows may change it
        m_cause = cause;
        m_error = what;
    }
    close();
    return false;
}

} // namespace vidrona::download

#pragma once
#include "platform/platform.h"
#include "net/failure.h"
#include <QFile>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace vidrona::download {

// Writes the kept bytes of one fetch (see keptbytes.h), on the fetching
// thread, straight to the system (no buffer of its own, so a failed write
// shows at once), and puts them under the final name only when they are
// complete and durable. Used from one thread at a time.
class FileWriter
{
public:
    FileWriter() = default;
    ~FileWriter() { close(); }
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    // Opens path, keeping its bytes when keep is true, else emptied; write()
    // goes on from offset `from` (the end of the kept bytes when -1).
    bool open(const QString &path, bool keep, qint64 from = -1);
    bool isOpen() const { return m_file->isOpen(); }
    bool write(const char *data, qint64 size);
    // Where write() goes on.
    qint64 size() const { return m_size; }
    // Drops the bytes from where write() goes on: the file ends there.
    bool cutHere();

    // For several threads at once, each filling a part of its own: writes
    // at offset without touching write()'s position. On failure *failure
    // says why in words a user understands.
    bool writeAt(qint64 offset, const char *data, qint64 size, net::Failure *failure);
    // Starts writing [offset, offset + length) to the disk (any thread).
    void writeBack(qint64 offset, qint64 length);
    // Makes every byte written so far durable without closing the file
    // (any thread; the writes of other threads go on meanwhile): a record
    // may name them after it returned true.
    bool syncData();
    // The same, waiting at most ms (a Cancel does not wait for the disk):
    // false when the sync failed or took longer; then it finishes alone and
    // the file is closed once it is over.
    bool syncDataWithin(int ms);
    // Reserves the disk space for a file of length bytes where it can.
    void reserve(qint64 length);

    // commitTo gives up its sync once cancel is set: the sync finishes
    // alone on its thread, nothing is put in place, and the bytes stay
    // where they were written for the next try. Set before commitTo.
    void setCancel(const std::atomic<bool> *cancel) { m_cancel = cancel; }
    // Called on the sync's thread once a sync that commitTo gave up is
    // over and succeeded (the record that names every byte goes then, so
    // the next Start only puts the file in place). Set before commitTo.
    void setAfterSyncLeftAlone(std::function<void()> then) { m_afterAlone = std::move(then); }
    // Waits while a sync given up on the file at path is still running,
    // until giveUp() holds: what it leaves behind is read only after it.
    static void awaitSyncLeftAlone(const QString &path, const std::function<bool()> &giveUp);

    // Makes the bytes durable (a full disk or a failed write shows here at
    // the latest), closes the file and puts it in the place of finalPath
    // in one step, never replacing what holds that name (a file, a link):
    // then the next free name (filenames.h) that taken does not hold.
    // placedAt receives the path used. On failure the bytes stay where
    // they were written.
    bool commitTo(const QString &finalPath, const std::function<bool(const QString &)> &taken = {},
                  QString *placedAt = nullptr);
    void close();
    // Closes the file on one of the threads that sync closing files, without
    // a sync: the last close of a file already removed frees its blocks,
    // which may wait for the disk's journal, and nobody needs to wait for it.
    void closeInBackground();

    // The first failure, with the system's words when it gave some.
    net::Failure failure() const;
    // A write's failure: the disk's fault decides the cause when it is
    // full or the name too long, else cause (with the system's words).
    static net::Failure failureOf(platform::FileFault fault, net::Cause cause, const QString &error = QString());

private:
    static constexpr int MaxPlaceRounds = 16; // names taken while choosing
    bool place(const QString &finalPath, const std::function<bool(const QString &)> &taken, QString *placedAt);
    bool fail(const QString &what);
    bool failWith(net::Cause cause, const QString &what = QString());
    bool syncUnlessCancelled();
    bool syncOnSharedThread(const std::function<bool()> &giveUp);
    std::function<void()> m_afterAlone;
    // Owned by a pointer: a sync given up takes the file along, so that its
    // closing (which may wait for the disk) never holds the caller either.
    std::unique_ptr<QFile> m_file = std::make_unique<QFile>();
    const std::atomic<bool> *m_cancel = nullptr;
    bool m_cancelled = false;
    QString m_path;
    qint64 m_size = 0;
    qint64 m_writeBackFrom = 0; // bytes before it are on their way to the disk
    net::Cause m_cause = net::Cause::None; // the first failure's
    QString m_error;                       // and the system's words for it
    platform::FileFault m_fault = platform::FileFault::Other;
};

} // namespace vidrona::download

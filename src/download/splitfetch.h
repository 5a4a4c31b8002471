#pragma once
#include "filefetch.h"
#include "keptbytes.h"
#include "piecescheduler.h"
#include <QElapsedTimer>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vidrona {

class FileWriter;
namespace net {
class HttpClient;
}

// One file's bytes over several connections at once. The lead connection
// (the fetch's first request, its answer already coming) fills its part
// at its offset of the kept bytes; one more connection asks for a bounded
// range of the rest, and only once the server has answered it exactly (a
// 206 for those bytes of the same version) do the others join. Each has a
// thread and an HTTP client of its own; one that finishes its part takes
// over half of the largest part still coming. The record of the kept bytes
// names the spans that arrived and is renewed at least once a second, so
// after a crash a later fetch asks only for the rest.
class SplitFetch
{
public:
    // A file worth splitting, and the smallest part a connection takes over.
    static constexpr qint64 MinFileBytes = 4 << 20;
    static constexpr qint64 MinPartBytes = 1 << 20;

    enum class Outcome {
        Complete,      // every byte arrived
        OneConnection, // the server answers a range with the whole file
        Changed,       // another version of the file answered: start over
        Failed,        // see failure()
    };

    // record names the version, its full length and the spans already there.
    SplitFetch(const FetchJob &job, FetchShared &shared, FileWriter &writer, const kept::Record &record);
    ~SplitFetch();
    SplitFetch(const SplitFetch &) = delete;
    SplitFetch &operator=(const SplitFetch &) = delete;

    // The lead answer's body starts at from and goes on to the end of the
    // file when open; false when from is not where the first missing bytes
    // begin (then nothing was started).
    bool start(qint64 from, bool open);
    // The lead answer's next bytes; false once its part is done (another
    // connection has the bytes after it) or every connection stops.
    bool leadBody(const char *data, qsizetype length);
    // After the lead answer ended (leadFailure: how, when it failed): this
    // thread helps with the rest on client, until every connection ended.
    Outcome finish(net::HttpClient &client, const net::Failure &leadFailure);
    net::Failure failure() const;
    // The record with the spans that arrived, and the same written beside
    // the file.
    kept::Record record() const;
    void saveRecord();

private:
    // One connection's way through its part of the file.
    struct Lane {
        int worker = 0;
        qint64 pos = 0;
        qint64 writeBackFrom = 0;
        bool open = false; // an answer that goes on past the part's end
    };
    class RangeReceiver;
    bool put(Lane &part, const char *data, qsizetype length);
    void work(net::HttpClient &client);
    void fetchPart(net::HttpClient &client, const PieceScheduler::Assignment &assignment);
    std::optional<PieceScheduler::Assignment> takePart();
    void confirm();
    void spawn();
    void stopWith(const net::Failure &failure);
    void versionChanged();
    void oneConnection();
    void watchCancel();
    void joinAll();

    const FetchJob &m_job;
    FetchShared &m_shared;
    FileWriter &m_writer;
    kept::Record m_record;
    mutable std::mutex m_mutex; // guards what follows, up to m_stopping
    PieceScheduler m_scheduler;
    std::vector<std::thread> m_threads;
    QElapsedTimer m_sinceSave;
    bool m_confirmed = false;
    bool m_oneConnection = false;
    bool m_changed = false;
    net::Failure m_failure;
    // Every connection but the lead's stops on it (within 50 ms, even one
    // that waits for bytes); the user's cancel is passed on to it.
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_ended{false};
    std::thread m_watcher;
    std::mutex m_saving; // one record written at a time, newest last
    kept::Record m_durable; // the last record whose bytes were synced (under m_saving)
    Lane m_lead;
};

} // namespace vidrona

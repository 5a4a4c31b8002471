#pragma once
#include "diskqueue.h"
#include "download/filefetch.h"
#include "download/keptbytes.h"
#include "download/piecescheduler.h"
#include "net/loop.h"
#include <QElapsedTimer>
#include <QHash>
#include <chrono>
#include <memory>
#include <vector>

namespace vidrona::download::engine {

// The waits before a part that failed for a passing reason is asked for
// again (by the one retry rule, retries.h), and so a one-connection fetch
// cut off after its body began: short, for the others go on meanwhile,
// and a server that resets a connection now and then answers the next one
// at once.
inline const QList<int> PartDelaysMs = {100, 500, 2000};
// The most a Cancel waits for the disk so that the record names what
// arrived: a Cancel ends a row within 100 ms, and a slower sync leaves the
// record saved last (what came after it is asked for again).
inline constexpr int CancelSyncMs = 50;

// One file's bytes over several connections of one row's loop. The plan
// is made from the lead answer's head, before its first body byte is
// written: the file's byte ranges, handed out by the one scheduler
// (piecescheduler.h). The lead connection fills its part; one more asks
// for a bounded range of the rest, and only once the server has answered
// it exactly (a 206 for those bytes of the same version) do the others
// join. A connection that finishes its part takes over half of the
// largest part still coming. A part that fails for a passing reason goes
// back to the scheduler and is asked for again after a short wait while
// the others go on; the row fails only when the bytes at one place have
// used their tries, or at once for a failure that would only repeat.
class Parts
{
public:
    // A file worth splitting, and the smallest part a connection takes over.
    static constexpr qint64 MinFileBytes = 4 << 20;
    static constexpr qint64 MinPartBytes = 1 << 20;
    // Small receive buffers: a row of many connections keeps its memory bounded.
    static constexpr long PartBufferBytes = 64 << 10;

    enum class Outcome {
        Complete,      // every byte arrived
        OneConnection, // the server answers a range with the whole file
        Changed,       // another version of the file answered: start over
        Failed,        // see failure()
    };

    Parts(const FetchJob &job, FetchShared &shared, DiskQueue &queue, FileWriter &writer, net::Loop &loop,
          const kept::Record &record);
    ~Parts();
    Parts(const Parts &) = delete;
    Parts &operator=(const Parts &) = delete;

    // The lead answer's body starts at from and goes on to the end of the
    // file when open; false when from is not where the first missing
    // bytes begin (then nothing was started).
    bool start(qint64 from, bool open);
    // The lead answer's next bytes; false once its part is done.
    bool leadBody(const char *data, qsizetype length);
    // The lead answer ended (failure: how, when it failed).
    void leadEnded(const net::Failure &failure);
    // Every part but the lead must stop at once (the lead is ended by its
    // owner).
    bool stopping() const { return m_stopping; }

    // After every step of the loop: drops what must stop, starts parts
    // and retries that are due, renews the record. The longest the loop
    // may wait before the next tick, in ms.
    int tick();
    // Every connection ended and nothing is left to try.
    bool ended() const;
    Outcome outcome();
    net::Failure failure() const { return m_failure; }
    // The record with the spans written, and the same written beside the
    // file once the bytes it names are durable (on the row's thread: for
    // the end of a fetch, when every byte queued is written).
    kept::Record record();
    void saveRecord();

private:
    struct Lane;
    class RangeReceiver;
    bool put(Lane &lane, const char *data, qsizetype length);
    void startLane(const PieceScheduler::Assignment &assignment);
    void laneEnded(Lane *lane, const net::Outcome &out);
    void partFailed(Lane &lane, const net::Failure &failure);
    void stopWith(const net::Failure &failure);
    void confirm() { m_confirmed = true; }
    void fill();
    void saveLater();
    int connectionsWanted() const;

    using Clock = std::chrono::steady_clock;
    const FetchJob &m_job;
    FetchShared &m_shared;
    DiskQueue &m_queue;
    FileWriter &m_writer;
    net::Loop &m_loop;
    kept::Record m_record;
    PieceScheduler m_scheduler;     // the parts handed out, cursors where bytes arrived
    QList<Span> m_written;          // what the disk queue wrote: what the record names
    QHash<int, Lane *> m_lanes;     // by the loop's request id
    std::unique_ptr<Lane> m_lead;
    bool m_leadRunning = false;
    std::vector<Clock::time_point> m_waits; // retries that wait for their time
    QHash<qint64, int> m_tries;     // failed parts by where their bytes stood
    int m_failedParts = 0;
    QElapsedTimer m_sinceSave;
    bool m_confirmed = false;
    bool m_oneConnection = false;
    bool m_changed = false;
    bool m_stopping = false;
    net::Failure m_failure;
};

} // namespace vidrona::download::engine

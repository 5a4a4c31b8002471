#pragma once
#include "piecefolder.h"
#include "streamplan.h"
#include "download/engine/diskqueue.h"
#include "download/engine/driver.h"
#include "download/filefetch.h"
#include "download/filewriter.h"
#include "download/piecescheduler.h"
#include <QElapsedTimer>
#include <QHash>
#include <chrono>
#include <memory>
#include <vector>

// The missing pieces of one stream over the connections of the row's one
// loop (engine::Driver), handed out one piece at a time by the one
// scheduler (piecescheduler.h), the tracks' pieces by turns. Once every
// piece is taken, an idle connection takes over half of what the piece
// with the most left still has to fetch, by the same scheduler over that piece's bytes, when the server
// answers ranges of it. A piece's bytes go through the row's disk queue into the
// folder's one kept file, at an offset the piece is given once its head
// says how long it is (one of unknown length waits in memory, bounded,
// and gets its offset at its end). A piece that fails for a passing
// reason goes back to the scheduler and is asked for again after a short
// wait while the others go on; the row fails only when one piece used its
// tries, or at once for a failure that would only repeat. The record is
// renewed a few times a second by the disk queue, behind the bytes it
// names and a sync of them: it names only pieces already durable, and
// the connections never wait for the disk.
namespace vidrona::download::streams {

class PieceRun
{
public:
    // Bytes a piece without a stated length may hold in memory.
    static constexpr qint64 MaxUnsizedPieceBytes = 32 << 20;
    static constexpr int MaxConnections = 32;
    // A piece's part is shared with an idle connection only when both
    // halves keep at least this much, and more than a new request's wait
    // for its first byte is worth: less is not worth a request.
    static constexpr qint64 MinShareBytes = 8 << 10;

    PieceRun(const FetchJob &job, FetchShared &shared, const StreamPlan &plan, const PieceFolder &folder,
             const PieceRecord &record);
    ~PieceRun();
    PieceRun(const PieceRun &) = delete;
    PieceRun &operator=(const PieceRun &) = delete;

    // Fetches every missing piece on the calling thread; the failure of
    // the piece that ended the row, a cancel, or none. When every piece
    // arrived, the last ones are not recorded (nor synced) here: the join
    // reads them at once, and only a join that leaves them calls keep().
    net::Failure run();
    // The pieces done and where they lie: the record, and the pieces whole
    // since it was last written.
    PieceRecord done() const;
    // Records every piece done, its bytes made durable first, for a later run.
    void keep() { saveRecord(true); }

private:
    struct Piece;
    struct Lane;
    class Receiver;
    void startPiece(const PieceScheduler::Assignment &assignment);
    void startLane(Piece &piece, const std::optional<PieceScheduler::Assignment> &share);
    bool shareOne();
    void laneEnded(Lane *lane, const net::Outcome &out);
    void learnWait(const Lane &lane);
    net::Failure checkEnd(Lane &lane, const net::Outcome &out);
    void pieceEnded(Piece *piece);
    void pieceDone(Piece &piece);
    void pieceFailed(Piece &piece, const net::Failure &failure);
    void dropAll();
    void stopWith(const net::Failure &failure);
    qint64 reserve(qint64 length);
    void put(Piece &piece, qint64 at, const QByteArray &bytes);
    void fill();
    int tick();
    void saveRecord(bool wait = false);
    void showProgress();
    bool ended() const;
    net::Failure named(net::Failure f, int n) const;

    using Clock = std::chrono::steady_clock;
    const FetchJob &m_job;
    FetchShared &m_shared;
    const StreamPlan &m_plan;
    const PieceFolder &m_folder;
    PieceRecord m_record;          // what the record on disk names
    engine::Driver m_driver;
    const QList<int> m_order;      // the piece numbers in the order they are asked in
    FileWriter m_writer;           // the kept file
    std::unique_ptr<engine::DiskQueue> m_queue;
    PieceScheduler m_scheduler;
    QHash<int, Lane *> m_lanes;    // by the loop's request id
    QList<Piece *> m_pieces;       // on their way, in the order they were taken
    struct Wait {
        Clock::time_point due;
        int worker; // holds the piece until then: no connection takes it sooner
    };
    std::vector<Wait> m_waits;     // failed pieces that wait for their next try
    QHash<int, int> m_tries;       // failed tries by piece number
    QMap<int, Span> m_finished;    // pieces whole in the queue, not yet recorded
    qint64 m_end = 0;              // where the next piece's bytes go in the kept file
    qint64 m_doneBytes = 0;        // of the pieces done, earlier runs' too
    qint64 m_waitBytes = -1;       // a new request's wait for its first byte, in bytes; -1: not known yet
    QElapsedTimer m_sinceSave;
    bool m_told = false;           // job.receiving was called
    bool m_stopping = false;
    net::Failure m_failure;
};

} // namespace vidrona::download::streams

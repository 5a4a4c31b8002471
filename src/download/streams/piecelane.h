#pragma once
#include "piecerun.h"
#include "aesstream.h"
#include <chrono>
#include <optional>

// What PieceRun keeps of each piece on its way and of each connection that
// fetches a part of it; for the files of the run alone.
namespace vidrona::download::streams {

using net::HttpHead;

// One piece on its way, over one connection or, once shared, several.
struct PieceRun::Piece {
    int number = 0;
    int turn = 0;       // its place in the order pieces are asked in
    int worker = 0;     // the scheduler's of pieces
    qint64 size = -1;   // the body's bytes that are the piece, as its head said; -1 unknown
    qint64 offset = -1; // where its bytes go in the kept file; -1 not yet given
    qint64 base = 0;    // where its bytes begin in the file the server holds
    std::unique_ptr<PieceScheduler> bytes; // its bytes over its connections, once its size is known
    bool shareable = false; // plain bytes whose ranges the server answers
    qint64 stored = 0;  // plain bytes queued
    qint64 counted = 0; // bytes counted as received
    QByteArray held;    // a piece of unknown length, until its end
    std::optional<AesStream> aes;
    int lanes = 0;
    net::Failure failure; // of the first of its connections that failed
};

// One connection's way through a piece, or through the part of it it took over.
struct PieceRun::Lane {
    Piece *piece = nullptr;
    bool first = false; // the connection that asked for the whole piece
    int worker = 0;     // the piece's byte scheduler's; 0 before its head
    qint64 pos = 0;     // where its next body byte goes in the piece
    qint64 skip = 0;    // bytes before the range (a 200 to a range request)
    qint64 asked = -1;  // bytes of the part it took over
    bool headIn = false;
    net::Failure failure;
    std::unique_ptr<Receiver> receiver;
    int id = 0;
    // How long its first byte took to come, and how fast the rest came:
    // what a new request costs, counted in bytes (PieceRun::m_waitBytes).
    std::chrono::steady_clock::time_point askedAt, firstByteAt;
    qint64 got = 0; // body bytes taken
};

// Checks a piece's answer against the range asked for, cuts the piece out
// of a whole file sent instead, decrypts it, and hands its bytes on, never
// past where another connection took over.
class PieceRun::Receiver : public net::Receiver
{
public:
    Receiver(PieceRun &run, Lane &lane, const ByteRange &range) : m_run(run), m_lane(lane), m_range(range) {}
    bool head(const HttpHead &head, const QUrl &) override;
    bool body(const char *data, qsizetype length) override;
    bool full() const override { return m_run.m_queue->full(); }

private:
    bool firstHead(const HttpHead &head);
    bool fail(net::Reason reason, net::Cause cause)
    {
        m_lane.failure = net::fail(reason, cause);
        return false;
    }
    PieceRun &m_run;
    Lane &m_lane;
    const ByteRange m_range;
};

} // namespace vidrona::download::streams

#pragma once
#include "flight.h"
#include "hlsplaylist.h"
#include "net/failure.h"
#include "net/httpclient.h"
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>

// The requests of a streamed video: a playlist, manifest or key read
// whole within a bound, and a piece written to disk as it arrives.
namespace vidrona::streams {

struct SmallBody {
    QByteArray bytes;
    net::Failure failure;
    bool tooLarge = false; // past maxBytes: failure says so
};

// The body of url, at most maxBytes; what (e.g. "the playlist") names it
// in a failure's words.
SmallBody fetchSmall(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                     const QString &what, int idleMs, const std::atomic<bool> &cancel);

struct PieceRequest {
    QUrl url;
    ByteRange range;
    QByteArray key; // empty: the piece is not encrypted
    QByteArray iv;
    int idleMs = 30000;
    bool trusted = false; // it may be on the user's own network (streamplan.h)
    // Called as bytes reach the disk (count) on the fetching thread.
    std::function<void(qint64)> written;
};

// Fetches part n of a piece on its way into path (see flight.h; part 0
// starts the flight from its answer's head). The failure names neither the
// piece nor its number: the caller adds them.
net::Failure fetchPart(net::HttpClient &client, const PieceRequest &request, Flight &flight, int n,
                       const QString &path, const std::atomic<bool> &cancel);
// The file of part n, when part 0's is firstPath.
QString partPath(const QString &firstPath, int n);
// Puts the parts of a complete flight, kept under partPath(firstPath, n),
// together as donePath once they are on the disk (replacing a stale piece
// there), and removes them.
net::Failure completePiece(const Flight &flight, const QString &firstPath, const QString &donePath);

// "The server answered 404 Not Found"
QString answeredText(int status, const QByteArray &reason);

} // namespace vidrona::streams

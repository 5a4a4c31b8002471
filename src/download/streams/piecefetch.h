#pragma once
#include "hlsplaylist.h"
#include "net/failure.h"
#include "net/httpclient.h"
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>

// The small requests of a streamed video: a playlist, manifest or key
// read whole within a bound (the pieces go through the row's loop,
// piecerun.h).
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

// "The server answered 404 Not Found"
QString answeredText(int status, const QByteArray &reason);

} // namespace vidrona::streams

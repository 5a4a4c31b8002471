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
namespace vidrona::download::streams {

struct SmallBody {
    QByteArray bytes;
    QUrl finalUrl;         // where the answer came from, redirects followed
    net::Failure failure;
    bool tooLarge = false; // past maxBytes: failure says so
};

// How the body is taken: as sent (a key, counted as its length says), or
// decoded from the gzip, deflate or br a site packs its texts with
// whatever was asked (then maxBytes bounds the decoded bytes).
enum class BodyCoding { AsSent, Decoded };

// The body of url, at most maxBytes; what (the playlist, the key) is
// named in its failure, so the window can say what did not come.
SmallBody fetchSmall(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                     net::Subject what, int idleMs, const std::atomic<bool> &cancel,
                     BodyCoding coding = BodyCoding::AsSent);

} // namespace vidrona::download::streams

#pragma once
#include "net/failure.h"
#include "net/httpclient.h"
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>

// A playlist's or manifest's text as its reader needs it: decoded (sites
// keep them packed and send them with Content-Encoding gzip, deflate or
// br whatever was asked), bounded after decoding, and with the address
// that finally answered, since a CDN's redirect moves the place every
// relative address in the text is resolved against.
namespace vidrona::streams {

struct FetchedText {
    QByteArray bytes;
    QUrl finalUrl;         // where the answer came from, redirects followed
    net::Failure failure;
    bool tooLarge = false; // past maxBytes once decoded: failure says so
};

// The decoded body of url, at most maxBytes; what (e.g. "the playlist")
// names it in a failure's words.
FetchedText fetchText(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                      const QString &what, int idleMs, const std::atomic<bool> &cancel);

} // namespace vidrona::streams

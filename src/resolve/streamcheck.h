#pragma once
#include "offer.h"
#include "net/failure.h"
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>

// Whether a streamed video of today's web can be saved, judged from its
// HLS playlist or DASH manifest before it becomes a row: live streams,
// protected ones and ones past the bounds of a stream fetch are refused
// with the reader's own cause, which the window words. Pure functions of the text and its address.
namespace vidrona::resolve {

struct StreamCheck {
    enum Verdict {
        Accepted,     // it can be saved
        Refused,      // why holds why not
        NeedsVariant, // an HLS master: variants are the media playlists to judge
        NotAStream,   // neither a playlist nor a manifest (an error page, say)
    };
    Verdict verdict = NotAStream;
    net::Failure why; // Refused, NotAStream: the cause and its facts
    // The media playlists a fetch of the best quality would save (the
    // chosen variant, then its separate sound), resolved against the
    // address the master came from.
    QList<QUrl> variants;
    // What it offers to choose from (a master's or a manifest's), and the
    // length a variant's playlist tells, for the sizes (0 unknown).
    Offer offer = {};
    double seconds = 0;
};

// A stream refused for cause, judged before the fetch (never too large).
StreamCheck refusedFor(net::Cause cause);

// The first text at a stream's address: a DASH manifest when it says
// <MPD near its start, else an HLS playlist (master or media). address:
// the one that answered, redirects followed, as the fetch resolves against.
// A master's variants and a manifest's tracks are chosen as the fetch
// chooses them (qualitychoice.h), so both judge the same playlists.
StreamCheck checkStream(QByteArrayView text, const QUrl &address);
// A media playlist a master's choice named: where live and protected
// pieces show.
StreamCheck checkVariant(QByteArrayView text, const QUrl &address);

// The name a stream's row gets: the page's title, else the last segment
// of the playlist's address without its extension; a safe file name
// ending in .mp4, the container the pieces are joined into.
QString streamFileName(const QString &pageTitle, const QUrl &playlist);

} // namespace vidrona::resolve

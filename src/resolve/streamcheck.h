#pragma once
#include "offer.h"
#include <QByteArrayView>
#include <QString>
#include <QUrl>

// Whether a streamed video of today's web can be saved, judged from its
// HLS playlist or DASH manifest before it becomes a row: live streams,
// protected ones and ones past the bounds of a stream fetch are refused
// with the reader's own words. Pure functions of the text and its address.
namespace vidrona::resolve {

struct StreamCheck {
    enum Verdict {
        Accepted,     // it can be saved
        Refused,      // why says why not
        NeedsVariant, // an HLS master: variant is the media playlist to judge
        NotAStream,   // neither a playlist nor a manifest (an error page, say)
    };
    Verdict verdict = NotAStream;
    QString why;
    QUrl variant;
    // What it offers to choose from (a master's or a manifest's), and the
    // length a variant's playlist tells, for the sizes (0 unknown).
    Offer offer = {};
    double seconds = 0;
};

// The first text at a stream's address: a DASH manifest when it says
// <MPD near its start, else an HLS playlist (master or media).
StreamCheck checkStream(QByteArrayView text, const QUrl &address);
// The media playlist of the variant a master chose (bestVariant): the one
// a fetch would save, so where live and protected pieces show.
StreamCheck checkVariant(QByteArrayView text, const QUrl &address);

// The name a stream's row gets: the page's title, else the last segment
// of the playlist's address without its extension; a safe file name
// ending in .mp4, the container the pieces are joined into.
QString streamFileName(const QString &pageTitle, const QUrl &playlist);

} // namespace vidrona::resolve

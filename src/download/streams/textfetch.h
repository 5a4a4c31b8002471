#pragma once
#include "piecefetch.h"

// A playlist's or manifest's text as its reader needs it: decoded (sites
// keep them packed and send them with Content-Encoding gzip, deflate or
// br whatever was asked), bounded after decoding, and with the address
// that finally answered, since a CDN's redirect moves the place every
// relative address in the text is resolved against. The small-body fetch
// of piecefetch.h, taking the body decoded.
namespace vidrona::download::streams {

using FetchedText = SmallBody;

// The decoded body of url, at most maxBytes; what (the playlist, the
// subtitles) is named in its failure.
inline FetchedText fetchText(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                             net::Subject what, int idleMs, const std::atomic<bool> &cancel)
{
    return fetchSmall(client, url, maxBytes, userNamed, what, idleMs, cancel, BodyCoding::Decoded);
}

} // namespace vidrona::download::streams

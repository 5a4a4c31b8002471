#pragma once
#include "hlsplaylist.h"
#include "joinruns.h"
#include "qualitychoice.h"
#include "download/subtitles/offers.h"
#include "net/failure.h"
#include "net/httpclient.h"
#include <QByteArray>
#include <QList>
#include <QUrl>
#include <atomic>
#include <optional>

// What a streamed video's playlist or manifest says to fetch: every piece
// of the tracks to save (the best video, and its sound when that comes
// apart), init sections included, in one numbered list, and for each track
// the order its pieces are joined in.
namespace vidrona::download::streams {

struct StreamPiece {
    QUrl url;
    ByteRange range;
    int key = -1; // index into StreamPlan::keys; -1: not encrypted
    QByteArray iv;
};

struct StreamPlan {
    QList<StreamPiece> pieces;
    QList<QList<int>> tracks; // per track, piece numbers in join order
    JoinRuns runs;            // per track, where its pieces start over (joinruns.h)
    bool soundOnly = false;   // nothing but sound was offered: the file has no picture
    // A playlist's parts encoded differently may be saved as files of their
    // own (joinparts.h); a manifest's periods may not: that row fails.
    bool mayPart = false;
    QList<QByteArray> keys;   // the AES-128 keys, 16 bytes each
    QByteArray digest;        // of every playlist or manifest text read
    // The user named an address on their own machine or network, so the
    // playlist's pieces may be there too; a public playlist's may not.
    bool trusted = false;
    net::Failure failure;     // why the video cannot be fetched
    QList<subtitles::Offer> subtitles; // what the master or manifest offers; fetched apart
};

// Reads address (the one from the list) and the playlists it names, and
// the keys, each within the bounds of streamlimits.h; a refused stream
// (live, DRM, too large, broken, empty) fails with the reader's words.
// top: the text of address when a plain fetch of it already read it (it
// answered with a playlist), so it is not asked for again unless it came
// packed; topFrom: where that answer came from (empty: address).
// Relative addresses resolve against the address that answered. choice:
// which of several qualities (qualitychoice.h).
StreamPlan planStream(net::HttpClient &client, const QUrl &address, int idleMs, const std::atomic<bool> &cancel,
                      const std::optional<QByteArray> &top = std::nullopt, const QUrl &topFrom = {},
                      const QualityChoice &choice = {});

// The name a sound-only video is saved under, so the row says what it
// holds: "clip.mp4" becomes "clip (sound only).mp4".
QString soundOnlyName(const QString &path);

} // namespace vidrona::download::streams
